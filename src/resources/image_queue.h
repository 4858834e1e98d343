// Reading and decoding the texture set ahead of the upload. Worker threads
// read each image file once: its header and a PNG's checksums are checked at
// once (for the start-up check, which waits for the verdicts and never reads
// the files itself), and the bytes are kept until the picture is decoded. The workers
// decode in index order and stay a few pictures ahead of the loader, so the
// pixel memory stays bounded. Failures are carried to the loader, which
// shows them in its own order exactly as if it had read the files itself.
#pragma once
#include <cstdint>
#include <string>

enum class ImageStatus { kReady, kFileError, kDecodeError };

// What a file's header says: the size and component count the decoder will
// give, or why it will not (a PNG whose checksums are wrong included).
struct ImageHeader {
  ImageStatus status;
  std::string failureReason;  // the decoder's words, for kDecodeError
  int width, height, components;
};

struct DecodedImage {
  ImageStatus status;
  std::string failureReason;  // the decoder's words, for kDecodeError
  int width, height, components;
  uint8_t* pixels;  // tightly packed rows, top row first; null unless kReady
};

// Starts reading and decoding paths[0..count) on worker threads; returns at
// once. The paths must live until process exit. Main thread, once; a count
// above 64 is cut to 64.
void StartImageDecoding(const char* const* paths, int count);

// Blocks until image index's file has been read and its header checked.
// Main thread. The header stays valid until process exit. Files are read in
// index order, before any picture is decoded.
const ImageHeader& WaitForImageHeader(int index);

// Blocks until image index is decoded. Main thread. The image stays owned by
// the queue until ReleaseDecodedImage. Images are decoded in index order, so
// waiting for one out of order also decodes those before it.
const DecodedImage& WaitForDecodedImage(int index);
void ReleaseDecodedImage(int index);
