#include <sys/auxv.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstring>

#include "platform/process.h"

namespace {

// Mappings are placed at least 128 MiB below the stack's top, whatever its
// limit was at start, so this much is safe to count on even when the limit
// is raised or unlimited.
constexpr std::uintptr_t kLargestStack = std::uintptr_t{64} << 20;
// What one more level, and the calls the deepest level makes, may take.
constexpr std::uintptr_t kStackMargin = std::uintptr_t{64} << 10;

// Lowest address the stack may reach; 0 while unknown.
std::uintptr_t g_stack_floor = 0;

volatile std::sig_atomic_t g_interrupt = 0;

extern "C" void NoteInterrupt(int signal) { g_interrupt = signal; }

void Catch(int signal) {
  struct sigaction action = {};
  if (::sigaction(signal, nullptr, &action) != 0) return;
  // A signal ignored when the program started, as for a job run in the
  // background, stays ignored.
  if (action.sa_handler == SIG_IGN) return;
  action = {};
  action.sa_handler = NoteInterrupt;
  ::sigemptyset(&action.sa_mask);
  // Waits for the kernel go on; the walk notices between entries.
  action.sa_flags = SA_RESTART;
  ::sigaction(signal, &action, nullptr);
}

void RaiseSoftLimit(int resource) {
  struct rlimit limit;
  if (::getrlimit(resource, &limit) != 0) return;
  if (limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(resource, &limit);
}

std::uintptr_t Here() {
  return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
}

// The top of the stack: the program's file name is the first thing the
// kernel puts there, above the arguments and the environment.
std::uintptr_t StackTop() {
  std::uintptr_t name = ::getauxval(AT_EXECFN);
  if (name == 0) return 0;
  auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  // The auxiliary vector hands the name's address over as a number.
  // NOLINTNEXTLINE(performance-no-int-to-ptr)
  const auto* text = reinterpret_cast<const char*>(name);
  std::uintptr_t end = name + std::strlen(text) + 1;
  return (end + page - 1) & ~(page - 1);
}

void NoteStackFloor() {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_STACK, &limit) != 0) return;
  std::uintptr_t size =
      limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > kLargestStack
          ? kLargestStack
          : limit.rlim_cur;
  std::uintptr_t top = StackTop();
  // Without the top, the arguments above this frame may take up to a
  // quarter of the limit, as the kernel allows them.
  if (top == 0) top = Here() + size / 4;
  g_stack_floor = top > size ? top - size : 0;
}

}  // namespace

void RaiseProcessLimits() {
  RaiseSoftLimit(RLIMIT_NOFILE);
  RaiseSoftLimit(RLIMIT_STACK);
  NoteStackFloor();
}

bool StackHasRoom() {
  std::uintptr_t here = Here();
  return g_stack_floor == 0 ||
         (here > g_stack_floor && here - g_stack_floor > kStackMargin);
}

void CatchInterrupts() {
  Catch(SIGINT);
  Catch(SIGTERM);
}

bool Interrupted() { return g_interrupt != 0; }

void EndIfInterrupted() {
  int signal = g_interrupt;
  if (signal == 0) return;
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
  // Should the signal not end the process, the exit status still tells.
  static_cast<void>(::raise(signal));
}
