// The content images as drivers will meet them: every picture within the
// texture sides that common drivers take, read from the files' headers.
#include <gtest/gtest.h>

#include <string>

#include "platform/whole_file.h"
#include "resources/image_decoder.h"
#include "resources/image_table.h"

namespace {
std::string ContentPath(const char* name) {
  std::string file = __FILE__;
  return file.substr(0, file.rfind("tests/unit/")) + "content/" + name;
}

// Drivers of OpenGL 3 class take at least 4096 on a side, most 8192 or more.
// Only the film writing needs 8192 rows: its 32 bands each need 256 of them
// to stay crisp at 4K.
constexpr int kSideLimit = 4096;
constexpr int kFilmWritingHeightLimit = 8192;
constexpr int kFilmWritingBands = 32;
}  // namespace

TEST(ContentImages, EverySideFitsTheDriversWeAimAt) {
  for (int index = 0; index < kImageCount; ++index) {
    const char* path = ImageTable[index].path;
    SCOPED_TRACE(path);
    int32_t length = 0;
    uint8_t* bytes = ReadWholeFile(ContentPath(path).c_str(), &length);
    ASSERT_NE(bytes, nullptr);
    int width = 0, height = 0, components = 0;
    const bool read = ReadImageHeader(bytes, length, &width, &height, &components);
    delete[] bytes;
    ASSERT_TRUE(read) << ImageFailureReason();
    EXPECT_LE(width, kSideLimit);
    if (index == kImageFilmWriting) {
      EXPECT_LE(height, kFilmWritingHeightLimit);
      // The projector shows band n at (n + 0.5) / 32 of the height: bands
      // that are not whole rows would bleed into one another.
      EXPECT_EQ(height % kFilmWritingBands, 0) << height;
    } else {
      EXPECT_LE(height, kSideLimit);
    }
  }
}
