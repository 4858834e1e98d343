// The show's two random generators. Both are our own so that the sequences
// never depend on the host's C library. Each draw takes its generator's state
// by pointer: the show's states live in its Show value (demo/show.h), and
// start-up and the director share ShowRand's one sequence in a fixed order.
#pragma once
#include <cstdint>

// ShowRand: the 15-bit linear congruential sequence x = x * 214013 + 2531011
// (mod 2^32), returning bits 16..30. Starts at 1 and is never reseeded.
inline constexpr uint32_t kShowRandStart = 1;
int32_t ShowRandDraw(uint32_t* state);  // 0..32767

// ShowLcg: the multiplicative generator x = x * 16807 (mod 2^32). A draw uses
// the low 23 bits of the state before the step.
inline constexpr uint32_t kShowLcgSeed = 453946;
struct LcgDraw {
  double u;  // m / 2^23, in [0, 1)
  double s;  // m / 2^22 - 1, in [-1, 1)
};
LcgDraw ShowLcgDraw(uint32_t* state);

// The start-up tables: BallMotionTable (64 values in [-1, 1]) from the next
// 64 ShowRand draws, then BallPositions (16 x, y pairs) from the next 32.
void FillBallTables(uint32_t* randState, float motion[64], float positions[32]);
