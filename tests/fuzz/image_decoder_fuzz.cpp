// Fuzz target: the image decoder wrapper. The header read and the decode
// must agree on size and channels, every pixel must be readable, and the
// checksum walk must never read past the file.
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "resources/image_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INT32_MAX) return 0;
  const int32_t length = static_cast<int32_t>(size);
  int headerWidth = 0, headerHeight = 0, headerComponents = 0;
  const bool header = ReadImageHeader(data, length, &headerWidth, &headerHeight, &headerComponents);
  if (!CheckImageData(data, length)) assert(std::strlen(ImageFailureReason()) > 0);
  int width = -1, height = -1, components = -1;
  uint8_t* pixels = DecodeImage(data, length, &width, &height, &components);
  if (!pixels) {
    assert(width == -1 && height == -1 && components == -1);
    assert(std::strlen(ImageFailureReason()) > 0);
    return 0;
  }
  assert(header);
  assert(width == headerWidth && height == headerHeight && components == headerComponents);
  assert(width >= 1 && width <= kMaxImageDimension && height >= 1 && height <= kMaxImageDimension);
  assert(static_cast<int64_t>(width) * height <= kMaxImagePixels);
  assert(components >= 1 && components <= 4);
  const size_t bytes = static_cast<size_t>(width) * height * components;
  volatile uint8_t last = pixels[bytes - 1];
  (void)last;
  FreeImagePixels(pixels);
  return 0;
}
