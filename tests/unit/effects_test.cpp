// The scene effects' pure computations: the cube matrices, the ball motion,
// the screen zoom and the tunnel and planes uniforms, against known values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/show_random.h"
#include "demo/scene_maths.h"

namespace {
uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float FromBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Column c of a column-major 4 x 4 matrix, compared entry by entry.
void ExpectColumn(const float* matrix, int column, float x, float y, float z, float w,
                  float tolerance = 2e-6f) {
  SCOPED_TRACE(testing::Message() << "column " << column);
  EXPECT_NEAR(matrix[4 * column + 0], x, tolerance);
  EXPECT_NEAR(matrix[4 * column + 1], y, tolerance);
  EXPECT_NEAR(matrix[4 * column + 2], z, tolerance);
  EXPECT_NEAR(matrix[4 * column + 3], w, tolerance);
}

// The perspective's two depth entries, as single-precision bit patterns.
const float kDepthScale = FromBits(0xBF80419A);   // (near + far) / (near - far)
const float kDepthOffset = FromBits(0xBE4D0148);  // 2 near far / (near - far)
}  // namespace

TEST(CubeTransform, AtTimeZeroIsTheViewAndProjectionAlone) {
  const CubeTransformMatrices at = CubeTransform(0.0);
  const float view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -3, 1};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(at.nm[i], view[i]) << "nm entry " << i;

  ExpectColumn(at.m, 0, 0.75f, 0, 0, 0);
  ExpectColumn(at.m, 1, 0, 1, 0, 0);
  ExpectColumn(at.m, 2, 0, 0, -1.002002f, -1);
  ExpectColumn(at.m, 3, 0, 0, 2.805806f, 3);
  // Column 2 of m is the projection's own column 2; column 3 is its depth
  // scale times -3 plus its depth offset, both in single precision.
  EXPECT_EQ(Bits(at.m[10]), 0xBF80419Au);
  EXPECT_EQ(Bits(at.m[14]), Bits(-3.0f * kDepthScale + kDepthOffset));
  EXPECT_EQ(at.m[11], -1.0f);
  EXPECT_EQ(at.m[15], 3.0f);
}

TEST(CubeTransform, AfterOneSecondTurnsAboutTheUnnormalisedAxis) {
  const CubeTransformMatrices at = CubeTransform(1.0);
  ExpectColumn(at.nm, 0, 0.569033f, 0.898933f, -0.305811f, 0);
  ExpectColumn(at.nm, 1, -0.784009f, 0.655227f, 0.440217f, 0);
  ExpectColumn(at.nm, 2, 0.535660f, 0.019481f, 1.0f, 0);
  ExpectColumn(at.nm, 3, 0, 0, -3, 1);
  ExpectColumn(at.m, 0, 0.426775f, 0.898933f, 0.306423f, 0.305811f);
}

TEST(CubeTransform, AtHalfATurnStretchesAlongTheAxis) {
  // theta = pi: the block is 2 a a^T - I, so a comes out 1.625 times longer.
  const CubeTransformMatrices at = CubeTransform(M_PI);
  ExpectColumn(at.nm, 0, -0.875f, 0.25f, 0.5f, 0, 1e-5f);
  ExpectColumn(at.nm, 1, 0.25f, -0.5f, 1.0f, 0, 1e-5f);
  ExpectColumn(at.nm, 2, 0.5f, 1.0f, 1.0f, 0, 1e-5f);
  const float a[3] = {0.25f, 0.5f, 1.0f};
  for (int row = 0; row < 3; ++row) {
    const float turned = at.nm[row] * a[0] + at.nm[4 + row] * a[1] + at.nm[8 + row] * a[2];
    EXPECT_NEAR(turned, 1.625f * a[row], 1e-5f) << "row " << row;
  }
}

TEST(CubeTransform, KeepsItsConstantColumnsAndProjectionThroughTheShow) {
  for (double time = 0.0; time <= 131.0; time += 0.37) {
    SCOPED_TRACE(testing::Message() << "time " << time);
    const CubeTransformMatrices at = CubeTransform(time);
    ExpectColumn(at.nm, 3, 0, 0, -3, 1, 0);
    ExpectColumn(at.m, 3, 0, 0, 2.805806f, 3);
    for (int column = 0; column < 3; ++column) {
      EXPECT_EQ(at.nm[4 * column + 3], 0.0f);
      // m = P nm: x scaled by 3/4, y kept, w = -z_eye, z = depth scale * z_eye.
      EXPECT_FLOAT_EQ(at.m[4 * column + 0], 0.75f * at.nm[4 * column + 0]);
      EXPECT_FLOAT_EQ(at.m[4 * column + 1], at.nm[4 * column + 1]);
      EXPECT_FLOAT_EQ(at.m[4 * column + 2], kDepthScale * at.nm[4 * column + 2]);
      EXPECT_FLOAT_EQ(at.m[4 * column + 3], -at.nm[4 * column + 2]);
    }
    // Across the axis the mesh swells by sqrt(c^2 + 1.3125 s^2): (2, -1, 0)
    // is perpendicular to a = (0.25, 0.5, 1).
    const float c = std::cos(static_cast<float>(time)), s = std::sin(static_cast<float>(time));
    float length2 = 0;
    for (int row = 0; row < 3; ++row) {
      const float turned = 2.0f * at.nm[row] - at.nm[4 + row];
      length2 += turned * turned;
    }
    EXPECT_NEAR(std::sqrt(length2 / 5.0f), std::sqrt(c * c + 1.3125f * s * s), 1e-4f);
  }
}

TEST(BallPositions, FollowTheirEllipsesAtSixtySeconds) {
  float motion[64] = {};
  const float examples[8] = {0.0f, 1.0f, 0.0f, 1.0f, 0.5f, -1.0f, 0.0f, 0.5f};
  std::memcpy(motion, examples, sizeof examples);
  motion[8 + 1] = 0.0f;  // ball 2: both amplitudes zero
  float positions[32];
  ComputeBallPositions(motion, 60.0, positions);
  EXPECT_NEAR(positions[0], -0.9524130f, 1e-7f);
  EXPECT_NEAR(positions[1], -0.3048106f, 1e-7f);
  EXPECT_NEAR(positions[2], 0.6896870f, 1e-7f);   // a negative amplitude mirrors x
  EXPECT_NEAR(positions[3], -0.1524053f, 1e-7f);
  for (int i = 4; i < 32; ++i) EXPECT_EQ(positions[i], 0.0f) << "coordinate " << i;

  // The start-up table, from the show's own random sequence.
  uint32_t state = kShowRandStart;
  float table[64], startPositions[32];
  FillBallTables(&state, table, startPositions);
  EXPECT_NEAR(table[0], -0.9974975f, 1e-6f);
  EXPECT_NEAR(table[1], 0.1271706f, 1e-6f);
  EXPECT_NEAR(table[2], -0.6133915f, 1e-6f);
  EXPECT_NEAR(table[3], 0.6174810f, 1e-6f);
  ComputeBallPositions(table, 60.0, positions);
  EXPECT_NEAR(positions[0], -0.0982611f, 1e-7f);
  EXPECT_NEAR(positions[1], 0.1846312f, 1e-7f);
}

TEST(BallPositions, StayInsideTheirBoxesAndRepeatEveryTurn) {
  uint32_t state = kShowRandStart;
  float table[64], unused[32];
  FillBallTables(&state, table, unused);
  float now[32], again[32], turnLater[32];
  for (double time = 59.0; time < 64.0; time += 0.25) {
    ComputeBallPositions(table, time, now);
    ComputeBallPositions(table, time, again);
    ComputeBallPositions(table, time + 2.0 * M_PI, turnLater);
    for (int i = 0; i < 32; ++i) {
      const int ball = i / 2, isY = i % 2;
      const float amplitude = table[4 * ball + 1 + 2 * isY];
      EXPECT_LE(std::fabs(now[i]), std::fabs(amplitude) + 1e-7f);
      EXPECT_EQ(now[i], again[i]);
      EXPECT_NEAR(now[i], turnLater[i], 1e-5f);
    }
  }
}

TEST(ScreenZoom, ShrinksTowardsTheBudAlongTheSquareRoot) {
  const ScreenZoomUniforms start = ScreenZoomAt(0.0);
  EXPECT_EQ(start.scale, 0.5f);
  EXPECT_EQ(start.centreY, 0.5f);
  const ScreenZoomUniforms quarter = ScreenZoomAt(0.25);
  EXPECT_EQ(quarter.scale, 0.29f);
  EXPECT_EQ(quarter.centreY, 0.625f);
  const ScreenZoomUniforms half = ScreenZoomAt(0.5);
  EXPECT_NEAR(half.scale, 0.2030151f, 1e-7f);
  EXPECT_NEAR(half.centreY, 0.6767767f, 1e-7f);
  const ScreenZoomUniforms end = ScreenZoomAt(79.0 / 80.0);  // the section's last film frame
  EXPECT_NEAR(end.scale, 0.08f, 3e-3f);
  EXPECT_NEAR(end.centreY, 0.75f, 2e-3f);
  EXPECT_NEAR(ScreenZoomAt(0.9999999).scale, 0.08f, 1e-7f);
  EXPECT_NEAR(ScreenZoomAt(0.9999999).centreY, 0.75f, 1e-7f);

  float previousScale = 1.0f, previousCentre = 0.0f;
  for (int frame = 0; frame < 80; ++frame) {
    const ScreenZoomUniforms zoom = ScreenZoomAt(frame / 80.0);
    EXPECT_LT(zoom.scale, previousScale);
    EXPECT_GT(zoom.centreY, previousCentre);
    previousScale = zoom.scale;
    previousCentre = zoom.centreY;
  }
}

TEST(TunnelUniforms, FlyForwardsAndBackwardsSwaying) {
  const TunnelUniforms forwards = BrickTunnelUniforms(1.0f, 0.0f, 50.0);
  EXPECT_EQ(forwards.t, 50.0f);
  EXPECT_EQ(forwards.u, 0.25f);
  EXPECT_EQ(forwards.v, 0.0f);

  const TunnelUniforms back = BrickTunnelUniforms(-2.0f, 2.0f, 90.0);
  EXPECT_EQ(back.t, -180.0f);
  EXPECT_NEAR(back.v, -0.8011526f, 1e-7f);
  const TunnelUniforms later = BrickTunnelUniforms(-2.0f, 2.0f, 91.5);
  EXPECT_EQ(later.t, -183.0f);
  EXPECT_NEAR(later.v, 0.7086804f, 1e-7f);
  // The product and the sine are formed in double precision: a time that is
  // not a float still gives the nearest float of the exact product.
  EXPECT_EQ(BrickTunnelUniforms(-2.0f, 2.0f, 93.3).t, static_cast<float>(-2.0 * 93.3));

  for (double time : {0.0, 49.5, 93.9, 131.0}) {
    EXPECT_EQ(BrickTunnelUniforms(0.0f, 2.0f, time).t, 0.0f);
    EXPECT_EQ(BrickTunnelUniforms(1.0f, 0.0f, time).v, 0.0f);
  }
}

TEST(PlanesUniforms, CircleTheirEllipseWithTheClock) {
  const PlanesUniforms at40 = PlanesUniformsAt(40.0);
  EXPECT_EQ(at40.t, 40.0f);
  EXPECT_NEAR(at40.c[0], -0.6669381f, 1e-7f);
  EXPECT_NEAR(at40.c[1], 0.1862783f, 1e-7f);
  const PlanesUniforms at39 = PlanesUniformsAt(39.0);
  EXPECT_NEAR(at39.c[0], 0.2666429f, 1e-7f);
  EXPECT_NEAR(at39.c[1], 0.2409488f, 1e-7f);
  EXPECT_EQ(PlanesUniformsAt(41.3).t, static_cast<float>(41.3));

  for (double time = 39.0; time < 44.0; time += 0.1) {
    const PlanesUniforms at = PlanesUniformsAt(time);
    const float onEllipse = at.c[0] * at.c[0] + (at.c[1] / 0.25f) * (at.c[1] / 0.25f);
    EXPECT_NEAR(onEllipse, 1.0f, 1e-5f) << "time " << time;
  }
}
