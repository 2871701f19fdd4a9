// The walk's failure paths, driven by making one system call under the file
// layer fail (or act as if someone else got there first).

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/system_calls.h"
#include "removal/walk.h"
#include "removal/walk_testing.h"
#include "tests/temp_tree.h"
#include "tests/test_clock.h"

namespace {

enum class Call { kOpen, kList, kUnlink, kRemoveDir };

// One injected fault: the `nth` matching call (counting from 1) fails with
// `error`. With `after_real`, the real call runs first, so the fault is what
// a caller sees when someone else did the deed a moment earlier.
struct Fault {
  Call call;
  const char* name;  // matched against the entry name; nullptr for any
  int nth;
  int error;
  bool after_real;
};

Fault g_fault;
int g_seen;

bool Matches(Call call, const char* name) {
  if (call != g_fault.call) return false;
  if (g_fault.name != nullptr && std::strcmp(g_fault.name, name) != 0) {
    return false;
  }
  return ++g_seen == g_fault.nth;
}

template <typename Real>
auto Inject(Real real) {
  if (g_fault.after_real) real();
  errno = g_fault.error;
  return decltype(real())(-1);
}

int FaultyOpenat(int dir, const char* name, int flags) {
  auto real = [&] { return kRealSystemCalls.openat(dir, name, flags); };
  return Matches(Call::kOpen, name) ? Inject(real) : real();
}

ssize_t FaultyGetdents(int fd, void* buffer, size_t size) {
  auto real = [&] { return kRealSystemCalls.getdents64(fd, buffer, size); };
  return Matches(Call::kList, "") ? Inject(real) : real();
}

int FaultyUnlinkat(int dir, const char* name, int flags) {
  auto real = [&] { return kRealSystemCalls.unlinkat(dir, name, flags); };
  Call call = (flags & AT_REMOVEDIR) ? Call::kRemoveDir : Call::kUnlink;
  return Matches(call, name) ? Inject(real) : real();
}

int RefuseRing(unsigned, struct io_uring*, unsigned) { return -ENOSYS; }

class WalkFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Every deletion and removal on the spot, where the faults are injected.
    g_system_calls.ring_init = RefuseRing;
    g_system_calls.clock_gettime = FastClock;
    ResetDeletionRing();
    g_system_calls.openat = FaultyOpenat;
    g_system_calls.getdents64 = FaultyGetdents;
    g_system_calls.unlinkat = FaultyUnlinkat;
  }
  void TearDown() override {
    g_system_calls = kRealSystemCalls;
    ResetDeletionRing();
  }
};

// Every tree is a chain T/a/b/c/f, one entry per directory, so the order of
// the output is fixed.
TEST_F(WalkFaultTest, ReportsEachFailureOnceAndNeverClaimsSuccess) {
  const std::string chain = "$/a\n$/a/b\n$/a/b/c\n";
  const std::string whole = "a/\na/b/\na/b/c/\na/b/c/f\n";
  struct Case {
    const char* name;
    Fault fault;
    bool del_root;
    std::string out;
    bool ok;
    std::string left;
  } cases[] = {
      {"no fault",
       {Call::kOpen, "none", 1, 0, false},
       true,
       chain + "\tf\n",
       true,
       "(missing)"},
      {"listing of the target cannot open",
       {Call::kOpen, nullptr, 1, EACCES, false},
       false,
       "Path not found: [$]\n",
       false,
       whole},
      {"listing at depth 3 cannot open",
       {Call::kOpen, "c", 1, EACCES, false},
       true,
       chain + "Path not found: [$/a/b/c]\n",
       false,
       whole},
      {"out of descriptors at depth 2",
       {Call::kOpen, "b", 1, EMFILE, false},
       true,
       "$/a\n$/a/b\nPath not found: [$/a/b]\n",
       false,
       whole},
      {"listing breaks off after its first read",
       {Call::kList, nullptr, 5, EIO, false},
       true,
       chain + "\tf\nPath not found: [$/a/b/c]\n",
       false,
       "a/\na/b/\na/b/c/\n"},
      {"listing breaks off on its first read",
       {Call::kList, nullptr, 1, EIO, false},
       true,
       "Path not found: [$]\n",
       false,
       whole},
      {"file cannot be deleted",
       {Call::kUnlink, "f", 1, EPERM, false},
       false,
       chain + "\tf - Failed!\n",
       false,
       whole},
      {"subdirectory cannot be removed",
       {Call::kRemoveDir, "b", 1, EBUSY, false},
       false,
       chain + "\tf\n",
       false,
       "a/\na/b/\n"},
      {"target cannot be removed",
       {Call::kRemoveDir, "$", 1, EBUSY, false},
       true,
       chain + "\tf\n",
       false,
       ""},
      {"file already gone",
       {Call::kUnlink, "f", 1, ENOENT, true},
       true,
       chain + "\tf\n",
       true,
       "(missing)"},
      {"subdirectory gone before it is listed",
       {Call::kOpen, "c", 1, ENOENT, false},
       false,
       chain,
       false,
       "a/\na/b/\na/b/c/\na/b/c/f\n"},
      {"subdirectory already gone",
       {Call::kRemoveDir, "c", 1, ENOENT, true},
       true,
       chain + "\tf\n",
       true,
       "(missing)"},
      {"target path no longer resolves",
       {Call::kRemoveDir, "$", 1, ENOENT, true},
       true,
       chain + "\tf\n",
       false,
       "(missing)"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::string target = dir / "T";
    MakeTree(dir.path(), {"T/", "T/a/", "T/a/b/", "T/a/b/c/", "T/a/b/c/f"});
    g_fault = c.fault;
    if (g_fault.name != nullptr && std::strcmp(g_fault.name, "$") == 0) {
      g_fault.name = target.c_str();
    }
    g_seen = 0;
    Walked walked = Walk(target, false, c.del_root);
    std::string expected = c.out;
    for (std::string::size_type at;
         (at = expected.find('$')) != std::string::npos;) {
      expected.replace(at, 1, target);
    }
    EXPECT_EQ(expected, walked.out) << c.name;
    EXPECT_EQ(c.ok, walked.ok) << c.name;
    EXPECT_EQ(c.left, ListTree(target)) << c.name;
  }
}

TEST_F(WalkFaultTest, GoesOnToTheNextEntryAfterAFailedDeletion) {
  TempDir dir;
  std::vector<std::string> tree = {"T/"};
  for (int i = 0; i < 50; ++i) tree.push_back("T/f" + std::to_string(i));
  MakeTree(dir.path(), tree);
  g_fault = {Call::kUnlink, nullptr, 10, EPERM, false};
  g_seen = 0;
  Walked walked = Walk(dir / "T");
  EXPECT_FALSE(walked.ok);
  int lines = 0;
  int failed = 0;
  for (char c : walked.out) lines += c == '\n';
  for (std::string::size_type at = 0;
       (at = walked.out.find(" - Failed!", at)) != std::string::npos; ++at) {
    ++failed;
  }
  EXPECT_EQ(50, lines);
  EXPECT_EQ(1, failed);
  // Exactly the one that failed is left.
  std::string left = ListTree(dir / "T");
  EXPECT_EQ(1, std::count(left.begin(), left.end(), '\n'));
  EXPECT_NE(
      std::string::npos,
      walked.out.find("\t" + left.substr(0, left.size() - 1) + " - Failed!\n"));
}

// Someone else deleting the same tree at the same time is no failure.
TEST_F(WalkFaultTest, ARealConcurrentDeleterIsNoFailure) {
  TearDown();
  for (int round = 0; round < 5; ++round) {
    TempDir dir;
    std::vector<std::string> tree = {"T/"};
    for (int d = 0; d < 20; ++d) {
      std::string sub = "T/d" + std::to_string(d) + "/";
      tree.push_back(sub);
      for (int f = 0; f < 200; ++f) tree.push_back(sub + std::to_string(f));
    }
    MakeTree(dir.path(), tree);
    std::atomic<bool> go{false};
    std::thread other([&] {
      while (!go) {
      }
      for (int d = 19; d >= 0; --d) {
        std::string sub = dir / ("T/d" + std::to_string(d));
        for (int f = 199; f >= 0; --f) {
          ::unlink((sub + "/" + std::to_string(f)).c_str());
        }
        ::rmdir(sub.c_str());
      }
    });
    go = true;
    Walked walked = Walk(dir / "T", false, true);
    other.join();
    EXPECT_TRUE(walked.ok) << round;
    EXPECT_EQ(std::string::npos, walked.out.find("Failed")) << round;
    EXPECT_EQ(std::string::npos, walked.out.find("Path not found")) << round;
    EXPECT_EQ("(missing)", ListTree(dir / "T")) << round;
  }
}

}  // namespace
