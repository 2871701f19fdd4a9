#ifndef KESTRIM_PLATFORM_FILE_API_H_
#define KESTRIM_PLATFORM_FILE_API_H_

// The file operations the walk is written against. Every entry is reached
// relative to the open listing of the directory that holds it, so a name is
// resolved once, inside that directory, and never as a path the walk built.

#include <cstdint>

using DWORD = std::uint32_t;

// Reported for a real directory that the walk may descend into.
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
// Asks SetFileAttributesA to make an entry deletable and listable.
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
// Reported, without FILE_ATTRIBUTE_DIRECTORY, for a directory the walk must
// not enter: a mount point, or one that could not be looked at.
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
// GetLastError after FindNextFileA reached the end of a listing cleanly.
constexpr DWORD ERROR_NO_MORE_FILES = 0;
// GetLastError when the entry named does not exist (ENOENT).
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;

// Longest entry name a listing delivers, plus the terminator.
constexpr int kMaxNameSize = 256;

// One entry of a listing.
struct WIN32_FIND_DATAA {
  // FILE_ATTRIBUTE_DIRECTORY for a directory that is neither a symbolic link
  // nor a mount point; FILE_ATTRIBUTE_REPARSE_POINT for a directory not to
  // enter; 0 for everything else.
  DWORD dwFileAttributes;
  char cFileName[kMaxNameSize];  // the bare name
  unsigned dwPosixMode;          // a directory's mode bits; 0 otherwise
};

// An open listing of one directory.
struct FindListing;
using HANDLE = FindListing*;
constexpr FindListing* INVALID_HANDLE_VALUE = nullptr;

// Opens the directory that the user's `path` names, following links in it as
// the user named them, and holds it for the run, so that the directory
// checked and confirmed is the one emptied; INVALID_HANDLE_VALUE when it
// cannot be opened for listing. Close it with CloseHandle.
HANDLE OpenTargetDirectory(const char* path);

// Opens a listing of directory `name` inside `parent` (of `parent` itself
// when `name` is empty) and delivers its first entry; INVALID_HANDLE_VALUE
// when it cannot be listed. A symbolic link is never followed.
HANDLE FindFirstFileA(HANDLE parent, const char* name, WIN32_FIND_DATAA* entry);

// Delivers the next entry; false at the end or on a read error, told apart
// by GetLastError. Entries already delivered may be deleted meanwhile.
bool FindNextFileA(HANDLE listing, WIN32_FIND_DATAA* entry);

// Ends a listing; listings are ended in the reverse order of opening. The
// directory stays open, for deletions and removals inside it, until
// CloseHandle.
bool FindClose(HANDLE listing);

// Closes a directory opened by OpenTargetDirectory or FindFirstFileA once
// its listing has ended and nothing started inside it is still running.
bool CloseHandle(HANDLE directory);

// True while so many directories are open that the walk should let running
// deletions finish, and the directories they hold be closed, before it opens
// another.
bool HandlesRunningLow();

// Makes `entry` of `listing` deletable and listable (only
// FILE_ATTRIBUTE_NORMAL is understood): a directory gains owner read, write
// and search permission; nothing else needs a change. Never follows a link.
bool SetFileAttributesA(HANDLE listing, const WIN32_FIND_DATAA& entry,
                        DWORD attributes);

// Deletes the non-directory `name` inside `listing`; true when it is gone,
// including when someone else removed it first.
bool DeleteFileA(HANDLE listing, const char* name);

// Removes the empty directory `name` inside `listing`; true when it is gone,
// including when someone else removed it first.
bool RemoveDirectoryA(HANDLE listing, const char* name);

// Removes the empty directory at the user's `path`, but only while `path`
// itself still names `target`; a link there, or another directory, stays.
bool RemoveTargetDirectoryA(HANDLE target, const char* path);

// Starts deleting the non-directory `name` inside `listing`. Outcomes are
// collected with FinishDeleteFileA in the order deletions were started, and
// all must be collected before `listing` is closed. False, starting nothing,
// while kMaxUncollectedDeletions outcomes wait to be collected.
bool StartDeleteFileA(HANDLE listing, const char* name);

// Removes directory `name` of `parent` as soon as everything started inside
// it has finished, without waiting for anything else; `directory` is its
// handle, whose listing has ended, and is closed then (INVALID_HANDLE_VALUE
// when it was never opened). Each removal that fails is counted in
// FailedDirectoryRemovals.
void RemoveDirectoryWhenEmptyA(HANDLE parent, const char* name,
                               HANDLE directory);

// Waits until one directory removal in flight has finished; false when none
// is in flight.
bool WaitForRemovalA();

// Directory removals that have failed so far.
unsigned long FailedDirectoryRemovals();

// Collects the oldest uncollected deletion: its name (valid until the next
// start) and whether the entry is gone. With `wait` false only one that has
// already finished is collected. False when there is nothing to collect.
bool FinishDeleteFileA(bool wait, const char** name, bool* deleted);

// Deletions whose outcomes may wait to be collected at one time.
constexpr int kMaxUncollectedDeletions = 256;

// The error of the last call that failed: an errno value, or
// ERROR_NO_MORE_FILES after a listing ended cleanly.
DWORD GetLastError();

// True when `path` names the root directory of the file system, by identity
// rather than by spelling.
bool IsFileSystemRoot(const char* path);

// True when the open `directory` is the root directory of the file system.
bool IsFileSystemRoot(HANDLE directory);

#endif  // KESTRIM_PLATFORM_FILE_API_H_
