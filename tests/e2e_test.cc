// Runs the built program as a user would: arguments, an answer on standard
// input, the exact bytes it prints, its exit status and what is left.

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "tests/kestrim_command.h"
#include "tests/temp_tree.h"

namespace {

const char kSyntax[] =
    "Syntax: \n"
    "\t Kestrim [Path] [Options]\n\n"
    "Options: \n"
    "\t /Silent        : Suppresses deletion status messages.\n"
    "\t /DelRoot       : Removes the root directory of the [Path].\n"
    "\t /NotRecursive  : Does not delete sub-directories or their files.\n"
    "\t /Y             : Suppresses prompting to confirm file deletion.\n";

const char kQuestion[] =
    "Are you sure you want to completely remove [$]\n[Y/N]? :";

// Replaces every "$" in `text` with `target`.
std::string Fill(std::string text, const std::string& target) {
  for (std::string::size_type at = 0;
       (at = text.find('$', at)) != std::string::npos; at += target.size()) {
    text.replace(at, 1, target);
  }
  return text;
}

class Kestrim : public ::testing::TestWithParam<Deletions> {
 protected:
  RunResult Run(const std::vector<std::string>& args, const char* input,
                const std::vector<std::string>& prefix = {},
                const Programs& programs = Programs()) {
    return RunKestrim(GetParam(), args, input, prefix, programs);
  }
};

INSTANTIATE_TEST_SUITE_P(Deletions, Kestrim,
                         ::testing::Values(Deletions::kQueued,
                                           Deletions::kSynchronous),
                         [](const ::testing::TestParamInfo<Deletions>& way) {
                           return way.param == Deletions::kQueued
                                      ? "Queued"
                                      : "Synchronous";
                         });

TEST_P(Kestrim, RunsAsTheUserAsked) {
  const std::string q = kQuestion;
  struct Case {
    const char* name;
    std::vector<std::string> args;  // "$" is the target T
    const char* input;              // nullptr: standard input closed
    std::string out;
    int status;
    std::string left;  // what stays of T
  } cases[] = {
      {"no arguments", {}, nullptr, kSyntax, 2, "f\nsub/\nsub/g\n"},
      {"help", {"/?"}, nullptr, kSyntax, 2, "f\nsub/\nsub/g\n"},
      {"help after the path",
       {"$", "/Y", "/?"},
       "y\n",
       kSyntax,
       2,
       "f\nsub/\nsub/g\n"},
      {"bad switch",
       {"$", "/Yes"},
       "y\n",
       "[/Yes] is not a valid parameter\n",
       2,
       "f\nsub/\nsub/g\n"},
      {"path too long",
       {std::string(520, 'x'), "/Y"},
       nullptr,
       "The directory name or path is longer than 519 characters.\n",
       2,
       "f\nsub/\nsub/g\n"},
      {"root",
       {"/", "/Y"},
       nullptr,
       "You cannot specify the root directory as the directory name or "
       "path.\n",
       2,
       "f\nsub/\nsub/g\n"},
      {"empty variable before a slash",
       {"/", "/Y", "/Silent"},
       nullptr,
       "You cannot specify the root directory as the directory name or "
       "path.\n",
       2,
       "f\nsub/\nsub/g\n"},
      {"confirmed with y",
       {"$/sub"},
       "y\n",
       Fill(q, "$/sub") + "\tg\n",
       0,
       "f\nsub/\n"},
      {"confirmed with Yes at end of input",
       {"$/sub"},
       "Yes",
       Fill(q, "$/sub") + "\tg\n",
       0,
       "f\nsub/\n"},
      {"confirmed with YES",
       {"$/sub"},
       "YES\n",
       Fill(q, "$/sub") + "\tg\n",
       0,
       "f\nsub/\n"},
      {"declined with n", {"$"}, "n\n", q, 0, "f\nsub/\nsub/g\n"},
      {"declined with No", {"$"}, "No\n", q, 0, "f\nsub/\nsub/g\n"},
      {"declined with an empty line", {"$"}, "\n", q, 0, "f\nsub/\nsub/g\n"},
      {"declined with a blank after Y",
       {"$"},
       "Y \n",
       q,
       0,
       "f\nsub/\nsub/g\n"},
      {"declined at end of input", {"$"}, "", q, 0, "f\nsub/\nsub/g\n"},
      {"declined with no input at all",
       {"$"},
       nullptr,
       q,
       0,
       "f\nsub/\nsub/g\n"},
      {"declined with a line too long",
       {"$"},
       "yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy"
       "yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy"
       "yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy"
       "yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy\n",
       q,
       0,
       "f\nsub/\nsub/g\n"},
      {"question shows the trimmed path",
       {"  $/sub \t"},
       "y\n",
       Fill(q, "$/sub") + "\tg\n",
       0,
       "f\nsub/\n"},
      {"no question with /Y",
       {"$/sub", "/y"},
       nullptr,
       "\tg\n",
       0,
       "f\nsub/\n"},
      {"trailing slash, target removed",
       {"$/sub/", "/Y", "/DelRoot"},
       nullptr,
       "\tg\n",
       0,
       "f\n"},
      {"silent run prints nothing", {"$", "/Silent", "/Y"}, nullptr, "", 0, ""},
      {"not recursive",
       {"$", "/NotRecursive", "/Y"},
       nullptr,
       "\tf\n",
       0,
       "sub/\nsub/g\n"},
      {"not recursive cannot remove the target",
       {"$", "/NotRecursive", "/Y", "/DelRoot"},
       nullptr,
       "\tf\n",
       1,
       "sub/\nsub/g\n"},
      {"missing target is asked about first",
       {"$/none"},
       "y\n",
       Fill(q, "$/none") + "Path not found: [$/none]\n",
       1,
       "f\nsub/\nsub/g\n"},
      {"missing target, silent",
       {"$/none", "/Y", "/Silent"},
       nullptr,
       "",
       1,
       "f\nsub/\nsub/g\n"},
      {"target is a file",
       {"$/f", "/Y"},
       nullptr,
       "Path not found: [$/f]\n",
       1,
       "f\nsub/\nsub/g\n"},
      {"trailing dot", {"$/sub/.", "/Y"}, nullptr, "\tg\n", 0, "f\nsub/\n"},
      {"a link as the path empties what it points to, and stays",
       {"$/../L", "/Y", "/DelRoot"},
       nullptr,
       "\tg\n",
       1,
       "f\nsub/\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::string target = dir / "T";
    MakeTree(dir.path(), {"T/", "T/f", "T/sub/", "T/sub/g", "L->T/sub"});
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(Fill(arg, target));
    RunResult run = Run(args, c.input);
    EXPECT_EQ(Fill(c.out, target), run.out) << c.name;
    EXPECT_EQ(c.status, run.status) << c.name;
    EXPECT_EQ("", run.err) << c.name;
    EXPECT_EQ(c.left, ListTree(target)) << c.name;
  }
}

TEST_P(Kestrim, ReportsANestedTreeDepthFirst) {
  TempDir dir;
  MakeTree(dir.path(), {"T/", "T/a/", "T/a/b/", "T/a/b/f"});
  RunResult run = Run({dir / "T/", "/Y", "/DelRoot"}, nullptr);
  EXPECT_EQ(dir / "T//a\n" + dir / "T//a/b\n\tf\n", run.out);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("(missing)", ListTree(dir / "T"));
}

TEST_P(Kestrim, FailsWhenAFileStaysEvenWhenSilent) {
  if (!IsRoot()) GTEST_SKIP() << "chattr +i needs root";
  TempDir dir;
  MakeTree(dir.path(), {"T/", "T/sub/", "T/sub/stuck"});
  if (!Shell("chattr +i '" + dir / "T/sub/stuck" + "'")) {
    GTEST_SKIP() << "this file system has no immutable attribute";
  }
  RunResult run = Run({dir / "T", "/Y", "/Silent"}, nullptr);
  EXPECT_EQ("", run.out);
  EXPECT_EQ(1, run.status);
  EXPECT_EQ("sub/\nsub/stuck\n", ListTree(dir / "T"));
}

TEST_P(Kestrim, AsAnUnprivilegedUser) {
  if (!IsRoot()) GTEST_SKIP() << "switching to another user needs root";
  if (!Shell("setpriv --reuid=65534 --regid=65534 --clear-groups true")) {
    GTEST_SKIP() << "setpriv cannot switch users here";
  }
  TempDir dir;
  // The build may sit where that user cannot reach (a clone in a 0700 home
  // or mktemp -d), so the user runs copies from a folder it can.
  TempDir bin;
  Programs copies = CopiesIn(bin.path());
  MakeTree(dir.path(), {"Own/", "Own/locked/", "Own/locked/f", "Theirs/",
                        "Theirs/locked/", "Theirs/locked/g"});
  ASSERT_TRUE(GiveToNobody(dir / "Own"));
  ASSERT_TRUE(Shell("chown 65534 '" + dir / "Theirs" + "'"));
  ::chmod((dir / "Own/locked").c_str(), 0);
  ::chmod((dir / "Theirs/locked").c_str(), 0700);
  const std::vector<std::string> as_nobody = {
      "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  // Its own unreadable directory is made deletable; someone else's is not.
  RunResult own = Run({dir / "Own", "/Y"}, nullptr, as_nobody, copies);
  EXPECT_EQ(dir / "Own/locked\n\tf\n", own.out);
  EXPECT_EQ(0, own.status);
  EXPECT_EQ("", ListTree(dir / "Own"));
  RunResult theirs = Run({dir / "Theirs", "/Y"}, nullptr, as_nobody, copies);
  EXPECT_EQ(dir / "Theirs/locked\nPath not found: [" + dir / "Theirs/locked]\n",
            theirs.out);
  EXPECT_EQ(1, theirs.status);
  EXPECT_EQ("locked/\nlocked/g\n", ListTree(dir / "Theirs"));
}

// Makes the deepest chain of directories "d" below `target` whose paths fit,
// with a file "f" in the last; returns how many levels it has.
int MakeDeepestChain(const std::string& target) {
  std::string chain = target;
  int levels = 0;
  // Each level adds "/d"; the file in the deepest needs "/f" more.
  while (chain.size() + 4 <= 2047) {
    chain += "/d";
    ++levels;
  }
  if (!Shell("mkdir -p '" + chain + "' && touch '" + chain + "/f'")) return 0;
  return levels;
}

TEST_P(Kestrim, EmptiesTheDeepestTreeThatFitsWithTheDefaultDescriptorLimit) {
  TempDir dir;
  ASSERT_GT(MakeDeepestChain(dir / "T"), 1000);
  RunResult run = Run({dir / "T", "/Y", "/Silent"}, nullptr,
                      {"prlimit", "--nofile=1024:4096", "--"});
  EXPECT_EQ("", run.out);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", ListTree(dir / "T"));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST_P(Kestrim, DeletesOddNamesAndSpecialFilesWithoutOpeningThem) {
  TempDir dir;
  MakeTree(dir.path(), {"T/", "T/a b", "T/%s%n%x", "T/-rf", "T/back\\slash",
                        "T/caf\xc3\xa9\xff", "T/new\nline", "T/fifo|"});
  std::string socket_path = dir / "T/socket";
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socket_path.c_str());
  ASSERT_EQ(0,
            ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address));
  std::vector<std::string> expected = {
      "\ta b", "\t%s%n%x", "\t-rf",  "\tback\\slash", "\tcaf\xc3\xa9\xff",
      "\tnew", "line",     "\tfifo", "\tsocket"};
  // A device node that would block or act if it were opened.
  if (IsRoot() &&
      ::mknod((dir / "T/tty").c_str(), S_IFCHR | 0600, makedev(5, 0)) == 0) {
    expected.push_back("\ttty");
  }
  RunResult run = Run({dir / "T", "/Y"}, nullptr);
  ::close(fd);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, Lines(run.out));
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", ListTree(dir / "T"));
}

TEST_P(Kestrim, TakesARelativePath) {
  TempDir dir;
  char saved[4096];
  ASSERT_NE(nullptr, ::getcwd(saved, sizeof saved));
  ASSERT_EQ(0, ::chdir(dir.path().c_str()));
  struct Case {
    const char* path;
    std::string out;
  } cases[] = {
      {"T", "T/sub\n\tf\n"},
      {"./T/", "./T//sub\n\tf\n"},
      {"T/sub/..", "T/sub/../sub\n\tf\n"},
  };
  for (const Case& c : cases) {
    MakeTree(dir.path(), {"T/", "T/sub/", "T/sub/f"});
    RunResult run = Run({c.path, "/Y", "/DelRoot"}, nullptr);
    EXPECT_EQ(c.out, run.out) << c.path;
    // Emptying T/sub/.. removes sub, the way to the target, so its removal
    // cannot be done and must not be called a success.
    EXPECT_EQ(std::string(c.path) == "T/sub/.." ? 1 : 0, run.status) << c.path;
    ::rmdir("T");
  }
  ASSERT_EQ(0, ::chdir(saved));
}

TEST_P(Kestrim, Deletes200000EntriesInOneDirectoryWithALineEach) {
  TempDir dir;
  MakeTree(dir.path(), {"T/"});
  int root = ::open((dir / "T").c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(root, 0);
  for (int i = 0; i < 200000; ++i) {
    int fd =
        ::openat(root, std::to_string(i).c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0) << i;
    ::close(fd);
  }
  ::close(root);
  RunResult run = Run({dir / "T", "/Y"}, nullptr);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(200000, std::count(run.out.begin(), run.out.end(), '\n'));
  EXPECT_EQ(200000, std::count(run.out.begin(), run.out.end(), '\t'));
  EXPECT_EQ(std::string::npos, run.out.find("Failed"));
  EXPECT_EQ("", ListTree(dir / "T"));
}

// Builds the same tree every time: directories large enough for queued
// deletion, small ones, links, a fifo, and (as root) files that cannot be
// deleted in the middle of a large directory.
void MakeMixedTree(const std::string& target) {
  std::vector<std::string> tree = {
      "", "small/", "small/a", "small/b", "big/", "big/nested/", "link->/etc"};
  for (int i = 0; i < 300; ++i) tree.push_back("f" + std::to_string(i));
  for (int i = 0; i < 100; ++i) tree.push_back("big/g" + std::to_string(i));
  for (int i = 0; i < 40; ++i)
    tree.push_back("big/nested/h" + std::to_string(i));
  tree.push_back("big/fifo|");
  MakeTree(target, tree);
  if (IsRoot()) {
    Shell("chattr +i '" + target + "/f150' '" + target + "/big/g60'");
  }
}

TEST(Deletions, QueuedAndSynchronousActAndPrintAlike) {
  TempDir dir;
  std::string target = dir / "T";
  RunResult runs[2];
  std::string left[2];
  Deletions ways[2] = {Deletions::kQueued, Deletions::kSynchronous};
  for (int i = 0; i < 2; ++i) {
    MakeMixedTree(target);
    runs[i] = RunKestrim(ways[i], {target, "/Y"}, nullptr);
    left[i] = ListTree(target);
    Shell("chattr -R -i '" + target + "'; rm -rf '" + target + "'");
  }
  EXPECT_EQ(runs[1].out, runs[0].out);
  EXPECT_EQ(runs[1].status, runs[0].status);
  EXPECT_EQ(left[1], left[0]);
  EXPECT_EQ("", runs[0].err);
  EXPECT_EQ(std::count(runs[0].out.begin(), runs[0].out.end(), '\n'),
            300 + 2 + 100 + 40 + 1 + 1 + 3);
  if (IsRoot()) {
    EXPECT_EQ(1, runs[0].status);
    EXPECT_NE(std::string::npos, runs[0].out.find("\tf150 - Failed!\n"));
    EXPECT_NE(std::string::npos, runs[0].out.find("\tg60 - Failed!\n"));
    EXPECT_EQ("big/\nbig/g60\nf150\n", left[0]);
  }
}

// The run is asked about one directory; while the question waits, its path
// is swapped for a link to another directory. The one asked about is the one
// emptied, the other is untouched, and under /DelRoot the link stays.
TEST_P(Kestrim, EmptiesTheDirectoryConfirmedEvenWhenItsPathIsSwapped) {
  for (bool del_root : {false, true}) {
    TempDir dir;
    MakeTree(dir.path(), {"T/", "T/f", "other/", "other/keep"});
    std::vector<std::string> args = {dir / "T"};
    if (del_root) args.push_back("/DelRoot");
    RunResult run = RunAnswering(
        KestrimCommand(GetParam(), args), "[Y/N]? :",
        [&](int) {
          ::rename((dir / "T").c_str(), (dir / "moved").c_str());
          ::symlink((dir / "other").c_str(), (dir / "T").c_str());
        },
        "y\n");
    EXPECT_EQ(Fill(kQuestion, dir / "T") + "\tf\n", run.out) << del_root;
    EXPECT_EQ(del_root ? 1 : 0, run.status) << del_root;
    EXPECT_EQ("", run.err) << del_root;
    EXPECT_EQ("T->" + dir / "other" + "\nmoved/\nother/\nother/keep\n",
              ListTree(dir.path()))
        << del_root;
  }
}

// The same swap for a link to the root directory, inside a throwaway root
// made with chroot so that nothing real is at stake.
TEST(Target, ASwapForALinkToTheRootEmptiesOnlyTheDirectoryConfirmed) {
  if (!IsRoot()) GTEST_SKIP() << "chroot needs root";
  TempDir jail;
  MakeTree(jail.path(), {"att/", "att/dir/", "att/dir/f", "keep", "proc/"});
  // The program and the libraries it loads, at the same paths inside.
  ASSERT_TRUE(Shell("cp '" KESTRIM_BINARY "' '" + jail / "kestrim" +
                    "' && ldd '" KESTRIM_BINARY
                    "' | grep -o '/[^ ]*' | xargs -I{} cp --parents {} '" +
                    jail.path() + "'"));
  std::string before = ListTree(jail.path());
  // The sanitizers read the process's maps.
  if (::mount("proc", (jail / "proc").c_str(), "proc", 0, nullptr) != 0) {
    GTEST_SKIP() << "cannot mount proc here: " << std::strerror(errno);
  }
  RunResult run = RunAnswering(
      {"chroot", jail.path(), "/kestrim", "/att/dir", "/DelRoot"}, "[Y/N]? :",
      [&](int) {
        ::rename((jail / "att/dir").c_str(), (jail / "att/moved").c_str());
        ::symlink("/", (jail / "att/dir").c_str());
      },
      "y\n");
  ::umount2((jail / "proc").c_str(), MNT_DETACH);
  std::string after = ListTree(jail.path());
  EXPECT_EQ(Fill(kQuestion, "/att/dir") + "\tf\n", run.out);
  EXPECT_EQ(1, run.status) << run.err;
  std::string expected = before;
  expected.replace(expected.find("att/dir/\natt/dir/f\n"),
                   std::strlen("att/dir/\natt/dir/f\n"),
                   "att/dir->/\natt/moved/\n");
  EXPECT_EQ(expected, after);
}

TEST_P(Kestrim, ShowsControlCharactersAsQuestionMarksOnlyOnATerminal) {
  int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (terminal < 0) GTEST_SKIP() << "no pseudo-terminal here";
  ::close(terminal);
  TempDir dir;
  // One entry per directory, so that the order of the lines is fixed.
  const std::string target = dir / "T\x01";
  MakeTree(dir.path(), {"T\x01/", "T\x01/sub\x1b[2J/",
                        "T\x01/sub\x1b[2J/e\x1b]0;pwned\x07\x1b[31mred\rX"});
  const std::string shown = dir / "T?";
  struct Case {
    const char* name;
    Output output;
    std::vector<std::string> args;
    const char* input;
    std::string out;
    int status;
  } cases[] = {
      {"missing path on a terminal",
       Output::kTerminal,
       {target + "/caf\xc3\xa9\xc2\x85\x9b", "/Y"},
       nullptr,
       "Path not found: [" + shown + "/caf\xc3\xa9??]\n",
       1},
      {"bad switch on a terminal",
       Output::kTerminal,
       {target, "/\x1b[31m"},
       nullptr,
       "[/?[31m] is not a valid parameter\n",
       2},
      {"to a pipe, every byte as it is",
       Output::kPipe,
       {target, "/Y"},
       nullptr,
       target + "/sub\x1b[2J\n\te\x1b]0;pwned\x07\x1b[31mred\rX\n",
       0},
      {"on a terminal",
       Output::kTerminal,
       {target},
       "y\n",
       Fill(kQuestion, shown) + shown + "/sub?[2J\n\te?]0;pwned??[31mred?X\n",
       0},
  };
  for (const Case& c : cases) {
    MakeTree(dir.path(), {"T\x01/", "T\x01/sub\x1b[2J/",
                          "T\x01/sub\x1b[2J/e\x1b]0;pwned\x07\x1b[31mred\rX"});
    RunResult run =
        RunProgram(KestrimCommand(GetParam(), c.args), c.input, c.output);
    EXPECT_EQ(c.out, run.out) << c.name;
    EXPECT_EQ(c.status, run.status) << c.name;
    EXPECT_EQ("", run.err) << c.name;
  }
  EXPECT_EQ("", ListTree(target));
}

TEST_P(Kestrim, AListingThatCannotBeWrittenFailsTheRunOnceItIsDone) {
  const std::string full = "kestrim: write error: No space left on device\n";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* input;
    int status;
    std::string err;
  } cases[] = {
      {"without the question", {"$", "/Y"}, nullptr, 1, full},
      {"with the question", {"$"}, "y\n", 1, full},
      {"declined", {"$"}, "n\n", 1, full},
      {"silent writes nothing", {"$", "/Y", "/Silent"}, nullptr, 0, ""},
  };
  for (const Case& c : cases) {
    TempDir dir;
    MakeTree(dir.path(), {"T/", "T/f", "T/sub/", "T/sub/g"});
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(Fill(arg, dir / "T"));
    RunResult run = RunProgram(KestrimCommand(GetParam(), args), c.input,
                               Output::kPipe, "/dev/full");
    EXPECT_EQ(c.status, run.status) << c.name;
    EXPECT_EQ(c.err, run.err) << c.name;
    EXPECT_EQ(std::string(c.name) == "declined" ? "f\nsub/\nsub/g\n" : "",
              ListTree(dir / "T"))
        << c.name;
  }
}

// With the stack limit fixed at 1 MiB the deepest tree cannot be walked
// whole: the level that does not fit is left and reported, never a crash.
// Where the limit may be raised, it is, and the whole tree goes.
TEST_P(Kestrim, ADeepTreeUnderASmallStackIsLeftWhereItDoesNotFit) {
  struct Case {
    const char* limit;
    int status;
    bool emptied;
  } cases[] = {
      {"--stack=1048576:1048576", 1, false},
      {"--stack=1048576:unlimited", 0, true},
  };
  for (const Case& c : cases) {
    TempDir dir;
    ASSERT_GT(MakeDeepestChain(dir / "T"), 1000);
    RunResult run = Run({dir / "T", "/Y"}, nullptr, {"prlimit", c.limit, "--"});
    EXPECT_EQ(c.status, run.status) << c.limit;
    EXPECT_EQ("", run.err.substr(0, 200)) << c.limit;
    EXPECT_EQ(std::string::npos, run.out.find("Path not found")) << c.limit;
    std::string::size_type failed = run.out.find("\td - Failed!\n");
    EXPECT_EQ(c.emptied, failed == std::string::npos) << c.limit;
    if (!c.emptied && failed != std::string::npos) {
      // Only that one entry is reported, as the last line.
      EXPECT_EQ(run.out.size(), failed + std::strlen("\td - Failed!\n"));
      EXPECT_NE("", ListTree(dir / "T"));
    }
    if (c.emptied) {
      EXPECT_EQ("", ListTree(dir / "T")) << c.limit;
    }
  }
}

}  // namespace
