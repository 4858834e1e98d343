// The capture tool's video export, checked from the outside: short exports
// are made by the real tool, then opened with libavformat and decoded here,
// and compared with PNG captures of the same passes and with the music
// decoded straight from the file.
//   nitrate-video-tests CAPTURE_TOOL CONTENT_DIR
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "audio/vorbis_decoder.h"
#include "platform/whole_file.h"
#include "resources/image_decoder.h"

extern char** environ;

namespace {
std::string Capture;
std::string Content;
std::string Work;

constexpr int kWidth = 320, kHeight = 240, kFps = 30;
constexpr double kUntil = 8.0;
constexpr int kSilentFrames = 16384;
constexpr size_t kFadeFrames = 441;  // the 10 ms fade at a cut, at 44100 Hz

int RunTool(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1000;
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
}

int Export(const std::string& name, const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args = {Capture,   "--content", Content, "--video", Work + "/" + name,
                                   "--size",  std::to_string(kWidth) + "x" + std::to_string(kHeight),
                                   "--fps",   std::to_string(kFps),   "--until", "8"};
  args.insert(args.end(), extra.begin(), extra.end());
  return RunTool(args);
}

struct Decoded {
  int videoStreams = 0, audioStreams = 0;
  AVCodecID videoCodec = AV_CODEC_ID_NONE, audioCodec = AV_CODEC_ID_NONE;
  AVRational frameRate{0, 1};
  double duration = 0.0;
  int sampleRate = 0, channels = 0;
  int64_t pictures = 0;
  int level = 0;                   // level_idc as the stream states it (41: 4.1)
  std::vector<int64_t> videoBytes;  // each picture's coded size, in decoding order
  std::map<int64_t, std::vector<uint8_t>> rgb;  // the wanted pictures, top row first
  std::vector<float> left, right;
};

float SampleAt(const AVFrame* frame, int channel, int index) {
  const AVSampleFormat format = static_cast<AVSampleFormat>(frame->format);
  const bool planar = av_sample_fmt_is_planar(format);
  const int channels = frame->ch_layout.nb_channels;
  const uint8_t* base = frame->extended_data[planar ? channel : 0];
  const int at = planar ? index : index * channels + channel;
  switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_FLT: return reinterpret_cast<const float*>(base)[at];
    case AV_SAMPLE_FMT_S16: return reinterpret_cast<const int16_t*>(base)[at] / 32768.0f;
    case AV_SAMPLE_FMT_S32:
      return static_cast<float>(reinterpret_cast<const int32_t*>(base)[at] / 2147483648.0);
    default: ADD_FAILURE() << "unexpected sample format " << frame->format; return 0.0f;
  }
}

// Opens the file with libavformat, decodes every packet, keeps the pictures
// at the wanted indices as RGB and the whole sound.
bool DecodeFile(const std::string& path, const std::vector<int64_t>& wanted, Decoded* out) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return false;
  if (avformat_find_stream_info(format, nullptr) < 0) return false;
  out->duration = format->duration / static_cast<double>(AV_TIME_BASE);
  std::vector<AVCodecContext*> decoders(format->nb_streams, nullptr);
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVCodecParameters* par = format->streams[i]->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
      ++out->videoStreams;
      out->videoCodec = par->codec_id;
      out->frameRate = format->streams[i]->avg_frame_rate;
      out->level = par->level;
    } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
      ++out->audioStreams;
      out->audioCodec = par->codec_id;
      out->sampleRate = par->sample_rate;
      out->channels = par->ch_layout.nb_channels;
    } else {
      continue;
    }
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    decoders[i] = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoders[i], par);
    decoders[i]->thread_count = 1;
    if (avcodec_open2(decoders[i], codec, nullptr) < 0) return false;
  }
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto take = [&](AVCodecContext* decoder) {
    while (avcodec_receive_frame(decoder, frame) == 0) {
      if (decoder->codec_type == AVMEDIA_TYPE_VIDEO) {
        const int64_t index = out->pictures++;
        if (std::find(wanted.begin(), wanted.end(), index) != wanted.end()) {
          SwsContext* scaler = sws_getContext(frame->width, frame->height,
                                              static_cast<AVPixelFormat>(frame->format), kWidth,
                                              kHeight, AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr,
                                              nullptr, nullptr);
          // The colour matrix the file is tagged with.
          const int* matrix = sws_getCoefficients(
              frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT);
          sws_setColorspaceDetails(scaler, matrix, frame->color_range == AVCOL_RANGE_JPEG, matrix,
                                   1, 0, 1 << 16, 1 << 16);
          std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
          uint8_t* planes[1] = {rgb.data()};
          const int strides[1] = {kWidth * 3};
          sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
          sws_freeContext(scaler);
          out->rgb[index] = std::move(rgb);
        }
      } else {
        for (int i = 0; i < frame->nb_samples; ++i) {
          out->left.push_back(SampleAt(frame, 0, i));
          out->right.push_back(SampleAt(frame, frame->ch_layout.nb_channels > 1 ? 1 : 0, i));
        }
      }
    }
  };
  while (av_read_frame(format, packet) >= 0) {
    AVCodecContext* decoder = decoders[packet->stream_index];
    if (decoder && decoder->codec_type == AVMEDIA_TYPE_VIDEO) out->videoBytes.push_back(packet->size);
    if (decoder && avcodec_send_packet(decoder, packet) >= 0) take(decoder);
    av_packet_unref(packet);
  }
  for (AVCodecContext* decoder : decoders) {
    if (!decoder) continue;
    avcodec_send_packet(decoder, nullptr);
    take(decoder);
  }
  for (AVCodecContext*& decoder : decoders) avcodec_free_context(&decoder);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avformat_close_input(&format);
  return true;
}

// The music's first frameCount stereo frames, decoded straight from the file.
void DecodeMusic(int frameCount, std::vector<float>* left, std::vector<float>* right) {
  int32_t size = 0;
  uint8_t* bytes = ReadWholeFile((Content + "/music/belvamarch.ogg").c_str(), &size);
  ASSERT_NE(bytes, nullptr);
  VorbisDecoder* decoder = OpenVorbisDecoder(bytes, size);
  ASSERT_NE(decoder, nullptr);
  while (static_cast<int>(left->size()) < frameCount) {
    int32_t channels = 0;
    float** data = nullptr;
    const int32_t length = DecodeVorbisFrame(decoder, &channels, &data);
    if (length == 0) break;
    for (int32_t i = 0; i < length; ++i) {
      left->push_back(data[0][i]);
      right->push_back(data[channels > 1 ? 1 : 0][i]);
    }
  }
  CloseVorbisDecoder(decoder);
  delete[] bytes;
}

double Psnr(const std::vector<uint8_t>& rgb, const uint8_t* rgba) {
  double squared = 0.0;
  for (size_t p = 0; p < rgb.size() / 3; ++p) {
    for (int c = 0; c < 3; ++c) {
      const double d = static_cast<double>(rgb[3 * p + c]) - rgba[4 * p + c];
      squared += d * d;
    }
  }
  const double mse = squared / static_cast<double>(rgb.size());
  return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// The most video bits in any kFps consecutive pictures: the peak rate over
// one second.
double PeakBitsPerSecond(const std::vector<int64_t>& bytes) {
  int64_t window = 0, most = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    window += bytes[i];
    if (i >= static_cast<size_t>(kFps)) window -= bytes[i - kFps];
    most = std::max(most, window);
  }
  return 8.0 * static_cast<double>(most);
}

double MeanBitsPerSecond(const std::vector<int64_t>& bytes) {
  int64_t total = 0;
  for (int64_t b : bytes) total += b;
  return bytes.empty() ? 0.0 : 8.0 * static_cast<double>(total) * kFps / bytes.size();
}

// The High profile's bitrate limit of an H.264 level, bits/s (MaxBR of
// table A-1 times 1.25); 0 for a level not listed.
double HighProfileLimit(int levelIdc) {
  static const std::map<int, double> kMaxBrKbit = {
      {10, 64},    {11, 192},   {12, 384},   {13, 768},   {20, 2000},  {21, 4000},
      {22, 4000},  {30, 10000}, {31, 14000}, {32, 20000}, {40, 20000}, {41, 50000},
      {42, 50000}, {50, 135000}, {51, 240000}, {52, 240000}};
  const auto found = kMaxBrKbit.find(levelIdc);
  return found == kMaxBrKbit.end() ? 0.0 : found->second * 1250.0;
}

// The music's RMS over frames [from, from + count) of one channel.
double Rms(const std::vector<float>& samples, size_t from, size_t count) {
  double sum = 0.0;
  for (size_t i = from; i < from + count && i < samples.size(); ++i) sum += samples[i] * samples[i];
  return std::sqrt(sum / static_cast<double>(count));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// PSNR of a decoded picture against a PNG capture; -1 when the capture
// cannot be read.
double PsnrAgainstCapture(const std::vector<uint8_t>& rgb, const std::string& png) {
  int32_t size = 0;
  uint8_t* bytes = ReadWholeFile(png.c_str(), &size);
  if (!bytes) return -1.0;
  int w = 0, h = 0, components = 0;
  uint8_t* pixels = DecodeImage(bytes, size, &w, &h, &components);
  delete[] bytes;
  if (!pixels || components != 4 || w != kWidth || h != kHeight) {
    if (pixels) FreeImagePixels(pixels);
    return -1.0;
  }
  const double psnr = Psnr(rgb, pixels);
  FreeImagePixels(pixels);
  return psnr;
}

class VideoExport : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    mp4Exit = Export("short.mp4");
    if (mp4Exit == 0) decodedMp4 = DecodeFile(Work + "/short.mp4", kPictureIndices, &mp4);
  }
  static constexpr double kPictureTimes[3] = {2.0, 4.5, 7.0};  // title card, film writing, card
  static inline const std::vector<int64_t> kPictureIndices = {60, 135, 210};
  static inline int mp4Exit = -1;
  static inline bool decodedMp4 = false;
  static inline Decoded mp4;
};

TEST_F(VideoExport, Mp4HasOnePictureAndOneSoundStreamOfTheRightShape) {
  ASSERT_EQ(mp4Exit, 0);
  ASSERT_TRUE(decodedMp4);
  EXPECT_EQ(mp4.videoStreams, 1);
  EXPECT_EQ(mp4.audioStreams, 1);
  EXPECT_EQ(mp4.videoCodec, AV_CODEC_ID_H264);
  EXPECT_EQ(mp4.audioCodec, AV_CODEC_ID_AAC);
  EXPECT_EQ(mp4.frameRate.num, kFps * mp4.frameRate.den)
      << mp4.frameRate.num << "/" << mp4.frameRate.den;
  EXPECT_NEAR(mp4.duration, kUntil, 0.05);
  EXPECT_EQ(mp4.pictures, static_cast<int64_t>(kUntil * kFps));
  EXPECT_EQ(mp4.sampleRate, 44100);
  EXPECT_EQ(mp4.channels, 2);
  // The encoder's priming samples are trimmed: as long as the pictures.
  EXPECT_NEAR(static_cast<double>(mp4.left.size()), kUntil * 44100, 1024);
}

TEST_F(VideoExport, PicturesMatchThePngCaptureOfTheSamePasses) {
  ASSERT_EQ(mp4Exit, 0);
  ASSERT_TRUE(decodedMp4);
  std::string times;
  for (double t : kPictureTimes) times += (times.empty() ? "" : ",") + std::to_string(t).substr(0, 3);
  const std::string dir = Work + "/png";
  ASSERT_EQ(RunTool({Capture, "--content", Content, "--at", times, "--out", dir, "--size",
                 std::to_string(kWidth) + "x" + std::to_string(kHeight), "--fps",
                 std::to_string(kFps)}),
            0);
  double worst = 99.0, mean = 0.0;
  for (int i = 0; i < 3; ++i) {
    const std::string png = dir + "/t" + std::to_string(kPictureTimes[i]).substr(0, 3) + ".png";
    int32_t size = 0;
    uint8_t* bytes = ReadWholeFile(png.c_str(), &size);
    ASSERT_NE(bytes, nullptr) << png;
    int w = 0, h = 0, components = 0;
    uint8_t* pixels = DecodeImage(bytes, size, &w, &h, &components);
    delete[] bytes;
    ASSERT_NE(pixels, nullptr);
    ASSERT_EQ(components, 4);
    ASSERT_EQ(mp4.rgb.count(kPictureIndices[i]), 1u);
    const double psnr = Psnr(mp4.rgb[kPictureIndices[i]], pixels);
    FreeImagePixels(pixels);
    EXPECT_GE(psnr, 38.0) << "picture at " << kPictureTimes[i] << " s";
    worst = std::min(worst, psnr);
    mean += psnr / 3;
  }
  // A picture one pass off (different grain and weave) must not pass.
  const auto& a = mp4.rgb[kPictureIndices[0]];
  std::vector<uint8_t> shifted(a.size() / 3 * 4);
  for (size_t p = 0; p < a.size() / 3; ++p)
    for (int c = 0; c < 3; ++c) shifted[4 * p + c] = mp4.rgb[kPictureIndices[1]][3 * p + c];
  EXPECT_LT(Psnr(a, shifted.data()), 30.0) << "two different times compare as equal";
  std::printf("picture PSNR: worst %.1f dB, mean %.1f dB\n", worst, mean);
}

TEST_F(VideoExport, SoundIsTheMusicAfterExactlyOneHalfBufferOfSilence) {
  ASSERT_EQ(mp4Exit, 0);
  ASSERT_TRUE(decodedMp4);
  std::vector<float> left, right;
  DecodeMusic(static_cast<int>(kUntil * 44100), &left, &right);
  ASSERT_GT(left.size(), 3u * 44100);
  // The loudest second of the music that the export holds, slid across the
  // export around the expected place.
  const int length = 44100, reach = 4096;
  const int last = static_cast<int>(mp4.left.size()) - kSilentFrames - reach - length;
  ASSERT_GT(last, 0);
  int from = 0;
  double energy = 0.0;
  for (int start = 0; start <= last; start += length / 4) {
    double e = 0.0;
    for (int i = 0; i < length; ++i) e += left[start + i] * left[start + i];
    if (e > energy) {
      energy = e;
      from = start;
    }
  }
  ASSERT_GT(energy, 1.0) << "the music is silent where the test looks";
  int best = -1;
  double bestScore = -1e30;
  for (int offset = kSilentFrames - reach; offset <= kSilentFrames + reach; ++offset) {
    double score = 0.0;
    for (int i = 0; i < length; ++i) score += left[from + i] * mp4.left[from + offset + i];
    if (score > bestScore) {
      bestScore = score;
      best = offset;
    }
  }
  EXPECT_NEAR(best, kSilentFrames, 1);
  EXPECT_GT(bestScore, 0.9 * energy) << "the export's sound is not the music";
  // Before the music: the silent half (AAC may smear a little ahead of the
  // first note, within one of its 1024-sample frames).
  double before = 0.0;
  for (int i = 0; i < kSilentFrames - 1024; ++i) before += mp4.left[i] * mp4.left[i];
  EXPECT_LT(before, 1e-6);
}

TEST_F(VideoExport, LevelsAdmitThePeakRateAndShareKeepsToItsCap) {
  ASSERT_EQ(mp4Exit, 0);
  ASSERT_TRUE(decodedMp4);
  // The default export: a level whose bitrate limit holds its busiest second.
  ASSERT_GT(HighProfileLimit(mp4.level), 0.0) << "level_idc " << mp4.level;
  EXPECT_LE(PeakBitsPerSecond(mp4.videoBytes), HighProfileLimit(mp4.level));

  // --share at 320 x 240, 30/s: the cap follows the pixel rate from 5 Mb/s
  // at 1280 x 720, 30/s, as a power through 12 Mb/s at 1920 x 1080, 60/s.
  ASSERT_EQ(Export("share.mp4", {"--share"}), 0);
  Decoded share;
  ASSERT_TRUE(DecodeFile(Work + "/share.mp4", {kPictureIndices[2]}, &share));
  const double exponent = std::log(12.0 / 5.0) / std::log(4.5);
  const double cap = 5e6 * std::pow(kWidth * kHeight / (1280.0 * 720.0), exponent);
  const double mean = MeanBitsPerSecond(share.videoBytes), peak = PeakBitsPerSecond(share.videoBytes);
  std::printf("--share at %dx%d: mean %.2f Mb/s, peak %.2f Mb/s over a second, cap %.2f Mb/s, "
              "level %d\n", kWidth, kHeight, mean / 1e6, peak / 1e6, cap / 1e6, share.level);
  EXPECT_LE(mean, cap);
  EXPECT_LE(peak, 1.25 * cap);
  // Without the cap the same export runs well above it.
  EXPECT_GT(MeanBitsPerSecond(mp4.videoBytes), 1.25 * cap) << "the cap is not tested here";
  ASSERT_GT(HighProfileLimit(share.level), 0.0) << "level_idc " << share.level;
  EXPECT_LE(peak, HighProfileLimit(share.level));
  EXPECT_LT(share.level, mp4.level) << "the small file claims as much as the large one";
  // The lettering of a title card stays crisp.
  const std::string dir = Work + "/png-share";
  ASSERT_EQ(RunTool({Capture, "--content", Content, "--at", "7.0", "--out", dir, "--size",
                     std::to_string(kWidth) + "x" + std::to_string(kHeight), "--fps",
                     std::to_string(kFps)}),
            0);
  ASSERT_EQ(share.rgb.count(kPictureIndices[2]), 1u);
  EXPECT_GE(PsnrAgainstCapture(share.rgb[kPictureIndices[2]], dir + "/t7.0.png"), 36.0);
}

TEST_F(VideoExport, MkvKeepsTheSoundLosslessFadesAtTheCutAndSameArgumentsGiveTheSameFile) {
  ASSERT_EQ(Export("short.mkv"), 0);
  Decoded mkv;
  ASSERT_TRUE(DecodeFile(Work + "/short.mkv", {}, &mkv));
  EXPECT_EQ(mkv.videoCodec, AV_CODEC_ID_H264);
  EXPECT_EQ(mkv.audioCodec, AV_CODEC_ID_FLAC);
  EXPECT_EQ(mkv.pictures, static_cast<int64_t>(kUntil * kFps));
  ASSERT_EQ(mkv.left.size(), static_cast<size_t>(kUntil * 44100));
  std::vector<float> left, right;
  DecodeMusic(static_cast<int>(kUntil * 44100), &left, &right);
  // FLAC at 24 bits: every sample is the decoder's, 16384 frames late, up
  // to the fade that ends the cut.
  double worst = 0.0;
  const size_t fadeFrom = mkv.left.size() - kFadeFrames;
  for (size_t i = 0; i < kSilentFrames; ++i) worst = std::max<double>(worst, std::fabs(mkv.left[i]));
  for (size_t i = kSilentFrames; i < fadeFrom; ++i) {
    worst = std::max<double>(worst, std::fabs(mkv.left[i] - left[i - kSilentFrames]));
    worst = std::max<double>(worst, std::fabs(mkv.right[i] - right[i - kSilentFrames]));
  }
  EXPECT_LT(worst, 1.0 / (1 << 22));
  // The fade only ever lowers the music, and ends in silence: the music's
  // own level there would click.
  const double musicEnd = Rms(left, fadeFrom - kSilentFrames, kFadeFrames);
  ASSERT_GT(musicEnd, 0.02) << "the music is too quiet at the cut to tell a fade";
  for (size_t i = fadeFrom; i < mkv.left.size(); ++i) {
    EXPECT_LE(std::fabs(mkv.left[i]), std::fabs(left[i - kSilentFrames]) + 1e-6) << "frame " << i;
  }
  EXPECT_LT(Rms(mkv.left, fadeFrom, kFadeFrames), 0.7 * musicEnd);
  EXPECT_LT(Rms(mkv.left, mkv.left.size() - kFadeFrames / 5, kFadeFrames / 5), 0.1 * musicEnd);
  EXPECT_LT(std::fabs(mkv.left.back()) + std::fabs(mkv.right.back()), 1e-4);

  ASSERT_EQ(mp4Exit, 0);
  ASSERT_EQ(Export("again.mp4"), 0);
  const std::string first = ReadBytes(Work + "/short.mp4");
  EXPECT_FALSE(first.empty());
  EXPECT_TRUE(first == ReadBytes(Work + "/again.mp4")) << "two runs gave different files";
}
}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: nitrate-video-tests CAPTURE_TOOL CONTENT_DIR\n");
    return 2;
  }
  Capture = argv[1];
  Content = argv[2];
  char folder[] = "/tmp/nitrate-video-XXXXXX";
  if (!mkdtemp(folder)) return 2;
  Work = folder;
  const int result = RUN_ALL_TESTS();
  if (!std::getenv("NITRATE_KEEP_VIDEO")) std::system(("rm -rf '" + Work + "'").c_str());
  return result;
}
