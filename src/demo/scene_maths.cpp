// The scene effects' pure computations, in the order of the header: tunnel,
// planes, metaballs, cube, screen zoom. Formulas in double precision, each
// value rounded to single where it becomes a uniform; the cube's matrix
// arithmetic is single precision throughout. Any thread.
#include "demo/scene_maths.h"

#include <cmath>
#include <cstring>

TunnelUniforms BrickTunnelUniforms(float tRate, float vRate, double demoTime) {
  return {static_cast<float>(tRate * demoTime), 0.25f,
          static_cast<float>(std::sin(vRate * demoTime))};
}

PlanesUniforms PlanesUniformsAt(double demoTime) {
  return {static_cast<float>(demoTime),
          {static_cast<float>(std::cos(demoTime)), static_cast<float>(0.25 * std::sin(demoTime))}};
}

void ComputeBallPositions(const float motion[64], double demoTime, float positions[32]) {
  for (int ball = 0; ball < 16; ++ball) {
    const float* m = motion + 4 * ball;
    positions[2 * ball] = static_cast<float>(std::cos(m[0] + demoTime) * m[1]);
    positions[2 * ball + 1] = static_cast<float>(std::sin(m[2] + demoTime) * m[3]);
  }
}

// ---- Cube ------------------------------------------------------------------
// The mesh turns about a fixed, unnormalised axis (so it swells as it turns)
// in a 90-degree perspective.

namespace {
// One matrix column on four single-precision lanes.
typedef float Lanes __attribute__((vector_size(16)));

struct Matrix {
  Lanes column[4];
};
static_assert(sizeof(Matrix) == 16 * sizeof(float));

// a * b: column j of the result is the sum of a's columns weighted by b's
// column j, so b applies first.
Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix result;
  for (int j = 0; j < 4; ++j) {
    result.column[j] = a.column[0] * b.column[j][0] + a.column[1] * b.column[j][1] +
                       a.column[2] * b.column[j][2] + a.column[3] * b.column[j][3];
  }
  return result;
}

// 90-degree vertical field of view (f = tan(pi/4) = 1), the 4:3 of the scene
// target, near 0.1, far 100.
constexpr float kDepthScale = (0.1f + 100.0f) / (0.1f - 100.0f);
constexpr float kDepthOffset = 2.0f * 0.1f * 100.0f / (0.1f - 100.0f);
const Matrix kProjection = {
    {{0.75f, 0, 0, 0}, {0, 1.0f, 0, 0}, {0, 0, kDepthScale, -1.0f}, {0, 0, kDepthOffset, 0}}};
// The eye looks down -z at the mesh 3 units away.
const Matrix kView = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, -3.0f, 1}}};
}  // namespace

CubeTransformMatrices CubeTransform(double demoTime) {
  const float theta = static_cast<float>(demoTime);  // 1 radian per second
  const float s = std::sin(theta), c = std::cos(theta);
  // R v = c v + (1 - c)(a.v) a + s (a x v), with the axis a left unnormalised;
  // column j is R e_j, built on four lanes. The axis components are powers of
  // two, so these products round exactly as the scalar formula's do.
  const float ax = 0.25f, ay = 0.5f, az = 1.0f, k = 1.0f - c;
  const Lanes axis = {ax, ay, az, 0};
  const Matrix turn = {{axis * (ax * k) + Lanes{c, 0, 0, 0} + Lanes{0, az, -ay, 0} * s,
                        axis * (ay * k) + Lanes{0, c, 0, 0} + Lanes{-az, 0, ax, 0} * s,
                        axis * (az * k) + Lanes{0, 0, c, 0} + Lanes{ay, -ax, 0, 0} * s,
                        Lanes{0, 0, 0, 1}}};
  const Matrix modelView = Multiply(kView, turn);
  const Matrix all = Multiply(kProjection, modelView);
  CubeTransformMatrices result;
  std::memcpy(result.m, &all, sizeof result.m);
  std::memcpy(result.nm, &modelView, sizeof result.nm);
  return result;
}

// ---- Screen zoom -----------------------------------------------------------

ScreenZoomUniforms ScreenZoomAt(double progress) {
  const double q = std::sqrt(progress);
  return {static_cast<float>((1.0 - q) * 0.5 + q * 0.08), static_cast<float>(q * 0.25 + 0.5)};
}
