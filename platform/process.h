#ifndef KESTRIM_PLATFORM_PROCESS_H_
#define KESTRIM_PLATFORM_PROCESS_H_

// The process's own resources: every level of the walk holds one open
// descriptor and one stack frame.

// Raises the soft limits on open descriptors and on the stack as far as
// allowed, and notes how far the stack may grow. Called once, before the
// walk.
void RaiseProcessLimits();

// True while the stack has room for one more level of the walk; always true
// before RaiseProcessLimits has run.
bool StackHasRoom();

#endif  // KESTRIM_PLATFORM_PROCESS_H_
