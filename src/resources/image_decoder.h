// PNG and JPEG decoding from memory (stb_image, built with only those two
// decoders and a cap on image size). Any thread; no shared state beyond the
// failure reason.
#pragma once
#include <cstdint>

// The largest width or height accepted, in pixels; larger images are refused
// before their pixels are allocated.
inline constexpr int kMaxImageDimension = 16384;

// Decodes an image keeping its own component count (1 to 4, 8 bits each).
// Returns the pixels, top row first (release with FreeImagePixels), or null;
// *width, *height, *components are unchanged on failure.
uint8_t* DecodeImage(const uint8_t* bytes, int32_t length, int* width, int* height,
                     int* components);

// Reads only the header: true with the size and component count of an image
// that DecodeImage would then decode unless its body is damaged.
bool ReadImageHeader(const uint8_t* bytes, int32_t length, int* width, int* height,
                     int* components);

// Why the last DecodeImage or ReadImageHeader on this thread failed, in the
// decoder's words.
const char* ImageFailureReason();

void FreeImagePixels(uint8_t* pixels);
