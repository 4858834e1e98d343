// The show's random generators and the start-up tables drawn from them.
#include "common/show_random.h"

int32_t ShowRandDraw(uint32_t* state) {
  *state = *state * 214013u + 2531011u;
  return static_cast<int32_t>((*state >> 16) & 0x7FFFu);
}

LcgDraw ShowLcgDraw(uint32_t* state) {
  const uint32_t m = *state & 0x7FFFFFu;
  *state *= 16807u;
  // Both quotients are exact: m has 23 bits.
  return {m / 8388608.0, m / 4194304.0 - 1.0};
}

void FillBallTables(uint32_t* randState, float motion[64], float positions[32]) {
  for (int i = 0; i < 64; ++i) {
    motion[i] = static_cast<float>(ShowRandDraw(randState) * 2.0 / 32767.0 - 1.0);
  }
  for (int ball = 0; ball < 16; ++ball) {
    const int32_t r1 = ShowRandDraw(randState);
    const int32_t r2 = ShowRandDraw(randState);
    // x spans the 4:3 width of the scene, y its height.
    positions[2 * ball] = static_cast<float>((r1 * 2.0 / 32767.0 - 1.0) * 1.3333333333333333);
    positions[2 * ball + 1] = static_cast<float>(r2 * 2.0 / 32767.0 - 1.0);
  }
}
