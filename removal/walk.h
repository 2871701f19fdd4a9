#ifndef KESTRIM_REMOVAL_WALK_H_
#define KESTRIM_REMOVAL_WALK_H_

#include "app/delete_options.h"
#include "platform/file_api.h"

// Capacity of the paths the walk builds, terminator included.
constexpr int kWalkPathSize = 2048;

// Deletes everything inside directory `name` of `parent` (`parent` itself
// when `name` is empty), depth first, where `directory` is its full path as
// shown to the user. Returns false when a
// listing could not be read, which ends the walk; sets `left_behind` when an
// entry stayed that the run was asked to delete.
bool EmptyDirectory(const DeleteOptions& options, HANDLE parent,
                    const char* name, const char* directory, bool& left_behind);

// Empties `target`, the directory opened from options.Path before the
// question, and, with DelRoot, removes it; true only when all that was asked
// for is gone. An invalid `target` is reported as a path not found.
bool RemoveTarget(const DeleteOptions& options, HANDLE target);

#endif  // KESTRIM_REMOVAL_WALK_H_
