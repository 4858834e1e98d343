// Fuzz target: the Vorbis decoder wrapper, opened and decoded to the end of
// the stream as the refill thread would, every sample read.
#include <cassert>
#include <cstddef>
#include <cstdint>

#include "audio/vorbis_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INT32_MAX) return 0;
  VorbisDecoder* decoder = OpenVorbisDecoder(data, static_cast<int32_t>(size));
  if (!decoder) return 0;
  uint32_t rate = 0;
  int32_t channels = 0;
  VorbisStreamInfo(decoder, &rate, &channels);
  // 0 is the end or a damaged packet; a run of them is the end.
  volatile float sum = 0.0f;
  for (int zeros = 0, calls = 0; zeros < 8 && calls < 100000; ++calls) {
    int32_t frameChannels = 0;
    float** outputs = nullptr;
    const int32_t frames = DecodeVorbisFrame(decoder, &frameChannels, &outputs);
    if (frames <= 0) {
      ++zeros;
      continue;
    }
    zeros = 0;
    assert(frameChannels >= 1 && outputs);
    for (int32_t c = 0; c < frameChannels; ++c) sum = sum + outputs[c][0] + outputs[c][frames - 1];
  }
  CloseVorbisDecoder(decoder);
  return 0;
}
