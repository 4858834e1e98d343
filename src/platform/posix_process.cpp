// Process-wide services from POSIX and glibc: the allocator's policy, the
// wall clock and sleeping (in the monotonic clock's counts, posix_clock.cpp).
// Any thread; nothing here fails.
// They need no display, so the tools and the tests without one link them
// alone.
#include <malloc.h>
#include <time.h>

#include "platform/platform.h"

void PlatformPrepareAllocator() {
  // Image buffers are large and short-lived, and are freed on another thread
  // than the one that made them: give each its own mapping, so that its
  // memory goes back to the system when it is freed.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

int64_t PlatformWallClockNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

void PlatformSleep(uint64_t counts) {
  const uint64_t nanoseconds = counts * 1000000000ull / PlatformClockFrequency();
  const timespec pause{static_cast<time_t>(nanoseconds / 1000000000ull),
                       static_cast<long>(nanoseconds % 1000000000ull)};
  nanosleep(&pause, nullptr);
}
