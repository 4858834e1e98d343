// Resource logic without GL: the whole-file reader, the OBJ reader and the
// texture format rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/gl_entry_points.h"  // the GL enum values only
#include "platform/whole_file.h"
#include "resources/image_table.h"
#include "resources/obj_reader.h"

namespace {
std::string TempPath(const char* name) { return testing::TempDir() + name; }

void WriteFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

struct ObjRead {
  ObjResult result;
  ObjTriangles triangles;
  ~ObjRead() { FreeObjTriangles(&triangles); }
};

ObjRead Read(const std::string& text) {
  ObjRead read{};
  FILE* stream = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  read.result = ReadObj(stream, &read.triangles);
  std::fclose(stream);
  return read;
}

const char kTriangle[] =
    "# one triangle\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\n";
}  // namespace

TEST(WholeFile, ReadsExactlyTheFileOrNothing) {
  const std::string empty = TempPath("empty.bin");
  WriteFile(empty, "");
  int32_t length = -7;
  uint8_t* a = ReadWholeFile(empty.c_str(), &length);
  uint8_t* b = ReadWholeFile(empty.c_str(), nullptr);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);  // each empty read is a distinct buffer
  EXPECT_EQ(length, 0);
  delete[] a;
  delete[] b;

  const std::string bytes("no newline, no zero\x01\x02", 21);
  const std::string path = TempPath("bytes.bin");
  WriteFile(path, bytes);
  uint8_t* data = ReadWholeFile(path.c_str(), &length);
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(length, 21);
  EXPECT_EQ(std::memcmp(data, bytes.data(), 21), 0);
  delete[] data;

  length = 42;
  EXPECT_EQ(ReadWholeFile(TempPath("missing.bin").c_str(), &length), nullptr);
  EXPECT_EQ(length, 42);  // untouched on failure
  EXPECT_EQ(ReadWholeFile(testing::TempDir().c_str(), &length), nullptr);  // a folder
  EXPECT_EQ(length, 42);
}

TEST(ObjReader, AcceptedForms) {
  {
    const ObjRead empty = Read("");
    EXPECT_EQ(empty.result, ObjResult::kComplete);
    EXPECT_EQ(empty.triangles.triangleCount, 0);
    EXPECT_EQ(empty.triangles.positionOnly, 0);
  }
  {
    // A fourth corner is dropped; unknown lines and short vertex lines are
    // ignored; vertices after the last face are read but unused.
    const ObjRead quad = Read(std::string(kTriangle) +
                              "o thing\nvt 0 0\ns off\nv 1 2\n\nf 1//1 2//1 3//1 3//1\nv 9 9 9\n");
    ASSERT_EQ(quad.result, ObjResult::kComplete);
    ASSERT_EQ(quad.triangles.triangleCount, 1);
    EXPECT_EQ(quad.triangles.positionOnly, 0);
    const float expected[18] = {0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 1};
    EXPECT_EQ(std::memcmp(quad.triangles.data, expected, sizeof expected), 0);
  }
  {
    const ObjRead bare = Read(std::string(kTriangle) + "f 3// 2// 1//\nf 1// 2// 3//\n");
    ASSERT_EQ(bare.result, ObjResult::kComplete);
    EXPECT_EQ(bare.triangles.triangleCount, 2);
    EXPECT_EQ(bare.triangles.positionOnly, 1);
    const float expected[9] = {0, 1, 0, 1, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bare.triangles.data, expected, sizeof expected), 0);
  }
  {
    // Many faces: the arrays grow past their first 1024 records.
    std::string many(kTriangle);
    for (int i = 0; i < 3000; ++i) many += "f 1//1 2//1 3//1\n";
    const ObjRead big = Read(many);
    EXPECT_EQ(big.result, ObjResult::kComplete);
    EXPECT_EQ(big.triangles.triangleCount, 3000);
  }
}

TEST(ObjReader, RejectedFaces) {
  const std::string good = std::string(kTriangle) + "f 1//1 2//1 3//1\n";
  for (const char* face : {"f 0//1 2//1 3//1\n", "f 1//1 2//1 4//1\n", "f 1//2 2//1 3//1\n",
                           "f 1 2 3\n", "f 1/1/1 2/1/1 3/1/1\n", "f 1/1 2/1 3/1\n",
                           "f 4//1 1//1 2//1\n"}) {
    const ObjRead read = Read(good + face);
    EXPECT_EQ(read.result, ObjResult::kMalformed) << face;
    EXPECT_EQ(read.triangles.triangleCount, 1) << face;  // what came before is kept
  }
  // A face may refer only to what stands above it.
  EXPECT_EQ(Read("f 1//1 2//1 3//1\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\n").result,
            ObjResult::kMalformed);
  // The two forms would need two layouts in one buffer.
  const ObjRead mixed = Read(good + "f 1// 2// 3//\n");
  EXPECT_EQ(mixed.result, ObjResult::kMixedForms);
  EXPECT_EQ(mixed.triangles.data, nullptr);
  EXPECT_EQ(Read(std::string(kTriangle) + "f 1// 2// 3//\nf 1//1 2//1 3//1\n").result,
            ObjResult::kMixedForms);
  // A 2000-character line is read as two pieces, neither a face.
  const ObjRead longLine = Read(good + "# " + std::string(2000, 'x') + "\n");
  EXPECT_EQ(longLine.result, ObjResult::kComplete);
}

// A mesh at the triangle limit reads whole, with every record as written
// through all the doublings; one face more stops the read at that line.
TEST(ObjReader, TriangleLimit) {
  std::string text;
  for (int i = 1; i <= 3; ++i) text += "v " + std::to_string(i) + " 0 0\n";
  text += "vn 0 0 1\n";
  std::string faces;
  for (int32_t t = 0; t < kMaxObjTriangles; ++t) {
    faces += t % 2 ? "f 1//1 2//1 3//1\n" : "f 3//1 2//1 1//1\n";
  }
  {
    ObjRead read = Read(text + faces);
    ASSERT_EQ(read.result, ObjResult::kComplete);
    ASSERT_EQ(read.triangles.triangleCount, kMaxObjTriangles);
    const float* last = read.triangles.data + 18 * (kMaxObjTriangles - 1);
    EXPECT_EQ(last[0], 1.0f);   // odd: corner a is position 1
    EXPECT_EQ(last[12], 3.0f);  // corner c is position 3
    EXPECT_EQ(last[17], 1.0f);  // its normal's z
    EXPECT_EQ(read.triangles.data[18 * 1000], 3.0f);  // an even one early on
  }
  int32_t stoppedAt = -1;
  const std::string over = text + faces + "f 1//1 2//1 3//1\n";
  FILE* stream = fmemopen(const_cast<char*>(over.data()), over.size(), "r");
  ObjTriangles triangles{};
  EXPECT_EQ(ReadObj(stream, &triangles, &stoppedAt), ObjResult::kTooLarge);
  std::fclose(stream);
  EXPECT_EQ(stoppedAt, 4 + kMaxObjTriangles + 1);
  EXPECT_EQ(triangles.triangleCount, kMaxObjTriangles);  // as far as it went
  FreeObjTriangles(&triangles);

  std::string positions;
  for (int32_t i = 0; i <= kMaxObjCorners; ++i) positions += "v 0 0 0\n";
  EXPECT_EQ(Read(positions).result, ObjResult::kTooLarge);
}

TEST(TextureRules, FormatsWrapsAndFilters) {
  PixelFormat format{};
  ASSERT_TRUE(PixelFormatForComponents(1, &format));
  EXPECT_EQ(format.internalFormat, GL_R8);
  EXPECT_EQ(format.format, static_cast<GLenum>(GL_RED));
  ASSERT_TRUE(PixelFormatForComponents(2, &format));
  EXPECT_EQ(format.internalFormat, GL_RG8);
  ASSERT_TRUE(PixelFormatForComponents(4, &format));
  EXPECT_EQ(format.format, static_cast<GLenum>(GL_RGBA));
  EXPECT_FALSE(PixelFormatForComponents(0, &format));
  EXPECT_FALSE(PixelFormatForComponents(5, &format));

  EXPECT_EQ(WrapModeForSize(512, 512), GL_REPEAT);
  EXPECT_EQ(WrapModeForSize(1024, 768), GL_CLAMP);

  for (int i = 0; i < kImageCount; ++i) {
    const bool nearest = i <= 2 || i >= 20;
    EXPECT_EQ(ImageTable[i].FilterFlag == 0, nearest) << ImageTable[i].path;
  }
  EXPECT_STREQ(ImageTable[kImageFrame].path, "images/frame.jpg");
  EXPECT_STREQ(ImageTable[21].path, "images/f2.png");
}
