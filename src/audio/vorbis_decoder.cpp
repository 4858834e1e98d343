// The one translation unit that compiles stb_vorbis, with only what the show
// uses: decoding from memory, one frame at a time, to floats. No stdio, no
// push-data API, no integer conversion, so a damaged file meets as little
// decoder as possible.
#include "audio/vorbis_decoder.h"

#define STB_VORBIS_NO_STDIO
#define STB_VORBIS_NO_PUSHDATA_API
#define STB_VORBIS_NO_INTEGER_CONVERSION
#include <stb/stb_vorbis.h>

// The library's handle is our opaque type; nothing else is stored.
static stb_vorbis* Handle(VorbisDecoder* decoder) {
  return reinterpret_cast<stb_vorbis*>(decoder);
}

VorbisDecoder* OpenVorbisDecoder(const uint8_t* bytes, int32_t length) {
  if (!bytes || length <= 0) return nullptr;
  int error = 0;
  stb_vorbis* vorbis = stb_vorbis_open_memory(bytes, length, &error, nullptr);
  return reinterpret_cast<VorbisDecoder*>(vorbis);
}

void VorbisStreamInfo(VorbisDecoder* decoder, uint32_t* sampleRate, int32_t* channels) {
  const stb_vorbis_info info = stb_vorbis_get_info(Handle(decoder));
  *sampleRate = info.sample_rate;
  *channels = info.channels;
}

int32_t DecodeVorbisFrame(VorbisDecoder* decoder, int32_t* channels, float*** channelData) {
  int frameChannels = 0;
  float** outputs = nullptr;
  const int samples = stb_vorbis_get_frame_float(Handle(decoder), &frameChannels, &outputs);
  if (samples <= 0 || !outputs || frameChannels < 1) return 0;
  *channels = frameChannels;
  *channelData = outputs;
  return samples;
}

void CloseVorbisDecoder(VorbisDecoder* decoder) { stb_vorbis_close(Handle(decoder)); }
