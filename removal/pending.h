#ifndef KESTRIM_REMOVAL_PENDING_H_
#define KESTRIM_REMOVAL_PENDING_H_

// What the walk has started and not yet seen finish: file deletions running
// in the kernel, and the lines that must wait to be printed until everything
// before them is known. The walk goes on meanwhile; what it prints is
// exactly what dealing with one entry at a time would print.

#include "app/delete_options.h"
#include "platform/file_api.h"

// One walk, from the target's listing to its end.
struct WalkState {
  const DeleteOptions& options;
  bool left_behind = false;     // an entry stayed that was to be deleted
  unsigned long started = 0;    // file deletions started
  unsigned long collected = 0;  // their outcomes collected, in that order
};

// Starts deleting the file `name` of `listing`; its line follows later.
void DeleteFile(WalkState& walk, HANDLE listing, const char* name);

// Prints the line of a subdirectory about to be emptied.
void ReportDirectory(WalkState& walk, const char* path);

// Prints the line of an entry left untouched, as failed.
void ReportLeft(WalkState& walk, const char* name);

// Prints, after everything started so far, that `directory` could not be
// listed.
void ReportUnlisted(WalkState& walk, const char* directory);

// Lets running deletions and removals finish while too many directories are
// open.
void MakeRoomToOpen(WalkState& walk);

// Waits for everything started, printing and removing as it finishes.
void FinishAll(WalkState& walk);

#endif  // KESTRIM_REMOVAL_PENDING_H_
