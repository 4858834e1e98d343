// The one translation unit that compiles stb_image: PNG and JPEG only, from
// memory only, with a dimension cap, so a damaged or hostile file meets as
// little decoder as possible.
#include "resources/image_decoder.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 16384
#include <stb/stb_image.h>

static_assert(STBI_MAX_DIMENSIONS == kMaxImageDimension);

uint8_t* DecodeImage(const uint8_t* bytes, int32_t length, int* width, int* height,
                     int* components) {
  int w = 0, h = 0, n = 0;
  stbi_uc* pixels = stbi_load_from_memory(bytes, length, &w, &h, &n, 0);
  if (!pixels) return nullptr;
  *width = w;
  *height = h;
  *components = n;
  return pixels;
}

bool ReadImageHeader(const uint8_t* bytes, int32_t length, int* width, int* height,
                     int* components) {
  return stbi_info_from_memory(bytes, length, width, height, components) != 0;
}

const char* ImageFailureReason() {
  // Some of the decoder's reasons quote the damaged bytes and can come out
  // empty; a message box needs words.
  const char* reason = stbi_failure_reason();
  return reason && *reason ? reason : "unknown image error";
}

void FreeImagePixels(uint8_t* pixels) { stbi_image_free(pixels); }
