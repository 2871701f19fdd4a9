#ifndef KESTRIM_REMOVAL_WALK_TESTING_H_
#define KESTRIM_REMOVAL_WALK_TESTING_H_

// Runs the walk in a test, the way the program runs it.

#include <cstring>
#include <string>

#include "app/delete_options.h"
#include "removal/walk.h"
#include "tests/temp_tree.h"

// What one run of RemoveTarget returned and printed.
struct Walked {
  bool ok;
  std::string out;
};

// Opens `path` and runs RemoveTarget on it with the given switches.
inline Walked Walk(const std::string& path, bool silent = false,
                   bool del_root = false, bool recursive = true) {
  DeleteOptions options;
  options.Silent = silent;
  options.DelRoot = del_root;
  options.Recursive = recursive;
  std::strcpy(options.Path, path.c_str());
  Walked walked{};
  HANDLE target = OpenTargetDirectory(options.Path);
  walked.out =
      CaptureStdout([&] { walked.ok = RemoveTarget(options, target); });
  if (target != INVALID_HANDLE_VALUE) CloseHandle(target);
  return walked;
}

#endif  // KESTRIM_REMOVAL_WALK_TESTING_H_
