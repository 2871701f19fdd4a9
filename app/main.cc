#include <cstdio>

#include "app/command_line.h"
#include "app/confirm.h"
#include "app/delete_options.h"
#include "app/output.h"
#include "app/target.h"
#include "platform/file_api.h"
#include "platform/process.h"
#include "removal/walk.h"

namespace {

// Asks whether to empty `path`; true when the user confirms.
bool Confirm(const char* path) {
  char question[kQuestionSize];
  int length =
      std::snprintf(question, sizeof question,
                    "Are you sure you want to completely remove [%s]", path);
  if (length < 0 || length >= kQuestionSize) return false;
  return AskConfirmation(question);
}

// Parses, asks, removes; returns the exit status.
int Run(int argc, char** argv) {
  DeleteOptions options;
  if (!ParseCommandLine(argc, argv, options)) return 2;
  HANDLE target;
  if (!OpenTarget(options.Path, target)) return 2;
  if (!options.NoPrompt && !Confirm(options.Path)) return 0;
  RaiseProcessLimits();
  CatchInterrupts();
  return RemoveTarget(options, target) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  SetUpOutput();
  int status = FinishOutput(Run(argc, argv));
  // The lines of everything deleted are out; the signal ends the run now.
  EndIfInterrupted();
  return status;
}
