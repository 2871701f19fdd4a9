#ifndef KESTRIM_APP_DELETE_OPTIONS_H_
#define KESTRIM_APP_DELETE_OPTIONS_H_

// Capacity of the target path, terminator included.
constexpr int kPathSize = 520;

// The settings of one run, filled from the command line and read by the walk.
struct DeleteOptions {
  bool DelRoot = false;       // remove the target itself after emptying it
  bool Recursive = true;      // descend into subdirectories
  bool NoPrompt = false;      // do not ask before deleting
  bool Silent = false;        // print nothing while deleting
  char Path[kPathSize] = {};  // the trimmed target path
};

#endif  // KESTRIM_APP_DELETE_OPTIONS_H_
