// The refill logic of the music stream as a pure state machine: told how many
// frames the device has played, it refills the half of the looping buffer
// that has just finished from a source of decoded frames. No threads, no
// device, no decoder of its own: the refill thread drives it in the program,
// tests drive it with fakes.
#pragma once
#include <cstdint>

// The looping buffer: 32768 stereo frames (left, right floats) in two halves.
// A half is 2^14 frames, so bit 14 of the frames-played count names the half
// that is playing.
inline constexpr int32_t kMusicHalfFrames = 16384;
inline constexpr int32_t kMusicHalfBit = 14;
inline constexpr int32_t kMusicBufferFrames = 2 * kMusicHalfFrames;
inline constexpr int32_t kMusicBufferFloats = 2 * kMusicBufferFrames;

// Decodes the next frame of music. Returns its samples per channel, 0 at the
// end of the stream or on a decoding error; on a non-zero result sets
// *channels (>= 1) and *channelData (one array per channel, valid until the
// next call).
using MusicDecodeFrame = int32_t (*)(void* context, int32_t* channels, float*** channelData);

struct MusicFrameSource {
  MusicDecodeFrame decodeFrame;
  void* context;
};

// Zero-initialised is the starting state.
struct MusicRefillState {
  // The half that was playing at the previous look. Starts at 1 so that the
  // first look, made while the device is paused at frame 0, fills half 1 and
  // leaves half 0 silent: playback opens with one half of silence.
  int32_t lastHalf = 1;
  // The decoded frame being copied; persists between refills so a frame that
  // does not fit in one half continues at the next.
  float** frameOutputs = nullptr;
  int32_t frameChannels = 0;
  int32_t frameLength = 0;
  int32_t frameIndex = 0;
};

// Writes frameCount stereo frames to out, continuing the current decoded
// frame and decoding the next whenever it runs out. A decode of 0 samples
// gives one silent frame and the next frame decodes again. One channel is
// played on both sides; beyond two, channels 0 and 1 are played.
void FillMusicFrames(MusicRefillState* state, const MusicFrameSource& source, float* out,
                     int32_t frameCount);

// One look at the play position. When the half playing (bit 14 of
// framesPlayed) differs from the previous look, refills the other half of
// buffer (kMusicBufferFloats floats) with 16384 frames and returns that
// half's number; otherwise returns -1 and writes nothing.
int32_t RefillFinishedHalf(MusicRefillState* state, const MusicFrameSource& source, float* buffer,
                           uint64_t framesPlayed);

// The pause between looks: 8192 frames, a quarter of the buffer, in whole
// milliseconds rounded down (185 at 44100 Hz, 170 at 48000 Hz), so the
// thread looks about twice per half. sampleRate > 0.
uint32_t MusicRefillSleepMilliseconds(uint32_t sampleRate);
