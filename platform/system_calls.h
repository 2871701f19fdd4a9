#ifndef KESTRIM_PLATFORM_SYSTEM_CALLS_H_
#define KESTRIM_PLATFORM_SYSTEM_CALLS_H_

// The system calls beneath the file layer, gathered in one table so that
// tests can make any of them fail or act in between; the program uses the
// real ones.

#include <fcntl.h>
#include <liburing.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>

struct SystemCalls {
  int (*openat)(int dir, const char* name, int flags);
  ssize_t (*getdents64)(int fd, void* buffer, size_t size);
  int (*statx)(int dir, const char* name, int flags, unsigned mask,
               struct statx* out);
  int (*fchmodat)(int dir, const char* name, mode_t mode, int flags);
  int (*unlinkat)(int dir, const char* name, int flags);
  int (*close)(int fd);
  int (*clock_gettime)(clockid_t clock, struct timespec* now);
  // The deletion ring: set-up, submission and waiting for an outcome, each
  // returning -errno on failure as liburing does.
  int (*ring_init)(unsigned entries, struct io_uring* ring, unsigned flags);
  int (*ring_submit)(struct io_uring* ring);
  int (*ring_wait)(struct io_uring* ring, struct io_uring_cqe** outcome);
};

// The table in use.
extern SystemCalls g_system_calls;

// The real system calls, for tests to restore or wrap.
extern const SystemCalls kRealSystemCalls;

// Forgets the deletion ring and how fast deletions have been, so that the
// next deletions start afresh through g_system_calls. Only while nothing is
// queued.
void ResetDeletionRing();

#endif  // KESTRIM_PLATFORM_SYSTEM_CALLS_H_
