// Runs a command where io_uring is refused, as under a container's seccomp
// filter: io_uring_setup fails with ENOSYS.
//   no_io_uring COMMAND [ARG...]

#include <errno.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>

#if defined(__x86_64__)
#define KESTRIM_AUDIT_ARCH AUDIT_ARCH_X86_64
#elif defined(__aarch64__)
#define KESTRIM_AUDIT_ARCH AUDIT_ARCH_AARCH64
#else
#error "no seccomp architecture for this machine"
#endif

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: no_io_uring COMMAND [ARG...]\n");
    return 125;
  }
  struct sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, KESTRIM_AUDIT_ARCH, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_io_uring_setup, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  struct sock_fprog program = {sizeof filter / sizeof filter[0], filter};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
      ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
    std::perror("no_io_uring: seccomp");
    return 125;
  }
  // Without the filter this call fails for its bad arguments instead.
  if (::syscall(__NR_io_uring_setup, 0, nullptr) != -1 || errno != ENOSYS) {
    std::fprintf(stderr, "no_io_uring: the filter is not in force\n");
    return 125;
  }
  ::execvp(argv[1], argv + 1);
  std::perror("no_io_uring: exec");
  return 127;
}
