#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "platform/file_api.h"
#include "platform/listing.h"
#include "platform/system_calls.h"

#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x00002000
#endif

static_assert(ERROR_FILE_NOT_FOUND == ENOENT, "errors are errno values");

namespace {

// The user's path may lead through links; it names the target.
constexpr int kTargetFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
// An entry inside the tree is opened only if it is itself a directory.
constexpr int kEntryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Looks at an entry itself, never at what a link or automount would show.
constexpr int kStatFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
constexpr unsigned kStatMask = STATX_TYPE | STATX_MODE;
constexpr mode_t kOwnerAccess = S_IRWXU;

// Every level of the walk adds at least "/x" to a path that must fit 2048
// characters, so no walk reads more listings at once than this.
constexpr int kMaxListings = 1024;
// Directories open at once: those being read, and those whose deletions are
// still running. Fewer when the descriptor limit is lower.
constexpr int kMaxHandles = 2048;
// Descriptors left for everything else: the standard streams, the ring.
constexpr int kSpareDescriptors = 32;
// Open listings keep their unread entries in one stack-like arena: a new
// listing reads in after its parent's entries, which stay until it closes.
constexpr std::size_t kArenaSize = std::size_t{8} << 20;
constexpr std::size_t kReadSize = std::size_t{64} << 10;
// Room for the largest record one read may have to return, kept aligned.
constexpr std::size_t kMinReadSize =
    (sizeof(struct dirent64) + 7) & ~std::size_t{7};
static_assert(kArenaSize >= kMaxListings * kMinReadSize,
              "every level that may come must find room to read");

}  // namespace

namespace {

// The directory the user named, held open from before the question on.
FindListing g_target;
ino_t g_target_inode;
// Open directories, and the free ones among them.
FindListing g_handles[kMaxHandles];
FindListing* g_free_handles[kMaxHandles];
int g_free_count = -1;  // -1 until the pool is first used
int g_handle_budget = kMaxHandles;
// The listings being read, outermost first.
FindListing* g_reading[kMaxListings];
int g_depth = 0;
alignas(8) char g_arena[kArenaSize];
DWORD g_last_error = 0;

bool Fail(int error) {
  g_last_error = static_cast<DWORD>(error);
  return false;
}

bool Gone(int result) {
  // Someone else removing the entry first leaves what was asked for.
  return result == 0 || errno == ENOENT || Fail(errno);
}

bool IsDots(const char* name) {
  return name[0] == '.' &&
         (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

char* NextFreeByte() {
  if (g_depth == 0) return g_arena;
  const FindListing& top = *g_reading[g_depth - 1];
  std::size_t end = static_cast<std::size_t>(top.buffer - g_arena) + top.filled;
  return g_arena + ((end + 7) & ~std::size_t{7});
}

bool DeviceOf(FindListing* listing, dev_t* device) {
  if (!listing->device_known) {
    struct statx self;
    if (g_system_calls.statx(listing->fd, "", AT_EMPTY_PATH, STATX_TYPE,
                             &self) != 0) {
      return Fail(errno);
    }
    listing->device = makedev(self.stx_dev_major, self.stx_dev_minor);
    listing->device_known = true;
  }
  *device = listing->device;
  return true;
}

bool IsMountRoot(FindListing* listing, const struct statx& entry) {
  if ((entry.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0) {
    return (entry.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
  }
  // Without the kernel's word only a change of device shows a mount; when
  // even that is unknown, the entry is not descended.
  dev_t device;
  return !DeviceOf(listing, &device) ||
         makedev(entry.stx_dev_major, entry.stx_dev_minor) != device;
}

// Fills the attributes of an entry that may be a directory; `listed_as_dir`
// when the listing itself said so.
void Classify(FindListing* listing, bool listed_as_dir,
              WIN32_FIND_DATAA* entry) {
  struct statx st;
  // An entry that cannot be looked at is left to be deleted as a file; that
  // fails for a directory and is reported then.
  if (g_system_calls.statx(listing->fd, entry->cFileName, kStatFlags, kStatMask,
                           &st) != 0) {
    if (listed_as_dir) entry->dwFileAttributes = FILE_ATTRIBUTE_REPARSE_POINT;
    return;
  }
  if (!S_ISDIR(st.stx_mode)) return;
  if (IsMountRoot(listing, st)) {
    entry->dwFileAttributes = FILE_ATTRIBUTE_REPARSE_POINT;
    return;
  }
  entry->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
  entry->dwPosixMode = st.stx_mode & 07777;
}

bool Describe(FindListing* listing, const char* name, unsigned char type,
              WIN32_FIND_DATAA* entry) {
  std::size_t length = ::strnlen(name, kMaxNameSize);
  if (length == kMaxNameSize) return Fail(ENAMETOOLONG);
  std::memcpy(entry->cFileName, name, length + 1);
  entry->dwFileAttributes = 0;
  entry->dwPosixMode = 0;
  if (IsDots(name)) {
    entry->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
  } else if (type == DT_DIR || type == DT_UNKNOWN) {
    Classify(listing, type == DT_DIR, entry);
  }
  return true;
}

// How much the next listing may read at once: as much as it likes, less
// what every deeper level that may still come needs to read at all, so that
// no tree whose paths fit runs out of room however full its directories.
std::size_t ReadSizeAt(const char* buffer) {
  auto room = static_cast<std::size_t>(g_arena + kArenaSize - buffer);
  std::size_t reserve =
      static_cast<std::size_t>(kMaxListings - g_depth - 1) * kMinReadSize;
  if (room < reserve + kMinReadSize) return 0;
  std::size_t size = (room - reserve) & ~std::size_t{7};
  return size < kReadSize ? size : kReadSize;
}

// A descriptor of directory `name` inside `parent`, or of `parent` itself
// when `name` is empty; -1 with errno set when it cannot be opened.
int OpenDirectory(HANDLE parent, const char* name) {
  if (name[0] == '\0') return ::fcntl(parent->fd, F_DUPFD_CLOEXEC, 0);
  return g_system_calls.openat(parent->fd, name, kEntryFlags);
}

// Fills the pool and sizes the budget to the descriptor limit in force.
void SetUpHandles() {
  for (int i = 0; i < kMaxHandles; ++i) g_free_handles[i] = &g_handles[i];
  g_free_count = kMaxHandles;
  struct rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 &&
      limit.rlim_cur < rlim_t{kMaxHandles + kSpareDescriptors}) {
    g_handle_budget = static_cast<int>(limit.rlim_cur) - kSpareDescriptors;
  }
}

FindListing* TakeHandle() {
  if (g_free_count < 0) SetUpHandles();
  if (g_free_count == 0) return nullptr;
  return g_free_handles[--g_free_count];
}

bool Refill(FindListing* listing) {
  ssize_t n = g_system_calls.getdents64(listing->fd, listing->buffer,
                                        listing->capacity);
  // A directory removed while open is listed with ENOENT: it holds nothing.
  if (n == 0 || (n < 0 && errno == ENOENT)) return Fail(ERROR_NO_MORE_FILES);
  if (n < 0) return Fail(errno);
  listing->filled = static_cast<std::size_t>(n);
  listing->next = 0;
  return true;
}

}  // namespace

HANDLE OpenTargetDirectory(const char* path) {
  int fd = g_system_calls.openat(AT_FDCWD, path, kTargetFlags);
  if (fd < 0) {
    Fail(errno);
    return INVALID_HANDLE_VALUE;
  }
  struct statx self;
  if (g_system_calls.statx(fd, "", AT_EMPTY_PATH, STATX_INO, &self) != 0) {
    int error = errno;
    g_system_calls.close(fd);
    Fail(error);
    return INVALID_HANDLE_VALUE;
  }
  g_target = FindListing{};
  g_target.fd = fd;
  g_target.device_known = true;
  g_target.device = makedev(self.stx_dev_major, self.stx_dev_minor);
  g_target_inode = self.stx_ino;
  return &g_target;
}

HANDLE FindFirstFileA(HANDLE parent, const char* name,
                      WIN32_FIND_DATAA* entry) {
  char* buffer = NextFreeByte();
  std::size_t size = g_depth < kMaxListings ? ReadSizeAt(buffer) : 0;
  if (size == 0) {
    Fail(EMFILE);
    return INVALID_HANDLE_VALUE;
  }
  FindListing* listing = TakeHandle();
  if (listing == nullptr) {
    Fail(EMFILE);
    return INVALID_HANDLE_VALUE;
  }
  int fd = OpenDirectory(parent, name);
  if (fd < 0) {
    Fail(errno);
    g_free_handles[g_free_count++] = listing;
    return INVALID_HANDLE_VALUE;
  }
  *listing = FindListing{};
  listing->fd = fd;
  listing->reading = true;
  listing->buffer = buffer;
  listing->capacity = size;
  g_reading[g_depth++] = listing;
  if (FindNextFileA(listing, entry)) return listing;
  if (g_last_error == ERROR_NO_MORE_FILES) {
    // Only a directory removed while open lists nothing, not even its dots;
    // starting it with "." keeps every listing's first entry real.
    Describe(listing, ".", DT_DIR, entry);
    return listing;
  }
  DWORD error = g_last_error;
  FindClose(listing);
  CloseHandle(listing);
  Fail(static_cast<int>(error));
  return INVALID_HANDLE_VALUE;
}

bool FindNextFileA(HANDLE listing, WIN32_FIND_DATAA* entry) {
  if (listing->next >= listing->filled && !Refill(listing)) return false;
  const char* record = listing->buffer + listing->next;
  unsigned short length;
  std::memcpy(&length, record + offsetof(struct dirent64, d_reclen),
              sizeof length);
  auto type =
      static_cast<unsigned char>(record[offsetof(struct dirent64, d_type)]);
  listing->next += length;
  return Describe(listing, record + offsetof(struct dirent64, d_name), type,
                  entry);
}

bool FindClose(HANDLE listing) {
  listing->reading = false;
  while (g_depth > 0 && !g_reading[g_depth - 1]->reading) --g_depth;
  return true;
}

bool CloseHandle(HANDLE directory) {
  bool closed = directory->pinned || g_system_calls.close(directory->fd) == 0 ||
                Fail(errno);
  if (directory != &g_target) g_free_handles[g_free_count++] = directory;
  return closed;
}

bool HandlesRunningLow() {
  return g_free_count >= 0 && kMaxHandles - g_free_count >= g_handle_budget;
}

bool SetFileAttributesA(HANDLE listing, const WIN32_FIND_DATAA& entry,
                        DWORD attributes) {
  if (attributes != FILE_ATTRIBUTE_NORMAL) return Fail(EINVAL);
  if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return true;
  mode_t mode = entry.dwPosixMode;
  if ((mode & kOwnerAccess) == kOwnerAccess) return true;
  return g_system_calls.fchmodat(listing->fd, entry.cFileName,
                                 mode | kOwnerAccess,
                                 AT_SYMLINK_NOFOLLOW) == 0 ||
         Fail(errno);
}

bool DeleteFileA(HANDLE listing, const char* name) {
  return Gone(g_system_calls.unlinkat(listing->fd, name, 0));
}

bool RemoveDirectoryA(HANDLE listing, const char* name) {
  return Gone(g_system_calls.unlinkat(listing->fd, name, AT_REMOVEDIR));
}

bool RemoveTargetDirectoryA(HANDLE target, const char* path) {
  // The path is resolved once more, as only a path can be removed; it must
  // still lead to the directory that was emptied. A missing name here, as
  // in "T/sub/.." once sub is gone, does not say that directory is gone.
  struct statx now;
  if (g_system_calls.statx(AT_FDCWD, path, kStatFlags, STATX_INO, &now) != 0) {
    return Fail(errno);
  }
  if (makedev(now.stx_dev_major, now.stx_dev_minor) != target->device ||
      now.stx_ino != g_target_inode) {
    return Fail(ESTALE);
  }
  return g_system_calls.unlinkat(AT_FDCWD, path, AT_REMOVEDIR) == 0 ||
         Fail(errno);
}

DWORD GetLastError() { return g_last_error; }

bool IsFileSystemRoot(const char* path) {
  struct stat target;
  struct stat root;
  return ::stat(path, &target) == 0 && ::stat("/", &root) == 0 &&
         target.st_dev == root.st_dev && target.st_ino == root.st_ino;
}

bool IsFileSystemRoot(HANDLE directory) {
  struct stat root;
  return directory == &g_target && ::stat("/", &root) == 0 &&
         root.st_dev == g_target.device && root.st_ino == g_target_inode;
}
