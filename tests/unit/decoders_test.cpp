// The content decoders on damaged and hostile input: sizes refused from the
// header before any decoding, damaged pictures refused rather than shown
// half grey, and a music stream damaged in the middle that keeps playing
// what decodes without one slow call.
#include <gtest/gtest.h>

#include <time.h>

#include <cstring>
#include <string>
#include <vector>

#include "audio/vorbis_decoder.h"
#include "platform/whole_file.h"
#include "resources/image_decoder.h"

namespace {
std::string ContentPath(const char* name) {
  std::string file = __FILE__;
  return file.substr(0, file.rfind("tests/unit/")) + "content/" + name;
}

std::vector<uint8_t> ReadContent(const char* name) {
  int32_t length = 0;
  uint8_t* bytes = ReadWholeFile(ContentPath(name).c_str(), &length);
  std::vector<uint8_t> file(bytes, bytes + (bytes ? length : 0));
  delete[] bytes;
  return file;
}

void PutBigEndian(std::vector<uint8_t>* out, uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
}

uint32_t Crc32(const uint8_t* bytes, size_t length) {
  uint32_t crc = 0xffffffffu;
  for (size_t i = 0; i < length; ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

// A PNG signature and IHDR chunk for an 8-bit RGB image, and nothing more.
std::vector<uint8_t> PngHeader(uint32_t width, uint32_t height) {
  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13};
  std::vector<uint8_t> chunk = {'I', 'H', 'D', 'R'};
  PutBigEndian(&chunk, width, 4);
  PutBigEndian(&chunk, height, 4);
  chunk.insert(chunk.end(), {8, 2, 0, 0, 0});
  file.insert(file.end(), chunk.begin(), chunk.end());
  PutBigEndian(&file, Crc32(chunk.data(), chunk.size()), 4);
  return file;
}

// A JPEG start and baseline frame header for a 3-component image.
std::vector<uint8_t> JpegHeader(uint32_t width, uint32_t height) {
  std::vector<uint8_t> file = {0xff, 0xd8, 0xff, 0xc0, 0x00, 0x11, 8};
  PutBigEndian(&file, height, 2);
  PutBigEndian(&file, width, 2);
  file.insert(file.end(), {3, 1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1});
  return file;
}

std::string HeaderRefusal(const std::vector<uint8_t>& file) {
  int width = -1, height = -1, components = -1;
  if (ReadImageHeader(file.data(), static_cast<int32_t>(file.size()), &width, &height,
                      &components)) {
    return "accepted";
  }
  EXPECT_EQ(width, -1);  // outputs untouched on failure
  EXPECT_EQ(components, -1);
  EXPECT_EQ(DecodeImage(file.data(), static_cast<int32_t>(file.size()), &width, &height,
                        &components),
            nullptr);
  return ImageFailureReason();
}
}  // namespace

TEST(ImageDecoder, OversizedPicturesAreRefusedFromTheHeaderWithTheirSize) {
  for (const auto& make : {PngHeader, JpegHeader}) {
    EXPECT_NE(HeaderRefusal(make(65535, 65535)).find("image too large: 65535 x 65535"),
              std::string::npos);
    EXPECT_NE(HeaderRefusal(make(16385, 16)).find("image too large"), std::string::npos);
    // Each side allowed, but 81 million pixels in all.
    EXPECT_NE(HeaderRefusal(make(9000, 9000)).find("image too large"), std::string::npos);
    // Within the caps: refused only because the file ends after its header.
    const std::string small = HeaderRefusal(make(8000, 8000));
    EXPECT_EQ(small.find("too large"), std::string::npos) << small;
    EXPECT_NE(HeaderRefusal(make(0, 16)).find("no pixels"), std::string::npos);
  }
  EXPECT_EQ(HeaderRefusal({'G', 'I', 'F', '8', '9', 'a'}), "unknown image type");
  EXPECT_EQ(HeaderRefusal({}), "unknown image type");
}

TEST(ImageDecoder, DamagedPicturesAreRefusedNotShownIncomplete) {
  for (const char* name : {"images/frame.jpg", "images/brick.png", "images/f1.png"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> file = ReadContent(name);
    ASSERT_FALSE(file.empty());
    int width = 0, height = 0, components = 0;
    uint8_t* whole = DecodeImage(file.data(), static_cast<int32_t>(file.size()), &width, &height,
                                 &components);
    ASSERT_NE(whole, nullptr) << ImageFailureReason();
    FreeImagePixels(whole);
    // A cut file is refused by the header check already, before decoding.
    for (size_t keep : {file.size() / 2, file.size() * 9 / 10, file.size() - 12}) {
      int w = -1, h = -1, n = -1;
      EXPECT_FALSE(ReadImageHeader(file.data(), static_cast<int32_t>(keep), &w, &h, &n));
      EXPECT_NE(std::string(ImageFailureReason()).find("end"), std::string::npos);
      EXPECT_EQ(DecodeImage(file.data(), static_cast<int32_t>(keep), &w, &h, &n), nullptr);
    }
    // Damage inside the picture data passes the header check and is found
    // by the decode; padding after the end is harmless.
    std::vector<uint8_t> damaged = file;
    for (size_t at : {file.size() / 4, file.size() / 2, file.size() * 3 / 4}) damaged[at] ^= 0xff;
    int w = -1, h = -1, n = -1;
    EXPECT_TRUE(ReadImageHeader(damaged.data(), static_cast<int32_t>(damaged.size()), &w, &h, &n));
    EXPECT_EQ(DecodeImage(damaged.data(), static_cast<int32_t>(damaged.size()), &w, &h, &n), nullptr);
    const std::string decodeReason = ImageFailureReason();
    EXPECT_GT(decodeReason.size(), 5u);
    // The data check finds that damage without making pixels: a PNG by its
    // checksums, a JPEG through the entropy decoder, in the decode's words.
    // A sound file passes.
    const bool png = std::strstr(name, ".png") != nullptr;
    EXPECT_TRUE(CheckImageData(file.data(), static_cast<int32_t>(file.size())));
    EXPECT_FALSE(CheckImageData(damaged.data(), static_cast<int32_t>(damaged.size())));
    EXPECT_EQ(ImageFailureReason(), png ? std::string("IDAT: CRC error") : decodeReason);
    std::vector<uint8_t> padded = file;
    padded.resize(file.size() + 100000);
    uint8_t* pixels = DecodeImage(padded.data(), static_cast<int32_t>(padded.size()), &w, &h, &n);
    EXPECT_NE(pixels, nullptr);
    FreeImagePixels(pixels);
    EXPECT_TRUE(CheckImageData(padded.data(), static_cast<int32_t>(padded.size())));
  }
}

TEST(VorbisDecoder, DamageInTheMiddleCostsOnlyTheDamagedPart) {
  std::vector<uint8_t> file = ReadContent("music/belvamarch.ogg");
  if (file.empty()) GTEST_SKIP() << "no march";
  // Decodes the whole stream; returns frames per channel and the slowest call.
  auto decodeAll = [](const std::vector<uint8_t>& bytes, double* slowest) {
    VorbisDecoder* decoder = OpenVorbisDecoder(bytes.data(), static_cast<int32_t>(bytes.size()));
    EXPECT_NE(decoder, nullptr);
    if (!decoder) return int64_t{0};
    int64_t frames = 0;
    *slowest = 0.0;
    for (int zeros = 0; zeros < 64;) {  // 0 is the end or a damaged packet
      int32_t channels = 0;
      float** data = nullptr;
      // Thread CPU time: the machine may be busy with other tests.
      const double start = ThreadSeconds();
      const int32_t n = DecodeVorbisFrame(decoder, &channels, &data);
      if (ThreadSeconds() - start > *slowest) *slowest = ThreadSeconds() - start;
      if (n > 0) {
        EXPECT_EQ(channels, 2);
        frames += n;
        zeros = 0;
      } else {
        ++zeros;
      }
    }
    CloseVorbisDecoder(decoder);
    return frames;
  };
  double slowest = 0.0;
  const int64_t whole = decodeAll(file, &slowest);
  // 16 KB of garbage in the middle, and three flipped bytes further on.
  for (size_t i = 0; i < 16384; ++i) file[file.size() / 2 + i] = static_cast<uint8_t>(i * 151 + 7);
  for (size_t at : {file.size() * 6 / 10, file.size() * 7 / 10, file.size() * 8 / 10}) file[at] ^= 0x5a;
  const int64_t damaged = decodeAll(file, &slowest);
  EXPECT_GT(damaged, whole * 9 / 10);
  EXPECT_LE(damaged, whole + 8192);
  EXPECT_LT(slowest, 0.05);  // a refill half lasts 0.37 s
  // Cut inside the headers: no decoder, and (under the leak checker) nothing kept.
  for (size_t keep : {size_t{28}, size_t{200}, size_t{3000}}) {
    EXPECT_EQ(OpenVorbisDecoder(file.data(), static_cast<int32_t>(keep)), nullptr);
  }
}
