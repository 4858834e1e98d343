// The decoding queue: every file is judged once read, images come back in
// table order with their own size and channel count, and each failure
// carries the right kind and words, whatever order the worker threads
// finished in.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "resources/image_decoder.h"
#include "resources/image_queue.h"

namespace {
std::string Write(const char* name, const std::string& bytes) {
  const std::string path = testing::TempDir() + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path;
}

// A 2 x 1 grey-and-alpha PNG (two channels): (0, 255), (255, 128).
const unsigned char kGreyAlphaPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x04, 0x00, 0x00,
    0x00, 0x5e, 0x2b, 0xb7, 0x01, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x44, 0x41, 0x54, 0x78,
    0xda, 0x63, 0x60, 0xf8, 0xff, 0xbf, 0x01, 0x00, 0x05, 0x80, 0x02, 0x7f, 0x3e, 0x39,
    0xa6, 0xc2, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
}  // namespace

TEST(ImageQueue, ResultsInTableOrder) {
  static std::string paths[6];
  paths[0] = Write("q0.png", std::string(reinterpret_cast<const char*>(kGreyAlphaPng),
                                          sizeof kGreyAlphaPng));
  paths[1] = testing::TempDir() + "q-missing.png";
  paths[2] = Write("q2.png", "just some text");
  paths[3] = Write("q3.png", std::string(reinterpret_cast<const char*>(kGreyAlphaPng), 20));
  paths[4] = paths[0];
  std::string damaged(reinterpret_cast<const char*>(kGreyAlphaPng), sizeof kGreyAlphaPng);
  damaged[45] ^= 0x10;  // inside the picture data
  paths[5] = Write("q5.png", damaged);
  static const char* names[6];
  for (int i = 0; i < 6; ++i) names[i] = paths[i].c_str();
  StartImageDecoding(names, 6);

  // Every file is read and judged before any picture is taken, the damaged
  // picture data included, in the decoder's own words.
  const ImageHeader& sound = WaitForImageHeader(0);
  EXPECT_EQ(sound.status, ImageStatus::kReady);
  EXPECT_EQ(sound.width, 2);
  EXPECT_EQ(sound.height, 1);
  EXPECT_EQ(sound.components, 2);
  EXPECT_EQ(WaitForImageHeader(1).status, ImageStatus::kFileError);
  EXPECT_EQ(WaitForImageHeader(2).failureReason, "unknown image type");
  EXPECT_EQ(WaitForImageHeader(3).status, ImageStatus::kDecodeError);
  const ImageHeader& broken = WaitForImageHeader(5);
  EXPECT_EQ(broken.status, ImageStatus::kDecodeError);
  int width = 0, height = 0, components = 0;
  EXPECT_EQ(DecodeImage(reinterpret_cast<const uint8_t*>(damaged.data()),
                        static_cast<int32_t>(damaged.size()), &width, &height, &components),
            nullptr);
  EXPECT_EQ(broken.failureReason, ImageFailureReason());

  const DecodedImage& first = WaitForDecodedImage(0);
  ASSERT_EQ(first.status, ImageStatus::kReady);
  EXPECT_EQ(first.width, 2);
  EXPECT_EQ(first.height, 1);
  EXPECT_EQ(first.components, 2);
  ASSERT_NE(first.pixels, nullptr);
  EXPECT_EQ(first.pixels[0], 0x00);  // black, opaque
  EXPECT_EQ(first.pixels[1], 0xff);
  EXPECT_EQ(first.pixels[2], 0xff);  // white, half transparent
  EXPECT_EQ(first.pixels[3], 0x80);
  ReleaseDecodedImage(0);

  EXPECT_EQ(WaitForDecodedImage(1).status, ImageStatus::kFileError);
  ReleaseDecodedImage(1);
  const DecodedImage& text = WaitForDecodedImage(2);
  EXPECT_EQ(text.status, ImageStatus::kDecodeError);
  EXPECT_EQ(text.failureReason, "unknown image type");
  ReleaseDecodedImage(2);
  const DecodedImage& cut = WaitForDecodedImage(3);
  EXPECT_EQ(cut.status, ImageStatus::kDecodeError);
  EXPECT_FALSE(cut.failureReason.empty());
  ReleaseDecodedImage(3);
  EXPECT_EQ(WaitForDecodedImage(4).status, ImageStatus::kReady);
  ReleaseDecodedImage(4);
  EXPECT_EQ(WaitForDecodedImage(5).failureReason, broken.failureReason);
  ReleaseDecodedImage(5);
}
