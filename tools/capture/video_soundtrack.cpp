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

int32_t DecodeFromVorbis(void* context, int32_t* channels, float*** channelData) {
  return DecodeVorbisFrame(static_cast<VorbisDecoder*>(context), channels, channelData);
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
  return true;
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
