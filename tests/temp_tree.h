#ifndef KESTRIM_TESTS_TEMP_TREE_H_
#define KESTRIM_TESTS_TEMP_TREE_H_

// Helpers shared by the tests: real temporary trees, captured output and
// runs of the built program.

#include <functional>
#include <string>
#include <vector>

// A fresh directory under /tmp, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // The path of `relative` inside this directory.
  std::string operator/(const std::string& relative) const;

 private:
  std::string path_;
};

// Creates entries below `root`: "d/" a directory, "l->target" a symbolic
// link, "p|" a fifo, anything else a file holding "x". Parents come first.
void MakeTree(const std::string& root, const std::vector<std::string>& entries);

// Everything below `root`, sorted, one per line, in MakeTree's notation;
// "(missing)" when `root` itself is gone.
std::string ListTree(const std::string& root);

// What `body` writes to standard output.
std::string CaptureStdout(const std::function<void()>& body);

// The outcome of one run of a program.
struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// How a run's standard output is connected.
enum class Output { kPipe, kTerminal };

// Runs `argv` with `input` on standard input (closed when `input` is null).
// Standard output goes to `out_file` when one is named, else to a pipe or a
// pseudo-terminal in raw mode, and is captured.
RunResult RunProgram(const std::vector<std::string>& argv, const char* input,
                     Output output = Output::kPipe,
                     const char* out_file = nullptr);

// Runs `argv` and waits until it has printed `prompt`; then calls `meanwhile`
// with its process id, writes `answer` to its standard input and collects
// the rest.
RunResult RunAnswering(const std::vector<std::string>& argv,
                       const std::string& prompt,
                       const std::function<void(int pid)>& meanwhile,
                       const std::string& answer);

// Copies the file `path` into directory `into`, keeping its mode; the copy's
// path.
std::string CopyInto(const std::string& path, const std::string& into);

// True when this process runs as root.
bool IsRoot();

// True when the shell command succeeds, its output discarded.
bool Shell(const std::string& command);

// Gives `path` and everything below it to the unprivileged user the tests use.
bool GiveToNobody(const std::string& path);

// The uid and gid of that unprivileged user.
constexpr int kNobody = 65534;

#endif  // KESTRIM_TESTS_TEMP_TREE_H_
