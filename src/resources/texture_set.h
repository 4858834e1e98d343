// The texture set: the 24 content images as GL textures, in a fixed order.
// Built once at start-up on the main thread with the GL context current.
#pragma once
#include <cstdint>

#include "common/gl_entry_points.h"

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

// Starts reading and decoding the images on worker threads, in load order,
// so that they are ready when the loader wants them. Safe to call more than
// once.
void StartTextureDecoding();

// Start-up: names the 24 textures and checks that every image can be read and
// has a header the decoder accepts, in table order. false after the failure
// has been shown with the image path as caption ("File error.", the
// decoder's reason, or "Format error."). The pixels are uploaded later: each
// texture when it is first bound (EnsureTextureLoaded, LoadedTexture) and the
// rest one a pass behind the first frame (ContinueTextureLoading), so the
// show starts without waiting for pictures it needs only later.
bool LoadTextures();

// The order in which ContinueTextureLoading uploads: by first use in the show.
extern const int TextureLoadOrder[kImageCount];

// Makes sure the table texture called name is uploaded, uploading it now if
// need be. Names outside the table are left alone. The binding of the active
// texture unit is kept.
void EnsureTextureLoaded(GLuint name);

// TextureTable[index], uploaded.
GLuint LoadedTexture(int index);

// Uploads the next texture in load order, if one is left.
void ContinueTextureLoading();

// Uploads every texture still waiting.
void FinishTextureLoading();

bool TextureIsLoaded(int index);
int LoadedTextureCount();

// A texture whose image failed to decode during the show: it stays empty and
// its path and the decoder's reason are kept here. path is null when all is
// well.
struct TextureFailure {
  const char* path;
  const char* text;
};
TextureFailure TextureLoadFailure();
