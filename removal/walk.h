#ifndef KESTRIM_REMOVAL_WALK_H_
#define KESTRIM_REMOVAL_WALK_H_

#include "app/delete_options.h"
#include "platform/file_api.h"
#include "removal/pending.h"

// Capacity of the paths the walk builds, terminator included.
constexpr int kWalkPathSize = 2048;

// Deletes everything inside directory `name` of `parent` (`parent` itself
// when `name` is empty), depth first, where `directory` is its full path as
// shown to the user. Sets `emptied` to the directory, still open, once all
// of it has been started on (INVALID_HANDLE_VALUE if it was gone). Returns
// false when a listing could not be read or the run was interrupted, which
// ends the walk.
bool EmptyDirectory(WalkState& walk, HANDLE parent, const char* name,
                    const char* directory, HANDLE* emptied);

// Empties `target`, the directory opened from options.Path before the
// question, and, with DelRoot, removes it; true only when all that was asked
// for is gone. An invalid `target` is reported as a path not found.
bool RemoveTarget(const DeleteOptions& options, HANDLE target);

#endif  // KESTRIM_REMOVAL_WALK_H_
