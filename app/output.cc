#include "app/output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "text/terminal.h"

namespace {

constexpr int kOutputBufferSize = 64 << 10;
char g_output_buffer[kOutputBufferSize];
bool g_escape_names = false;
// The error of the first write that failed; 0 while all went out.
int g_write_error = 0;

void NoteWrite(bool written) {
  if (!written && g_write_error == 0) g_write_error = errno != 0 ? errno : EIO;
}

void PrintBytes(const char* text, std::size_t length) {
  if (length > 0) {
    NoteWrite(::fwrite_unlocked(text, 1, length, stdout) == length);
  }
}

void PrintEscaped(const char* text) {
  const char* run = text;
  while (*text != '\0') {
    ShownCharacter c = NextCharacter(text);
    if (c.control) {
      PrintBytes(run, static_cast<std::size_t>(text - run));
      PrintBytes("?", 1);
      run = text + c.length;
    }
    text += c.length;
  }
  PrintBytes(run, static_cast<std::size_t>(text - run));
}

}  // namespace

void SetUpOutput() {
  g_escape_names = ::isatty(STDOUT_FILENO) == 1;
  // A terminal sees each line as it is done; a file or pipe gets whole
  // blocks.
  if (!g_escape_names) {
    // Without the buffer the C library's own serves, only less well.
    static_cast<void>(
        std::setvbuf(stdout, g_output_buffer, _IOFBF, sizeof g_output_buffer));
  }
}

void PrintText(const char* text) {
  NoteWrite(::fputs_unlocked(text, stdout) != EOF);
}

void PrintName(const char* text) {
  if (g_escape_names) {
    PrintEscaped(text);
  } else {
    PrintText(text);
  }
}

void FlushOutput() { NoteWrite(std::fflush(stdout) == 0); }

int FinishOutput(int status) {
  FlushOutput();
  if (g_write_error == 0) return status;
  // Should even this fail, the status still tells.
  static_cast<void>(std::fprintf(stderr, "kestrim: write error: %s\n",
                                 std::strerror(g_write_error)));
  return status == 0 ? 1 : status;
}
