// The export's soundtrack: the live music stream's decoder and refill state
// machine without its device and thread. One thread at a time.
#include "video_soundtrack.h"

#include <algorithm>
#include <cstring>

#include "audio/vorbis_decoder.h"
#include "platform/whole_file.h"

namespace {
// The rates the live stream accepts (see the music stream's open).
constexpr uint32_t kLowestSampleRate = 8000;
constexpr uint32_t kHighestSampleRate = 192000;

// A damaged packet decodes to nothing and the next one decodes again; the
// end is where nothing comes any more.
constexpr int kEmptyDecodesAtEnd = 16;

int32_t DecodeFromVorbis(void* context, int32_t* channels, float*** channelData) {
  return DecodeVorbisFrame(static_cast<VorbisDecoder*>(context), channels, channelData);
}
// Decodes the whole music once more, on a decoder of its own, and counts
// its frames: how long the soundtrack holds music is known before the
// first picture is rendered.
int64_t CountMusicFrames(const uint8_t* bytes, int32_t size) {
  VorbisDecoder* decoder = OpenVorbisDecoder(bytes, size);
  if (!decoder) return 0;
  int64_t frames = 0;
  int empty = 0;
  while (empty < kEmptyDecodesAtEnd) {
    int32_t channels = 0;
    float** data = nullptr;
    const int32_t length = DecodeVorbisFrame(decoder, &channels, &data);
    frames += length;
    empty = length > 0 ? 0 : empty + 1;
  }
  CloseVorbisDecoder(decoder);
  return frames;
}
}  // namespace

bool OpenSoundtrack(Soundtrack* track, const char* path) {
  *track = Soundtrack{};
  int32_t size = 0;
  track->fileBytes = ReadWholeFile(path, &size);
  if (!track->fileBytes) return false;
  track->decoder = OpenVorbisDecoder(track->fileBytes, size);
  int32_t channels = 0;
  if (track->decoder) VorbisStreamInfo(track->decoder, &track->sampleRate, &channels);
  if (!track->decoder || track->sampleRate < kLowestSampleRate ||
      track->sampleRate > kHighestSampleRate || channels < 1) {
    CloseSoundtrack(track);
    return false;
  }
  track->silenceLeft = kMusicHalfFrames;
  track->musicFrames = CountMusicFrames(track->fileBytes, size);
  return true;
}

double SoundtrackMusicEnd(const Soundtrack* track) {
  return static_cast<double>(kMusicHalfFrames + track->musicFrames) / track->sampleRate;
}

void ReadSoundtrack(Soundtrack* track, float* out, int32_t frameCount) {
  const int32_t silent = static_cast<int32_t>(std::min<int64_t>(track->silenceLeft, frameCount));
  std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(silent));
  track->silenceLeft -= silent;
  if (frameCount > silent) {
    FillMusicFrames(&track->refill, MusicFrameSource{DecodeFromVorbis, track->decoder},
                    out + 2 * silent, frameCount - silent);
  }
}

void CloseSoundtrack(Soundtrack* track) {
  if (track->decoder) CloseVorbisDecoder(track->decoder);
  delete[] track->fileBytes;
  *track = Soundtrack{};
}
