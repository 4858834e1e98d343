// What start-up built, read back from the GL context: the scene target, the
// texture set's parameters against the image files, and the state a
// projector pass leaves behind.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/main_loop.h"
#include "common/show_random.h"
#include "demo/director.h"
#include "demo/projector.h"
#include "platform/platform.h"
#include "platform/whole_file.h"
#include "resources/image_decoder.h"
#include "resources/shader_library.h"
#include "resources/texture_set.h"
#include "gl_start.h"

namespace {
const ProgramTables& programs = StartedShow.programs;
const GLuint* const textureTable = StartedShow.textures.TextureTable;
const SceneTargetRecord& sceneTarget = StartedShow.SceneTarget;
const ShowScreen& screen = StartedShow.screen;

GLint TextureLevelParameter(GLuint texture, GLenum name) {
  glBindTexture(GL_TEXTURE_2D, texture);
  GLint value = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &value);
  return value;
}

GLint TextureParameter(GLuint texture, GLenum name) {
  glBindTexture(GL_TEXTURE_2D, texture);
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
  return value;
}

GLint BoundOnUnit(int unit) {
  gl.glActiveTexture(GL_TEXTURE0 + unit);
  GLint name = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
  return name;
}

// The location start-up fetched for a uniform that the program lists.
GLint ListedLocation(int program, const char* name) {
  const int slot = FindUniformSlot(program, name);
  EXPECT_GE(slot, 0) << name << " is not listed for " << ShaderPrograms[program].name;
  return slot < 0 ? -1 : programs.UniformLocationTable[program][slot];
}

std::vector<float> UniformValue(int program, const char* name, int count) {
  static auto getUniform =
      reinterpret_cast<PFNGLGETUNIFORMFVPROC>(PlatformGlProcAddress("glGetUniformfv"));
  std::vector<float> value(count);
  getUniform(programs.ProgramTable[program], ListedLocation(program, name), value.data());
  return value;
}

GLint UniformInt(int program, const char* name) {
  static auto getUniform =
      reinterpret_cast<PFNGLGETUNIFORMIVPROC>(PlatformGlProcAddress("glGetUniformiv"));
  GLint value = -1;
  getUniform(programs.ProgramTable[program], ListedLocation(program, name), &value);
  return value;
}
}  // namespace

TEST(StartUp, SceneTargetIsComplete) {
  EXPECT_EQ(sceneTarget.width, 160);
  EXPECT_EQ(sceneTarget.height, 120);
  gl.glBindFramebuffer(GL_FRAMEBUFFER, sceneTarget.framebuffer);
  EXPECT_EQ(gl.glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
  gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
  EXPECT_EQ(TextureLevelParameter(sceneTarget.colourTexture, GL_TEXTURE_WIDTH), 160);
  EXPECT_EQ(TextureLevelParameter(sceneTarget.colourTexture, GL_TEXTURE_HEIGHT), 120);
  EXPECT_EQ(TextureLevelParameter(sceneTarget.colourTexture, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA8);
  EXPECT_EQ(TextureLevelParameter(sceneTarget.depthTexture, GL_TEXTURE_WIDTH), 160);
  EXPECT_GT(TextureLevelParameter(sceneTarget.depthTexture, GL_TEXTURE_DEPTH_SIZE), 0);
  EXPECT_EQ(TextureParameter(sceneTarget.colourTexture, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
  EXPECT_EQ(TextureParameter(sceneTarget.colourTexture, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
  EXPECT_EQ(screen.WindowWidth, 320);
  EXPECT_EQ(screen.WindowHeight, 180);
  EXPECT_DOUBLE_EQ(screen.AspectRatio, 16.0 / 9.0);
}

TEST(StartUp, ProgramsShareTheirShadersAndKeepTheirLocations) {
  // Not among the show's entry points: fetched for this check alone.
  const auto getAttachedShaders =
      reinterpret_cast<PFNGLGETATTACHEDSHADERSPROC>(PlatformGlProcAddress("glGetAttachedShaders"));
  ASSERT_NE(getAttachedShaders, nullptr);
  GLuint attached[kProgramCount][3] = {};
  for (int p = 0; p < kProgramCount; ++p) {
    GLint linked = GL_FALSE;
    gl.glGetProgramiv(programs.ProgramTable[p], GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE) << ShaderPrograms[p].name;
    GLsizei count = 0;
    getAttachedShaders(programs.ProgramTable[p], 3, &count, attached[p]);
    EXPECT_EQ(count, 2) << ShaderPrograms[p].name;
    for (int i = 0; i < UniformCount(ShaderPrograms[p]); ++i) {
      EXPECT_EQ(programs.UniformLocationTable[p][i],
                gl.glGetUniformLocation(programs.ProgramTable[p], ShaderPrograms[p].uniforms[i]));
    }
  }
  // Any order of the two: each program holds one fragment and one vertex
  // shader, and programs with the same vertex file hold the same object.
  const auto vertexOf = [&](int p) {
    GLint type = 0;
    gl.glGetShaderiv(attached[p][0], GL_SHADER_TYPE, &type);
    return type == GL_VERTEX_SHADER ? attached[p][0] : attached[p][1];
  };
  for (int p : {kProgramMetaballs, kProgramScreen, kProgramPlasma}) {
    EXPECT_EQ(vertexOf(p), vertexOf(kProgramProjector));
  }
  EXPECT_EQ(vertexOf(kProgramPlanes), vertexOf(kProgramTunnel));
  EXPECT_EQ(vertexOf(kProgramTexturedCube), vertexOf(kProgramCube));
  EXPECT_NE(vertexOf(kProgramCube), vertexOf(kProgramTunnel));
  EXPECT_NE(vertexOf(kProgramProjector), vertexOf(kProgramTunnel));
}

TEST(StartUp, TexturesFollowTheImageTable) {
  for (int i = 0; i < kImageCount; ++i) {
    SCOPED_TRACE(ImageTable[i].path);
    int32_t length = 0;
    uint8_t* file = ReadWholeFile(ImageTable[i].path, &length);
    ASSERT_NE(file, nullptr);
    int width = 0, height = 0, components = 0;
    uint8_t* pixels = DecodeImage(file, length, &width, &height, &components);
    delete[] file;
    ASSERT_NE(pixels, nullptr);

    const GLuint texture = textureTable[i];
    PixelFormat format{};
    ASSERT_TRUE(PixelFormatForComponents(components, &format));
    // Level 0 holds the decoded pixels exactly, top row first, whether it
    // went up whole or in strips.
    std::vector<uint8_t> level0(static_cast<size_t>(width) * height * components);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format.format, GL_UNSIGNED_BYTE, level0.data());
    EXPECT_EQ(std::memcmp(level0.data(), pixels, level0.size()), 0);
    FreeImagePixels(pixels);
    EXPECT_EQ(TextureLevelParameter(texture, GL_TEXTURE_INTERNAL_FORMAT), format.internalFormat);
    EXPECT_EQ(TextureLevelParameter(texture, GL_TEXTURE_WIDTH), width);
    EXPECT_EQ(TextureLevelParameter(texture, GL_TEXTURE_HEIGHT), height);
    const bool trilinear = ImageTable[i].FilterFlag != 0;
    EXPECT_EQ(TextureParameter(texture, GL_TEXTURE_MIN_FILTER),
              trilinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST);
    EXPECT_EQ(TextureParameter(texture, GL_TEXTURE_MAG_FILTER), trilinear ? GL_LINEAR : GL_NEAREST);
    const GLint wrap = width == height ? GL_REPEAT : GL_CLAMP;
    EXPECT_EQ(TextureParameter(texture, GL_TEXTURE_WRAP_S), wrap);
    EXPECT_EQ(TextureParameter(texture, GL_TEXTURE_WRAP_T), wrap);
    // Every texture carries a full mipmap chain, whatever its filter.
    GLint smallest = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    int levels = 0;
    for (int w = std::max(width, height); w > 1; w /= 2) ++levels;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, levels, GL_TEXTURE_WIDTH, &smallest);
    EXPECT_EQ(smallest, 1);
  }
}

TEST(StartUp, LeavesTheUploadsForLaterAndLoadsOnDemand) {
  // Start-up only checks the images; the first use uploads one alone.
  EXPECT_EQ(TexturesAtStartup.loaded, 0);
  EXPECT_EQ(TexturesAtStartup.loadedAfterOneUse, 1);
  EXPECT_TRUE(TexturesAtStartup.starsLoaded);
  EXPECT_EQ(LoadedTextureCount(StartedShow.textures), kImageCount);
  EXPECT_TRUE(TexturesAtStartup.allLoaded);
  // The load order names every image once.
  bool seen[kImageCount] = {};
  for (int index : TextureLoadOrder) {
    ASSERT_GE(index, 0);
    ASSERT_LT(index, kImageCount);
    EXPECT_FALSE(seen[index]) << index;
    seen[index] = true;
  }
}

TEST(StartUp, TexturesAreAskedForByImageIndex) {
  TextureFailure failure{};
  for (int outside : {-1, kImageCount}) {
    SCOPED_TRACE(outside);
    failure = {};
    EXPECT_FALSE(MakeTextureReady(&StartedShow.textures, outside, &failure));
    EXPECT_STREQ(failure.text, "image index out of range");
    EXPECT_EQ(ImageTexture(&StartedShow.textures, outside), 0u);
  }
  EXPECT_TRUE(MakeTextureReady(&StartedShow.textures, kImageFirstScratch + 3, &failure));
  EXPECT_EQ(ImageTexture(&StartedShow.textures, kImageFirstScratch + 3), textureTable[23]);
  EXPECT_NE(textureTable[23], 0u);
}

TEST(ProjectorPass, BindsUnitsAndSetsUniforms) {
  const ProjectorInputs in{programs, StartedShow.textures, StartedShow.FullscreenQuad,
                           sceneTarget.colourTexture, screen.AspectRatio};
  // Before the first film frame there is no card and no scratch overlay, not
  // image 0: the scene target, and nothing on unit 2.
  ProjectorPass(in, FilmFrameState{}, 1.0);
  EXPECT_EQ(BoundOnUnit(1), static_cast<GLint>(sceneTarget.colourTexture));
  EXPECT_EQ(BoundOnUnit(2), 0);


  FilmFrameState state{};
  state.scratchImage = 21;
  state.sceneScale[0] = 0.6666667f, state.sceneScale[1] = -0.5f;
  state.sceneOffset[0] = 0.501f, state.sceneOffset[1] = 0.499f;
  state.scratchScale[0] = -0.6666667f, state.scratchScale[1] = 0.5f;
  state.scratchOffset[0] = 0.4f, state.scratchOffset[1] = 0.6f;

  // An effect section projects the scene target...
  ProjectorPass(in, state, 0.75);
  EXPECT_EQ(BoundOnUnit(0), static_cast<GLint>(textureTable[kImageFrame]));
  EXPECT_EQ(BoundOnUnit(1), static_cast<GLint>(sceneTarget.colourTexture));
  EXPECT_EQ(BoundOnUnit(2), static_cast<GLint>(textureTable[21]));
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(current, static_cast<GLint>(programs.ProgramTable[kProgramProjector]));
  const int p = kProgramProjector;
  EXPECT_EQ(UniformInt(p, "T"), 0);
  EXPECT_EQ(UniformInt(p, "F"), 1);
  EXPECT_EQ(UniformInt(p, "U"), 2);
  EXPECT_EQ(UniformValue(p, "ts", 2), (std::vector<float>{0.6666667f, 0.5f}));
  EXPECT_EQ(UniformValue(p, "tb", 2), (std::vector<float>{0.5f, 0.5f}));
  EXPECT_EQ(UniformValue(p, "qs", 2), (std::vector<float>{0.6666667f, -0.5f}));
  EXPECT_EQ(UniformValue(p, "qb", 2), (std::vector<float>{0.501f, 0.499f}));
  EXPECT_EQ(UniformValue(p, "us", 2), (std::vector<float>{-0.6666667f, 0.5f}));
  EXPECT_EQ(UniformValue(p, "ub", 2), (std::vector<float>{0.4f, 0.6f}));
  EXPECT_EQ(UniformValue(p, "r", 1), (std::vector<float>{0.75f}));

  // ...a title card section projects the card itself.
  state.sceneImage = 13;
  ProjectorPass(in, state, 90.65);
  EXPECT_EQ(BoundOnUnit(1), static_cast<GLint>(textureTable[13]));
  EXPECT_EQ(UniformValue(p, "r", 1), (std::vector<float>{90.65f}));
}

TEST(Director, ScenePassRestoresTheWindowAndShowsTheCard) {
  Show show = StartedShow;
  show.DemoTime = 6.0;  // a title card
  RenderShowPass(&show);
  GLint framebuffer = -1, viewport[4] = {};
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(framebuffer, 0);
  EXPECT_EQ(viewport[2], screen.WindowWidth);
  EXPECT_EQ(viewport[3], screen.WindowHeight);
  EXPECT_EQ(BoundOnUnit(1), static_cast<GLint>(textureTable[5]));

  // The window's sides beyond the 4:3 picture stay black; its middle is lit.
  std::vector<uint8_t> pixels(static_cast<size_t>(screen.WindowWidth) * screen.WindowHeight * 4);
  glReadPixels(0, 0, screen.WindowWidth, screen.WindowHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  const auto at = [&](int x, int y) { return pixels[(static_cast<size_t>(y) * screen.WindowWidth + x) * 4]; };
  EXPECT_EQ(at(2, screen.WindowHeight / 2), 0);
  EXPECT_EQ(at(screen.WindowWidth - 3, screen.WindowHeight / 2), 0);
  int lit = 0;
  for (int x = screen.WindowWidth / 4; x < 3 * screen.WindowWidth / 4; ++x) {
    for (int y = screen.WindowHeight / 4; y < 3 * screen.WindowHeight / 4; ++y) lit += at(x, y) > 128;
  }
  EXPECT_GT(lit, 50);  // the card's lettering shows through
}

TEST(MainLoop, TheEndOfTheTimelineEndsTheShowOnePassLater) {
  Show show = StartedShow;
  int exitCode = -7;
  // The burn-out still runs at 131 s; the film frame after it has no
  // section, and the pass that found that is followed by exactly one more.
  EXPECT_FALSE(RunShowPass(&show, 131.0, &exitCode));
  EXPECT_FALSE(RunShowPass(&show, 131.02, &exitCode));
  EXPECT_EQ(exitCode, -7);
  EXPECT_TRUE(RunShowPass(&show, 131.04, &exitCode));
  EXPECT_EQ(exitCode, 0);
  // The request was taken: a later pass starts afresh.
  show = StartedShow;
  EXPECT_FALSE(RunShowPass(&show, 6.0, &exitCode));
}

// The random sequences are shared in a fixed order: start-up seeds ShowLcg
// and makes ShowRand's draws 1 to 96 for the ball tables, and the director's
// first film frame goes on from draw 97. Each pass draws from the Show it is
// given and from nothing else, so two copies given the same passes agree,
// and the show they were copied from is left as it was.
TEST(Show, StartUpAndTheDirectorShareTheSequencesInOrder) {
  EXPECT_EQ(StartedShow.ShowLcgState, kShowLcgSeed);
  uint32_t rand = kShowRandStart;
  float motion[64], positions[32];
  FillBallTables(&rand, motion, positions);
  EXPECT_EQ(StartedShow.ShowRandState, rand);
  const uint32_t randAtStart = rand;
  EXPECT_EQ(std::memcmp(StartedShow.BallMotionTable, motion, sizeof motion), 0);
  EXPECT_EQ(std::memcmp(StartedShow.BallPositions, positions, sizeof positions), 0);
  EXPECT_EQ(StartedShow.Director.FilmFrameIndex, 0);

  Show first = StartedShow, second = StartedShow;
  // The first pass begins no film frame: one ShowLcg draw, no ShowRand draw.
  first.DemoTime = 0.01;
  RenderShowPass(&first);
  EXPECT_EQ(first.ShowLcgState, 3334503126u);
  EXPECT_EQ(first.ShowRandState, rand);
  // The first film frame: the scratch overlay of draw 97 (16118 mod 4 = 2).
  first.DemoTime = 1.0 / 16.0;
  RenderShowPass(&first);
  EXPECT_EQ(first.Director.FilmFrameIndex, 1);
  EXPECT_EQ(first.Director.frame.scratchImage, kImageFirstScratch + 2);
  EXPECT_EQ(first.ShowLcgState, 3334503126u * 1878557649u);
  ShowRandDraw(&rand), ShowRandDraw(&rand), ShowRandDraw(&rand);
  EXPECT_EQ(first.ShowRandState, rand);

  for (const double time : {0.01, 1.0 / 16.0, 40.0, 61.5, 81.0}) {
    first.DemoTime = second.DemoTime = time;
    if (time > 1.0) RenderShowPass(&first);
    RenderShowPass(&second);
  }
  EXPECT_EQ(second.ShowLcgState, first.ShowLcgState);
  EXPECT_EQ(second.ShowRandState, first.ShowRandState);
  EXPECT_EQ(second.Director.FilmFrameIndex, first.Director.FilmFrameIndex);
  EXPECT_EQ(std::memcmp(&second.Director.frame, &first.Director.frame, sizeof(FilmFrameState)), 0);
  EXPECT_EQ(std::memcmp(second.BallPositions, first.BallPositions, sizeof positions), 0);
  // The metaballs at 61.5 s moved the copies' balls, not the original's.
  EXPECT_NE(std::memcmp(first.BallPositions, positions, sizeof positions), 0);
  EXPECT_EQ(std::memcmp(StartedShow.BallPositions, positions, sizeof positions), 0);
  EXPECT_EQ(StartedShow.ShowLcgState, kShowLcgSeed);
  EXPECT_EQ(StartedShow.ShowRandState, randAtStart);
  EXPECT_EQ(StartedShow.Director.FilmFrameIndex, 0);
}
