#ifndef KESTRIM_APP_COMMAND_LINE_H_
#define KESTRIM_APP_COMMAND_LINE_H_

#include "app/delete_options.h"

// Prints the syntax screen to standard output.
void ShowSyntax();

// Fills `options` from the argument vector; false, after printing the syntax
// screen or the reason, when the run must not go on.
bool ParseCommandLine(int argc, const char* const* argv,
                      DeleteOptions& options);

#endif  // KESTRIM_APP_COMMAND_LINE_H_
