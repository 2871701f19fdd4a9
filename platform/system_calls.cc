#include "platform/system_calls.h"

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace {

// The mode-changing call that can refuse to follow a link by itself; older
// kernels lack it, and the C library then does the same through /proc.
constexpr long kFchmodat2 = 452;

int RealOpenat(int dir, const char* name, int flags) {
  return ::openat(dir, name, flags);
}

ssize_t RealGetdents64(int fd, void* buffer, size_t size) {
  return ::getdents64(fd, buffer, size);
}

int RealStatx(int dir, const char* name, int flags, unsigned mask,
              struct statx* out) {
  return ::statx(dir, name, flags, mask, out);
}

int RealFchmodat(int dir, const char* name, mode_t mode, int flags) {
  long result = ::syscall(kFchmodat2, dir, name, mode, flags);
  if (result == -1 && errno == ENOSYS)
    return ::fchmodat(dir, name, mode, flags);
  return static_cast<int>(result);
}

int RealUnlinkat(int dir, const char* name, int flags) {
  return ::unlinkat(dir, name, flags);
}

int RealClose(int fd) { return ::close(fd); }

int RealClockGettime(clockid_t clock, struct timespec* now) {
  return ::clock_gettime(clock, now);
}

int RealRingInit(unsigned entries, struct io_uring* ring, unsigned flags) {
  return ::io_uring_queue_init(entries, ring, flags);
}

int RealRingSubmit(struct io_uring* ring) { return ::io_uring_submit(ring); }

int RealRingWait(struct io_uring* ring, struct io_uring_cqe** outcome) {
  return ::io_uring_wait_cqe(ring, outcome);
}

}  // namespace

const SystemCalls kRealSystemCalls = {
    RealOpenat, RealGetdents64,   RealStatx,    RealFchmodat,   RealUnlinkat,
    RealClose,  RealClockGettime, RealRingInit, RealRingSubmit, RealRingWait};

SystemCalls g_system_calls = kRealSystemCalls;
