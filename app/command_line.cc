#include "app/command_line.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "platform/file_api.h"
#include "text/trim.h"

namespace {

bool IsSwitch(const char* argument, const char* name) {
  return ::strcasecmp(argument, name) == 0;
}

// Applies one switch after the path; false, after saying why, when the
// argument ends parsing.
bool ApplySwitch(const char* argument, DeleteOptions& options) {
  if (IsSwitch(argument, "/?")) {
    ShowSyntax();
    return false;
  }
  if (IsSwitch(argument, "/Silent")) {
    options.Silent = true;
  } else if (IsSwitch(argument, "/DelRoot")) {
    options.DelRoot = true;
  } else if (IsSwitch(argument, "/NotRecursive")) {
    options.Recursive = false;
  } else if (IsSwitch(argument, "/Y")) {
    options.NoPrompt = true;
  } else {
    std::printf("[%s] is not a valid parameter\n", argument);
    return false;
  }
  return true;
}

// Copies, trims and checks the target path; false, after saying why, when it
// cannot be used.
bool SetPath(const char* argument, DeleteOptions& options) {
  // A cut-down path could name another directory, such as a parent of the
  // one meant, so a path that does not fit is refused whole.
  if (std::strlen(argument) >= sizeof options.Path) {
    std::printf("The directory name or path is longer than %d characters.\n",
                kPathSize - 1);
    return false;
  }
  std::strcpy(options.Path, argument);
  if (TrimWhiteSpace(options.Path) == 0) {
    std::printf("You must specify a directory name or path.\n");
    return false;
  }
  if (std::strcmp(options.Path, ".") == 0 ||
      std::strcmp(options.Path, "..") == 0) {
    std::printf(
        "You cannot specify \".\" or \"..\" as the directory name or path.\n");
    return false;
  }
  if (IsFileSystemRoot(options.Path)) {
    std::printf(
        "You cannot specify the root directory as the directory name or "
        "path.\n");
    return false;
  }
  return true;
}

}  // namespace

void ShowSyntax() {
  std::fputs(
      "Syntax: \n"
      "\t Kestrim [Path] [Options]\n\n"
      "Options: \n"
      "\t /Silent        : Suppresses deletion status messages.\n"
      "\t /DelRoot       : Removes the root directory of the [Path].\n"
      "\t /NotRecursive  : Does not delete sub-directories or their files.\n"
      "\t /Y             : Suppresses prompting to confirm file deletion.\n",
      stdout);
}

bool ParseCommandLine(int argc, const char* const* argv,
                      DeleteOptions& options) {
  options.DelRoot = false;
  options.Recursive = true;
  options.NoPrompt = false;
  options.Silent = false;
  if (argc < 2 || IsSwitch(argv[1], "/?")) {
    ShowSyntax();
    return false;
  }
  for (int i = 2; i < argc; ++i) {
    if (!ApplySwitch(argv[i], options)) return false;
  }
  return SetPath(argv[1], options);
}
