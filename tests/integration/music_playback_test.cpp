// The music stream's real sound device (SDL's dummy driver unless told
// otherwise) and its refill thread running together.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "audio/music_refill.h"
#include "audio/music_stream.h"
#include "platform/audio_device.h"

// The real device (SDL's dummy driver unless told otherwise) and the real
// refill thread together; mainly for ThreadSanitizer, which sees the device
// thread copy halves the refill thread writes.
TEST(MusicPlayback, RefillThreadKeepsAheadOfTheDevice) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  static std::atomic<int64_t> framesDecoded{0};
  static float samples[2][512];
  static float* outputs[2] = {samples[0], samples[1]};
  const MusicDecodeFrame decode = [](void*, int32_t* channels, float*** channelData) {
    framesDecoded.fetch_add(512);
    *channels = 2;
    *channelData = outputs;
    return int32_t{512};
  };
  if (!StartMusicPlayback(MusicFrameSource{decode, nullptr}, 44100)) GTEST_SKIP() << "no device";
  AudioDeviceResume();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (AudioDeviceFramesPlayed() < 3 * kMusicHalfFrames + 4096 &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  // Half 1 was filled before playback, then one half each time halves 1, 0
  // and 1 began; the last began over 90 ms ago, and 400 ms more is over two
  // polling pauses: four halves must have been decoded by now.
  ASSERT_GE(AudioDeviceFramesPlayed(), uint64_t{3 * kMusicHalfFrames + 4096});
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_GE(framesDecoded.load(), 4 * kMusicHalfFrames - 512);
}
