// The full-screen scenes over whole sections, drawn as the director draws
// them (one render per film frame into the 160 x 120 target): what one render
// costs on this renderer, and whether each scene hands the projector the four
// corners of its cell (R here, G one pixel right, B one row up, A the
// diagonal) so that it can be enlarged without pixel squares.
// Start-up has already run and every texture is up (gl_main.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "common/gl_entry_points.h"
#include "common/show_state.h"
#include "demo/effects.h"
#include "scene_target_test.h"

namespace {
constexpr int kFilmFramesPerSecond = 16;
constexpr int kFramesPerSection = 5 * kFilmFramesPerSecond;

struct Section {
  const char* name;
  int firstSecond;
  void (*render)(const EffectInputs& in);
};
float ballPositions[32];
void Metaballs(const EffectInputs& in) {
  MetaballsEffect(in, StartedShow.BallMotionTable, ballPositions);
}
const Section kSections[] = {
    {"star tunnel", 34, [](const EffectInputs& in) { StarTunnelEffect(in); }},
    {"planes", 39, [](const EffectInputs& in) { PlanesEffect(in); }},
    {"brick tunnel", 49, [](const EffectInputs& in) { BrickTunnelEffect(in, 1.0f, 0.0f); }},
    {"metaballs", 59, Metaballs},
    {"swaying tunnel", 89, [](const EffectInputs& in) { BrickTunnelEffect(in, -2.0f, 2.0f); }},
    {"mandelbrot zoom", 99,
     [](const EffectInputs& in) { ScreenEffect(in, (in.DemoTime - 99.0) / 5.0); }},
    {"metaballs again", 109, Metaballs},
};

// Processor time of the whole process, every thread, in milliseconds.
double ProcessCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

class SceneSection : public SceneTargetTest {
 protected:
  // Film frame `frame` of the section, at the time the director draws it.
  static void Draw(const Section& section, int frame) {
    section.render(
        EffectInputsAt(section.firstSecond + static_cast<double>(frame) / kFilmFramesPerSecond));
  }

  static std::vector<uint8_t> ReadTarget() {
    std::vector<uint8_t> rgba(kSceneWidth * kSceneHeight * 4);
    glReadPixels(0, 0, kSceneWidth, kSceneHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
  }
};

// Every film frame of every section once, glFinish after each render as the
// projector pass that follows would force; the mean is printed for the
// performance notes and not judged here (the machine is shared).
TEST_F(SceneSection, RenderTimePerFilmFrame) {
  for (const Section& section : kSections) {
    Draw(section, 0);  // the driver compiles the program's variant on first use
    glFinish();
    std::vector<double> ms(kFramesPerSection);
    double total = 0.0;
    const double cpuStart = ProcessCpuMs();
    for (int frame = 0; frame < kFramesPerSection; ++frame) {
      const auto start = std::chrono::steady_clock::now();
      Draw(section, frame);
      glFinish();
      ms[frame] =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      total += ms[frame];
    }
    const double cpu = (ProcessCpuMs() - cpuStart) / kFramesPerSection;
    // Other work on a shared machine lengthens some renders: the median
    // says what the scene costs, the mean what the section cost this time,
    // and the processor time (the renderer's threads included) what it
    // costs the machine, however busy it is.
    std::sort(ms.begin(), ms.end());
    std::printf("  %-16s %6.2f ms per 160 x 120 render (median %.2f, slowest %.2f), %.2f ms of CPU\n",
                section.name, total / kFramesPerSection, ms[kFramesPerSection / 2], ms.back(), cpu);
  }
}

// The projector blends a pixel's four channels as the corners of its cell,
// so G must be what the pixel to the right holds in R, B what the pixel one
// row up holds, A the diagonal's. A scene that copies R into the others, or
// evaluates its corners half a pixel apart, or a row the wrong way, enlarges
// into squares or seams; these compare every pixel against its neighbours
// at four film frames spread over each section. The scene must also have
// something to show: a picture whose neighbours all agree trivially would
// pass the comparison without proving anything.
TEST_F(SceneSection, EveryPixelCarriesItsNeighboursCorners) {
  for (const Section& section : kSections) {
    for (int frame : {3, 25, 51, kFramesPerSection - 1}) {
      Draw(section, frame);
      const std::vector<uint8_t> rgba = ReadTarget();
      const auto at = [&](int x, int y, int channel) {
        return static_cast<int>(rgba[4 * (y * kSceneWidth + x) + channel]);
      };
      int compared = 0, mismatched = 0, worst = 0, steps = 0, worstX = 0, worstY = 0;
      for (int y = 0; y + 1 < kSceneHeight; ++y) {
        for (int x = 0; x + 1 < kSceneWidth; ++x) {
          const int differences[3] = {std::abs(at(x, y, 1) - at(x + 1, y, 0)),
                                      std::abs(at(x, y, 2) - at(x, y + 1, 0)),
                                      std::abs(at(x, y, 3) - at(x + 1, y + 1, 0))};
          for (int d : differences) {
            ++compared;
            if (d > worst) worst = d, worstX = x, worstY = y;
            mismatched += d > 2;  // rounding to 8 bits twice, and the GPU's arithmetic
          }
          steps += std::abs(at(x + 1, y, 0) - at(x, y, 0)) > 8;
        }
      }
      EXPECT_LT(mismatched, compared / 500)
          << section.name << ", film frame " << frame << ": worst difference " << worst << " at pixel "
          << worstX << ", " << worstY;
      EXPECT_GT(steps, kSceneWidth) << section.name << ", film frame " << frame << " is nearly flat";
    }
  }
}
}  // namespace
