#include "app/target.h"

#include "app/output.h"

bool OpenTarget(const char* path, HANDLE& target) {
  target = OpenTargetDirectory(path);
  // A root that cannot be opened is refused all the same, by its path.
  bool root = target != INVALID_HANDLE_VALUE ? IsFileSystemRoot(target)
                                             : IsFileSystemRoot(path);
  if (!root) return true;
  PrintText(
      "You cannot specify the root directory as the directory name or "
      "path.\n");
  if (target != INVALID_HANDLE_VALUE) CloseHandle(target);
  target = INVALID_HANDLE_VALUE;
  return false;
}
