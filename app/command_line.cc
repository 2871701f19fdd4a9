#include "app/command_line.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "app/output.h"
#include "text/trim.h"

static_assert(kPathSize == 520, "the refusal of a long path names 519");

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
    PrintText("[");
    PrintName(argument);
    PrintText("] is not a valid parameter\n");
    return false;
  }
  return true;
}

// Copies, trims and checks the target path; false, after saying why, when it
// cannot be used.
bool SetPath(const char* argument, DeleteOptions& options) {
  // A cut-down path could name another directory, such as a parent of the
  // one meant, so a path that does not fit is refused whole.
  std::size_t length = std::strlen(argument);
  if (length >= sizeof options.Path) {
    PrintText("The directory name or path is longer than 519 characters.\n");
    return false;
  }
  std::memcpy(options.Path, argument, length + 1);
  if (TrimWhiteSpace(options.Path) == 0) {
    PrintText("You must specify a directory name or path.\n");
    return false;
  }
  if (std::strcmp(options.Path, ".") == 0 ||
      std::strcmp(options.Path, "..") == 0) {
    PrintText(
        "You cannot specify \".\" or \"..\" as the directory name or path.\n");
    return false;
  }
  return true;
}

}  // namespace

void ShowSyntax() {
  PrintText(
      "Syntax: \n"
      "\t Kestrim [Path] [Options]\n\n"
      "Options: \n"
      "\t /Silent        : Suppresses deletion status messages.\n"
      "\t /DelRoot       : Removes the root directory of the [Path].\n"
      "\t /NotRecursive  : Does not delete sub-directories or their files.\n"
      "\t /Y             : Suppresses prompting to confirm file deletion.\n");
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
