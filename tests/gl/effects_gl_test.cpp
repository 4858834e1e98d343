// The scene effects against a real GL context: the uniform values each effect
// leaves in its program, the texture unit and image it leaves bound, the
// render state after the cubes, the white and grey clears, and the time one
// 160 x 120 scene render takes. Start-up has already run (gl_main.cpp).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/gl_entry_points.h"
#include "common/show_state.h"
#include "gl_start.h"
#include "demo/effects.h"
#include "demo/scene_maths.h"
#include "platform/platform.h"
#include "resources/geometry.h"
#include "resources/shader_library.h"
#include "resources/texture_set.h"

namespace {
uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Each test draws into the scene target as the director does, and hands the
// window's framebuffer and viewport back afterwards.
class SceneEffect : public testing::Test {
 protected:
  void SetUp() override {
    getUniformf = reinterpret_cast<PFNGLGETUNIFORMFVPROC>(PlatformGlProcAddress("glGetUniformfv"));
    getUniformi = reinterpret_cast<PFNGLGETUNIFORMIVPROC>(PlatformGlProcAddress("glGetUniformiv"));
    ASSERT_NE(getUniformf, nullptr);
    ASSERT_NE(getUniformi, nullptr);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, StartedShow.SceneTarget.framebuffer);
    glViewport(0, 0, kSceneWidth, kSceneHeight);
  }

  void TearDown() override {
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, StartedShow.screen.WindowWidth, StartedShow.screen.WindowHeight);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }

  // The location start-up fetched for a uniform that the program lists.
  GLint ListedLocation(int program, const char* name) {
    const int slot = FindUniformSlot(program, name);
    EXPECT_GE(slot, 0) << name << " is not listed for " << ShaderPrograms[program].name;
    return slot < 0 ? -1 : programs.UniformLocationTable[program][slot];
  }

  // Reads `count` floats of a uniform that the program lists.
  std::vector<float> Uniform(int program, const char* name, int count) {
    std::vector<float> values(16, NAN);
    const GLint location = ListedLocation(program, name);
    EXPECT_NE(location, -1) << name;
    if (location != -1) getUniformf(programs.ProgramTable[program], location, values.data());
    values.resize(count);
    return values;
  }

  GLint SamplerUnit(int program, const char* name) {
    GLint unit = -1;
    getUniformi(programs.ProgramTable[program], ListedLocation(program, name), &unit);
    return unit;
  }

  // The effect's program is current and its image sits on the active unit.
  void ExpectBound(int program, GLenum unit, int image) {
    GLint current = 0, active = 0, texture = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    EXPECT_EQ(static_cast<GLuint>(current), programs.ProgramTable[program]);
    EXPECT_EQ(static_cast<GLenum>(active), unit);
    EXPECT_EQ(static_cast<GLuint>(texture), StartedShow.textures.TextureTable[image]);
  }

  std::vector<uint8_t> ReadColour() {
    std::vector<uint8_t> pixels(kSceneWidth * kSceneHeight * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kSceneWidth, kSceneHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
  }

  std::vector<float> ReadDepth() {
    std::vector<float> depth(kSceneWidth * kSceneHeight);
    glReadPixels(0, 0, kSceneWidth, kSceneHeight, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    return depth;
  }

  // Puts something other than the effect's expected output on a unit first.
  void Disturb(GLenum unit) {
    gl.glActiveTexture(unit);
    glBindTexture(GL_TEXTURE_2D, StartedShow.textures.TextureTable[kImageFrame]);
    gl.glActiveTexture(GL_TEXTURE0);
  }

  PFNGLGETUNIFORMFVPROC getUniformf = nullptr;
  PFNGLGETUNIFORMIVPROC getUniformi = nullptr;
  const ProgramTables& programs = StartedShow.programs;
  const MeshBufferRecord& mesh = StartedShow.MeshBuffer;
};

TEST_F(SceneEffect, TunnelsSetTheirClockTwistAndSwayOnUnitTwo) {
  Disturb(GL_TEXTURE2);
  BrickTunnelEffect(EffectInputsAt(90.0), -2.0f, 2.0f);
  ExpectBound(kProgramTunnel, GL_TEXTURE2, kImageBrick);
  EXPECT_EQ(SamplerUnit(kProgramTunnel, "T"), 2);
  EXPECT_EQ(Uniform(kProgramTunnel, "t", 1)[0], -180.0f);
  EXPECT_EQ(Uniform(kProgramTunnel, "u", 1)[0], 0.25f);
  EXPECT_NEAR(Uniform(kProgramTunnel, "v", 1)[0], -0.8011526f, 1e-7f);

  // The star tunnel sets neither v nor c: v keeps the brick tunnel's sway.
  StarTunnelEffect(EffectInputsAt(34.0));
  ExpectBound(kProgramTunnel, GL_TEXTURE2, kImageStars);
  EXPECT_EQ(SamplerUnit(kProgramTunnel, "T"), 2);
  EXPECT_EQ(Uniform(kProgramTunnel, "t", 1)[0], 34.0f);
  EXPECT_EQ(Uniform(kProgramTunnel, "u", 1)[0], 0.0f);
  EXPECT_NEAR(Uniform(kProgramTunnel, "v", 1)[0], -0.8011526f, 1e-7f);

  BrickTunnelEffect(EffectInputsAt(50.0), 1.0f, 0.0f);
  ExpectBound(kProgramTunnel, GL_TEXTURE2, kImageBrick);
  EXPECT_EQ(Uniform(kProgramTunnel, "t", 1)[0], 50.0f);
  EXPECT_EQ(Uniform(kProgramTunnel, "v", 1)[0], 0.0f);

  BrickTunnelEffect(EffectInputsAt(91.5), -2.0f, 2.0f);
  EXPECT_EQ(Uniform(kProgramTunnel, "t", 1)[0], -183.0f);
  EXPECT_NEAR(Uniform(kProgramTunnel, "v", 1)[0], 0.7086804f, 1e-7f);
  // Nothing ever gives the tunnel's c a value (if the shader keeps it at all).
  const GLint c = UniformLocation(programs, {kProgramTunnel, "c"});
  if (c != -1) {
    float value[2] = {1, 1};
    getUniformf(programs.ProgramTable[kProgramTunnel], c, value);
    EXPECT_EQ(value[0], 0.0f);
    EXPECT_EQ(value[1], 0.0f);
  }
}

TEST_F(SceneEffect, PlanesDriftWithTheClockOnUnitTwo) {
  Disturb(GL_TEXTURE2);
  PlanesEffect(EffectInputsAt(40.0));
  ExpectBound(kProgramPlanes, GL_TEXTURE2, kImageBrick);
  EXPECT_EQ(SamplerUnit(kProgramPlanes, "T"), 2);
  EXPECT_EQ(Uniform(kProgramPlanes, "t", 1)[0], 40.0f);
  const std::vector<float> c = Uniform(kProgramPlanes, "c", 2);
  EXPECT_NEAR(c[0], -0.6669381f, 1e-7f);
  EXPECT_NEAR(c[1], 0.1862783f, 1e-7f);
}

TEST_F(SceneEffect, MetaballsSendTheSixteenCentresOfTheirTime) {
  // The effect writes the centres into the table it is given, here a copy of
  // the start-up's.
  float positions[32] = {};
  MetaballsEffect(EffectInputsAt(60.0), StartedShow.BallMotionTable, positions);
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(static_cast<GLuint>(current), programs.ProgramTable[kProgramMetaballs]);
  EXPECT_EQ(Uniform(kProgramMetaballs, "t", 1)[0], 70.0f);
  const std::vector<float> qs = Uniform(kProgramMetaballs, "qs", 2);
  EXPECT_EQ(Bits(qs[0]), 0x3FAAAAABu);  // 4/3 in single precision
  EXPECT_EQ(qs[1], 1.0f);
  EXPECT_EQ(Uniform(kProgramMetaballs, "qb", 2), std::vector<float>({0.0f, 0.0f}));

  float expected[32];
  ComputeBallPositions(StartedShow.BallMotionTable, 60.0, expected);
  EXPECT_NEAR(expected[0], -0.0982611f, 1e-7f);  // ball 0 of the start-up table
  EXPECT_NEAR(expected[1], 0.1846312f, 1e-7f);
  for (int ball = 0; ball < 16; ++ball) {
    const std::string name = "p[" + std::to_string(ball) + "]";
    const GLint location = gl.glGetUniformLocation(programs.ProgramTable[kProgramMetaballs], name.c_str());
    ASSERT_NE(location, -1) << name;
    float centre[2] = {NAN, NAN};
    getUniformf(programs.ProgramTable[kProgramMetaballs], location, centre);
    EXPECT_EQ(centre[0], expected[2 * ball]) << name;
    EXPECT_EQ(centre[1], expected[2 * ball + 1]) << name;
    EXPECT_EQ(positions[2 * ball], expected[2 * ball]) << name;
    EXPECT_EQ(positions[2 * ball + 1], expected[2 * ball + 1]) << name;
  }
}

TEST_F(SceneEffect, CubesShareTheirMatricesAndSwitchDepthAndCullingOff) {
  const CubeTransformMatrices expected = CubeTransform(71.25);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  CubeEffect(EffectInputsAt(71.25), mesh);
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(std::vector<float>(clear, clear + 4), std::vector<float>({0.5f, 0.5f, 0.5f, 0.0f}));
  const std::vector<float> cubeM = Uniform(kProgramCube, "m", 16);
  const std::vector<float> cubeNm = Uniform(kProgramCube, "nm", 16);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(Bits(cubeM[i]), Bits(expected.m[i])) << "m entry " << i;
    EXPECT_EQ(Bits(cubeNm[i]), Bits(expected.nm[i])) << "nm entry " << i;
  }
  // The grey shows at the corner, the cube in the middle of the picture.
  std::vector<uint8_t> pixels = ReadColour();
  EXPECT_NEAR(pixels[0], 128, 1);
  const size_t middle = 4 * (60 * kSceneWidth + 80);
  // The cube stands off the grey clear in the middle of the picture.
  EXPECT_GT(std::abs(pixels[middle] - 128), 30);

  Disturb(GL_TEXTURE4);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  TexturedCubeEffect(EffectInputsAt(71.25), mesh);
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  ExpectBound(kProgramTexturedCube, GL_TEXTURE4, kImageBrick);
  EXPECT_EQ(SamplerUnit(kProgramTexturedCube, "T"), 4);
  const std::vector<float> texturedM = Uniform(kProgramTexturedCube, "m", 16);
  const std::vector<float> texturedNm = Uniform(kProgramTexturedCube, "nm", 16);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(Bits(texturedM[i]), Bits(cubeM[i])) << "m entry " << i;
    EXPECT_EQ(Bits(texturedNm[i]), Bits(cubeNm[i])) << "nm entry " << i;
  }
  pixels = ReadColour();
  EXPECT_NEAR(pixels[0], 128, 1);
  EXPECT_GT(std::abs(pixels[middle] - 128), 30);
}

TEST_F(SceneEffect, CubesWithoutTrianglesShowOnlyTheGreyClear) {
  MeshBufferRecord noTriangles = mesh;
  noTriangles.triangleCount = 0;
  for (auto* effect : {CubeEffect, TexturedCubeEffect}) {
    WhiteSceneEffect();
    effect(EffectInputsAt(72.0), noTriangles);
    const std::vector<uint8_t> pixels = ReadColour();
    int notGrey = 0;
    for (size_t i = 0; i < pixels.size(); i += 4) {
      if (std::abs(pixels[i] - 128) > 1 || std::abs(pixels[i + 1] - 128) > 1 ||
          std::abs(pixels[i + 2] - 128) > 1 || pixels[i + 3] != 0) {
        ++notGrey;
      }
    }
    EXPECT_EQ(notGrey, 0);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  }
}

TEST_F(SceneEffect, ScreenZoomFramesTheImageOnUnitFour) {
  Disturb(GL_TEXTURE4);
  ScreenEffect(EffectInputsAt(101.25), 0.25);
  ExpectBound(kProgramScreen, GL_TEXTURE4, kImageMandelbrot);
  EXPECT_EQ(SamplerUnit(kProgramScreen, "T"), 4);
  EXPECT_EQ(Uniform(kProgramScreen, "ts", 2), std::vector<float>({0.29f, 0.29f}));
  EXPECT_EQ(Uniform(kProgramScreen, "tb", 2), std::vector<float>({0.5f, 0.625f}));
  ScreenEffect(EffectInputsAt(99.0), 0.0);
  EXPECT_EQ(Uniform(kProgramScreen, "ts", 2), std::vector<float>({0.5f, 0.5f}));
  EXPECT_EQ(Uniform(kProgramScreen, "tb", 2), std::vector<float>({0.5f, 0.5f}));
}

TEST_F(SceneEffect, WhiteSceneFillsEveryPixelAndLeavesTheDepth) {
  // The cube leaves a depth picture that is not all one value.
  CubeEffect(EffectInputsAt(70.0), mesh);
  const std::vector<float> depthBefore = ReadDepth();
  float nearest = 1.0f;
  for (float d : depthBefore) nearest = std::min(nearest, d);
  ASSERT_LT(nearest, 1.0f);

  WhiteSceneEffect();
  const std::vector<uint8_t> pixels = ReadColour();
  int notWhite = 0;
  for (size_t i = 0; i < pixels.size(); i += 4) {
    if (pixels[i] != 255 || pixels[i + 1] != 255 || pixels[i + 2] != 255 || pixels[i + 3] != 0) {
      ++notWhite;
    }
  }
  EXPECT_EQ(notWhite, 0);
  EXPECT_EQ(ReadDepth(), depthBefore);
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(std::vector<float>(clear, clear + 4), std::vector<float>({1.0f, 1.0f, 1.0f, 0.0f}));
}

// One scene render must fit in a film frame (1/16 s) with room for the
// projector pass; the times are printed for the performance notes.
// Every scene of the show at a time inside its section.
struct TimedScene {
  const char* name;
  double time;
  void (*render)(const EffectInputs& in);
};
float scratchPositions[32];
const TimedScene kScenes[] = {
    {"star tunnel", 36.5, [](const EffectInputs& in) { StarTunnelEffect(in); }},
    {"planes", 41.5, [](const EffectInputs& in) { PlanesEffect(in); }},
    {"brick tunnel", 51.5, [](const EffectInputs& in) { BrickTunnelEffect(in, 1.0f, 0.0f); }},
    {"swaying tunnel", 91.5, [](const EffectInputs& in) { BrickTunnelEffect(in, -2.0f, 2.0f); }},
    {"metaballs", 61.5,
     [](const EffectInputs& in) {
       MetaballsEffect(in, StartedShow.BallMotionTable, scratchPositions);
     }},
    {"cube", 71.5, [](const EffectInputs& in) { CubeEffect(in, StartedShow.MeshBuffer); }},
    {"textured cube", 81.5,
     [](const EffectInputs& in) { TexturedCubeEffect(in, StartedShow.MeshBuffer); }},
    {"screen zoom", 101.5, [](const EffectInputs& in) { ScreenEffect(in, 0.5); }},
    {"white scene", 130.0, [](const EffectInputs&) { WhiteSceneEffect(); }},
};

TEST_F(SceneEffect, EachSceneRendersWellWithinAFilmFrame) {
  constexpr int kRenders = 20;
  for (const TimedScene& scene : kScenes) {
    scene.render(EffectInputsAt(scene.time));  // warm-up: first-use compilation in the driver
    glFinish();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRenders; ++i) {
      scene.render(EffectInputsAt(scene.time + i / 16.0));
    }
    glFinish();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() /
        kRenders;
    std::printf("  %-15s %7.3f ms per 160 x 120 render\n", scene.name, ms);
    EXPECT_LT(ms, 30.0) << scene.name;
  }
}
}  // namespace
