#include "removal/walk.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "platform/system_calls.h"
#include "removal/walk_testing.h"
#include "tests/temp_tree.h"
#include "tests/test_clock.h"

namespace {

std::string SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  std::string sorted;
  for (const std::string& line : lines) sorted += line + "\n";
  return sorted;
}

class WalkTest : public ::testing::Test {
 protected:
  void TearDown() override { g_system_calls = kRealSystemCalls; }
  TempDir dir_;
};

// Runs every row with and without /Silent: the outcome and what is left
// must not change, and the silent walk must print nothing.
TEST_F(WalkTest, EmptiesTreesAsAskedAndReportsEachEntry) {
  struct Case {
    const char* name;
    std::vector<std::string> tree;  // below dir/T
    const char* target;             // relative to dir
    bool del_root, recursive;
    std::string out;  // with $ for dir/T; compared line-sorted
    bool ok;
    std::string left;  // ListTree of dir/T afterwards
  } cases[] = {
      {"empty target", {}, "T", false, true, "", true, ""},
      {"empty target removed", {}, "T", true, true, "", true, "(missing)"},
      {"files and nested directories",
       {"a", "b", "sub/", "sub/c", "sub/deeper/", "sub/deeper/d"},
       "T",
       true,
       true,
       "\ta\n\tb\n$/sub\n\tc\n$/sub/deeper\n\td\n",
       true,
       "(missing)"},
      {"dot files",
       {".hidden", ".dir/", ".dir/.x"},
       "T",
       false,
       true,
       "\t.hidden\n$/.dir\n\t.x\n",
       true,
       ""},
      {"not recursive keeps subdirectories",
       {"a", "sub/", "sub/c"},
       "T",
       false,
       false,
       "\ta\n",
       true,
       "sub/\nsub/c\n"},
      {"not recursive cannot remove the target",
       {"a", "sub/"},
       "T",
       true,
       false,
       "\ta\n",
       false,
       "sub/\n"},
      {"missing target",
       {},
       "T/none",
       false,
       true,
       "Path not found: [$/none]\n",
       false,
       ""},
      {"target is a file",
       {"f"},
       "T/f",
       false,
       true,
       "Path not found: [$/f]\n",
       false,
       "f\n"},
      {"trailing separator doubles in paths",
       {"sub/", "sub/c"},
       "T/",
       false,
       true,
       "$//sub\n\tc\n",
       true,
       ""},
      {"links are deleted, not followed",
       {"to-dir->../outside", "to-file->../outside/keep", "dangling->nowhere"},
       "T",
       false,
       true,
       "\tto-dir\n\tto-file\n\tdangling\n",
       true,
       ""},
      {"fifo is deleted without being opened",
       {"pipe|"},
       "T",
       false,
       true,
       "\tpipe\n",
       true,
       ""},
      {"names with odd bytes",
       {"a b", "%s%n", "-rf", "back\\slash", "\xe9t\xe9", "new\nline"},
       "T",
       false,
       true,
       "\ta b\n\t%s%n\n\t-rf\n\tback\\slash\n\t\xe9t\xe9\n\tnew\nline\n",
       true,
       ""},
  };
  for (bool silent : {false, true}) {
    for (const Case& c : cases) {
      TempDir dir;
      MakeTree(dir.path(), {"T/", "outside/", "outside/keep"});
      MakeTree(dir / "T", c.tree);
      std::string target = dir / c.target;
      Walked walked = Walk(target, silent, c.del_root, c.recursive);
      std::string expected = c.out;
      for (std::string::size_type at;
           (at = expected.find('$')) != std::string::npos;) {
        expected.replace(at, 1, dir / "T");
      }
      std::string label = std::string(c.name) + (silent ? " (silent)" : "");
      EXPECT_EQ(c.ok, walked.ok) << label;
      EXPECT_EQ(silent ? "" : SortedLines(expected), SortedLines(walked.out))
          << label;
      EXPECT_EQ(c.left, ListTree(dir / "T")) << label;
      EXPECT_EQ("keep\n", ListTree(dir / "outside")) << label;
    }
  }
}

TEST_F(WalkTest, PrintsADirectoryBeforeItsContents) {
  MakeTree(dir_.path(), {"T/", "T/a/", "T/a/b/", "T/a/b/f"});
  Walked walked = Walk(dir_ / "T");
  EXPECT_TRUE(walked.ok);
  EXPECT_EQ(dir_ / "T/a\n" + dir_ / "T/a/b\n\tf\n", walked.out);
}

TEST_F(WalkTest, MakesUnreadableDirectoriesDeletableFirst) {
  MakeTree(dir_.path(), {"T/", "T/locked/", "T/locked/f", "T/kept/"});
  ::chmod((dir_ / "T/locked").c_str(), 0);
  ::chmod((dir_ / "T/kept").c_str(), 02050);
  Walked walked = Walk(dir_ / "T", true, false, false);
  EXPECT_TRUE(walked.ok);
  // Skipped subdirectories still have their owner bits reset, and no other
  // mode bit changes.
  struct stat st;
  ASSERT_EQ(0, ::stat((dir_ / "T/locked").c_str(), &st));
  EXPECT_EQ(0700u, st.st_mode & 07777);
  ASSERT_EQ(0, ::stat((dir_ / "T/kept").c_str(), &st));
  EXPECT_EQ(02750u, st.st_mode & 07777);
  EXPECT_TRUE(Walk(dir_ / "T").ok);
  EXPECT_EQ("", ListTree(dir_ / "T"));
}

TEST_F(WalkTest, LeavesEntriesWhosePathsDoNotFitAndSaysWhich) {
  // 9 levels of 200-character names, then names that reach past 2047.
  std::string chain = "T";
  std::string expected;
  const std::string part(200, 'd');
  for (int i = 0; i < 9; ++i) {
    chain += "/" + part;
    expected += dir_ / chain + "\n";
  }
  MakeTree(dir_.path(), {chain + "/"});
  std::string deepest = dir_ / chain;
  int room = 2047 - static_cast<int>(deepest.size()) - 1;
  ASSERT_GT(room, 1);
  ASSERT_LT(room, 254);
  std::string fits(static_cast<std::size_t>(room), 'f');
  std::string too_long(static_cast<std::size_t>(room) + 1, 'g');
  MakeTree(deepest, {fits, too_long, too_long + "d/"});
  Walked walked = Walk(dir_ / "T");
  EXPECT_FALSE(walked.ok);
  EXPECT_EQ(SortedLines(expected + "\t" + fits + "\n\t" + too_long +
                        " - Failed!\n\t" + too_long + "d - Failed!\n"),
            SortedLines(walked.out));
  EXPECT_EQ(too_long + "\n" + too_long + "d/\n", ListTree(deepest));
}

TEST_F(WalkTest, AnUndeletableFileFailsTheRunButNotTheWalk) {
  if (!IsRoot()) GTEST_SKIP() << "chattr +i needs root";
  MakeTree(dir_.path(), {"T/", "T/sub/", "T/sub/stuck", "T/sub/deep/",
                         "T/sub/deep/gone", "T/other"});
  if (!Shell("chattr +i '" + dir_ / "T/sub/stuck" + "'")) {
    GTEST_SKIP() << "this file system has no immutable attribute";
  }
  for (bool del_root : {false, true}) {
    Walked walked = Walk(dir_ / "T", false, del_root);
    EXPECT_FALSE(walked.ok) << del_root;
    EXPECT_NE(std::string::npos, walked.out.find("\tstuck - Failed!\n"));
    EXPECT_EQ("sub/\nsub/stuck\n", ListTree(dir_ / "T")) << del_root;
  }
  Shell("chattr -i '" + dir_ / "T/sub/stuck" + "'");
}

TEST_F(WalkTest, NeverDescendsIntoAMountPoint) {
  if (!IsRoot()) GTEST_SKIP() << "mounting needs root";
  MakeTree(dir_.path(),
           {"T/", "T/tmpfs/", "T/bind/", "source/", "source/keep"});
  if (::mount("kestrim", (dir_ / "T/tmpfs").c_str(), "tmpfs", 0, nullptr) !=
      0) {
    GTEST_SKIP() << "cannot mount here: " << std::strerror(errno);
  }
  ASSERT_EQ(0, ::mount((dir_ / "source").c_str(), (dir_ / "T/bind").c_str(),
                       nullptr, MS_BIND, nullptr));
  MakeTree(dir_ / "T/tmpfs", {"keep"});
  ::chmod((dir_ / "T/tmpfs").c_str(), 0);
  MakeTree(dir_ / "T", {"file"});
  Walked not_recursive = Walk(dir_ / "T", false, false, false);
  Walked walked = Walk(dir_ / "T");
  struct stat st;
  ::stat((dir_ / "T/tmpfs").c_str(), &st);
  std::string tmpfs_left = ListTree(dir_ / "T/tmpfs");
  std::string bind_left = ListTree(dir_ / "T/bind");
  ::umount2((dir_ / "T/tmpfs").c_str(), MNT_DETACH);
  ::umount2((dir_ / "T/bind").c_str(), MNT_DETACH);
  EXPECT_FALSE(walked.ok);
  EXPECT_EQ("\tbind - Failed!\n\ttmpfs - Failed!\n", SortedLines(walked.out));
  EXPECT_EQ("keep\n", tmpfs_left);
  EXPECT_EQ("keep\n", bind_left);
  // Under /NotRecursive they are subdirectories left on purpose, like any.
  EXPECT_TRUE(not_recursive.ok);
  EXPECT_EQ("\tfile\n", not_recursive.out);
  EXPECT_EQ(0u, st.st_mode & 07777) << "a mount's root is left alone";
  EXPECT_EQ("keep\n", ListTree(dir_ / "source"));
}

// Swaps T/sub for a link to `outside` once the walk has opened sub and is
// about to read it, as a hostile user racing the walk would.
std::string g_swap_root;
int g_reads;
ssize_t SwapThenRead(int fd, void* buffer, size_t size) {
  if (++g_reads == 2) {
    std::string sub = g_swap_root + "/T/sub";
    ::rename(sub.c_str(), (g_swap_root + "/moved").c_str());
    ::symlink((g_swap_root + "/outside").c_str(), sub.c_str());
  }
  return kRealSystemCalls.getdents64(fd, buffer, size);
}

int RefuseRing(unsigned, struct io_uring*, unsigned) { return -ENOSYS; }

TEST_F(WalkTest, ADirectorySwappedForALinkMidWalkDoesNotRedirectIt) {
  // Enough files for queued deletion, and the same again with the ring
  // refused, so both ways of deleting are shown.
  for (bool ring : {true, false}) {
    TempDir dir;
    MakeTree(dir.path(), {"T/", "T/sub/", "outside/"});
    std::string names;
    for (int i = 0; i < 40; ++i) {
      std::string name = "f" + std::to_string(i);
      MakeTree(dir.path(), {"T/sub/" + name, "outside/" + name});
      names += name + "\n";
    }
    std::string outside = ListTree(dir / "outside");
    g_swap_root = dir.path();
    g_reads = 0;
    g_system_calls.getdents64 = SwapThenRead;
    if (ring) g_system_calls.clock_gettime = SlowClock;
    if (!ring) g_system_calls.ring_init = RefuseRing;
    ResetDeletionRing();
    Walked walked = Walk(dir / "T", true);
    g_system_calls = kRealSystemCalls;
    ResetDeletionRing();
    EXPECT_GE(g_reads, 2) << "the swap never happened";
    EXPECT_EQ(outside, ListTree(dir / "outside")) << ring;
    EXPECT_EQ("", ListTree(dir / "moved")) << ring;
    // The link now standing where sub was is not a directory to remove.
    EXPECT_FALSE(walked.ok) << ring;
    EXPECT_EQ("sub->" + dir / "outside" + "\n", ListTree(dir / "T")) << ring;
  }
}

// Every open listing keeps its unread entries while the walk is below it;
// directories full enough that each read fills the buffer, 140 levels deep,
// must still all be listed.
TEST_F(WalkTest, EmptiesADeepTreeOfFullDirectories) {
  const std::string long_name(250, 'n');
  std::string chain = dir_ / "T";
  ASSERT_EQ(0, ::mkdir(chain.c_str(), 0755));
  for (int level = 0; level < 140; ++level) {
    chain += "/d";
    ASSERT_EQ(0, ::mkdir(chain.c_str(), 0755));
    int fd = ::open(chain.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < 240; ++i) {
      std::string name = long_name + std::to_string(1000 + i);
      ::close(::openat(fd, name.c_str(), O_CREAT | O_WRONLY, 0644));
    }
    ::close(fd);
  }
  Walked walked = Walk(dir_ / "T", true);
  EXPECT_TRUE(walked.ok);
  EXPECT_EQ("", ListTree(dir_ / "T").substr(0, 200));
}

}  // namespace
