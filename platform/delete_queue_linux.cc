// Deleting with many operations in flight from one thread: files, and
// directories once their own entries are gone, are handed to the kernel as
// io_uring unlinkat operations relative to the open directory that holds
// them, and the kernel's workers carry them out side by side. File outcomes
// are kept in start order in a fixed ring of slots, so what is reported is
// exactly what deleting one file at a time would report, in the same order.

#include <liburing.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "platform/file_api.h"
#include "platform/listing.h"
#include "platform/system_calls.h"

namespace {

// Deleting an empty file takes some 10 microseconds; deleting one that holds
// data on a disk that discards freed blocks as it goes (ext4 with -o discard)
// takes 100 to 300, nearly all of it waiting. Only then does handing files
// to the kernel's workers pay for its round trips.
constexpr long kSlowDeletionNanoseconds = 50000;
// One stall (a journal commit, say) must not decide alone.
constexpr long kLongestSample = 4 * kSlowDeletionNanoseconds;
// Even while deletions are queued, one file in this many is deleted on the
// spot, so that the average follows the disk and a wrong turn is undone.
constexpr long kSampleEvery = 32;
// Started operations are handed to the kernel in batches of this many.
constexpr unsigned kSubmitBatch = 16;
// A kernel that keeps saying it is busy, with nothing of ours left to reap,
// is given up on after this many tries in a row.
constexpr int kBusyRetries = 16;
constexpr unsigned kFileSlots = kMaxUncollectedDeletions;
// Directory removals in flight at once; past that they are done on the spot.
constexpr unsigned kRemovalSlots = 256;
constexpr unsigned kRingEntries = kFileSlots + kRemovalSlots;
// Marks a removal's number in what the kernel hands back.
constexpr std::uint64_t kRemovalTag = std::uint64_t{1} << 63;

enum class Ring { kUntried, kReady, kUnavailable };

// One unlinkat: of `name` inside `directory`.
struct Operation {
  char name[kMaxNameSize];
  HANDLE directory;
  int error;  // 0 when done
  bool finished;
  bool submitted;  // handed to the kernel
};

Operation g_files[kFileSlots];
// Absolute numbers of the oldest uncollected file deletion and of the next.
unsigned long g_oldest = 0;
unsigned long g_next = 0;

Operation g_removals[kRemovalSlots];
unsigned g_free_removals[kRemovalSlots];
unsigned g_free_removal_count = kRemovalSlots;
unsigned g_removals_in_flight = 0;
unsigned long g_failed_removals = 0;

// What has been queued to the kernel and not yet submitted, in queue order.
std::uint64_t g_unsubmitted[kRingEntries];
unsigned g_unsubmitted_first = 0;
unsigned g_unsubmitted_count = 0;

// Moving average of how long deletions on the spot take.
long g_deletion_nanoseconds = 0;
unsigned long g_files_started = 0;
struct io_uring g_ring;
Ring g_ring_state = Ring::kUntried;

Operation& FileSlot(unsigned long number) {
  return g_files[number % kFileSlots];
}

Operation& OperationOf(std::uint64_t data) {
  if ((data & kRemovalTag) != 0) return g_removals[data & ~kRemovalTag];
  return FileSlot(data);
}

bool RingReady() {
  if (g_ring_state == Ring::kUntried) {
    // Refused on old kernels, where io_uring is disabled, and under seccomp
    // filters that block it: deletion then stays synchronous.
    g_ring_state = g_system_calls.ring_init(kRingEntries, &g_ring, 0) == 0
                       ? Ring::kReady
                       : Ring::kUnavailable;
    if (g_ring_state == Ring::kReady) {
      // Operations go to the kernel's bounded worker pool, by default four
      // workers a processor; each mostly waits on the disk, so every slot
      // gets a worker.
      unsigned workers[2] = {kRingEntries, 0};
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

void FinishRemoval(Operation& removal);

// Removes directory `directory`, all of whose entries are gone: queued, or
// on the spot. Returns its parent when the removal is already over, so that
// the caller can let the parent know.
HANDLE RemoveEmptied(HANDLE directory);

// One entry of `directory` is dealt with; a directory waiting for its last
// entry is removed in turn, and so on up.
void Release(HANDLE directory) {
  while (directory != nullptr && --directory->outstanding == 0 &&
         directory->remove_when_empty) {
    directory = RemoveEmptied(directory);
  }
}

void DeleteNow(Operation& deletion) {
  long start = Now();
  deletion.error = DeleteFileA(deletion.directory, deletion.name)
                       ? 0
                       : static_cast<int>(GetLastError());
  deletion.finished = true;
  long sample = Now() - start;
  if (sample > kLongestSample) sample = kLongestSample;
  g_deletion_nanoseconds += (sample - g_deletion_nanoseconds) / 8;
  Release(deletion.directory);
}

// Files are queued while deletions on the spot prove slow; one in
// kSampleEvery is still deleted on the spot, to keep measuring.
bool ShouldQueue() {
  return ++g_files_started % kSampleEvery != 0 &&
         g_deletion_nanoseconds > kSlowDeletionNanoseconds;
}

// Takes in one outcome the kernel handed back.
void Record(const struct io_uring_cqe* cqe) {
  Operation& operation = OperationOf(cqe->user_data);
  // Someone else removing the entry first leaves what was asked for.
  operation.error = cqe->res < 0 && cqe->res != -ENOENT ? -cqe->res : 0;
  operation.finished = true;
  if ((cqe->user_data & kRemovalTag) != 0) {
    FinishRemoval(operation);
  } else {
    Release(operation.directory);
  }
}

void Reap() {
  struct io_uring_cqe* cqe;
  while (::io_uring_peek_cqe(&g_ring, &cqe) == 0) {
    // Seen first: taking it in may queue more.
    struct io_uring_cqe copy = *cqe;
    ::io_uring_cqe_seen(&g_ring, cqe);
    Record(&copy);
  }
}

// Settles an operation whose outcome the ring can no longer tell: it is done
// if its name is gone. The kernel may still carry it out, relative to the
// directory's descriptor, so that descriptor is never closed.
void JudgeUnknown(Operation& operation) {
  operation.directory->pinned = true;
  struct statx st;
  bool gone = g_system_calls.statx(operation.directory->fd, operation.name,
                                   AT_SYMLINK_NOFOLLOW, STATX_TYPE, &st) != 0 &&
              errno == ENOENT;
  operation.error = gone ? 0 : EIO;
  operation.finished = true;
}

void RemoveNow(Operation& removal) {
  removal.error = RemoveDirectoryA(removal.directory, removal.name)
                      ? 0
                      : static_cast<int>(GetLastError());
  removal.finished = true;
}

// Every operation handed to the kernel that has not finished, waited for.
void WaitForSubmitted() {
  for (;;) {
    bool waiting = g_removals_in_flight > 0;
    for (unsigned long n = g_oldest; n != g_next && !waiting; ++n) {
      waiting = FileSlot(n).submitted && !FileSlot(n).finished;
    }
    if (!waiting) return;
    struct io_uring_cqe* cqe;
    int result = g_system_calls.ring_wait(&g_ring, &cqe);
    if (result == -EINTR) continue;
    if (result < 0) break;
    Reap();
  }
  for (unsigned long n = g_oldest; n != g_next; ++n) {
    Operation& deletion = FileSlot(n);
    if (deletion.submitted && !deletion.finished) {
      JudgeUnknown(deletion);
      Release(deletion.directory);
    }
  }
  for (Operation& removal : g_removals) {
    if (removal.submitted && !removal.finished) {
      JudgeUnknown(removal);
      FinishRemoval(removal);
    }
  }
}

// The ring failed in a way that retrying will not mend. What the kernel has
// not taken is done here; what it has taken is waited for, or, if even that
// is impossible, judged by whether its name is still there, so nothing is
// ever called deleted that may not be.
void GiveUpRing() {
  g_ring_state = Ring::kUnavailable;
  for (; g_unsubmitted_count > 0; --g_unsubmitted_count) {
    std::uint64_t data = g_unsubmitted[g_unsubmitted_first];
    g_unsubmitted_first = (g_unsubmitted_first + 1) % kRingEntries;
    Operation& operation = OperationOf(data);
    if ((data & kRemovalTag) != 0) {
      RemoveNow(operation);
      FinishRemoval(operation);
    } else {
      DeleteNow(operation);
    }
  }
  WaitForSubmitted();
}

// Hands every queued operation to the kernel; false when the ring broke.
bool Submit() {
  int busy = 0;
  while (g_unsubmitted_count > 0) {
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
    // The kernel takes entries in the order they were queued.
    for (; result > 0 && g_unsubmitted_count > 0; --result) {
      OperationOf(g_unsubmitted[g_unsubmitted_first]).submitted = true;
      g_unsubmitted_first = (g_unsubmitted_first + 1) % kRingEntries;
      --g_unsubmitted_count;
    }
  }
  return true;
}

// Queues `operation`, numbered `data`, to the kernel; false, queuing
// nothing, when the ring cannot take it.
bool Enqueue(Operation& operation, std::uint64_t data, int flags) {
  struct io_uring_sqe* sqe = ::io_uring_get_sqe(&g_ring);
  if (sqe == nullptr) {
    if (!Submit()) return false;
    sqe = ::io_uring_get_sqe(&g_ring);
    if (sqe == nullptr) return false;
  }
  ::io_uring_prep_unlinkat(sqe, operation.directory->fd, operation.name, flags);
  ::io_uring_sqe_set_data64(sqe, data);
  // The kernel hands every unlinkat to a worker anyway; asking for that at
  // once saves it a try on the submitting thread.
  ::io_uring_sqe_set_flags(sqe, IOSQE_ASYNC);
  g_unsubmitted[(g_unsubmitted_first + g_unsubmitted_count) % kRingEntries] =
      data;
  ++g_unsubmitted_count;
  if (g_unsubmitted_count >= kSubmitBatch) Submit();
  return true;
}

// Waits for one outcome from the kernel; false when the ring broke.
bool WaitOnce() {
  if (g_unsubmitted_count > 0 && !Submit()) return false;
  struct io_uring_cqe* cqe;
  int result;
  do {
    result = g_system_calls.ring_wait(&g_ring, &cqe);
  } while (result == -EINTR);
  if (result < 0) {
    GiveUpRing();
    return false;
  }
  Reap();
  return true;
}

void WaitFor(const Operation& operation) {
  while (!operation.finished && g_ring_state == Ring::kReady && WaitOnce()) {
  }
}

void FinishRemoval(Operation& removal) {
  if (removal.error != 0) ++g_failed_removals;
  HANDLE parent = removal.directory;
  removal.submitted = false;
  --g_removals_in_flight;
  g_free_removals[g_free_removal_count++] =
      static_cast<unsigned>(&removal - g_removals);
  Release(parent);
}

unsigned TakeRemovalSlot() {
  // All free: the list may never have been filled.
  if (g_free_removal_count == kRemovalSlots) {
    for (unsigned i = 0; i < kRemovalSlots; ++i) g_free_removals[i] = i;
  }
  return g_free_removals[--g_free_removal_count];
}

HANDLE RemoveEmptied(HANDLE directory) {
  Operation removal;
  std::memcpy(removal.name, directory->name, sizeof removal.name);
  removal.directory = directory->parent;
  removal.error = 0;
  removal.finished = false;
  removal.submitted = false;
  // Nothing uses its own descriptor any more.
  CloseHandle(directory);
  // Like files, directories go to the kernel only while deletions are slow;
  // otherwise a chain of them, each waiting for the one inside, would pay a
  // round trip apiece.
  if (g_deletion_nanoseconds > kSlowDeletionNanoseconds && RingReady() &&
      g_free_removal_count > 0) {
    unsigned slot = TakeRemovalSlot();
    g_removals[slot] = removal;
    ++g_removals_in_flight;
    // Should the ring break meanwhile, the removal is finished either way.
    if (Enqueue(g_removals[slot], kRemovalTag | slot, AT_REMOVEDIR)) {
      return nullptr;
    }
    --g_removals_in_flight;
    g_free_removals[g_free_removal_count++] = slot;
  }
  RemoveNow(removal);
  if (removal.error != 0) ++g_failed_removals;
  return removal.directory;
}

}  // namespace

bool StartDeleteFileA(HANDLE listing, const char* name) {
  if (g_next - g_oldest == kFileSlots) return false;
  unsigned long number = g_next++;
  Operation& deletion = FileSlot(number);
  std::size_t length = ::strnlen(name, kMaxNameSize - 1);
  std::memcpy(deletion.name, name, length);
  deletion.name[length] = '\0';
  deletion.directory = listing;
  deletion.error = 0;
  deletion.finished = false;
  deletion.submitted = false;
  if (name[length] != '\0') {
    // Longer than any name a listing delivers: not a name to act on.
    deletion.error = ENAMETOOLONG;
    deletion.finished = true;
    return true;
  }
  ++listing->outstanding;
  if (!(ShouldQueue() && RingReady() && Enqueue(deletion, number, 0))) {
    DeleteNow(deletion);
  }
  return true;
}

bool FinishDeleteFileA(bool wait, const char** name, bool* deleted) {
  if (g_oldest == g_next) return false;
  Operation& deletion = FileSlot(g_oldest);
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

void RemoveDirectoryWhenEmptyA(HANDLE parent, const char* name,
                               HANDLE directory) {
  if (directory == INVALID_HANDLE_VALUE) {
    if (!RemoveDirectoryA(parent, name)) ++g_failed_removals;
    return;
  }
  std::size_t length = ::strnlen(name, kMaxNameSize - 1);
  std::memcpy(directory->name, name, length);
  directory->name[length] = '\0';
  directory->parent = parent;
  directory->remove_when_empty = true;
  ++parent->outstanding;
  // Counted once more and let go, so that an empty one goes at once.
  ++directory->outstanding;
  Release(directory);
}

bool WaitForRemovalA() {
  if (g_removals_in_flight == 0) return false;
  WaitOnce();
  return true;
}

unsigned long FailedDirectoryRemovals() { return g_failed_removals; }

void ResetDeletionRing() {
  if (g_ring_state == Ring::kReady) ::io_uring_queue_exit(&g_ring);
  g_ring_state = Ring::kUntried;
  g_deletion_nanoseconds = 0;
}
