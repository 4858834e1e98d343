// The music stream: open (main thread, start-up) and the refill thread, a
// thin loop that looks at the device's frames-played count, lets the refill
// state machine write the finished half, and sleeps a quarter buffer. A file
// that cannot be read or decoded fails the open; a missing device does not.
// Nothing is ever closed or stopped: process exit ends the thread and device.
#include "audio/music_stream.h"

#include <chrono>
#include <thread>

#include "audio/vorbis_decoder.h"
#include "platform/audio_device.h"
#include "platform/whole_file.h"

namespace {

// Vorbis allows any rate up to 2^32 - 1 Hz. Below telephone quality the
// quarter-buffer sleep grows past a second; above twice studio rate a half
// lasts under 0.09 s and the thread could not keep up. Either is a broken
// file, not music.
constexpr uint32_t kLowestSampleRate = 8000;
constexpr uint32_t kHighestSampleRate = 192000;

// Program-wide and trivially destructible: the device and refill threads
// still use it while the process exits.
struct MusicStream {
  uint8_t* fileBytes;  // the decoder reads from these for ever
  int32_t fileSize;
  VorbisDecoder* decoder;
  uint32_t sampleRate;
  MusicFrameSource source;
  MusicRefillState refill;
  // Created as zeros: half 0 plays first and holds silence.
  float buffer[kMusicBufferFloats];
};
MusicStream music;

int32_t DecodeFromVorbis(void* context, int32_t* channels, float*** channelData) {
  return DecodeVorbisFrame(static_cast<VorbisDecoder*>(context), channels, channelData);
}

// The refill thread. Only it touches music.refill and writes music.buffer.
void RunRefillThread() {
  const std::chrono::milliseconds pause(MusicRefillSleepMilliseconds(music.sampleRate));
  for (;;) {
    const uint64_t played = AudioDeviceFramesPlayed();
    if (RefillFinishedHalf(&music.refill, music.source, music.buffer, played) >= 0) {
      AudioDeviceLoopWritten();
    }
    std::this_thread::sleep_for(pause);
  }
}

}  // namespace

bool StartMusicPlayback(const MusicFrameSource& source, uint32_t sampleRate) {
  music.source = source;
  music.sampleRate = sampleRate;
  music.refill = MusicRefillState{};
  const bool deviceOpen = AudioDeviceOpenLoop(sampleRate, music.buffer, kMusicBufferFrames);
  std::thread(RunRefillThread).detach();
  return deviceOpen;
}

bool OpenMusicStream() {
  music.fileBytes = ReadWholeFile(kMusicPath, &music.fileSize);
  if (!music.fileBytes) return false;
  music.decoder = OpenVorbisDecoder(music.fileBytes, music.fileSize);
  uint32_t sampleRate = 0;
  int32_t channels = 0;
  if (music.decoder) VorbisStreamInfo(music.decoder, &sampleRate, &channels);
  if (!music.decoder || sampleRate < kLowestSampleRate || sampleRate > kHighestSampleRate ||
      channels < 1) {
    if (music.decoder) CloseVorbisDecoder(music.decoder);
    music.decoder = nullptr;
    delete[] music.fileBytes;
    music.fileBytes = nullptr;
    return false;
  }
  StartMusicPlayback(MusicFrameSource{DecodeFromVorbis, music.decoder}, sampleRate);
  return true;
}

void ResumeMusicStream() { AudioDeviceResume(); }
