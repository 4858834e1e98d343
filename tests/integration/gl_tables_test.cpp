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

TEST(ShaderTables, CompositionAndNames) {
  EXPECT_EQ(DecodeShaderReference(0x0005).stage, kStageFragment);
  EXPECT_EQ(DecodeShaderReference(0x0005).index, 5);
  EXPECT_EQ(DecodeShaderReference(0x4002).stage, kStageVertex);
  EXPECT_EQ(DecodeShaderReference(0x4002).index, 2);
  EXPECT_EQ(DecodeShaderReference(0x8001).stage, kStageGeometry);
  EXPECT_EQ(DecodeShaderReference(0xC003).stage, kStageGeometry);  // bit 15 wins
  EXPECT_EQ(DecodeShaderReference(0xC003).index, 3);

  // Walk the recipe as the build does: program i is fragment shader i with
  // its vertex shader.
  const char* expectedVertex[kProgramCount] = {"tunnel",    "projector", "projector", "cube",
                                               "projector", "projector", "cube",      "tunnel"};
  const uint32_t* entry = ProgramRecipe;
  int programs = 0;
  for (; *entry != 0; ++programs) {
    ASSERT_LT(programs, kProgramCount);
    ASSERT_EQ(*entry++, 2u);
    const ShaderReference fragment = DecodeShaderReference(*entry++);
    const ShaderReference vertex = DecodeShaderReference(*entry++);
    EXPECT_EQ(fragment.stage, kStageFragment);
    EXPECT_EQ(fragment.index, programs);
    EXPECT_EQ(vertex.stage, kStageVertex);
    EXPECT_STREQ(ShaderTable[kStageVertex].names[vertex.index], expectedVertex[programs]);
  }
  EXPECT_EQ(programs, kProgramCount);
  EXPECT_STREQ(ShaderTable[kStageFragment].names[kProgramTexturedCube], "texturedcube");

  const int counts[kProgramCount] = {5, 10, 4, 3, 3, 4, 3, 3};
  for (int p = 0; p < kProgramCount; ++p) EXPECT_EQ(UniformNames[p].count, counts[p]);
  EXPECT_STREQ(UniformNames[kProgramProjector].names[9], "ub");

  std::vector<std::pair<std::string, int>> bindings;
  for (const char* e = AttributeBindingTable; *e; e += std::strlen(e) + 2) {
    bindings.emplace_back(e, e[std::strlen(e) + 1]);
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
  return testing::internal::GetCapturedStderr();
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
