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

// From now on SIGINT and SIGTERM, unless ignored, only note that the run is
// to stop, so that it can finish what is running and say what it did.
void CatchInterrupts();

// True once SIGINT or SIGTERM has arrived.
bool Interrupted();

// Ends the process by the signal that interrupted it, as the signal would
// have, if one did; returns otherwise.
void EndIfInterrupted();

#endif  // KESTRIM_PLATFORM_PROCESS_H_
