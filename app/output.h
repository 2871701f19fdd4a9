#ifndef KESTRIM_APP_OUTPUT_H_
#define KESTRIM_APP_OUTPUT_H_

// Standard output for the whole run. A write that fails is noted where it
// happens and reported once, at the end, by FinishOutput.

// Buffers standard output in blocks to a file or pipe, by lines to a
// terminal, and notes whether names must be made safe to show.
void SetUpOutput();

// Prints the program's own text as it is.
void PrintText(const char* text);

// Prints a name or path from the disk or the command line: as it is to a
// file or pipe; on a terminal with every control character shown as '?'.
void PrintName(const char* text);

// Sends what is buffered, as before waiting for input.
void FlushOutput();

// Sends what is buffered and returns the run's exit status: `status`, or 1
// in place of 0 when writing failed, which is then said on standard error.
int FinishOutput(int status);

#endif  // KESTRIM_APP_OUTPUT_H_
