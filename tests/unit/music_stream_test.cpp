// The music stream: the refill state machine against a fake decoder and a
// fake device, the march decoded as the show decodes it, and (when NITRATE_MUSIC_RAW names a raw
// float stereo capture of the program's sound output) that capture against
// the decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "audio/music_refill.h"
#include "audio/music_stream.h"
#include "audio/vorbis_decoder.h"
#include "platform/whole_file.h"

namespace {

// Delivers frames of the given lengths, then the end of the stream. Sample n
// of the stream is n on the left and -n on the right, so order, loss and
// repetition all show; length 0 stands for a damaged packet.
struct FakeDecoder {
  std::vector<int32_t> frameLengths;
  int32_t channels = 2;
  size_t next = 0;
  float sampleNumber = 1.0f;
  int32_t callsAfterEnd = 0;
  std::vector<float> left, right;
  float* outputs[2] = {};

  static int32_t Decode(void* context, int32_t* channels, float*** channelData) {
    FakeDecoder* fake = static_cast<FakeDecoder*>(context);
    if (fake->next == fake->frameLengths.size()) {
      ++fake->callsAfterEnd;
      return 0;
    }
    const int32_t length = fake->frameLengths[fake->next++];
    fake->left.assign(length, 0.0f);
    fake->right.assign(length, 0.0f);
    for (int32_t i = 0; i < length; ++i, fake->sampleNumber += 1.0f) {
      fake->left[i] = fake->sampleNumber;
      fake->right[i] = -fake->sampleNumber;
    }
    fake->outputs[0] = fake->left.data();
    fake->outputs[1] = fake->right.data();
    *channels = fake->channels;
    *channelData = fake->outputs;
    return length;
  }
  MusicFrameSource Source() { return MusicFrameSource{Decode, this}; }
};

// Plays the looping buffer as the device would, 1024 frames at a time,
// looking at the position every 8192 frames (offset by lookPhase) as the
// refill thread does, and returns what was heard. Checks on the way that a
// refill never touches the half that is playing.
std::vector<float> Play(FakeDecoder* fake, int32_t frames, int32_t lookPhase) {
  std::vector<float> buffer(kMusicBufferFloats, 0.0f), heard;
  MusicRefillState state;
  EXPECT_EQ(RefillFinishedHalf(&state, fake->Source(), buffer.data(), 0), 1);
  EXPECT_EQ(RefillFinishedHalf(&state, fake->Source(), buffer.data(), 0), -1);  // still paused
  for (int32_t played = 0; played < frames; played += 1024) {
    if ((played + lookPhase) % 8192 == 0) {
      const int32_t playing = (played / kMusicHalfFrames) % 2;
      const std::vector<float> before = buffer;
      const int32_t refilled = RefillFinishedHalf(&state, fake->Source(), buffer.data(), played);
      if (refilled >= 0) {
        EXPECT_EQ(refilled, 1 - playing);
      }
      const auto half = [playing](const std::vector<float>& b) {
        return std::vector<float>(b.begin() + playing * 2 * kMusicHalfFrames,
                                  b.begin() + (playing + 1) * 2 * kMusicHalfFrames);
      };
      EXPECT_TRUE(half(buffer) == half(before)) << "refill wrote the half being played";
    }
    const float* chunk = buffer.data() + 2 * (played % kMusicBufferFrames);
    heard.insert(heard.end(), chunk, chunk + 2 * 1024);
  }
  return heard;
}

}  // namespace

TEST(MusicRefill, OpensWithAHalfOfSilenceThenEverySampleOnceThenSilence) {
  // Frames shorter and longer than a half, a damaged packet, the end.
  FakeDecoder fake;
  fake.frameLengths = {1024, 700, 20000, 333, 0, 40000, 128};
  const int32_t total = 1024 + 700 + 20000 + 333 + 40000 + 128;
  for (int32_t phase : {0, 3072}) {
    fake.next = 0;
    fake.sampleNumber = 1.0f;
    fake.callsAfterEnd = 0;
    const std::vector<float> heard = Play(&fake, 8 * kMusicHalfFrames, phase);
    int32_t frame = 0;
    for (; frame < kMusicHalfFrames; ++frame) {
      ASSERT_EQ(heard[2 * frame], 0.0f) << frame;
      ASSERT_EQ(heard[2 * frame + 1], 0.0f) << frame;
    }
    // The damaged packet is one silent frame between samples 2057 and 2058.
    for (int32_t n = 1; n <= total; ++n, ++frame) {
      if (n == 1024 + 700 + 20000 + 333 + 1) {
        ASSERT_EQ(heard[2 * frame], 0.0f);
        ++frame;
      }
      ASSERT_EQ(heard[2 * frame], static_cast<float>(n)) << "frame " << frame;
      ASSERT_EQ(heard[2 * frame + 1], -static_cast<float>(n)) << "frame " << frame;
    }
    for (; frame < 8 * kMusicHalfFrames; ++frame) ASSERT_EQ(heard[2 * frame], 0.0f);
    // After the end the decoder is asked again for every frame written.
    EXPECT_GT(fake.callsAfterEnd, kMusicHalfFrames);
  }
}

TEST(MusicRefill, OneChannelIsPlayedOnBothSides) {
  FakeDecoder fake;
  fake.frameLengths = {300};
  fake.channels = 1;
  MusicRefillState state;
  std::vector<float> out(2 * 400, -7.0f);
  FillMusicFrames(&state, fake.Source(), out.data(), 400);
  for (int32_t i = 0; i < 300; ++i) {
    ASSERT_EQ(out[2 * i], static_cast<float>(i + 1));
    ASSERT_EQ(out[2 * i + 1], static_cast<float>(i + 1));
  }
  for (int32_t i = 300; i < 400; ++i) ASSERT_EQ(out[2 * i] + out[2 * i + 1], 0.0f);
}

TEST(MusicRefill, LooksTwicePerHalf) {
  EXPECT_EQ(MusicRefillSleepMilliseconds(44100), 185u);
  EXPECT_EQ(MusicRefillSleepMilliseconds(48000), 170u);
}

namespace {
// The march beside the sources, or as NITRATE_MUSIC_OGG names it.
std::string MarchPath() {
  if (const char* path = std::getenv("NITRATE_MUSIC_OGG")) return path;
  std::string file = __FILE__;
  return file.substr(0, file.rfind("tests/unit/")) + "content/" + kMusicPath;
}

// Decodes up to maxFrames frames of the march as (left, right) pairs.
std::vector<float> DecodeMarch(int64_t maxFrames, uint32_t* sampleRate, int32_t* channels) {
  int32_t length = 0;
  uint8_t* bytes = ReadWholeFile(MarchPath().c_str(), &length);
  if (!bytes) return {};
  VorbisDecoder* decoder = OpenVorbisDecoder(bytes, length);
  std::vector<float> frames;
  if (decoder) {
    VorbisStreamInfo(decoder, sampleRate, channels);
    float** data = nullptr;
    int32_t frameChannels = 0, n = 0;
    while (static_cast<int64_t>(frames.size() / 2) < maxFrames &&
           (n = DecodeVorbisFrame(decoder, &frameChannels, &data)) > 0)
      for (int32_t i = 0; i < n; ++i) frames.insert(frames.end(), {data[0][i], data[1][i]});
    CloseVorbisDecoder(decoder);
  }
  delete[] bytes;
  return frames;
}
}  // namespace

TEST(March, DecodesAsStereoOfTheShowsLengthWithHeadroom) {
  uint32_t rate = 0;
  int32_t channels = 0;
  const std::vector<float> frames = DecodeMarch(INT64_MAX, &rate, &channels);
  if (frames.empty()) GTEST_SKIP() << "no march at " << MarchPath();
  EXPECT_EQ(channels, 2);
  const double seconds = frames.size() / 2.0 / rate;
  EXPECT_GE(seconds, 129.0);
  EXPECT_LE(seconds, 131.0);
  float peak = 0.0f;
  for (float sample : frames) peak = std::max(peak, std::fabs(sample));
  EXPECT_LE(20.0 * std::log10(peak), -1.0);
  EXPECT_GT(peak, 0.1f);  // and it is not silence
  // Not a Vorbis stream, and a stream cut after its first page.
  int32_t length = 0;
  uint8_t* bytes = ReadWholeFile(MarchPath().c_str(), &length);
  ASSERT_NE(bytes, nullptr);
  const uint8_t text[] = "This is not music.\n";
  EXPECT_EQ(OpenVorbisDecoder(text, sizeof text - 1), nullptr);
  EXPECT_EQ(OpenVorbisDecoder(bytes, 64), nullptr);
  delete[] bytes;
}

// A capture of the device's output: silence while the device waited paused
// (whole device buffers of 1024 frames), then exactly one half of silence,
// then the decoder's samples bit for bit.
TEST(MusicDiskOutput, IsAHalfOfSilenceThenTheDecodedMarch) {
  const char* rawPath = std::getenv("NITRATE_MUSIC_RAW");
  if (!rawPath) GTEST_SKIP() << "NITRATE_MUSIC_RAW names no capture";
  int32_t length = 0;
  uint8_t* raw = ReadWholeFile(rawPath, &length);
  ASSERT_NE(raw, nullptr) << rawPath;
  std::vector<float> heard(length / sizeof(float));
  std::memcpy(heard.data(), raw, heard.size() * sizeof(float));
  delete[] raw;
  const int64_t heardFrames = static_cast<int64_t>(heard.size() / 2);
  uint32_t rate = 0;
  int32_t channels = 0;
  const std::vector<float> decoded = DecodeMarch(heardFrames, &rate, &channels);
  ASSERT_FALSE(decoded.empty());
  auto firstSound = [](const std::vector<float>& frames) {
    size_t i = 0;
    while (i < frames.size() && frames[i] == 0.0f) ++i;
    return static_cast<int64_t>(i / 2);
  };
  const int64_t musicStart = firstSound(heard) - firstSound(decoded);
  const int64_t waitedPaused = musicStart - kMusicHalfFrames;
  ASSERT_GE(waitedPaused, 0) << "music began " << -waitedPaused << " frames early";
  EXPECT_EQ(waitedPaused % 1024, 0) << "silence before the music is not whole device buffers";
  const int64_t compared = std::min<int64_t>(heardFrames - musicStart, decoded.size() / 2);
  ASSERT_GE(compared, int64_t{rate}) << "under a second of music captured";
  for (int64_t i = 0; i < 2 * compared; ++i)
    ASSERT_EQ(heard[2 * musicStart + i], decoded[i]) << "frame " << i / 2 << " of the music";
  // Past the end of the music (a full capture) the output stays silent.
  for (size_t i = 2 * (musicStart + compared); i < heard.size(); ++i)
    ASSERT_EQ(heard[i], 0.0f) << "sound " << i / 2 - musicStart - compared << " frames after the end";
  std::printf("paused %lld frames, then %d silent, then %lld frames equal the decoder's\n",
              static_cast<long long>(waitedPaused), kMusicHalfFrames,
              static_cast<long long>(compared));
}
