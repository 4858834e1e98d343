// Prints what the show's sound device is handed at the start of the music:
// the first N frames of the looping buffer as the refill state machine fills
// it from the project's own Vorbis decoder, one half of silence first. The
// checksum is the one the web page's sound worklet taps (FNV-1a over the bytes
// of each float sample, left then right, little-endian), so the two can be
// compared sample for sample. Built for the desktop it gives what the desktop
// show plays; built with emscripten and run by node, what the web build's
// decoder gives.
//
//   music_checksum FILE FRAMES [RAW]  ->  "FRAMES CHECKSUM RATE HALF..." (hex)
//
// HALF being the checksum of each 16384 frames (the last maybe fewer) alone,
// which says where two runs part. RAW, if given, receives the frames as
// little-endian float32, left and right interleaved.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "audio/music_refill.h"
#include "audio/vorbis_decoder.h"
#include "platform/whole_file.h"

namespace {

int32_t Decode(void* context, int32_t* channels, float*** channelData) {
  return DecodeVorbisFrame(static_cast<VorbisDecoder*>(context), channels, channelData);
}

uint32_t Fnv1a(uint32_t hash, const float* samples, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    uint32_t word = 0;
    std::memcpy(&word, &samples[i], sizeof word);
    for (int b = 0; b < 4; ++b) {
      hash = (hash ^ (word & 0xffu)) * 0x01000193u;
      word >>= 8;
    }
  }
  return hash;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: music_checksum FILE FRAMES [RAW]\n");
    return 2;
  }
  const long frames = std::strtol(argv[2], nullptr, 10);
  if (frames <= 0) {
    std::fprintf(stderr, "music_checksum: FRAMES must be a positive count\n");
    return 2;
  }
  int32_t length = 0;
  uint8_t* bytes = ReadWholeFile(argv[1], &length);
  VorbisDecoder* decoder = bytes ? OpenVorbisDecoder(bytes, length) : nullptr;
  if (!decoder) {
    std::fprintf(stderr, "music_checksum: %s is not a readable Ogg Vorbis file\n", argv[1]);
    return 1;
  }
  uint32_t rate = 0;
  int32_t channels = 0;
  VorbisStreamInfo(decoder, &rate, &channels);
  FILE* raw = argc == 4 ? std::fopen(argv[3], "wb") : nullptr;
  if (argc == 4 && !raw) {
    std::fprintf(stderr, "music_checksum: cannot write %s\n", argv[3]);
    return 1;
  }

  // The device plays the buffer half by half; the first half is the silence
  // the stream opens with, each later half is filled in play order.
  const MusicFrameSource source{Decode, decoder};
  MusicRefillState state;
  std::vector<float> half(2 * kMusicHalfFrames, 0.0f);
  uint32_t hash = 0x811c9dc5u;
  std::vector<uint32_t> halves;
  long done = 0;
  for (bool first = true; done < frames; first = false) {
    if (!first) FillMusicFrames(&state, source, half.data(), kMusicHalfFrames);
    const long take = frames - done < kMusicHalfFrames ? frames - done : kMusicHalfFrames;
    hash = Fnv1a(hash, half.data(), 2 * static_cast<size_t>(take));
    halves.push_back(Fnv1a(0x811c9dc5u, half.data(), 2 * static_cast<size_t>(take)));
    if (raw) std::fwrite(half.data(), sizeof(float), 2 * static_cast<size_t>(take), raw);
    done += take;
  }
  std::printf("%ld %08x %u", done, hash, rate);
  for (uint32_t h : halves) std::printf(" %08x", h);
  std::printf("\n");
  if (raw && std::fclose(raw) != 0) {
    std::fprintf(stderr, "music_checksum: cannot write %s\n", argv[3]);
    return 1;
  }
  CloseVorbisDecoder(decoder);
  delete[] bytes;
  return 0;
}
