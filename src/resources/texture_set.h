// The texture set: the 24 content images as GL textures, in a fixed order.
// Built once at start-up on the main thread with the GL context current.
#pragma once
#include <cstdint>

#include "app/gl_entry_points.h"

inline constexpr int kImageCount = 24;

struct ImageEntry {
  const char* path;
  uint8_t FilterFlag;  // non-zero: trilinear with mipmaps; zero: nearest
};
extern const ImageEntry ImageTable[kImageCount];

// Named indices the show refers to.
enum ImageIndex : int {
  kImageBrick = 0,
  kImageStars = 1,
  kImageMandelbrot = 2,
  kImageFrame = 3,
  kImageFilmWriting = 4,
  kImageFirstScratch = 20,  // 20..23: the four scratch overlays
};

extern GLuint TextureTable[kImageCount];

// Upload formats for a decoded component count: false for counts outside 1-4.
struct PixelFormat {
  GLint internalFormat;
  GLenum format;
};
bool PixelFormatForComponents(int components, PixelFormat* out);

// Square images repeat; others use the legacy clamp.
GLint WrapModeForSize(int width, int height);

// Starts reading and decoding the images on worker threads, so that they are
// ready when LoadTextures wants them. Safe to call more than once.
void StartTextureDecoding();

// Loads all 24 images in table order. false after the failure has been shown
// with the image path as caption ("File error.", the decoder's reason, or
// "Format error."); the textures made so far stay.
bool LoadTextures();
