// How two scenes read, checked on every film frame of their sections in the
// 160 x 120 target: the cubes never melt into the grey stage, and the
// Mandelbrot zoom never shows one texel across a 2 x 2 group of pixels.
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

namespace {
constexpr int kPixels = kSceneWidth * kSceneHeight;
constexpr int kFilmFramesPerSecond = 16;

class SceneLook : public testing::Test {
 protected:
  void SetUp() override {
    savedTime = DemoTime;
    gl.glBindFramebuffer(GL_FRAMEBUFFER, SceneTarget.framebuffer);
    glViewport(0, 0, kSceneWidth, kSceneHeight);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  }

  void TearDown() override {
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, WindowWidth, WindowHeight);
    DemoTime = savedTime;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }

  // The target's luminance, 0..255, bottom row first.
  std::vector<float> ReadLuminance() {
    std::vector<uint8_t> rgba(kPixels * 4);
    glReadPixels(0, 0, kSceneWidth, kSceneHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    std::vector<float> luminance(kPixels);
    for (int i = 0; i < kPixels; ++i) {
      luminance[i] = 0.299f * rgba[4 * i] + 0.587f * rgba[4 * i + 1] + 0.114f * rgba[4 * i + 2];
    }
    return luminance;
  }

  std::vector<float> ReadDepth() {
    std::vector<float> depth(kPixels);
    glReadPixels(0, 0, kSceneWidth, kSceneHeight, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    return depth;
  }

  double savedTime = 0.0;
};

// Which texel each scene pixel of the zoom shows, found by drawing the real
// screen program over probe images in place of the Mandelbrot picture: one
// image per bit of the texel's column and row, each texel PROBE bright where
// its bit is set. The program's output is linear in what it samples (below
// its clamp), so against the all-dark and all-PROBE images a pixel's response
// to a bit plane is the share of its samples whose texel has that bit. A pixel
// shows one texel when every plane reads all or nothing.
class TexelProbe {
 public:
  static constexpr int kBits = 10;  // 1024 texels a side
  static constexpr int kPlanes = 2 + 2 * kBits;
  static constexpr uint8_t kProbe = 140;  // stays below the program's clamp

  explicit TexelProbe(int frames) : response(kPlanes, std::vector<uint8_t>(frames * kPixels)) {}

  // Draws `draw` for frames 0..frames-1 under every plane; restores the image.
  template <typename Draw>
  void Measure(int frames, Draw draw) {
    const GLuint texture = TextureTable[kImageMandelbrot];
    gl.glActiveTexture(GL_TEXTURE4);
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    ASSERT_EQ(width, 1 << kBits);
    ASSERT_EQ(height, 1 << kBits);
    std::vector<uint8_t> original(width * height * 4), plane(width * height * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, original.data());
    std::vector<uint8_t> rgba(kPixels * 4);
    for (int p = 0; p < kPlanes; ++p) {
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          uint8_t* texel = &plane[4 * (y * width + x)];
          const bool lit = p == 0 ? false : p == 1 ? true
                           : p < 2 + kBits     ? (x >> (p - 2)) & 1
                                               : (y >> (p - 2 - kBits)) & 1;
          texel[0] = texel[1] = texel[2] = lit ? kProbe : 0;
          texel[3] = 255;
        }
      }
      gl.glActiveTexture(GL_TEXTURE4);
      glBindTexture(GL_TEXTURE_2D, texture);
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, plane.data());
      for (int frame = 0; frame < frames; ++frame) {
        draw(frame);
        glReadPixels(0, 0, kSceneWidth, kSceneHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        for (int i = 0; i < kPixels; ++i) response[p][frame * kPixels + i] = rgba[4 * i];
      }
    }
    gl.glActiveTexture(GL_TEXTURE4);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, original.data());
  }

  // The texel a pixel shows alone (column + 1024 row), -1 when it mixes
  // several, -2 when the picture hardly reaches it (bezel, the glass's rim).
  int TexelAt(int frame, int pixel) const {
    const int dark = response[0][frame * kPixels + pixel];
    const int span = response[1][frame * kPixels + pixel] - dark;
    if (span < 24) return -2;
    int texel = 0;
    for (int p = 2; p < kPlanes; ++p) {
      const double share = (response[p][frame * kPixels + pixel] - dark) / static_cast<double>(span);
      // One sample in nine or fewer already counts as a mix.
      if (share > 0.05 && share < 0.95) return -1;
      if (share >= 0.5) texel |= 1 << (p - 2);
    }
    return texel;
  }

  // 2 x 2 groups of pixels (at every position) that all show the same texel.
  int SingleTexelBlocks(int frame) const {
    int blocks = 0;
    for (int y = 0; y + 1 < kSceneHeight; ++y) {
      for (int x = 0; x + 1 < kSceneWidth; ++x) {
        const int texel = TexelAt(frame, y * kSceneWidth + x);
        if (texel < 0) continue;
        if (TexelAt(frame, y * kSceneWidth + x + 1) == texel &&
            TexelAt(frame, (y + 1) * kSceneWidth + x) == texel &&
            TexelAt(frame, (y + 1) * kSceneWidth + x + 1) == texel) {
          ++blocks;
        }
      }
    }
    return blocks;
  }

  int PicturePixels(int frame) const {
    int count = 0;
    for (int i = 0; i < kPixels; ++i) count += TexelAt(frame, i) != -2;
    return count;
  }

 private:
  std::vector<std::vector<uint8_t>> response;  // [plane][frame * kPixels + pixel], red
};

TEST_F(SceneLook, MandelbrotZoomNeverShowsOneTexelAcrossFourPixels) {
  // Every film frame of section 22, as the director passes its progress, and
  // last a control four times deeper than the zoom goes, where the image
  // must run out of texels: it shows that the probe finds blocks at all.
  constexpr int kFrames = 5 * kFilmFramesPerSecond;
  TexelProbe probe(kFrames + 1);
  probe.Measure(kFrames + 1, [](int frame) {
    if (frame < kFrames) {
      ScreenEffect(static_cast<double>(frame) / kFrames);
      return;
    }
    ScreenEffect(0.999);
    gl.glUniform2f(UniformLocation(kProgramScreen, "ts"), 0.02f, 0.02f);
    DrawFullscreenQuad();
  });
  int worst = 0;
  for (int frame = 0; frame < kFrames; ++frame) {
    const int blocks = probe.SingleTexelBlocks(frame);
    worst = std::max(worst, blocks);
    EXPECT_EQ(blocks, 0) << "film frame " << frame << " of the zoom";
    EXPECT_GT(probe.PicturePixels(frame), kPixels / 2) << "film frame " << frame;
  }
  const int control = probe.SingleTexelBlocks(kFrames);
  std::printf("  single-texel 2 x 2 blocks: %d at worst in the zoom, %d in the deeper control\n",
              worst, control);
  EXPECT_GT(control, 100);
}
}  // namespace
