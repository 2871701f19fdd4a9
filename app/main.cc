#include <unistd.h>

#include <cstdio>

#include "app/command_line.h"
#include "app/confirm.h"
#include "app/delete_options.h"
#include "platform/file_api.h"
#include "removal/walk.h"

namespace {

constexpr int kOutputBufferSize = 64 << 10;
char g_output_buffer[kOutputBufferSize];

// A terminal sees each line as it is done; a file or pipe gets whole blocks.
void SetUpOutput() {
  if (!::isatty(STDOUT_FILENO)) {
    std::setvbuf(stdout, g_output_buffer, _IOFBF, sizeof g_output_buffer);
  }
}

}  // namespace

int main(int argc, char** argv) {
  SetUpOutput();
  DeleteOptions options;
  if (!ParseCommandLine(argc, argv, options)) return 2;
  if (!options.NoPrompt) {
    char question[kQuestionSize];
    int length = std::snprintf(
        question, sizeof question,
        "Are you sure you want to completely remove [%s]", options.Path);
    if (length < 0 || length >= kQuestionSize) return 2;
    if (!AskConfirmation(question)) return 0;
  }
  RaiseOpenFileLimit();
  return RemoveTarget(options) ? 0 : 1;
}
