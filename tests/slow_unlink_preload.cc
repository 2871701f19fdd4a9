// Preloaded into the built program to make its own file deletions as slow as
// on a disk that discards freed blocks as it goes, so that it queues them.

#include <dlfcn.h>
#include <time.h>

extern "C" int unlinkat(int dir, const char* name, int flags) {
  using Unlinkat = int (*)(int, const char*, int);
  static Unlinkat real =
      reinterpret_cast<Unlinkat>(::dlsym(RTLD_NEXT, "unlinkat"));
  if (flags == 0) {
    struct timespec pause = {0, 200000};
    ::nanosleep(&pause, nullptr);
  }
  return real(dir, name, flags);
}
