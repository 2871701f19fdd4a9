// Feeds arbitrary argument vectors to the parser and arbitrary texts to the
// trimming routines, checking what they promise.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "text/trim.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckTrim(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  int length = TrimWhiteSpace(buffer.data());
  Check(length >= 0 && length == static_cast<int>(std::strlen(buffer.data())));
  if (length == 0) return;
  Check(!IsWhiteSpace(buffer[0]) &&
        !IsWhiteSpace(buffer[static_cast<std::size_t>(length) - 1]));
  // What is left is the original text less its ends.
  std::string original(text.c_str());
  Check(original.find(buffer.data()) != std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The parser prints its refusals; they are not what is checked here.
  Check(std::freopen("/dev/null", "w", stdout) != nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> args = {"kestrim"};
  std::size_t start = 0;
  for (std::size_t at;
       args.size() < 8 && (at = input.find('\0', start)) != std::string::npos;
       start = at + 1) {
    args.push_back(input.substr(start, at - start));
  }
  if (start < input.size() && args.size() < 8)
    args.push_back(input.substr(start));
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());

  // On the heap, so that any write past the record is caught.
  DeleteOptions* options = new DeleteOptions;
  if (ParseCommandLine(static_cast<int>(argv.size()), argv.data(), *options)) {
    std::size_t length = std::strlen(options->Path);
    Check(length > 0 && length < sizeof options->Path);
    Check(!IsWhiteSpace(options->Path[0]) &&
          !IsWhiteSpace(options->Path[length - 1]));
    Check(std::strcmp(options->Path, ".") != 0 &&
          std::strcmp(options->Path, "..") != 0);
    Check(std::string(argv[1]).find(options->Path) != std::string::npos);
  }
  delete options;
  CheckTrim(input);
  return 0;
}
