#ifndef KESTRIM_TESTS_KESTRIM_COMMAND_H_
#define KESTRIM_TESTS_KESTRIM_COMMAND_H_

// Runs the built program the two ways it can delete, for end-to-end tests.

#include <string>
#include <vector>

#include "tests/temp_tree.h"

// How deletions are carried out: queued through io_uring, as where each
// deletion waits on the disk (made so here by slowing the program's own
// deletions), or all on the spot, as where io_uring is refused. Both must
// act and print exactly alike.
enum class Deletions { kQueued, kSynchronous };

// The built program and the two helpers that choose how it deletes.
struct Programs {
  std::string kestrim = KESTRIM_BINARY;
  std::string no_io_uring = NO_IO_URING;
  std::string slow_unlink = SLOW_UNLINK;
};

// The command line that runs the program with `args`, deleting as asked,
// behind `prefix`.
inline std::vector<std::string> KestrimCommand(
    Deletions deletions, const std::vector<std::string>& args,
    const std::vector<std::string>& prefix = {},
    const Programs& programs = Programs()) {
  std::vector<std::string> argv = prefix;
  if (deletions == Deletions::kQueued) {
    argv.insert(argv.end(), {"env", "LD_PRELOAD=" + programs.slow_unlink});
  } else {
    argv.push_back(programs.no_io_uring);
  }
  argv.push_back(programs.kestrim);
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

// Copies of the programs in `folder`, for a user who cannot reach the build
// (a clone in a 0700 home directory or in mktemp -d).
inline Programs CopiesIn(const std::string& folder) {
  Programs copies;
  copies.kestrim = CopyInto(copies.kestrim, folder);
  copies.no_io_uring = CopyInto(copies.no_io_uring, folder);
  copies.slow_unlink = CopyInto(copies.slow_unlink, folder);
  return copies;
}

// Runs the program with `args` and `input`, deleting as asked.
inline RunResult RunKestrim(Deletions deletions,
                            const std::vector<std::string>& args,
                            const char* input,
                            const std::vector<std::string>& prefix = {},
                            const Programs& programs = Programs()) {
  return RunProgram(KestrimCommand(deletions, args, prefix, programs), input);
}

#endif  // KESTRIM_TESTS_KESTRIM_COMMAND_H_
