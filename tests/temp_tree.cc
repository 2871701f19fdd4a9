#include "tests/temp_tree.h"

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

extern char** environ;

TempDir::TempDir() {
  char pattern[] = "/tmp/kestrim-test-XXXXXX";
  path_ = ::mkdtemp(pattern);
  ::chmod(path_.c_str(), 0755);
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Undo what tests do to make entries hard to remove.
  Shell("chattr -R -i '" + path_ + "' 2>/dev/null; chmod -R u+rwx '" + path_ +
        "' 2>/dev/null");
  fs::remove_all(path_, ignored);
}

std::string TempDir::operator/(const std::string& relative) const {
  return path_ + "/" + relative;
}

void MakeTree(const std::string& root,
              const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) {
    std::string::size_type arrow = entry.find("->");
    if (arrow != std::string::npos) {
      fs::create_symlink(entry.substr(arrow + 2),
                         root + "/" + entry.substr(0, arrow));
    } else if (entry.back() == '/') {
      fs::create_directories(root + "/" + entry);
    } else if (entry.back() == '|') {
      std::string name = root + "/" + entry.substr(0, entry.size() - 1);
      ::mkfifo(name.c_str(), 0644);
    } else {
      std::FILE* file = std::fopen((root + "/" + entry).c_str(), "w");
      if (file != nullptr) {
        std::fputs("x", file);
        std::fclose(file);
      }
    }
  }
}

std::string ListTree(const std::string& root) {
  std::error_code error;
  if (!fs::exists(fs::symlink_status(root, error))) return "(missing)";
  std::vector<std::string> lines;
  for (auto it = fs::recursive_directory_iterator(
           root, fs::directory_options::skip_permission_denied, error);
       it != fs::recursive_directory_iterator(); it.increment(error)) {
    std::string name = it->path().lexically_relative(root).string();
    fs::file_status status = it->symlink_status();
    if (fs::is_symlink(status)) {
      name += "->" + fs::read_symlink(it->path(), error).string();
    } else if (fs::is_directory(status)) {
      name += "/";
    } else if (fs::is_fifo(status)) {
      name += "|";
    }
    lines.push_back(name);
  }
  std::sort(lines.begin(), lines.end());
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

namespace {

std::string ReadAll(int fd) {
  std::string text;
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

}  // namespace

std::string CaptureStdout(const std::function<void()>& body) {
  std::fflush(stdout);
  char name[] = "/tmp/kestrim-stdout-XXXXXX";
  int file = ::mkstemp(name);
  ::unlink(name);
  int saved = ::dup(STDOUT_FILENO);
  ::dup2(file, STDOUT_FILENO);
  body();
  std::fflush(stdout);
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  ::lseek(file, 0, SEEK_SET);
  std::string text = ReadAll(file);
  ::close(file);
  return text;
}

namespace {

// Starts `argv` with the given descriptors as its standard input (closed
// when -1), output and error; -1 when it cannot be started.
pid_t Spawn(const std::vector<std::string>& argv, int in, int out, int err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (in >= 0) {
    posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
  } else {
    posix_spawn_file_actions_addclose(&actions, STDIN_FILENO);
  }
  posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid;
  int spawned =
      ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? pid : -1;
}

bool Shows(const std::string& text, const std::string* prompt) {
  return prompt != nullptr && text.find(*prompt) != std::string::npos;
}

// Reads `fds` (-1 for none) into `targets` until both have ended (a
// pseudo-terminal ends with EIO), or, given a `prompt`, until the first has
// shown it. Both are drained together so that neither can fill and stall.
void Drain(int (&fds)[2], std::string* (&targets)[2],
           const std::string* prompt = nullptr) {
  while ((fds[0] >= 0 || fds[1] >= 0) && !Shows(*targets[0], prompt)) {
    fd_set set;
    FD_ZERO(&set);
    for (int fd : fds) {
      if (fd >= 0) FD_SET(fd, &set);
    }
    if (::select(std::max(fds[0], fds[1]) + 1, &set, nullptr, nullptr,
                 nullptr) < 0) {
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i] < 0 || !FD_ISSET(fds[i], &set)) continue;
      char buffer[65536];
      ssize_t n = ::read(fds[i], buffer, sizeof buffer);
      if (n > 0) {
        targets[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        ::close(fds[i]);
        fds[i] = -1;
      }
    }
  }
}

int WaitFor(pid_t pid) {
  int status;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A pseudo-terminal in raw mode, so that what the program writes arrives
// unchanged; false when there is none to be had.
bool OpenTerminal(int* controller, int* terminal) {
  struct termios raw;
  ::cfmakeraw(&raw);
  return ::openpty(controller, terminal, nullptr, &raw, nullptr) == 0;
}

}  // namespace

RunResult RunProgram(const std::vector<std::string>& argv, const char* input,
                     Output output, const char* out_file) {
  char in_name[] = "/tmp/kestrim-stdin-XXXXXX";
  int in = ::mkstemp(in_name);
  ::unlink(in_name);
  if (input != nullptr) {
    std::string text = input;
    if (::write(in, text.data(), text.size()) < 0) return {};
    ::lseek(in, 0, SEEK_SET);
  }
  int out[2] = {-1, -1};
  int err[2];
  if (::pipe(err) != 0) return {};
  if (out_file != nullptr) {
    out[1] = ::open(out_file, O_WRONLY | O_CLOEXEC);
  } else if (output == Output::kTerminal) {
    if (!OpenTerminal(&out[0], &out[1])) return {};
  } else if (::pipe(out) != 0) {
    return {};
  }
  pid_t pid = Spawn(argv, input != nullptr ? in : -1, out[1], err[1]);
  ::close(in);
  ::close(out[1]);
  ::close(err[1]);
  RunResult result;
  int fds[2] = {out[0], err[0]};
  std::string* targets[2] = {&result.out, &result.err};
  if (pid < 0) {
    for (int fd : fds) ::close(fd);
    return result;
  }
  Drain(fds, targets);
  result.status = WaitFor(pid);
  return result;
}

RunResult RunAnswering(const std::vector<std::string>& argv,
                       const std::string& prompt,
                       const std::function<void(int pid)>& meanwhile,
                       const std::string& answer) {
  int in[2];
  int out[2];
  int err[2];
  RunResult result;
  if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) return result;
  pid_t pid = Spawn(argv, in[0], out[1], err[1]);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  int fds[2] = {out[0], err[0]};
  std::string* targets[2] = {&result.out, &result.err};
  if (pid >= 0) {
    Drain(fds, targets, &prompt);
    meanwhile(pid);
    // A program that stopped reading shows it in its status and output.
    if (::write(in[1], answer.data(), answer.size()) < 0) {
    }
  }
  ::close(in[1]);
  Drain(fds, targets);
  if (pid >= 0) result.status = WaitFor(pid);
  return result;
}

std::string CopyInto(const std::string& path, const std::string& into) {
  std::string copy = into + "/" + fs::path(path).filename().string();
  std::error_code ignored;
  fs::copy_file(path, copy, fs::copy_options::overwrite_existing, ignored);
  return copy;
}

bool IsRoot() { return ::geteuid() == 0; }

bool Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool GiveToNobody(const std::string& path) {
  return Shell("chown -R " + std::to_string(kNobody) + ":" +
               std::to_string(kNobody) + " '" + path + "'");
}
