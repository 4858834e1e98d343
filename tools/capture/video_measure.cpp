// video-measure: the figures behind the export's encoder choices, read from
// a finished file. Prints the H.264 level and what it allows, the mean and
// peak one-second video bitrates, the frames that would underflow the
// level's buffer, and for each PNG capture given its PSNR against the
// decoded picture of the same pass: whole picture, the blacks alone, and how
// much of the grain in the blacks survived (high-pass energy, decoded over
// captured). Optionally writes the decoded pictures as PNGs.
//   video-measure FILE FPS [T=CAPTURE.png ...] [--dump DIR]
// Built with the project as build/video-measure.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "h264_levels.h"

namespace {
struct Capture {
  double time;
  std::string path;
  int64_t index;
};

// Luma of an RGB pixel, BT.709, 0-255.
double Luma(const uint8_t* p) { return 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]; }

// Grey picture minus its 3 x 3 box blur: the grain and the finest detail.
std::vector<double> HighPass(const std::vector<double>& grey, int w, int h) {
  std::vector<double> out(grey.size(), 0.0);
  for (int y = 1; y < h - 1; ++y) {
    for (int x = 1; x < w - 1; ++x) {
      double sum = 0.0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) sum += grey[(y + dy) * w + x + dx];
      out[y * w + x] = grey[y * w + x] - sum / 9.0;
    }
  }
  return out;
}

void Compare(const Capture& capture, const std::vector<uint8_t>& decoded, int w, int h) {
  int cw = 0, ch = 0, n = 0;
  uint8_t* png = stbi_load(capture.path.c_str(), &cw, &ch, &n, 3);
  if (!png || cw != w || ch != h) {
    std::printf("  %s: cannot compare (missing or another size)\n", capture.path.c_str());
    stbi_image_free(png);
    return;
  }
  std::vector<double> greyA(static_cast<size_t>(w) * h), greyB(greyA.size());
  double squared = 0.0, darkSquared = 0.0;
  int64_t dark = 0;
  for (size_t p = 0; p < greyA.size(); ++p) {
    double d2 = 0.0;
    for (int c = 0; c < 3; ++c) {
      const double d = static_cast<double>(png[3 * p + c]) - decoded[3 * p + c];
      d2 += d * d;
    }
    squared += d2;
    greyA[p] = Luma(png + 3 * p);
    greyB[p] = Luma(decoded.data() + 3 * p);
    if (greyA[p] < 40.0) {
      darkSquared += d2;
      ++dark;
    }
  }
  const std::vector<double> grainA = HighPass(greyA, w, h), grainB = HighPass(greyB, w, h);
  // The grain alone: blacks at least two pixels from anything brighter, so
  // the edges of lettering and scratches do not count.
  std::vector<uint8_t> flat(greyA.size(), 0);
  for (int y = 2; y < h - 2; ++y) {
    for (int x = 2; x < w - 2; ++x) {
      bool dim = true;
      for (int dy = -2; dy <= 2 && dim; ++dy)
        for (int dx = -2; dx <= 2 && dim; ++dx) dim = greyA[(y + dy) * w + x + dx] < 40.0;
      flat[y * w + x] = dim;
    }
  }
  double energyA = 0.0, energyB = 0.0, shared = 0.0;
  for (size_t p = 0; p < greyA.size(); ++p) {
    if (!flat[p]) continue;
    energyA += grainA[p] * grainA[p];
    energyB += grainB[p] * grainB[p];
    shared += grainA[p] * grainB[p];
  }
  auto psnr = [](double sq, double count) {
    return sq == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * count / sq);
  };
  // Energy: how grainy the blacks still look; correlation: how much of
  // that is the show's own grain rather than blocks and smears.
  std::printf(
      "  t=%-5g PSNR %.2f dB, blacks (%.0f%%) %.2f dB, grain energy %.2f, correlation %.2f\n",
      capture.time, psnr(squared, 3.0 * greyA.size()), 100.0 * dark / greyA.size(),
      psnr(darkSquared, 3.0 * dark), energyA > 0.0 ? energyB / energyA : 0.0,
      energyA > 0.0 && energyB > 0.0 ? shared / std::sqrt(energyA * energyB) : 0.0);
  stbi_image_free(png);
}
// The captures to compare (T=CAPTURE.png) and the --dump folder. false on
// an argument of neither form.
bool ParseCaptures(int argc, char** argv, int fps, std::vector<Capture>* captures,
                   std::string* dump) {
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--dump" && i + 1 < argc) {
      *dump = argv[++i];
      continue;
    }
    const size_t eq = arg.find('=');
    if (eq == std::string::npos) return false;
    const double t = std::atof(arg.substr(0, eq).c_str());
    captures->push_back({t, arg.substr(eq + 1), std::llround(t * fps)});
  }
  return true;
}

struct VideoDecoder {
  AVFormatContext* format = nullptr;
  AVCodecContext* context = nullptr;
  const AVCodecParameters* par = nullptr;
  int stream = -1;
};

// Opens the file's best video stream for decoding; false when it cannot
// (said on stderr when the file itself cannot be opened).
bool OpenVideoDecoder(const std::string& path, VideoDecoder* d) {
  if (avformat_open_input(&d->format, path.c_str(), nullptr, nullptr) < 0 ||
      avformat_find_stream_info(d->format, nullptr) < 0) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    return false;
  }
  d->stream = av_find_best_stream(d->format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (d->stream < 0) return false;
  d->par = d->format->streams[d->stream]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(d->par->codec_id);
  d->context = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(d->context, d->par);
  return avcodec_open2(d->context, codec, nullptr) >= 0;
}

// A decoded picture as RGB, BT.709 limited range as the export tags it.
std::vector<uint8_t> ToRgb(const AVFrame* frame, int w, int h) {
  SwsContext* scaler = sws_getContext(w, h, static_cast<AVPixelFormat>(frame->format), w, h,
                                      AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
  const int* matrix = sws_getCoefficients(SWS_CS_ITU709);
  sws_setColorspaceDetails(scaler, matrix, 0, matrix, 1, 0, 1 << 16, 1 << 16);
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  uint8_t* planes[1] = {rgb.data()};
  const int strides[1] = {w * 3};
  sws_scale(scaler, frame->data, frame->linesize, 0, h, planes, strides);
  sws_freeContext(scaler);
  return rgb;
}

// Takes every picture the decoder has ready, counting them in *pictures,
// and compares (and dumps) those that captures were made of.
void TakePictures(const VideoDecoder& d, AVFrame* frame, const std::vector<Capture>& captures,
                  const std::string& dump, int64_t* pictures) {
  const int w = d.par->width, h = d.par->height;
  while (avcodec_receive_frame(d.context, frame) == 0) {
    const int64_t index = (*pictures)++;
    const bool wanted = std::any_of(captures.begin(), captures.end(),
                                    [&](const Capture& c) { return c.index == index; });
    if (!wanted) continue;
    const std::vector<uint8_t> rgb = ToRgb(frame, w, h);
    for (const Capture& c : captures) {
      if (c.index != index) continue;
      Compare(c, rgb, w, h);
      if (!dump.empty()) {
        char name[64];
        std::snprintf(name, sizeof name, "/t%g.png", c.time);
        stbi_write_png((dump + name).c_str(), w, h, 3, rgb.data(), w * 3);
      }
    }
  }
}

// The file, its level, its bitrates and the level's buffer against them.
void PrintBitrates(const std::string& path, const VideoDecoder& d,
                   const std::vector<int64_t>& sizes, int64_t pictures, int fps) {
  const AVCodecParameters* par = d.par;
  const H264Level* level = FindH264Level(par->level);
  const BitrateFigures figures =
      MeasureBitrate(sizes.data(), static_cast<int64_t>(sizes.size()), fps);
  std::printf("%s: %dx%d, %lld pictures, %.1f MB, level %d.%d\n", path.c_str(), par->width,
              par->height, static_cast<long long>(pictures), avio_size(d.format->pb) / 1e6,
              par->level / 10, par->level % 10);
  std::printf("  video mean %.2f Mb/s, peak over one second %.2f Mb/s\n",
              figures.meanBitsPerSecond / 1e6, figures.peakBitsPerSecond / 1e6);
  if (level) {
    const int64_t underflows =
        CountBufferUnderflows(sizes.data(), static_cast<int64_t>(sizes.size()), fps,
                              HighProfileBitRate(*level), HighProfileBufferBits(*level));
    std::printf(
        "  the level allows %.1f Mb/s with a %.1f Mbit buffer: %lld pictures underflow it\n",
        HighProfileBitRate(*level) / 1e6, HighProfileBufferBits(*level) / 1e6,
        static_cast<long long>(underflows));
  }
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: video-measure FILE FPS [T=CAPTURE.png ...] [--dump DIR]\n");
    return 2;
  }
  const std::string path = argv[1];
  const int fps = std::atoi(argv[2]);
  std::vector<Capture> captures;
  std::string dump;
  if (!ParseCaptures(argc, argv, fps, &captures, &dump)) return 2;
  VideoDecoder d;
  if (!OpenVideoDecoder(path, &d)) return 1;

  std::vector<int64_t> sizes;  // bytes per picture, in decoding order
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  int64_t pictures = 0;
  while (av_read_frame(d.format, packet) >= 0) {
    if (packet->stream_index == d.stream) {
      sizes.push_back(packet->size);
      if (avcodec_send_packet(d.context, packet) >= 0) {
        TakePictures(d, frame, captures, dump, &pictures);
      }
    }
    av_packet_unref(packet);
  }
  avcodec_send_packet(d.context, nullptr);
  TakePictures(d, frame, captures, dump, &pictures);

  PrintBitrates(path, d, sizes, pictures, fps);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&d.context);
  avformat_close_input(&d.format);
  return 0;
}
