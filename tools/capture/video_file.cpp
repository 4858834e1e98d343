// Encoding and muxing with FFmpeg's libraries (libx264 for the pictures, the
// native AAC or FLAC encoder for the sound) into a temporary file beside the
// target; rename on completion. One thread at a time; every failure
// becomes one line in *error (the caller silences the libraries' own log).
#include "video_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "h264_levels.h"

namespace {
// Encoder choices (the README gives the reasons and the measurements).
// x264's "veryfast" preset keeps a 2-core machine near the renderer's own
// pace; CRF 18 with the grain tuning keeps the projector's coarse grain,
// which the film tuning smooths away. x264 picks its thread count from the
// cores, and its output depends only on that count, so one machine always
// makes the same file. Above 1920 x 1080 it buffers far fewer frames.
constexpr const char* kX264Preset = "veryfast";
constexpr const char* kX264Tune = "grain";
// Under --share's cap the grain tuning spreads too few bits over every
// speck and most of them vanish into flat patches; the film tuning keeps
// more of it (measured: grain energy in the blacks 0.35 against 0.25 of the
// capture's at 1280 x 720, 0.28 against 0.19 at 1920 x 1080, the lettering
// alike), so --share uses it.
constexpr const char* kX264ShareTune = "film";
constexpr int64_t kLeanAbovePixels = 1920 * 1080;
constexpr int kLeanThreads = 2;
constexpr int64_t kAacBitRate = 256000;
constexpr int kFlacBits = 24;
constexpr int kFallbackSoundFrame = 4096;  // for encoders that take any size

// Every stream keeps to a buffer of a quarter second at its cap: any second
// then holds at most 1.25 times the cap, and the level written admits that
// peak as its bitrate. A new shot's first picture still gets a fair share.
constexpr int64_t kBufferDivisor = 4;

// Without --share: at least level 4.1, which every hardware decoder of the
// last decade plays, or what the size and rate need (4.2 at 1920 x 1080 and
// 60 pictures a second), with the cap at 4/5 of its bitrate so that the
// peak fits it. CRF 18 then runs free but for its busiest seconds.
constexpr int kLowestQualityLevel = 41;

// --share: the two bitrates common upload guidance gives, which the rest
// follow as a power of the pixel rate.
constexpr double kShareSmallPixelRate = 1280.0 * 720.0 * 30.0;
constexpr double kShareSmallBitRate = 5e6;
constexpr double kShareLargePixelRate = 1920.0 * 1080.0 * 60.0;
constexpr double kShareLargeBitRate = 12e6;
}  // namespace

struct VideoFile {
  VideoFileOptions options;
  std::string temporary;
  AVFormatContext* format = nullptr;
  bool fileOpen = false;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  AVStream* videoStream = nullptr;
  AVStream* audioStream = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* sound = nullptr;
  std::vector<float> soundSamples;  // interleaved stereo, one encoder frame
  int64_t picturesWritten = 0;
  int64_t soundFramesSent = 0;
  int64_t soundFramesTotal = 0;
};

namespace {
std::string LibraryError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

std::string CannotWrite(const VideoFile* file, const std::string& why) {
  return "cannot write " + file->options.target + ": " + why;
}

void FreeVideoFile(VideoFile* file, bool removeTemporary) {
  if (file->fileOpen) avio_closep(&file->format->pb);
  if (removeTemporary && !file->temporary.empty()) unlink(file->temporary.c_str());
  avcodec_free_context(&file->video);
  avcodec_free_context(&file->audio);
  avformat_free_context(file->format);
  av_packet_free(&file->packet);
  av_frame_free(&file->sound);
  delete file;
}

// Hands every packet the encoder has ready to the muxer.
bool DrainEncoder(VideoFile* file, AVCodecContext* encoder, AVStream* stream, std::string* error) {
  for (;;) {
    const int received = avcodec_receive_packet(encoder, file->packet);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
    if (received < 0) {
      *error = CannotWrite(file, "encoder failed: " + LibraryError(received));
      return false;
    }
    // Every picture lasts one pass, the last one too.
    if (encoder == file->video && file->packet->duration == 0) file->packet->duration = 1;
    av_packet_rescale_ts(file->packet, encoder->time_base, stream->time_base);
    file->packet->stream_index = stream->index;
    const int written = av_interleaved_write_frame(file->format, file->packet);
    if (written < 0) {
      *error = CannotWrite(file, LibraryError(written));
      return false;
    }
  }
}

// Lowers the frames at positions from..from+count-1 of a soundtrack of
// total frames so that its last fade frames fall to silence along half a
// cosine: a cut in the middle of a note then ends without a click.
void FadeOut(float* samples, int64_t count, int64_t from, int64_t total, int64_t fade) {
  const int64_t start = total - fade;
  for (int64_t i = std::max<int64_t>(0, start - from); i < count; ++i) {
    const double along = static_cast<double>(from + i - start + 1) / static_cast<double>(fade);
    const float gain = static_cast<float>(0.5 * (1.0 + std::cos(M_PI * std::min(along, 1.0))));
    samples[2 * i] *= gain;
    samples[2 * i + 1] *= gain;
  }
}

// Encodes the soundtrack up to frame limit: whole encoder frames only,
// unless the limit is the end of the soundtrack.
bool EncodeSoundUpTo(VideoFile* file, int64_t limit, std::string* error) {
  AVFrame* frame = file->sound;
  const int64_t frameSize = static_cast<int64_t>(file->soundSamples.size() / 2);
  while (file->soundFramesSent < limit) {
    const int64_t count = std::min(frameSize, limit - file->soundFramesSent);
    if (count < frameSize && limit < file->soundFramesTotal) return true;
    int made = av_frame_make_writable(frame);
    if (made < 0) {
      *error = CannotWrite(file, LibraryError(made));
      return false;
    }
    float* samples = file->soundSamples.data();
    file->options.soundtrack(file->options.soundtrackContext, samples, static_cast<int32_t>(count));
    if (file->options.fadeOutFrames > 0) {
      FadeOut(samples, count, file->soundFramesSent, file->soundFramesTotal,
              file->options.fadeOutFrames);
    }
    frame->nb_samples = static_cast<int>(count);
    if (file->audio->sample_fmt == AV_SAMPLE_FMT_FLTP) {
      float* left = reinterpret_cast<float*>(frame->data[0]);
      float* right = reinterpret_cast<float*>(frame->data[1]);
      for (int64_t i = 0; i < count; ++i) {
        left[i] = samples[2 * i];
        right[i] = samples[2 * i + 1];
      }
    } else {  // packed signed 32-bit, the top kFlacBits bits used
      int32_t* out = reinterpret_cast<int32_t*>(frame->data[0]);
      const double scale = static_cast<double>((1 << (kFlacBits - 1)) - 1);
      for (int64_t i = 0; i < 2 * count; ++i) {
        const double clamped = std::clamp(static_cast<double>(samples[i]), -1.0, 1.0);
        out[i] = static_cast<int32_t>(std::lrint(clamped * scale)) * (1 << (32 - kFlacBits));
      }
    }
    frame->pts = file->soundFramesSent;
    file->soundFramesSent += count;
    const int sent = avcodec_send_frame(file->audio, frame);
    if (sent < 0) {
      *error = CannotWrite(file, "sound encoder failed: " + LibraryError(sent));
      return false;
    }
    if (!DrainEncoder(file, file->audio, file->audioStream, error)) return false;
  }
  return true;
}

bool OpenVideoEncoder(VideoFile* file, std::string* error) {
  const VideoFileOptions& o = file->options;
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (!codec) {
    *error = "this FFmpeg has no libx264 encoder";
    return false;
  }
  AVCodecContext* c = file->video = avcodec_alloc_context3(codec);
  if (!c) {
    *error = "out of memory";
    return false;
  }
  c->width = o.width;
  c->height = o.height;
  c->time_base = AVRational{1, o.fps};
  c->framerate = AVRational{o.fps, 1};
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->color_primaries = AVCOL_PRI_BT709;
  c->color_trc = AVCOL_TRC_BT709;
  c->colorspace = AVCOL_SPC_BT709;
  c->color_range = AVCOL_RANGE_MPEG;
  c->thread_count = 0;  // x264's choice: one and a half per core
  if (file->format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  av_opt_set(c->priv_data, "preset", kX264Preset, 0);
  av_opt_set(c->priv_data, "tune", o.share ? kX264ShareTune : kX264Tune, 0);
  av_opt_set_double(c->priv_data, "crf", o.crf, 0);
  // The buffer x264 keeps to and the level written into the stream, which
  // admits that buffer (kbit/s and kbit, rounded down to stay inside).
  std::string params = "level=" + std::to_string(o.levelIdc / 10) + "." +
                       std::to_string(o.levelIdc % 10) +
                       ":vbv-maxrate=" + std::to_string(o.maxBitRate / 1000) +
                       ":vbv-bufsize=" + std::to_string(o.bufferBits / 1000);
  if (static_cast<int64_t>(o.width) * o.height > kLeanAbovePixels) {
    // Every frame x264 holds is some 45 MB at 3840 x 2160: no look-ahead,
    // no B-frames and threads that share one frame (slices) keep it to a
    // handful, and without sub-pixel refinement a reference frame needs no
    // interpolated planes (the file grows some 13 %, measured over the first
    // second). The renderer, not the encoder, sets the pace at this size.
    c->thread_count = kLeanThreads;
    params += ":rc-lookahead=0:bframes=0:sliced-threads=1:sync-lookahead=0:subme=0";
  }
  av_opt_set(c->priv_data, "x264-params", params.c_str(), 0);
  const int opened = avcodec_open2(c, codec, nullptr);
  if (opened < 0) {
    *error = "cannot encode " + std::to_string(o.width) + "x" + std::to_string(o.height) +
             " pictures: " + LibraryError(opened);
    return false;
  }
  return true;
}

bool OpenSoundEncoder(VideoFile* file, std::string* error) {
  const bool aac = file->options.container == VideoContainer::kMp4;
  const AVCodec* codec = avcodec_find_encoder(aac ? AV_CODEC_ID_AAC : AV_CODEC_ID_FLAC);
  if (!codec) {
    *error = std::string("this FFmpeg has no ") + (aac ? "AAC" : "FLAC") + " encoder";
    return false;
  }
  AVCodecContext* c = file->audio = avcodec_alloc_context3(codec);
  if (!c) {
    *error = "out of memory";
    return false;
  }
  c->sample_rate = static_cast<int>(file->options.sampleRate);
  c->time_base = AVRational{1, c->sample_rate};
  c->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
  if (aac) {
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->bit_rate = kAacBitRate;
  } else {
    c->sample_fmt = AV_SAMPLE_FMT_S32;
    c->bits_per_raw_sample = kFlacBits;
  }
  if (file->format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  const int opened = avcodec_open2(c, codec, nullptr);
  if (opened < 0) {
    *error = "cannot encode the sound: " + LibraryError(opened);
    return false;
  }
  const int frameSize = c->frame_size > 0 ? c->frame_size : kFallbackSoundFrame;
  file->soundSamples.assign(2 * static_cast<size_t>(frameSize), 0.0f);
  AVFrame* frame = file->sound = av_frame_alloc();
  if (!frame) {
    *error = "out of memory";
    return false;
  }
  frame->format = c->sample_fmt;
  frame->sample_rate = c->sample_rate;
  frame->nb_samples = frameSize;
  av_channel_layout_copy(&frame->ch_layout, &c->ch_layout);
  if (av_frame_get_buffer(frame, 0) < 0) {
    *error = "out of memory";
    return false;
  }
  return true;
}

AVStream* AddStream(VideoFile* file, AVCodecContext* encoder) {
  AVStream* stream = avformat_new_stream(file->format, nullptr);
  if (!stream || avcodec_parameters_from_context(stream->codecpar, encoder) < 0) return nullptr;
  stream->time_base = encoder->time_base;
  return stream;
}
// Makes the temporary file the video is written to, beside the target
// and named after it, and claims it. false with *error set, and no
// temporary to remove, when the target is not a regular file or the
// temporary cannot be made.
bool CreateTemporary(VideoFile* file, std::string* error) {
  const std::string& target = file->options.target;
  // Renaming onto a device or a folder would replace it, not write into it.
  struct stat existing {};
  if (stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    *error = CannotWrite(file, "not a regular file");
    return false;
  }
  const size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  file->temporary = (slash == std::string::npos ? std::string() : folder) + "." + name + "." +
                    std::to_string(getpid()) + ".part";
  const int descriptor =
      open(file->temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (descriptor < 0) {
    *error = CannotWrite(file, std::strerror(errno));
    file->temporary.clear();  // not ours to remove
    return false;
  }
  close(descriptor);
  return true;
}

// Opens the temporary file for the muxer and writes the container's
// header. false with *error set.
bool OpenTemporaryAndWriteHeader(VideoFile* file, std::string* error) {
  // "file:" so that a name with a colon is never taken for a protocol. The
  // mp4 muxer reopens the file by this name to move its index forward.
  const std::string url = "file:" + file->temporary;
  file->format->url = av_strdup(url.c_str());
  const int opened = file->format->url ? avio_open(&file->format->pb, url.c_str(), AVIO_FLAG_WRITE)
                                       : AVERROR(ENOMEM);
  if (opened < 0) {
    *error = CannotWrite(file, LibraryError(opened));
    return false;
  }
  file->fileOpen = true;
  AVDictionary* muxerOptions = nullptr;
  // The index at the front, so that browsers can start playing at once.
  if (file->options.container == VideoContainer::kMp4) {
    av_dict_set(&muxerOptions, "movflags", "+faststart", 0);
  }
  const int header = avformat_write_header(file->format, &muxerOptions);
  av_dict_free(&muxerOptions);
  if (header < 0) {
    *error = CannotWrite(file, LibraryError(header));
    return false;
  }
  return true;
}
}  // namespace

bool VideoContainerForPath(const std::string& path, VideoContainer* container) {
  const size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return false;
  const char* extension = path.c_str() + dot + 1;
  if (strcasecmp(extension, "mp4") == 0) {
    *container = VideoContainer::kMp4;
    return true;
  }
  if (strcasecmp(extension, "mkv") == 0) {
    *container = VideoContainer::kMkv;
    return true;
  }
  return false;
}

int64_t ShareBitRate(int32_t width, int32_t height, int32_t fps) {
  const double exponent = std::log(kShareLargeBitRate / kShareSmallBitRate) /
                          std::log(kShareLargePixelRate / kShareSmallPixelRate);
  const double pixelRate = static_cast<double>(width) * height * fps;
  return std::llround(kShareSmallBitRate * std::pow(pixelRate / kShareSmallPixelRate, exponent));
}

bool PlanVideoEncoding(VideoFileOptions* options, std::string* error) {
  const int32_t w = options->width, h = options->height, fps = options->fps;
  int64_t rate = 0, buffer = 0;
  const H264Level* level = nullptr;
  if (options->share) {
    rate = ShareBitRate(w, h, fps);
    buffer = rate / kBufferDivisor;
    level = LowestH264Level(w, h, fps, rate + buffer, buffer, 0);
  } else {
    level = LowestH264Level(w, h, fps, 0, 0, kLowestQualityLevel);
    if (level) {
      rate = HighProfileBitRate(*level) * kBufferDivisor / (kBufferDivisor + 1);
      buffer = rate / kBufferDivisor;
    }
  }
  if (!level) {
    const H264Level& top = kHighestH264Level;
    *error = "cannot encode " + std::to_string(w) + "x" + std::to_string(h) + " at " +
             std::to_string(fps) + "/s: no H.264 level allows it (at most " +
             std::to_string(top.frameMacroblocks * 256) + " pixels a picture, " +
             std::to_string(top.macroblocksPerSecond * 256) + " a second)";
    return false;
  }
  options->levelIdc = level->idc;
  options->maxBitRate = rate;
  options->bufferBits = buffer;
  return true;
}

VideoFile* CreateVideoFile(const VideoFileOptions& options, std::string* error) {
  VideoFile* file = new VideoFile;
  file->options = options;
  file->soundFramesTotal = options.pictureCount * options.sampleRate / options.fps;

  if (!CreateTemporary(file, error)) {
    FreeVideoFile(file, false);
    return nullptr;
  }

  const char* muxer = options.container == VideoContainer::kMp4 ? "mp4" : "matroska";
  if (avformat_alloc_output_context2(&file->format, nullptr, muxer, nullptr) < 0) {
    *error = "out of memory";
    FreeVideoFile(file, true);
    return nullptr;
  }
  // No version strings, dates or random identifiers: the same arguments
  // give the same bytes.
  file->format->flags |= AVFMT_FLAG_BITEXACT;
  if (!OpenVideoEncoder(file, error) || !OpenSoundEncoder(file, error)) {
    FreeVideoFile(file, true);
    return nullptr;
  }
  file->videoStream = AddStream(file, file->video);
  file->audioStream = AddStream(file, file->audio);
  file->packet = av_packet_alloc();
  if (!file->videoStream || !file->audioStream || !file->packet) {
    *error = "out of memory";
    FreeVideoFile(file, true);
    return nullptr;
  }
  if (!OpenTemporaryAndWriteHeader(file, error)) {
    FreeVideoFile(file, true);
    return nullptr;
  }
  return file;
}

AVFrame* AllocateVideoPicture(const VideoFile* file) {
  AVFrame* picture = av_frame_alloc();
  if (!picture) return nullptr;
  picture->format = AV_PIX_FMT_YUV420P;
  picture->width = file->options.width;
  picture->height = file->options.height;
  picture->color_primaries = AVCOL_PRI_BT709;
  picture->color_trc = AVCOL_TRC_BT709;
  picture->colorspace = AVCOL_SPC_BT709;
  picture->color_range = AVCOL_RANGE_MPEG;
  if (av_frame_get_buffer(picture, 0) < 0) av_frame_free(&picture);
  return picture;
}

bool WriteVideoPicture(VideoFile* file, AVFrame* picture, std::string* error) {
  picture->pts = file->picturesWritten++;
  const int sent = avcodec_send_frame(file->video, picture);
  if (sent < 0) {
    *error = CannotWrite(file, "picture encoder failed: " + LibraryError(sent));
    return false;
  }
  if (!DrainEncoder(file, file->video, file->videoStream, error)) return false;
  const VideoFileOptions& o = file->options;
  return EncodeSoundUpTo(file, file->picturesWritten * o.sampleRate / o.fps, error);
}

bool FinishVideoFile(VideoFile* file, std::string* error) {
  bool ok = avcodec_send_frame(file->video, nullptr) >= 0 &&
            DrainEncoder(file, file->video, file->videoStream, error) &&
            EncodeSoundUpTo(file, file->soundFramesTotal, error) &&
            avcodec_send_frame(file->audio, nullptr) >= 0 &&
            DrainEncoder(file, file->audio, file->audioStream, error);
  if (ok) {
    const int trailer = av_write_trailer(file->format);
    const int closed = avio_closep(&file->format->pb);
    file->fileOpen = false;
    if (trailer < 0 || closed < 0) {
      *error = CannotWrite(file, LibraryError(trailer < 0 ? trailer : closed));
      ok = false;
    }
  } else if (error->empty()) {
    *error = CannotWrite(file, "the encoders could not be drained");
  }
  // On disk before it takes the target's name: a crash never leaves a
  // truncated file there.
  if (ok) {
    const int descriptor = open(file->temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0 || fsync(descriptor) != 0) {
      *error = CannotWrite(file, std::strerror(errno));
      ok = false;
    }
    if (descriptor >= 0) close(descriptor);
  }
  if (ok && rename(file->temporary.c_str(), file->options.target.c_str()) != 0) {
    *error = CannotWrite(file, std::strerror(errno));
    ok = false;
  }
  FreeVideoFile(file, !ok);
  return ok;
}

void DiscardVideoFile(VideoFile* file) { FreeVideoFile(file, true); }

int64_t VideoFileBytes(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 ? static_cast<int64_t>(status.st_size) : 0;
}
