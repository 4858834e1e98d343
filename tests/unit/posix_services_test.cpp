// The POSIX services on their own: this binary links no SDL, so it links only
// if the POSIX library holds everything it calls (the sleep is counted in the
// monotonic clock's units, and that clock lives beside it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/platform.h"

TEST(PosixServices, ClocksAndSleepAgree) {
  const uint64_t frequency = PlatformClockFrequency();
  ASSERT_GE(frequency, 1000000u);
  uint64_t previous = PlatformClockCounter();
  for (int i = 0; i < 1000; ++i) {
    const uint64_t now = PlatformClockCounter();
    ASSERT_GE(now, previous);
    previous = now;
  }

  // A fiftieth of a second in counter units: never shorter by either clock,
  // and not wildly longer even on a busy machine.
  const uint64_t counts = frequency / 50;
  const uint64_t start = PlatformClockCounter();
  const int64_t wallStart = PlatformWallClockNanoseconds();
  PlatformSleep(counts);
  const uint64_t slept = PlatformClockCounter() - start;
  const int64_t wallSlept = PlatformWallClockNanoseconds() - wallStart;
  EXPECT_GE(slept, counts);
  EXPECT_LT(slept, counts * 25);
  EXPECT_GE(wallSlept, 19000000);  // the wall clock may be slewed by a hair

  // Nanoseconds since 1970, as other processes read them.
  const int64_t seconds = PlatformWallClockNanoseconds() / 1000000000;
  EXPECT_LE(std::llabs(seconds - static_cast<int64_t>(std::time(nullptr))), 1);
}
