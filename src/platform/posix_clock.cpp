// The monotonic clock the show is timed by, from POSIX. Any thread; never
// fails. Apart from posix_process.cpp so that a backend with a clock of its
// own (the web page's, which a capture steps) can leave it out.
#include <time.h>

#include "platform/platform.h"

// Nanoseconds of the kernel's raw monotonic clock, which time adjustments
// never slew: the counter SDL's own performance counter reads on Linux.
uint64_t PlatformClockCounter() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_RAW, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000ull + static_cast<uint64_t>(now.tv_nsec);
}

uint64_t PlatformClockFrequency() { return 1000000000ull; }
