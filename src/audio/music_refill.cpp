// The refill state machine of the music stream. Runs on the refill thread in
// the program; pure computation, so tests run it directly.
#include "audio/music_refill.h"

#include <cassert>

void FillMusicFrames(MusicRefillState* state, const MusicFrameSource& source, float* out,
                     int32_t frameCount) {
  for (int32_t i = 0; i < frameCount; ++i) {
    if (state->frameIndex == state->frameLength) {
      int32_t channels = 0;
      float** channelData = nullptr;
      int32_t length = source.decodeFrame(source.context, &channels, &channelData);
      // A source that breaks its contract gives silence rather than a read
      // through a null or missing channel.
      if (length < 0 || channels < 1 || !channelData) length = 0;
      state->frameLength = length;
      state->frameIndex = 0;
      state->frameOutputs = channelData;
      state->frameChannels = channels;
    }
    float left = 0.0f, right = 0.0f;
    if (state->frameIndex < state->frameLength) {
      left = state->frameOutputs[0][state->frameIndex];
      right = state->frameChannels >= 2 ? state->frameOutputs[1][state->frameIndex] : left;
      ++state->frameIndex;
    }
    out[2 * i] = left;
    out[2 * i + 1] = right;
  }
}

int32_t RefillFinishedHalf(MusicRefillState* state, const MusicFrameSource& source, float* buffer,
                           uint64_t framesPlayed) {
  const int32_t playingHalf = static_cast<int32_t>((framesPlayed >> kMusicHalfBit) & 1);
  if (playingHalf == state->lastHalf) return -1;
  const int32_t finishedHalf = state->lastHalf;
  FillMusicFrames(state, source, buffer + 2 * kMusicHalfFrames * finishedHalf, kMusicHalfFrames);
  state->lastHalf = playingHalf;
  return finishedHalf;
}

uint32_t MusicRefillSleepMilliseconds(uint32_t sampleRate) {
  assert(sampleRate > 0);
  return 8192000u / sampleRate;
}
