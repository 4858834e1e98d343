// How the Mandelbrot zoom reads, checked on every film frame of its section
// in the 160 x 120 target: it shows the set in detail, framed as its image
// frames it. (The cubes' looks are checked in cube_looks_gl_test.cpp.)
// Start-up has already run and every texture is up (gl_main.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/gl_entry_points.h"
#include "common/show_state.h"
#include "demo/effects.h"
#include "resources/geometry.h"
#include "resources/shader_library.h"
#include "resources/texture_set.h"
#include "scene_target_test.h"

namespace {
constexpr int kPixels = kSceneWidth * kSceneHeight;
constexpr int kFilmFramesPerSecond = 16;

using SceneLook = SceneTargetTest;

// The zoom's picture as the scene shows it: red, the value at each pixel,
// 0..255, bottom row first.
std::vector<int> ReadRed() {
  std::vector<uint8_t> rgba(kPixels * 4);
  glReadPixels(0, 0, kSceneWidth, kSceneHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  std::vector<int> red(kPixels);
  for (int i = 0; i < kPixels; ++i) red[i] = rgba[4 * i];
  return red;
}

// Every film frame of section 22, as the director passes its progress,
// shows the set in detail: its tones spread over many levels (smooth
// shading, not a dark and a bright tone with soft edges) and it is never
// mostly dark, the last frame before the card that names the set included.
TEST_F(SceneLook, MandelbrotZoomShowsDetailOnEveryFilmFrame) {
  constexpr int kFrames = 5 * kFilmFramesPerSecond;
  constexpr int kLevels = 16;  // of 16 values each
  int fewestLevels = kLevels;
  double darkest = 0.0;
  for (int frame = 0; frame < kFrames; ++frame) {
    const double progress = static_cast<double>(frame) / kFrames;
    ScreenEffect(EffectInputsAt(99.0 + 5.0 * progress), progress);
    const std::vector<int> red = ReadRed();
    // The middle of the glass, clear of the bezel and the rounded corners.
    int share[kLevels] = {}, counted = 0, dark = 0;
    for (int y = 16; y < kSceneHeight - 16; ++y) {
      for (int x = 24; x < kSceneWidth - 24; ++x) {
        const int value = red[y * kSceneWidth + x];
        ++share[value / 16];
        dark += value < 40;
        ++counted;
      }
    }
    // Levels that hold at least 2 % of the glass each.
    int levels = 0;
    for (int count : share) levels += count * 50 >= counted;
    const double darkShare = static_cast<double>(dark) / counted;
    fewestLevels = std::min(fewestLevels, levels);
    darkest = std::max(darkest, darkShare);
    EXPECT_GE(levels, 6) << "film frame " << frame << " of the zoom";
    EXPECT_LT(darkShare, 0.25) << "film frame " << frame << " of the zoom is mostly dark";
  }
  std::printf("  zoom: at least %d levels of 16 on a film frame, at most %.0f %% of it dark\n",
              fewestLevels, 100.0 * darkest);
}

// The set is placed as the Mandelbrot image places it (c = 0.365 + (v -
// 0.75) 3.25 + (0.335 + (u - 0.5) 3.25) i at texture coordinate (u, v), v
// down the image), so the zoom keeps the image's framing and its end point.
// With the view shrunk to a point, the glass's middle shows the set at tb:
// points inside give the one tone of a settled orbit at zero, points that
// escape a clearly different one. A swapped or mirrored axis, or another
// scale, puts some inside probe outside or the other way round.
TEST_F(SceneLook, MandelbrotFramingFollowsTheImagesTextureSpace) {
  struct Probe {
    double re, im;
    bool inside;
  };
  // Orbits that settle on zero: the centres of the cardioid and of the
  // period-2 bulb. Escapes at various speeds, on all sides of the set.
  const Probe probes[] = {{0.0, 0.0, true},   {-1.0, 0.0, true}, {0.55, 0.0, false},
                          {-2.2, 0.0, false}, {0.0, 1.3, false}, {0.0, -1.3, false},
                          {0.5, 0.6, false},  {-0.9, 0.6, false}};
  const auto escapes = [](double re, double im) {
    double x = 0.0, y = 0.0;
    for (int i = 0; i < 1000; ++i) {
      const double next = x * x - y * y + re;
      y = 2.0 * x * y + im;
      x = next;
      if (x * x + y * y > 4.0) return true;
    }
    return false;
  };
  const GLint scale = UniformLocation(StartedShow.programs, {kProgramScreen, "ts"});
  const GLint offset = UniformLocation(StartedShow.programs, {kProgramScreen, "tb"});
  const int middle = (kSceneHeight / 2) * kSceneWidth + kSceneWidth / 2;
  int insideTone = -1;
  std::vector<int> outsideTones;
  for (const Probe& probe : probes) {
    ASSERT_EQ(escapes(probe.re, probe.im), !probe.inside) << probe.re << " + " << probe.im << "i";
    ScreenEffect(EffectInputsAt(99.0), 0.0);
    gl.glUniform2f(scale, 1e-6f, 1e-6f);
    gl.glUniform2f(offset, static_cast<float>(0.5 + (probe.im - 0.335) / 3.25),
                   static_cast<float>(0.75 + (probe.re - 0.365) / 3.25));
    DrawFullscreenQuad(StartedShow.FullscreenQuad);
    const int tone = ReadRed()[middle];
    if (probe.inside) {
      if (insideTone < 0) insideTone = tone;
      EXPECT_NEAR(tone, insideTone, 3) << "inside at " << probe.re << " + " << probe.im << "i";
    } else {
      outsideTones.push_back(tone);
    }
  }
  for (size_t i = 0; i < outsideTones.size(); ++i) {
    EXPECT_GE(std::abs(outsideTones[i] - insideTone), 12)
        << "outside probe " << i << " looks like the inside (" << insideTone << ")";
  }
}
}  // namespace
