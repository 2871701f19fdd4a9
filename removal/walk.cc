#include "removal/walk.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "app/output.h"
#include "platform/process.h"

namespace {

void Print(const DeleteOptions& options, const char* text) {
  if (!options.Silent) PrintText(text);
}

// Prints a name or path from the disk or the command line.
void PrintShown(const DeleteOptions& options, const char* name) {
  if (!options.Silent) PrintName(name);
}

void ReportUnlisted(const DeleteOptions& options, const char* directory) {
  Print(options, "Path not found: [");
  PrintShown(options, directory);
  Print(options, "]\n");
}

void ReportFile(const DeleteOptions& options, const char* name, bool deleted,
                bool& left_behind) {
  if (!deleted) left_behind = true;
  Print(options, "\t");
  PrintShown(options, name);
  if (!deleted) Print(options, " - Failed!");
  Print(options, "\n");
}

// Reports the oldest started file deletion, waiting for it if `wait`; false
// when there is none (or, without `wait`, none finished yet).
bool ReportDeletion(const DeleteOptions& options, bool wait,
                    bool& left_behind) {
  const char* name;
  bool deleted;
  if (!FinishDeleteFileA(wait, &name, &deleted)) return false;
  ReportFile(options, name, deleted, left_behind);
  return true;
}

// Waits for every started file deletion and reports each, in start order.
void ReportAllDeletions(const DeleteOptions& options, bool& left_behind) {
  while (ReportDeletion(options, true, left_behind)) {
  }
}

void DeleteFile(const DeleteOptions& options, HANDLE listing, const char* name,
                bool& left_behind) {
  while (!StartDeleteFileA(listing, name)) {
    // Every slot holds an outcome still to be reported; the oldest goes
    // first, so that the lines keep the listing's order.
    ReportDeletion(options, true, left_behind);
  }
  while (ReportDeletion(options, false, left_behind)) {
  }
}

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

// Reports an entry that is left untouched, as a file that failed: its path
// does not fit the path buffer (a path that cannot be shown in full names
// nothing sure), or the stack has no room to go one level deeper.
bool ReportLeft(const DeleteOptions& options, const char* name,
                bool& left_behind) {
  ReportAllDeletions(options, left_behind);
  ReportFile(options, name, false, left_behind);
  return true;
}

// Empties and removes one subdirectory; false when the walk must stop.
bool RemoveSubdirectory(const DeleteOptions& options, HANDLE listing,
                        const char* name, const char* path, bool& left_behind) {
  if (!StackHasRoom()) return ReportLeft(options, name, left_behind);
  ReportAllDeletions(options, left_behind);
  PrintShown(options, path);
  Print(options, "\n");
  if (!EmptyDirectory(options, listing, name, path, left_behind)) return false;
  if (!RemoveDirectoryA(listing, name)) left_behind = true;
  return true;
}

// Deletes one entry of `listing`; false when the walk must stop.
bool RemoveEntry(const DeleteOptions& options, HANDLE listing,
                 const WIN32_FIND_DATAA& entry, const char* directory,
                 std::size_t directory_length, bool& left_behind) {
  const char* name = entry.cFileName;
  if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    char path[kWalkPathSize];
    if (!JoinPath(path, directory, name)) {
      return ReportLeft(options, name, left_behind);
    }
    SetFileAttributesA(listing, entry, FILE_ATTRIBUTE_NORMAL);
    if (!options.Recursive) return true;
    return RemoveSubdirectory(options, listing, name, path, left_behind);
  }
  // A directory not to enter is left like any other under /NotRecursive.
  if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
      !options.Recursive) {
    return true;
  }
  if (!PathFits(directory_length, name)) {
    return ReportLeft(options, name, left_behind);
  }
  SetFileAttributesA(listing, entry, FILE_ATTRIBUTE_NORMAL);
  DeleteFile(options, listing, name, left_behind);
  return true;
}

}  // namespace

bool EmptyDirectory(const DeleteOptions& options, HANDLE parent,
                    const char* name, const char* directory,
                    bool& left_behind) {
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA(parent, name, &entry);
  if (listing == INVALID_HANDLE_VALUE) {
    // Someone else removed it meanwhile: nothing is left to empty.
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;
    ReportUnlisted(options, directory);
    return false;
  }
  std::size_t directory_length = std::strlen(directory);
  do {
    if (IsDots(entry.cFileName)) continue;
    if (!RemoveEntry(options, listing, entry, directory, directory_length,
                     left_behind)) {
      FindClose(listing);
      return false;
    }
  } while (FindNextFileA(listing, &entry));
  // A listing that broke off has unread entries; that is no success.
  bool listed_all = GetLastError() == ERROR_NO_MORE_FILES;
  // Deletions still running refer to the listing, and their lines come
  // before anything said about the directory.
  ReportAllDeletions(options, left_behind);
  FindClose(listing);
  if (!listed_all) ReportUnlisted(options, directory);
  return listed_all;
}

bool RemoveTarget(const DeleteOptions& options, HANDLE target) {
  if (target == INVALID_HANDLE_VALUE) {
    ReportUnlisted(options, options.Path);
    return false;
  }
  bool left_behind = false;
  // The listing is of the directory opened before the question, never of
  // whatever the path names by now.
  if (!EmptyDirectory(options, target, "", options.Path, left_behind)) {
    return false;
  }
  if (options.DelRoot && !RemoveTargetDirectoryA(target, options.Path)) {
    return false;
  }
  return !left_behind;
}
