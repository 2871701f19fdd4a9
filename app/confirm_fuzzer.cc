// Feeds arbitrary standard input to the answer reader, checking that it never
// writes past its buffer and confirms only on "y" or "yes".

#include <strings.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/confirm.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) return 0;
  std::string input(reinterpret_cast<const char*>(data), size);
  std::FILE* in = ::fmemopen(input.data(), input.size(), "r");
  Check(in != nullptr);
  // Exactly as large as the reader is allowed, so an overrun is caught.
  char* answer = new char[kAnswerSize - 1];
  bool delivered = ReadAnswerLine(in, answer, kAnswerSize - 1);
  std::fclose(in);
  std::string line = input.substr(0, input.find('\n'));
  bool fits =
      line.size() < kAnswerSize - 1 && line.find('\0') == std::string::npos;
  Check(delivered == fits);
  if (delivered) {
    Check(line == answer);
    bool yes =
        ::strcasecmp(answer, "y") == 0 || ::strcasecmp(answer, "yes") == 0;
    Check(IsConfirmation(answer) == yes);
  }
  delete[] answer;
  return 0;
}
