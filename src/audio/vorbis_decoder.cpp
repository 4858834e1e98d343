// The one translation unit that sees libvorbisfile. The stream is read from
// memory through our own callbacks, as a stream that cannot seek: the open
// reads the three headers and nothing more, and decoding only ever moves
// forward through the bytes. Any thread, one at a time per decoder. A failed
// open keeps nothing; damage in the middle costs the damaged packets only.
#include "audio/vorbis_decoder.h"

#include <vorbis/vorbisfile.h>

#include <cstring>
#include <new>

struct VorbisDecoder {
  OggVorbis_File file;
  const uint8_t* bytes;
  size_t length;
  size_t position;
};

namespace {
// The library's read callback: copies up to size * count bytes onward from
// the position; 0 at the end.
size_t ReadFromMemory(void* destination, size_t size, size_t count, void* source) {
  VorbisDecoder* decoder = static_cast<VorbisDecoder*>(source);
  if (size == 0) return 0;
  const size_t left = decoder->length - decoder->position;
  size_t items = count;
  if (items > left / size) items = left / size;
  std::memcpy(destination, decoder->bytes + decoder->position, items * size);
  decoder->position += items * size;
  return items;
}

// A single decode call may return at most this many frames; the refill
// thread copies them over one or more halves.
constexpr int kFramesPerCall = 4096;
}  // namespace

VorbisDecoder* OpenVorbisDecoder(const uint8_t* bytes, int32_t length) {
  if (!bytes || length <= 0) return nullptr;
  VorbisDecoder* decoder = new (std::nothrow) VorbisDecoder{};
  if (!decoder) return nullptr;
  decoder->bytes = bytes;
  decoder->length = static_cast<size_t>(length);
  // No seek, tell or close: the library then reads forward only and never
  // scans the whole file for chained links at open.
  const ov_callbacks callbacks = {ReadFromMemory, nullptr, nullptr, nullptr};
  if (ov_open_callbacks(decoder, &decoder->file, nullptr, 0, callbacks) != 0) {
    // The library clears what it built on a failed open; a second clear of
    // the zeroed handle is harmless and keeps that true across versions.
    ov_clear(&decoder->file);
    delete decoder;
    return nullptr;
  }
  return decoder;
}

void VorbisStreamInfo(VorbisDecoder* decoder, uint32_t* sampleRate, int32_t* channels) {
  const vorbis_info* info = ov_info(&decoder->file, -1);
  *sampleRate = info && info->rate > 0 ? static_cast<uint32_t>(info->rate) : 0;
  *channels = info ? info->channels : 0;
}

int32_t DecodeVorbisFrame(VorbisDecoder* decoder, int32_t* channels, float*** channelData) {
  float** outputs = nullptr;
  int link = 0;
  // Negative results are holes and bad links in a damaged stream: the next
  // call carries on after them, as the contract asks.
  const long samples = ov_read_float(&decoder->file, &outputs, kFramesPerCall, &link);
  if (samples <= 0 || !outputs) return 0;
  const vorbis_info* info = ov_info(&decoder->file, -1);
  if (!info || info->channels < 1) return 0;
  *channels = info->channels;
  *channelData = outputs;
  return static_cast<int32_t>(samples);
}

void CloseVorbisDecoder(VorbisDecoder* decoder) {
  if (!decoder) return;
  ov_clear(&decoder->file);
  delete decoder;
}
