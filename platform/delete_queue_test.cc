// Queued deletion: when it is used, what happens when the ring is refused or
// breaks, and that the walk prints the same either way.

#include <errno.h>
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/system_calls.h"
#include "removal/walk_testing.h"
#include "tests/temp_tree.h"
#include "tests/test_clock.h"

namespace {

int g_file_unlinks;
int CountingUnlinkat(int dir, const char* name, int flags) {
  if (flags == 0) ++g_file_unlinks;
  return kRealSystemCalls.unlinkat(dir, name, flags);
}

int RefuseRing(unsigned, struct io_uring*, unsigned) { return -ENOSYS; }

int g_submits;
int BreakSecondSubmit(struct io_uring* ring) {
  if (++g_submits == 2) return -EBADF;
  return kRealSystemCalls.ring_submit(ring);
}

// A kernel that answers every submission with "busy"; after many tries it
// breaks, so that a caller that never gives up still ends.
int g_busy_submits;
int AlwaysBusy(struct io_uring*) {
  return ++g_busy_submits < 1000 ? -EAGAIN : -EBADF;
}

// A ring whose outcomes can no longer be waited for: what it was handed may
// still be carried out, or not.
int CannotWait(struct io_uring*, struct io_uring_cqe**) { return -EBADF; }

struct Outcome {
  bool ok;
  std::string out;
  std::string left;
  int file_unlinks;  // made by the program itself, not queued
};

enum class Ring { kUsed, kRefused, kBreaks, kUsedFast, kBusy, kCannotWait };

// Empties a tree with 200 files in T, 10 in T/small and 100 in T/big.
Outcome EmptyTree(Ring ring) {
  TempDir dir;
  std::vector<std::string> tree = {"T/", "T/small/", "T/big/"};
  for (int i = 0; i < 200; ++i) tree.push_back("T/f" + std::to_string(i));
  for (int i = 0; i < 10; ++i) tree.push_back("T/small/s" + std::to_string(i));
  for (int i = 0; i < 100; ++i) tree.push_back("T/big/b" + std::to_string(i));
  MakeTree(dir.path(), tree);
  g_file_unlinks = 0;
  g_submits = 0;
  g_busy_submits = 0;
  g_system_calls.unlinkat = CountingUnlinkat;
  g_system_calls.clock_gettime =
      ring == Ring::kUsedFast ? FastClock : SlowClock;
  if (ring == Ring::kRefused) g_system_calls.ring_init = RefuseRing;
  if (ring == Ring::kBreaks) g_system_calls.ring_submit = BreakSecondSubmit;
  if (ring == Ring::kBusy) g_system_calls.ring_submit = AlwaysBusy;
  if (ring == Ring::kCannotWait) g_system_calls.ring_wait = CannotWait;
  ResetDeletionRing();
  Walked walked = Walk(dir / "T");
  Outcome outcome{walked.ok, walked.out, "", 0};
  g_system_calls = kRealSystemCalls;
  ResetDeletionRing();
  outcome.left = ListTree(dir / "T");
  outcome.file_unlinks = g_file_unlinks;
  // Paths differ between trees; the names and their order must not.
  for (std::string::size_type at;
       (at = outcome.out.find(dir.path())) != std::string::npos;) {
    outcome.out.replace(at, dir.path().size(), "$");
  }
  return outcome;
}

TEST(DeleteQueue, QueuesSlowDeletionsAndPrintsAsIfItDidNot) {
  Outcome refused = EmptyTree(Ring::kRefused);
  EXPECT_TRUE(refused.ok);
  EXPECT_EQ(310, refused.file_unlinks);
  EXPECT_EQ("", refused.left);

  // Once deletions prove slow, only one file in 32 is deleted on the spot
  // (9 of 310), besides the few it takes to notice.
  Outcome used = EmptyTree(Ring::kUsed);
  EXPECT_TRUE(used.ok);
  EXPECT_EQ("", used.left);
  EXPECT_EQ(refused.out, used.out);
  EXPECT_LE(used.file_unlinks, 5 + 9);

  // Fast deletions never wait on the ring.
  Outcome fast = EmptyTree(Ring::kUsedFast);
  EXPECT_TRUE(fast.ok);
  EXPECT_EQ(refused.out, fast.out);
  EXPECT_EQ(310, fast.file_unlinks);

  Outcome breaks = EmptyTree(Ring::kBreaks);
  EXPECT_TRUE(breaks.ok);
  EXPECT_EQ("", breaks.left);
  EXPECT_EQ(refused.out, breaks.out);
  EXPECT_GT(breaks.file_unlinks, used.file_unlinks);

  // A ring that is always busy is given up on soon, as if it broke.
  Outcome busy = EmptyTree(Ring::kBusy);
  EXPECT_TRUE(busy.ok);
  EXPECT_EQ("", busy.left);
  EXPECT_EQ(refused.out, busy.out);
  EXPECT_LT(g_busy_submits, 100);
}

// When outcomes can no longer be waited for, each is judged by whether its
// name is gone: a file is never reported deleted while it is still there.
TEST(DeleteQueue, NeverCallsDeletedWhatTheRingCannotAccountFor) {
  Outcome outcome = EmptyTree(Ring::kCannotWait);
  std::set<std::string> left;
  std::istringstream tree(outcome.left);
  for (std::string line; std::getline(tree, line);) {
    left.insert(line.substr(line.rfind('/') + 1));
  }
  std::istringstream out(outcome.out);
  int files = 0;
  for (std::string line; std::getline(out, line);) {
    if (line.empty() || line[0] != '\t') continue;
    ++files;
    if (line.find(" - Failed!") == std::string::npos) {
      EXPECT_EQ(0u, left.count(line.substr(1))) << line;
    }
  }
  EXPECT_EQ(310, files);
}

}  // namespace
