// The shader tables and the GL entry point fetch: no GL context is needed,
// but the code around them reports through the message boxes and builds
// programs, so it links the GL layer and the platform.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/gl_entry_points.h"
#include "resources/shader_library.h"

namespace {
// What ShowMessage wrote to stderr: the lines it writes itself. Where SDL
// falls back to zenity for its boxes, zenity adds blank lines and its own
// complaint that there is no display; those are left out.
std::string ShownMessages(const std::string& captured) {
  std::string shown;
  size_t start = 0;
  while (start < captured.size()) {
    size_t end = captured.find('\n', start);
    if (end == std::string::npos) end = captured.size();
    const std::string line = captured.substr(start, end - start);
    if (!line.empty() && line.rfind("(zenity:", 0) != 0) shown += line + "\n";
    start = end + 1;
  }
  return shown;
}
}  // namespace

TEST(ShaderTables, CompositionAndNames) {
  // The files in the order the build compiles them: each once, every
  // fragment shader before any vertex shader, no geometry shader.
  std::vector<std::string> compiled[kStageCount];
  for (int stage = 0; stage < kStageCount; ++stage) {
    for (int p = 0; p < kProgramCount; ++p) {
      const int first = FirstProgramUsingShader(static_cast<ShaderStage>(stage), p);
      ASSERT_LE(first, p);
      if (first == p) compiled[stage].push_back(ShaderFileOf(ShaderPrograms[p], static_cast<ShaderStage>(stage)));
    }
  }
  const std::vector<std::string> fragments = {"tunnel", "projector",    "metaballs", "cube",
                                              "screen", "plasma", "texturedcube", "planes"};
  EXPECT_EQ(compiled[kStageFragment], fragments);
  EXPECT_EQ(compiled[kStageVertex], (std::vector<std::string>{"tunnel", "projector", "cube"}));
  EXPECT_TRUE(compiled[kStageGeometry].empty());
  EXPECT_STREQ(ShaderStages[kStageVertex].suffix, ".vs");
  EXPECT_EQ(ShaderStages[kStageGeometry].type, static_cast<GLenum>(GL_GEOMETRY_SHADER));

  // Program i is fragment shader i with its vertex shader; a shared vertex
  // shader is the one its first user compiled.
  const char* expectedVertex[kProgramCount] = {"tunnel",    "projector", "projector", "cube",
                                               "projector", "projector", "cube",      "tunnel"};
  for (int p = 0; p < kProgramCount; ++p) {
    EXPECT_STREQ(ShaderFileOf(ShaderPrograms[p], kStageFragment), ShaderPrograms[p].name);
    EXPECT_STREQ(ShaderPrograms[p].vertexShader, expectedVertex[p]);
    EXPECT_EQ(ShaderFileOf(ShaderPrograms[p], kStageGeometry), nullptr);
    EXPECT_EQ(FirstProgramUsingShader(kStageGeometry, p), -1);
  }
  EXPECT_EQ(FirstProgramUsingShader(kStageVertex, kProgramScreen), kProgramProjector);
  EXPECT_EQ(FirstProgramUsingShader(kStageVertex, kProgramPlanes), kProgramTunnel);
  EXPECT_EQ(FirstProgramUsingShader(kStageVertex, kProgramTexturedCube), kProgramCube);
  EXPECT_STREQ(ShaderPrograms[kProgramTexturedCube].name, "texturedcube");

  const int counts[kProgramCount] = {5, 10, 4, 3, 3, 4, 3, 3};
  for (int p = 0; p < kProgramCount; ++p) EXPECT_EQ(UniformCount(ShaderPrograms[p]), counts[p]);
  EXPECT_STREQ(ShaderPrograms[kProgramProjector].uniforms[9], "ub");

  std::vector<std::pair<std::string, int>> bindings;
  for (const AttributeBinding& binding : AttributeBindings) {
    bindings.emplace_back(binding.name, static_cast<int>(binding.location));
  }
  const std::vector<std::pair<std::string, int>> expected = {{"A0", 0}, {"A1", 1}, {"A2", 2}, {"A3", 3}};
  EXPECT_EQ(bindings, expected);

  char path[kShaderPathSize];
  EXPECT_TRUE(BuildShaderPath(path, "texturedcube", ".fs"));
  EXPECT_STREQ(path, "shaders/texturedcube.fs");
  EXPECT_TRUE(BuildShaderPath(path, "abcdefghijklmnopqrst", ".vs"));  // 20 characters fit
  EXPECT_FALSE(BuildShaderPath(path, "abcdefghijklmnopqrstu", ".vs"));
  EXPECT_STREQ(path, "");
}

TEST(ShaderTables, TooLongNameIsRefusedWithItsPath) {
  // Refused before any file is read or GL is called, so no context is needed;
  // the caption names the shader rather than being empty.
  testing::internal::CaptureStderr();
  EXPECT_EQ(CompileShaderOf("abcdefghijklmnopqrstu", kStageVertex), 0u);
  EXPECT_EQ(ShownMessages(testing::internal::GetCapturedStderr()),
            "shaders/abcdefghijklmnopqrstu.vs: Could not open\n");
}

TEST(ShaderTables, UniformSlotsFollowEachProgramsList) {
  for (int p = 0; p < kProgramCount; ++p) {
    for (int slot = 0; slot < UniformCount(ShaderPrograms[p]); ++slot) {
      EXPECT_EQ(FindUniformSlot(p, ShaderPrograms[p].uniforms[slot]), slot) << ShaderPrograms[p].name;
    }
  }
  // Whole names only, and each program's own list.
  EXPECT_EQ(FindUniformSlot(kProgramProjector, "ub"), 9);
  EXPECT_EQ(FindUniformSlot(kProgramProjector, "u"), -1);
  EXPECT_EQ(FindUniformSlot(kProgramProjector, "ubx"), -1);
  EXPECT_EQ(FindUniformSlot(kProgramCube, "T"), -1);
  EXPECT_EQ(FindUniformSlot(kProgramTexturedCube, "T"), 2);
  constexpr ListedUniform brightness{kProgramProjector, "r"};
  static_assert(brightness.slot == 3);
}

namespace {
std::vector<std::string> looked;
const char* refuse = nullptr;
int dummy;

void* FakeLookup(const char* name) {
  looked.emplace_back(name);
  return refuse && std::strcmp(name, refuse) == 0 ? nullptr : &dummy;
}

std::string FetchRefusing(const char* name) {
  looked.clear();
  refuse = name;
  GlEntryPoints table{};
  testing::internal::CaptureStderr();
  EXPECT_FALSE(FetchGlEntryPoints(&table, FakeLookup, "swapper"));
  return ShownMessages(testing::internal::GetCapturedStderr());
}
}  // namespace

TEST(GlEntryPointFetch, StopsAtTheFirstMissingName) {
  refuse = nullptr;
  looked.clear();
  GlEntryPoints table{};
  EXPECT_TRUE(FetchGlEntryPoints(&table, FakeLookup, "swapper"));
  ASSERT_EQ(looked.size(), 53u);
  EXPECT_EQ(looked[0], "swapper");
  EXPECT_EQ(looked[1], "glActiveTexture");
  EXPECT_EQ(looked[52], "glDeleteFramebuffers");
  EXPECT_EQ(reinterpret_cast<void*>(table.glDeleteFramebuffers), &dummy);

  EXPECT_EQ(FetchRefusing("swapper"), "Error: swapper\nError: OpenGL Extensions error.\n");
  EXPECT_EQ(looked.size(), 1u);  // no other entry point is tried

  EXPECT_EQ(FetchRefusing("glBindBuffer"), "Error: glBindBuffer\nError: OpenGL Extensions error.\n");
  EXPECT_EQ(looked.size(), 3u);
}
