// The 24 content images: their files in a fixed order, how each is filtered,
// the order they go up in, and the upload formats an image's component count
// and size call for. Plain data and rules, no GL calls; any thread.
#pragma once
#include <cstdint>

inline constexpr int kImageCount = 24;

struct ImageEntry {
  const char* path;
  uint8_t FilterFlag;  // non-zero: trilinear with mipmaps; zero: nearest
};
extern const ImageEntry ImageTable[kImageCount];

// Named indices the show refers to. The demo asks for textures by these.
enum ImageIndex : int {
  kImageBrick = 0,
  kImageStars = 1,
  kImageMandelbrot = 2,
  kImageFrame = 3,
  kImageFilmWriting = 4,
  kImageFirstScratch = 20,  // 20..23: the four scratch overlays
};
inline constexpr int kScratchImageCount = 4;

// The order in which the images are read, decoded and uploaded: by first use
// in the show. Names every index once.
extern const int TextureLoadOrder[kImageCount];

// Upload formats (GL enum values) for a decoded component count: false for
// counts outside 1-4, *out unchanged.
struct PixelFormat {
  int32_t internalFormat;
  uint32_t format;
};
bool PixelFormatForComponents(int components, PixelFormat* out);

// The wrap mode (a GL enum value): square images repeat; others use the
// legacy clamp.
int32_t WrapModeForSize(int width, int height);
