// PNG and JPEG decoding from memory with Debian's libpng and libjpeg-turbo,
// behind caps on image size that are checked from the header before any
// pixel memory is taken. Any thread; no shared state beyond the per-thread
// failure reason.
#pragma once
#include <cstdint>

// The largest width or height accepted, in pixels, and the most pixels in
// all (a 64-million-pixel RGBA image is 256 MB): larger images are refused
// from their header, before their pixels are allocated or decoded.
inline constexpr int kMaxImageDimension = 16384;
inline constexpr int64_t kMaxImagePixels = 64000000;

// Decodes an image keeping its own component count (1 to 4, 8 bits each).
// Returns the pixels, top row first (release with FreeImagePixels), or null;
// *width, *height, *components are unchanged on failure.
uint8_t* DecodeImage(const uint8_t* bytes, int32_t length, int* width, int* height,
                     int* components);

// Reads only the header: true with the size and component count of an image
// that DecodeImage would then decode unless its body is damaged. Refuses
// what DecodeImage would refuse from the header alone (size caps included);
// the outputs are unchanged on failure.
bool ReadImageHeader(const uint8_t* bytes, int32_t length, int* width, int* height,
                     int* components);

// Checks the picture data without making pixels, so that damage is found
// when the file is read: the checksums of a PNG's critical chunks, and a
// JPEG's coefficients through the entropy decoder (its data has no
// checksum; this costs a fraction of a whole decode). false, with the reason
// set ("IDAT: CRC error", "Corrupt JPEG data: ..."), when the data is
// damaged; true for anything else.
bool CheckImageData(const uint8_t* bytes, int32_t length);

// Why the last DecodeImage, ReadImageHeader or CheckImageData on this thread
// failed, in words for a message box ("unknown image type" for neither PNG
// nor JPEG).
const char* ImageFailureReason();

void FreeImagePixels(uint8_t* pixels);
