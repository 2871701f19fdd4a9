// Deleting files with many deletions in flight from one thread: each is
// handed to the kernel as an io_uring unlinkat relative to the listing's
// descriptor, and the kernel's workers carry them out side by side. Outcomes
// are kept in start order in a fixed ring of slots, so what is reported is
// exactly what synchronous deletion would report, in the same order.

#include <liburing.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/file_api.h"
#include "platform/listing.h"
#include "platform/system_calls.h"

namespace {

// Deleting an empty file takes some 10 microseconds; deleting one that holds
// data on a disk that discards freed blocks as it goes (ext4 with -o discard)
// takes 100 to 300, nearly all of it waiting. Only then does overlapping
// deletions pay; otherwise the ring's round trips and the wait for it before
// each subdirectory cost more than they save.
constexpr long kSlowDeletionNanoseconds = 50000;
// One stall (a journal commit, say) must not decide alone.
constexpr long kLongestSample = 4 * kSlowDeletionNanoseconds;
// Even while deletions are queued, one file in this many is deleted on the
// spot, so that the average follows the disk and a wrong turn is undone.
constexpr long kSampleEvery = 32;
// Started deletions are handed to the kernel in batches of this many.
constexpr unsigned kSubmitBatch = 16;
// A kernel that keeps saying it is busy, with nothing of ours left to reap,
// is given up on after this many tries in a row.
constexpr int kBusyRetries = 16;
constexpr unsigned kSlots = kMaxUncollectedDeletions;

enum class Ring { kUntried, kReady, kUnavailable };

struct Deletion {
  char name[kMaxNameSize];
  HANDLE listing;
  int error;  // 0 when deleted
  bool finished;
  bool submitted;  // handed to the kernel
};

Deletion g_slots[kSlots];
// Moving average of how long deletions on the spot take.
long g_deletion_nanoseconds = 0;
// Absolute numbers of the oldest uncollected deletion and of the next one.
unsigned long g_oldest = 0;
unsigned long g_next = 0;
unsigned g_unsubmitted = 0;
struct io_uring g_ring;
Ring g_ring_state = Ring::kUntried;

Deletion& Slot(unsigned long number) { return g_slots[number % kSlots]; }

bool RingReady() {
  if (g_ring_state == Ring::kUntried) {
    // Refused on old kernels, where io_uring is disabled, and under seccomp
    // filters that block it: deletion then stays synchronous.
    g_ring_state = g_system_calls.ring_init(kSlots, &g_ring, 0) == 0
                       ? Ring::kReady
                       : Ring::kUnavailable;
    if (g_ring_state == Ring::kReady) {
      // Deletions go to the kernel's bounded worker pool, by default four
      // workers a processor; each deletion mostly waits on the disk, so
      // every slot gets a worker.
      unsigned workers[2] = {kSlots, 0};
      ::io_uring_register_iowq_max_workers(&g_ring, workers);
    }
  }
  return g_ring_state == Ring::kReady;
}

long Now() {
  struct timespec now;
  g_system_calls.clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000L + now.tv_nsec;
}

void DeleteNow(Deletion& deletion) {
  long start = Now();
  deletion.error = DeleteFileA(deletion.listing, deletion.name)
                       ? 0
                       : static_cast<int>(GetLastError());
  deletion.finished = true;
  long sample = Now() - start;
  if (sample > kLongestSample) sample = kLongestSample;
  g_deletion_nanoseconds += (sample - g_deletion_nanoseconds) / 8;
}

// The first file of every directory, and one in kSampleEvery after it, is
// deleted on the spot; the rest are queued while deletions are slow.
bool ShouldQueue(const FindListing& listing) {
  return listing.files_started % kSampleEvery != 0 &&
         g_deletion_nanoseconds > kSlowDeletionNanoseconds;
}

void Record(const struct io_uring_cqe* cqe) {
  Deletion& deletion = Slot(cqe->user_data);
  // Someone else removing the entry first leaves what was asked for.
  deletion.error = cqe->res < 0 && cqe->res != -ENOENT ? -cqe->res : 0;
  deletion.finished = true;
}

void Reap() {
  struct io_uring_cqe* cqe;
  while (::io_uring_peek_cqe(&g_ring, &cqe) == 0) {
    Record(cqe);
    ::io_uring_cqe_seen(&g_ring, cqe);
  }
}

// The ring failed in a way that retrying will not mend. What the kernel has
// not taken is done here; what it has taken is waited for, and reported as
// failed if even that is impossible, so nothing is ever called deleted that
// may not be.
void GiveUpRing() {
  g_ring_state = Ring::kUnavailable;
  for (unsigned long n = g_oldest; n != g_next; ++n) {
    if (!Slot(n).finished && !Slot(n).submitted) DeleteNow(Slot(n));
  }
  g_unsubmitted = 0;
  for (unsigned long n = g_oldest; n != g_next; ++n) {
    while (!Slot(n).finished) {
      struct io_uring_cqe* cqe;
      int result = ::io_uring_wait_cqe(&g_ring, &cqe);
      if (result == -EINTR) continue;
      if (result < 0) {
        Slot(n).error = EIO;
        Slot(n).finished = true;
        break;
      }
      Record(cqe);
      ::io_uring_cqe_seen(&g_ring, cqe);
    }
  }
}

// Hands every started deletion to the kernel; false when the ring broke.
bool Submit() {
  int busy = 0;
  while (g_unsubmitted > 0) {
    int result = g_system_calls.ring_submit(&g_ring);
    if (result == -EINTR) continue;
    if ((result == -EAGAIN || result == -EBUSY) && ++busy <= kBusyRetries) {
      // The kernel is short of room until some outcomes are reaped.
      Reap();
      continue;
    }
    if (result <= 0) {
      GiveUpRing();
      return false;
    }
    // The kernel takes entries in order, so the oldest unsubmitted go first.
    for (unsigned long n = g_oldest; n != g_next && result > 0; ++n) {
      if (!Slot(n).finished && !Slot(n).submitted) {
        Slot(n).submitted = true;
        --result;
        --g_unsubmitted;
      }
    }
  }
  return true;
}

bool Enqueue(Deletion& deletion, unsigned long number) {
  struct io_uring_sqe* sqe = ::io_uring_get_sqe(&g_ring);
  if (sqe == nullptr) {
    if (!Submit()) return false;
    sqe = ::io_uring_get_sqe(&g_ring);
    if (sqe == nullptr) return false;
  }
  ::io_uring_prep_unlinkat(sqe, deletion.listing->fd, deletion.name, 0);
  ::io_uring_sqe_set_data64(sqe, number);
  ++g_unsubmitted;
  return g_unsubmitted < kSubmitBatch || Submit();
}

void WaitFor(const Deletion& deletion) {
  while (!deletion.finished && g_ring_state == Ring::kReady) {
    if (g_unsubmitted > 0 && !Submit()) return;
    struct io_uring_cqe* cqe;
    int result = ::io_uring_wait_cqe(&g_ring, &cqe);
    if (result == -EINTR) continue;
    if (result < 0) {
      GiveUpRing();
      return;
    }
    Reap();
  }
}

}  // namespace

bool StartDeleteFileA(HANDLE listing, const char* name) {
  if (g_next - g_oldest == kSlots) return false;
  unsigned long number = g_next++;
  Deletion& deletion = Slot(number);
  std::size_t length = ::strnlen(name, kMaxNameSize - 1);
  std::memcpy(deletion.name, name, length);
  deletion.name[length] = '\0';
  deletion.listing = listing;
  deletion.error = 0;
  deletion.finished = false;
  deletion.submitted = false;
  if (name[length] != '\0') {
    // Longer than any name a listing delivers: not a name to act on.
    deletion.error = ENAMETOOLONG;
    deletion.finished = true;
    return true;
  }
  bool queued =
      ShouldQueue(*listing) && RingReady() && Enqueue(deletion, number);
  ++listing->files_started;
  if (!queued && !deletion.finished) DeleteNow(deletion);
  return true;
}

bool FinishDeleteFileA(bool wait, const char** name, bool* deleted) {
  if (g_oldest == g_next) return false;
  Deletion& deletion = Slot(g_oldest);
  if (!deletion.finished && g_ring_state == Ring::kReady) Reap();
  if (!deletion.finished) {
    if (!wait) return false;
    WaitFor(deletion);
  }
  ++g_oldest;
  *name = deletion.name;
  *deleted = deletion.error == 0;
  return true;
}

void ResetDeletionRing() {
  if (g_ring_state == Ring::kReady) ::io_uring_queue_exit(&g_ring);
  g_ring_state = Ring::kUntried;
  g_deletion_nanoseconds = 0;
}
