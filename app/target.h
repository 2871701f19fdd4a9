#ifndef KESTRIM_APP_TARGET_H_
#define KESTRIM_APP_TARGET_H_

#include "platform/file_api.h"

// Opens the directory `path` names, once, before anything is asked, so that
// the directory checked and confirmed is the one emptied. `target` is
// INVALID_HANDLE_VALUE when it cannot be opened (the walk says so later).
// False, after printing the refusal, when it is the root directory.
bool OpenTarget(const char* path, HANDLE& target);

#endif  // KESTRIM_APP_TARGET_H_
