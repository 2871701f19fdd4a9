#ifndef KESTRIM_TESTS_TEST_CLOCK_H_
#define KESTRIM_TESTS_TEST_CLOCK_H_

// Clocks for the system-call table that make every file deletion on the spot
// seem slow, as on a disk that discards freed blocks as it goes, or fast, as
// for an empty file, so that the file layer's choice to queue is certain.

#include <time.h>

#include "platform/system_calls.h"

template <long kStepNanoseconds>
int SteppingClock(clockid_t, struct timespec* now) {
  static long nanoseconds = 0;
  nanoseconds += kStepNanoseconds;
  now->tv_sec = nanoseconds / 1000000000L;
  now->tv_nsec = nanoseconds % 1000000000L;
  return 0;
}

// Each reading is 200 microseconds after the last.
constexpr auto SlowClock = SteppingClock<200000>;
// Each reading is 1 microsecond after the last.
constexpr auto FastClock = SteppingClock<1000>;

#endif  // KESTRIM_TESTS_TEST_CLOCK_H_
