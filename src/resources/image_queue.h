// Decoding the texture set ahead of the upload. Worker threads read and
// decode the images while the main thread builds the window, the context and
// the shaders; the texture loader then takes them in table order. The
// workers stay a few images ahead of the loader so memory stays bounded.
// Failures are carried to the loader, which shows them in table order
// exactly as if it had read the files itself.
#pragma once
#include <cstdint>
#include <string>

enum class ImageStatus { kReady, kFileError, kDecodeError };

struct DecodedImage {
  ImageStatus status;
  std::string failureReason;  // the decoder's words, for kDecodeError
  int width, height, components;
  uint8_t* pixels;  // tightly packed rows, top row first
};

// Starts decoding paths[0..count) on worker threads; returns at once.
// Main thread, once.
void StartImageDecoding(const char* const* paths, int count);

// Blocks until image index is decoded. Main thread. The image stays owned by
// the queue until ReleaseDecodedImage. Images are decoded in index order, so
// waiting for one out of order also decodes those before it.
const DecodedImage& WaitForDecodedImage(int index);
void ReleaseDecodedImage(int index);
