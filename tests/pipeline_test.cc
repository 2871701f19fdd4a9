// Deleting with many operations in flight must act and print exactly as
// deleting one entry at a time: on random trees, when interrupted, and with
// few descriptors to spare.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/kestrim_command.h"
#include "tests/temp_tree.h"

namespace {

const Deletions kBothWays[] = {Deletions::kQueued, Deletions::kSynchronous};

// Names that a walk must carry through unchanged.
const char* const kOddNames[] = {"a b",       "%s%n",      "-rf",
                                 "new\nline", "tab\there", "caf\xc3\xa9",
                                 "\xff\xfe",  "..x",       ".hidden"};

// A random tree, the same for the same seed. As root it has files that
// cannot be deleted; run as the unprivileged user, directories that user
// cannot list.
class RandomTree {
 public:
  RandomTree(unsigned seed, bool as_nobody)
      : random_(seed), as_nobody_(as_nobody) {}

  // Makes the tree as `name` inside `parent`.
  void Make(const std::string& parent, const std::string& name) {
    MakeTree(parent, {name + "/"});
    Fill(parent + "/" + name, 0);
  }

  // What must be undone as root: immutable files, directories given back.
  const std::vector<std::string>& Immutable() const { return immutable_; }
  const std::vector<std::string>& Locked() const { return locked_; }

 private:
  int Below(int n) {
    return std::uniform_int_distribution<int>(0, n - 1)(random_);
  }

  std::string Name(int i) {
    if (Below(6) == 0) return kOddNames[Below(9)] + std::to_string(i);
    if (Below(10) == 0)
      return std::string(static_cast<std::size_t>(100 + Below(100)), 'n') +
             "." + std::to_string(i);
    return "e" + std::to_string(i);
  }

  void Fill(const std::string& dir, int depth) {
    int entries = Below(depth == 0 ? 12 : 8);
    for (int i = 0; i < entries; ++i) {
      std::string name = Name(i);
      std::string path = dir + "/" + name;
      int kind = Below(100);
      if (kind < 22 && depth < 6) {
        MakeTree(dir, {name + "/"});
        Fill(path, depth + 1);
        if (as_nobody_ && Below(12) == 0) locked_.push_back(path);
      } else if (kind < 27) {
        MakeTree(dir, {name + "->" + (Below(2) == 0 ? "/etc" : "..")});
      } else if (kind < 29) {
        MakeTree(dir, {name + "|"});
      } else {
        MakeTree(dir, {name});
        if (IsRoot() && Below(25) == 0) immutable_.push_back(path);
      }
    }
  }

  std::mt19937 random_;
  bool as_nobody_;
  std::vector<std::string> immutable_;
  std::vector<std::string> locked_;
};

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

struct Outcome {
  RunResult run;
  std::string left;
};

// Builds the tree for `seed`, empties it one way and says what happened.
Outcome EmptyRandomTree(unsigned seed, Deletions way, bool as_nobody,
                        const Programs& programs, const std::string& parent) {
  RandomTree tree(seed, as_nobody);
  tree.Make(parent, "T");
  std::string root = parent + "/T";
  std::vector<std::string> prefix;
  if (as_nobody) {
    GiveToNobody(root);
    // Owned by root and closed to others: the unprivileged user can
    // neither list it nor open it up.
    for (const std::string& dir : tree.Locked()) {
      Shell("chown -R 0:0 " + Quoted(dir) + " && chmod 0700 " + Quoted(dir));
    }
    prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  for (const std::string& file : tree.Immutable()) {
    Shell("chattr +i " + Quoted(file));
  }
  Outcome outcome;
  outcome.run = RunKestrim(way, {root, "/Y"}, nullptr, prefix, programs);
  outcome.left = ListTree(root);
  Shell("chattr -R -i " + Quoted(root) + " 2>/dev/null; rm -rf " +
        Quoted(root));
  return outcome;
}

TEST(Pipeline, RandomTreesActAndPrintAlikeBothWays) {
  bool as_nobody =
      IsRoot() &&
      Shell("setpriv --reuid=65534 --regid=65534 --clear-groups true");
  TempDir bin;
  Programs programs = as_nobody ? CopiesIn(bin.path()) : Programs();
  TempDir dir;
  if (as_nobody) GiveToNobody(dir.path());
  int aborted = 0;
  int failed = 0;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    Outcome queued = EmptyRandomTree(seed, Deletions::kQueued, as_nobody,
                                     programs, dir.path());
    Outcome synchronous = EmptyRandomTree(seed, Deletions::kSynchronous,
                                          as_nobody, programs, dir.path());
    EXPECT_EQ(synchronous.run.out, queued.run.out) << "seed " << seed;
    EXPECT_EQ(synchronous.run.status, queued.run.status) << "seed " << seed;
    EXPECT_EQ(synchronous.left, queued.left) << "seed " << seed;
    EXPECT_EQ("", queued.run.err) << "seed " << seed;
    aborted += queued.run.out.find("Path not found") != std::string::npos;
    failed += queued.run.out.find(" - Failed!") != std::string::npos;
  }
  // The seeds must reach the paths that matter.
  if (as_nobody) EXPECT_GT(aborted, 3);
  if (IsRoot()) EXPECT_GT(failed, 3);
}

// Lines of `out` that name files, without their tab.
std::set<std::string> FileLines(const std::string& out) {
  std::set<std::string> names;
  std::istringstream stream(out);
  for (std::string line; std::getline(stream, line);) {
    if (!line.empty() && line[0] == '\t') names.insert(line.substr(1));
  }
  return names;
}

// Interrupted midway, the run finishes what is in flight, prints a line for
// every file that is gone and for none that is not, and ends by the signal.
TEST(Pipeline, AnInterruptedRunSaysExactlyWhatItDeleted) {
  for (Deletions way : kBothWays) {
    TempDir dir;
    std::vector<std::string> names;
    MakeTree(dir.path(), {"T/"});
    for (int d = 0; d < 40; ++d) {
      std::string sub = "T/d" + std::to_string(d);
      MakeTree(dir.path(), {sub + "/"});
      int fd = ::open((dir / sub).c_str(), O_RDONLY | O_DIRECTORY);
      for (int f = 0; f < 1500; ++f) {
        std::string name = "f" + std::to_string(d) + "-" + std::to_string(f);
        ::close(::openat(fd, name.c_str(), O_CREAT | O_WRONLY, 0644));
        names.push_back(sub + "/" + name);
      }
      ::close(fd);
    }
    // The first block of lines shows the run is well under way.
    RunResult run = RunAnswering(
        KestrimCommand(way, {dir / "T", "/Y"}), "\t",
        [](int pid) { ::kill(pid, SIGTERM); }, "");
    EXPECT_EQ(128 + SIGTERM, run.status) << static_cast<int>(way);
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ('\n', run.out.back());
    std::set<std::string> printed = FileLines(run.out);
    int gone = 0;
    for (const std::string& path : names) {
      std::string name = path.substr(path.rfind('/') + 1);
      bool exists = ::access((dir / path).c_str(), F_OK) == 0;
      gone += !exists;
      EXPECT_EQ(!exists, printed.count(name) == 1) << name;
    }
    EXPECT_GT(gone, 0);
    EXPECT_LT(gone, static_cast<int>(names.size())) << "ran to the end";
  }
}

// Directories whose deletions are still running stay open; with few
// descriptors to spare the walk waits for them instead of failing.
TEST(Pipeline, WaitsForRunningDeletionsWhenDescriptorsRunShort) {
  for (Deletions way : kBothWays) {
    TempDir dir;
    std::vector<std::string> tree = {"T/"};
    for (int d = 0; d < 300; ++d) {
      std::string sub = "T/d" + std::to_string(d) + "/";
      tree.push_back(sub);
      tree.push_back(sub + "e/");
      for (int f = 0; f < 3; ++f)
        tree.push_back(sub + "e/" + std::to_string(f));
    }
    MakeTree(dir.path(), tree);
    RunResult run = RunKestrim(way, {dir / "T", "/Y", "/Silent"}, nullptr,
                               {"prlimit", "--nofile=48:48", "--"});
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ("", ListTree(dir / "T").substr(0, 200));
  }
}

}  // namespace
