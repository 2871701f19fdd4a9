#include "removal/walk.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/process.h"
#include "removal/pending.h"

namespace {

bool IsDots(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Builds "directory/name"; false when it does not fit.
bool JoinPath(char (&path)[kWalkPathSize], const char* directory,
              const char* name) {
  int length = std::snprintf(path, sizeof path, "%s/%s", directory, name);
  return length >= 0 && length < kWalkPathSize;
}

// True when "directory/name" fits the path buffer; a file's full path is
// never shown or used, so it is measured rather than built.
bool PathFits(std::size_t directory_length, const char* name) {
  return directory_length + 1 + std::strlen(name) < kWalkPathSize;
}

// Empties and removes one subdirectory; false when the walk must stop. One
// that the stack has no room to enter is left, and reported as failed.
bool RemoveSubdirectory(WalkState& walk, HANDLE listing, const char* name,
                        const char* path) {
  if (!StackHasRoom()) {
    ReportLeft(walk, name);
    return true;
  }
  ReportDirectory(walk, path);
  HANDLE emptied;
  if (!EmptyDirectory(walk, listing, name, path, &emptied)) return false;
  // Removed once all inside it is gone; the walk goes on meanwhile.
  RemoveDirectoryWhenEmptyA(listing, name, emptied);
  return true;
}

// Deletes one entry of `listing`; false when the walk must stop. An entry
// whose full path would not fit the path buffer is not touched at all: a
// path that cannot be shown in full names nothing sure.
bool RemoveEntry(WalkState& walk, HANDLE listing, const WIN32_FIND_DATAA& entry,
                 const char* directory, std::size_t directory_length) {
  const char* name = entry.cFileName;
  bool recursive = walk.options.Recursive;
  if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    char path[kWalkPathSize];
    if (!JoinPath(path, directory, name)) {
      ReportLeft(walk, name);
      return true;
    }
    SetFileAttributesA(listing, entry, FILE_ATTRIBUTE_NORMAL);
    return !recursive || RemoveSubdirectory(walk, listing, name, path);
  }
  // A directory not to enter is left like any other under /NotRecursive.
  if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
      !recursive) {
    return true;
  }
  if (!PathFits(directory_length, name)) {
    ReportLeft(walk, name);
    return true;
  }
  SetFileAttributesA(listing, entry, FILE_ATTRIBUTE_NORMAL);
  DeleteFile(walk, listing, name);
  return true;
}

// Ends the walk inside `listing` early: lets what was started finish, since
// it may use the descriptor, and only then closes it.
bool Abandon(WalkState& walk, HANDLE listing) {
  FindClose(listing);
  FinishAll(walk);
  CloseHandle(listing);
  return false;
}

}  // namespace

bool EmptyDirectory(WalkState& walk, HANDLE parent, const char* name,
                    const char* directory, HANDLE* emptied) {
  *emptied = INVALID_HANDLE_VALUE;
  MakeRoomToOpen(walk);
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA(parent, name, &entry);
  if (listing == INVALID_HANDLE_VALUE) {
    // Someone else removed it meanwhile: nothing is left to empty.
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;
    ReportUnlisted(walk, directory);
    return false;
  }
  std::size_t directory_length = std::strlen(directory);
  do {
    if (IsDots(entry.cFileName)) continue;
    // Once interrupted, nothing more is started.
    if (Interrupted() ||
        !RemoveEntry(walk, listing, entry, directory, directory_length)) {
      return Abandon(walk, listing);
    }
  } while (FindNextFileA(listing, &entry));
  // A listing that broke off has unread entries; that is no success.
  if (GetLastError() != ERROR_NO_MORE_FILES) {
    ReportUnlisted(walk, directory);
    return Abandon(walk, listing);
  }
  FindClose(listing);
  *emptied = listing;
  return true;
}

bool RemoveTarget(const DeleteOptions& options, HANDLE target) {
  WalkState walk{options};
  unsigned long failed_removals = FailedDirectoryRemovals();
  if (target == INVALID_HANDLE_VALUE) {
    ReportUnlisted(walk, options.Path);
    return false;
  }
  // The listing is of the directory opened before the question, never of
  // whatever the path names by now.
  HANDLE emptied;
  bool listed = EmptyDirectory(walk, target, "", options.Path, &emptied);
  FinishAll(walk);
  if (!listed) return false;
  CloseHandle(emptied);
  if (FailedDirectoryRemovals() != failed_removals) walk.left_behind = true;
  if (options.DelRoot && !RemoveTargetDirectoryA(target, options.Path)) {
    return false;
  }
  return !walk.left_behind;
}
