// The export pipeline. The main thread renders each pass and starts its
// read-back into a free pixel buffer object of a small ring, then maps the
// previous pass's buffer (its read-back has had a whole pass to finish) and
// hands the mapping to the converter thread, which turns it into a YUV 4:2:0
// picture straight from the mapped memory; the main thread unmaps a buffer
// only when the converter has given it back. The encoder thread encodes the
// pictures with the soundtrack. The renderer waits only when every buffer is
// taken. A failure or a signal closes the queues; the file is discarded.
#include "video_export.h"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cassert>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include "app/main_loop.h"
#include "app/startup.h"
#include "audio/music_stream.h"
#include "common/messages.h"
#include "demo/show.h"
#include "video_file.h"
#include "video_soundtrack.h"

namespace {
// Up to three buffers per stage: one being filled, one being worked on, one
// spare, so a short hiccup downstream never stops the renderer. Above
// 1920 x 1080 memory decides: two read-back buffers (33 MB each at
// 3840 x 2160) and one YUV picture (12 MB), which the encoder copies as soon
// as it takes it. There the renderer is far slower than the encoder, so the
// spares would only hold memory.
constexpr int kMaxSlots = 3;
constexpr int64_t kSpareUpToPixels = 1920 * 1080;
constexpr double kProgressInterval = 0.5;  // seconds between progress lines
constexpr int32_t kQualityCrf = 18;        // x264's "visually lossless" point
constexpr int32_t kShareCrf = 20;          // under --share's cap: see the README
// The show's own music ends 0.63 s before the show, its tail played out;
// music that stops more than this before the export's end has run out.
constexpr double kMusicEndSlack = 1.0;
// --until cuts the music wherever it is: a fade this long (seconds) ends it
// without a click yet too quickly to hear as a fade.
constexpr double kCutFadeSeconds = 0.010;

volatile sig_atomic_t interruptRequested = 0;
void OnSignal(int) { interruptRequested = 1; }

// A hand-over of slot numbers between threads. Finish() says no more will
// come; Close() stops both sides at once.
class SlotQueue {
 public:
  void Push(int slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    slots_.push_back(slot);
    ready_.notify_one();
  }
  // Waits for a slot; false once closed, or finished with none left.
  bool Pop(int* slot) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [&] { return closed_ || finished_ || !slots_.empty(); });
    if (closed_ || slots_.empty()) return false;
    *slot = slots_.front();
    slots_.pop_front();
    return true;
  }
  void Finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    ready_.notify_all();
  }
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    ready_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<int> slots_;
  bool closed_ = false;
  bool finished_ = false;
};

struct Pipeline {
  VideoExportOptions options;
  size_t rgbaBytes = 0;
  int slots = kMaxSlots;     // read-back buffers
  int pictures = kMaxSlots;  // YUV pictures
  AVFrame* yuv[kMaxSlots] = {};
  // Read-back buffers: free ones go back to the main thread, mapped ones to
  // the converter.
  SlotQueue freeReadback, fullReadback, freeYuv, fullYuv;
  VideoFile* file = nullptr;
  FILE* raw = nullptr;
  std::atomic<int64_t> picturesDone{0};
  std::atomic<bool> failed{false};
  std::mutex errorMutex;
  std::string error;

  GLuint readback[kMaxSlots] = {};
  // Mapped memory of each read-back buffer (bottom row first, as GL reads);
  // null while unmapped. Written by the main thread before the buffer is
  // handed over, read by the converter until it gives the buffer back.
  const uint8_t* mapped[kMaxSlots] = {};
  int64_t passesRead = 0;  // read-backs started
  Show* show = nullptr;    // what the passes render, started by StartRendering

  void Fail(const std::string& why) {
    {
      std::lock_guard<std::mutex> lock(errorMutex);
      if (error.empty()) error = why;
    }
    failed = true;
    CloseAll();
  }
  void CloseAll() {
    freeReadback.Close();
    fullReadback.Close();
    freeYuv.Close();
    fullYuv.Close();
  }
};
Pipeline* activePipeline = nullptr;

// Main thread: maps the buffer that the given pass was read back into and
// hands it to the converter. false when the pipeline has stopped.
bool ForwardReadback(Pipeline* p, int64_t pass) {
  const int slot = static_cast<int>(pass % p->slots);
  gl.glBindBuffer(GL_PIXEL_PACK_BUFFER, p->readback[slot]);
  p->mapped[slot] = static_cast<const uint8_t*>(gl.glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY));
  gl.glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  if (!p->mapped[slot]) {
    p->Fail("cannot read the picture back from OpenGL");
    return false;
  }
  p->fullReadback.Push(slot);
  return true;
}

// Main thread: unmaps a buffer the converter has given back.
void Unmap(Pipeline* p, int slot) {
  if (!p->mapped[slot]) return;
  gl.glBindBuffer(GL_PIXEL_PACK_BUFFER, p->readback[slot]);
  gl.glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
  gl.glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  p->mapped[slot] = nullptr;
}

// Runs after each pass has drawn, before the swap: starts this pass's
// read-back into the next buffer once the converter has given it back, and
// forwards the previous pass's.
void ReadBackPass(const Show& /*show*/) {
  Pipeline* p = activePipeline;
  int slot = 0;
  if (!p->freeReadback.Pop(&slot)) return;  // stopped
  const int64_t pass = p->passesRead++;
  assert(slot == pass % p->slots);  // the converter keeps the order
  Unmap(p, slot);
  gl.glBindBuffer(GL_PIXEL_PACK_BUFFER, p->readback[slot]);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, p->options.width, p->options.height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  gl.glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  if (pass > 0) ForwardReadback(p, pass - 1);
}

bool WriteRawPicture(FILE* raw, const AVFrame* picture) {
  for (int plane = 0; plane < 3; ++plane) {
    const int width = plane == 0 ? picture->width : picture->width / 2;
    const int height = plane == 0 ? picture->height : picture->height / 2;
    for (int y = 0; y < height; ++y) {
      const uint8_t* row =
          picture->data[plane] + static_cast<ptrdiff_t>(y) * picture->linesize[plane];
      if (std::fwrite(row, 1, width, raw) != static_cast<size_t>(width)) return false;
    }
  }
  return true;
}

bool ReadRawPicture(FILE* raw, AVFrame* picture) {
  for (int plane = 0; plane < 3; ++plane) {
    const int width = plane == 0 ? picture->width : picture->width / 2;
    const int height = plane == 0 ? picture->height : picture->height / 2;
    for (int y = 0; y < height; ++y) {
      uint8_t* row = picture->data[plane] + static_cast<ptrdiff_t>(y) * picture->linesize[plane];
      if (std::fread(row, 1, width, raw) != static_cast<size_t>(width)) return false;
    }
  }
  return true;
}

// Converter thread: RGBA slots (bottom row first) to YUV 4:2:0 pictures,
// BT.709 limited range as the file's colour tags say.
void RunConverter(Pipeline* p) {
  const int w = p->options.width, h = p->options.height;
  SwsContext* scaler = sws_getContext(w, h, AV_PIX_FMT_RGBA, w, h, AV_PIX_FMT_YUV420P, SWS_BILINEAR,
                                      nullptr, nullptr, nullptr);
  if (!scaler) {
    p->Fail("cannot convert " + std::to_string(w) + "x" + std::to_string(h) + " pictures");
    return;
  }
  sws_setColorspaceDetails(scaler, sws_getCoefficients(SWS_CS_ITU709), 1,
                           sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
  int slot = 0;
  while (p->fullReadback.Pop(&slot)) {
    int picture = 0;
    if (!p->freeYuv.Pop(&picture)) break;
    AVFrame* yuv = p->yuv[picture];
    if (av_frame_make_writable(yuv) < 0) {
      p->Fail("out of memory");
      break;
    }
    const int stride = 4 * w;
    const uint8_t* top = p->mapped[slot] + static_cast<size_t>(h - 1) * stride;
    const int negative = -stride;  // GL rows run bottom to top
    sws_scale(scaler, &top, &negative, 0, h, yuv->data, yuv->linesize);
    p->freeReadback.Push(slot);
    if (p->options.stage == VideoStage::kRender) {
      if (p->raw && !WriteRawPicture(p->raw, yuv)) {
        p->Fail("cannot write " + p->options.rawPath + ": " + std::strerror(errno));
        break;
      }
      p->freeYuv.Push(picture);
      ++p->picturesDone;
    } else {
      p->fullYuv.Push(picture);
    }
  }
  p->fullYuv.Finish();
  sws_freeContext(scaler);
}

// Encoder thread: YUV pictures into the file, in order.
void RunEncoder(Pipeline* p) {
  int picture = 0;
  while (p->fullYuv.Pop(&picture)) {
    std::string why;
    if (!WriteVideoPicture(p->file, p->yuv[picture], &why)) {
      p->Fail(why);
      return;
    }
    p->freeYuv.Push(picture);
    ++p->picturesDone;
  }
}

void ReadSoundtrackFor(void* context, float* out, int32_t frameCount) {
  ReadSoundtrack(static_cast<Soundtrack*>(context), out, frameCount);
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void ShowProgress(int64_t done, int64_t total, double elapsed) {
  const double rate = elapsed > 0.0 ? done / elapsed : 0.0;
  const int left = rate > 0.0 ? static_cast<int>((total - done) / rate) : 0;
  std::fprintf(stderr, "\rnitrate-capture: %3d%%  %lld/%lld passes  %.1f passes/s  %d:%02d left ",
               static_cast<int>(100 * done / total), static_cast<long long>(done),
               static_cast<long long>(total), rate, left / 60, left % 60);
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;  // kilobytes on Linux
}

int FailWith(const std::string& why) {
  std::fprintf(stderr, "nitrate-capture: %s\n", why.c_str());
  return 1;
}

// Ours before start-up, so the video system leaves them alone; a signal
// then ends the export at the next pass.
void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// The file's settings for the options, its H.264 level planned; false with
// the reason when no level allows the size and rate.
bool PlanFile(const VideoExportOptions& options, VideoContainer container, int64_t total,
              VideoFileOptions* fileOptions, std::string* why) {
  fileOptions->target = options.target;
  fileOptions->container = container;
  fileOptions->width = options.width;
  fileOptions->height = options.height;
  fileOptions->fps = options.fps;
  fileOptions->share = options.share;
  fileOptions->crf = options.crf >= 0 ? options.crf : options.share ? kShareCrf : kQualityCrf;
  fileOptions->pictureCount = total;
  return PlanVideoEncoding(fileOptions, why);
}

// Start-up with an off-screen window of the export's size. 0, or the exit
// code when start-up failed or the window is not that size.
int StartRendering(const VideoExportOptions& options, Show* show) {
  StartOptions start;
  start.outputWidth = options.width;
  start.outputHeight = options.height;
  start.instanceGuard = nullptr;
  if (!StartShowWithEveryPicture(start, show)) return -1;
  if (show->screen.WindowWidth != options.width || show->screen.WindowHeight != options.height) {
    return FailWith("cannot render " + std::to_string(options.width) + "x" +
                    std::to_string(options.height) + " pictures");
  }
  return 0;
}

// Told before the first picture: a video that goes silent part-way is not
// one to send. A warning, or with --strict a failure (false, said on stderr).
bool MusicLastsLongEnough(const VideoExportOptions& options, const Soundtrack* soundtrack) {
  const double musicEnd = SoundtrackMusicEnd(soundtrack);
  if (!(musicEnd + kMusicEndSlack < options.until)) return true;
  char text[160];
  std::snprintf(text, sizeof text,
                "%s runs out at %.1f s of the show; the video is silent after it", kMusicPath,
                musicEnd);
  if (options.strict) {
    FailWith(std::string(text) + " (--strict)");
    return false;
  }
  std::fprintf(stderr, "nitrate-capture: warning: %s\n", text);
  return true;
}

// Opens what the stage writes or reads: the raw pictures (--raw) and the
// video file. 0, or the exit code with neither left open.
int OpenOutputs(Pipeline* p, VideoFileOptions* fileOptions, Soundtrack* soundtrack) {
  const VideoExportOptions& options = p->options;
  if (!options.rawPath.empty()) {
    p->raw =
        std::fopen(options.rawPath.c_str(), options.stage == VideoStage::kRender ? "wb" : "rb");
    if (!p->raw) return FailWith("cannot open " + options.rawPath + ": " + std::strerror(errno));
  } else if (options.stage == VideoStage::kEncode) {
    return FailWith("--stage encode needs --raw FILE");
  }
  if (options.stage != VideoStage::kRender && !interruptRequested) {
    fileOptions->sampleRate = soundtrack->sampleRate;
    fileOptions->soundtrack = ReadSoundtrackFor;
    fileOptions->soundtrackContext = soundtrack;
    std::string why;
    p->file = CreateVideoFile(*fileOptions, &why);
    if (!p->file) {
      if (p->raw) std::fclose(p->raw);
      p->raw = nullptr;
      return FailWith(why);
    }
  }
  return 0;
}

// The read-back ring's free slots and the YUV pictures, fewer above
// kSpareUpToPixels. A picture that cannot be had fails the pipeline.
void AllocatePictures(Pipeline* p, bool rendering) {
  const VideoExportOptions& options = p->options;
  if (static_cast<int64_t>(options.width) * options.height > kSpareUpToPixels) {
    p->slots = 2;
    p->pictures = 1;
  }
  for (int i = 0; i < p->slots && rendering; ++i) p->freeReadback.Push(i);
  for (int i = 0; i < p->pictures; ++i) {
    p->yuv[i] = av_frame_alloc();
    if (p->yuv[i]) {
      p->yuv[i]->format = AV_PIX_FMT_YUV420P;
      p->yuv[i]->width = options.width;
      p->yuv[i]->height = options.height;
      if (av_frame_get_buffer(p->yuv[i], 0) < 0) av_frame_free(&p->yuv[i]);
    }
    if (!p->yuv[i]) p->Fail("out of memory");
    p->freeYuv.Push(i);
  }
}

// Main thread: the pixel buffer objects the passes are read back into.
void CreateReadbackBuffers(Pipeline* p) {
  gl.glGenBuffers(p->slots, p->readback);
  for (int i = 0; i < p->slots; ++i) {
    gl.glBindBuffer(GL_PIXEL_PACK_BUFFER, p->readback[i]);
    gl.glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(p->rgbaBytes), nullptr,
                    GL_STREAM_READ);
  }
  gl.glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

// Main thread: renders each pass (or, for the encode stage, reads its raw
// picture) until all are done, the pipeline fails or a signal comes, with a
// progress line on a terminal.
void RunPasses(Pipeline* p, int64_t total, bool rendering, bool terminal,
               std::chrono::steady_clock::time_point passesStarted) {
  const VideoExportOptions& options = p->options;
  double lastProgress = 0.0;
  for (int64_t pass = 0; pass < total && !interruptRequested && !p->failed; ++pass) {
    if (rendering) {
      int showExit = 0;
      if (RunShowPass(p->show, static_cast<double>(pass) / options.fps, &showExit, ReadBackPass)) {
        char text[64];
        std::snprintf(text, sizeof text, "the show ended before %g s", options.until);
        p->Fail(text);
      }
    } else {
      int picture = 0;
      if (!p->freeYuv.Pop(&picture)) break;
      if (av_frame_make_writable(p->yuv[picture]) < 0 || !ReadRawPicture(p->raw, p->yuv[picture])) {
        p->Fail("cannot read picture " + std::to_string(pass) + " from " + options.rawPath);
        break;
      }
      p->fullYuv.Push(picture);
    }
    const double elapsed = Seconds(passesStarted);
    if (terminal && elapsed - lastProgress >= kProgressInterval) {
      ShowProgress(p->picturesDone, total, elapsed);
      lastProgress = elapsed;
    }
  }
}

// Forwards the last read-back and lets the queues run dry, or closes them
// after a failure or a signal; then waits for the worker threads and
// unmaps every buffer.
void DrainPipeline(Pipeline* p, bool rendering, std::thread* converter, std::thread* encoder) {
  if (rendering) {
    if (p->passesRead > 0 && !interruptRequested && !p->failed)
      ForwardReadback(p, p->passesRead - 1);
    p->fullReadback.Finish();
  } else {
    p->fullYuv.Finish();
  }
  if (interruptRequested || p->failed) p->CloseAll();
  if (converter->joinable()) converter->join();
  if (encoder->joinable()) encoder->join();
  for (int slot = 0; slot < p->slots && rendering; ++slot) Unmap(p, slot);
}

// Sets the pipeline up, starts its worker threads, runs every pass and
// drains it. Returns the seconds from the first pass to the drained end.
double RunPipeline(Pipeline* p, int64_t total, bool rendering) {
  AllocatePictures(p, rendering);
  std::thread converter, encoder;
  if (rendering) converter = std::thread(RunConverter, p);
  if (p->file) encoder = std::thread(RunEncoder, p);
  if (rendering) CreateReadbackBuffers(p);

  activePipeline = p;
  const bool terminal = isatty(STDERR_FILENO);
  const auto passesStarted = std::chrono::steady_clock::now();
  RunPasses(p, total, rendering, terminal, passesStarted);
  DrainPipeline(p, rendering, &converter, &encoder);
  const double working = Seconds(passesStarted);
  if (terminal && !interruptRequested && !p->failed) ShowProgress(p->picturesDone, total, working);
  if (terminal) std::fputc('\n', stderr);
  return working;
}

// Completes the file, or discards it when interrupted or anything failed,
// closes the raw pictures and frees the YUV pictures. *why gets the first
// failure, empty when there was none; false when completing the file failed.
bool CloseOutputs(Pipeline* p, int64_t total, bool interrupted, std::string* why) {
  bool complete = true;
  *why = p->error;
  if (!interrupted && !p->failed && p->picturesDone != total) {
    *why = "only " + std::to_string(p->picturesDone) + " of " + std::to_string(total) +
           " pictures made";
  }
  if (p->file) {
    if (interrupted || !why->empty()) {
      DiscardVideoFile(p->file);
    } else if (!FinishVideoFile(p->file, why)) {
      complete = false;
    }
  }
  if (p->raw && std::fclose(p->raw) != 0 && why->empty()) {
    *why = "cannot write " + p->options.rawPath + ": " + std::strerror(errno);
  }
  for (AVFrame*& frame : p->yuv) av_frame_free(&frame);
  return complete;
}

// The closing line: what was made, how big, and where the time went.
void ReportExport(const VideoExportOptions& options, const VideoFileOptions& fileOptions,
                  int64_t total, double startup, double working,
                  std::chrono::steady_clock::time_point started) {
  const double rate = working > 0.0 ? total / working : 0.0;
  const char* stage = options.stage == VideoStage::kRender   ? "rendered"
                      : options.stage == VideoStage::kEncode ? "encoded"
                                                             : "wrote";
  std::fprintf(
      stderr,
      "nitrate-capture: %s %s: %lld pictures %dx%d at %d/s, %.1f MB; start-up %.1f s, "
      "passes %.1f s (%.1f/s), total %.1f s, peak memory %.0f MB; H.264 level %d.%d, "
      "at most %.1f Mb/s\n",
      stage, options.stage == VideoStage::kRender ? "(no file)" : options.target.c_str(),
      static_cast<long long>(total), options.width, options.height, options.fps,
      VideoFileBytes(options.stage == VideoStage::kRender ? options.rawPath : options.target) / 1e6,
      startup, working, rate, Seconds(started), PeakMegabytes(), fileOptions.levelIdc / 10,
      fileOptions.levelIdc % 10, fileOptions.maxBitRate / 1e6);
}
}  // namespace

int RunVideoExport(const VideoExportOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  av_log_set_level(AV_LOG_QUIET);  // our own one-line messages say what failed
  VideoContainer container = VideoContainer::kMp4;
  if (!VideoContainerForPath(options.target, &container)) {
    return FailWith("cannot write " + options.target + ": unknown video type (use .mp4 or .mkv)");
  }
  CatchInterrupts();
  const int64_t total = static_cast<int64_t>(std::ceil(options.until * options.fps - 1e-9));
  VideoFileOptions fileOptions;
  {
    std::string why;
    if (!PlanFile(options, container, total, &fileOptions, &why)) return FailWith(why);
  }
  const bool rendering = options.stage != VideoStage::kEncode;
  Show show;
  if (rendering) {
    if (const int exitCode = StartRendering(options, &show); exitCode != 0) return exitCode;
  }
  Soundtrack soundtrack{};
  if (!OpenSoundtrack(&soundtrack, kMusicPath)) {
    ShowMessage(nullptr, kSoundError);
    return -1;
  }
  if (!MusicLastsLongEnough(options, &soundtrack)) {
    CloseSoundtrack(&soundtrack);
    return 1;
  }
  if (options.until < kShowEnd) {
    fileOptions.fadeOutFrames = std::llround(kCutFadeSeconds * soundtrack.sampleRate);
  }
  const double startup = Seconds(started);

  Pipeline pipeline;
  Pipeline* p = &pipeline;
  p->options = options;
  p->show = &show;
  p->rgbaBytes = static_cast<size_t>(options.width) * options.height * 4;
  if (const int exitCode = OpenOutputs(p, &fileOptions, &soundtrack); exitCode != 0) {
    CloseSoundtrack(&soundtrack);
    return exitCode;
  }
  const double working = RunPipeline(p, total, rendering);

  // A signal from here on no longer stops a file that is complete.
  const bool interrupted = interruptRequested;
  std::string why;
  const bool complete = CloseOutputs(p, total, interrupted, &why);
  CloseSoundtrack(&soundtrack);
  activePipeline = nullptr;
  if (interrupted) {
    std::fprintf(stderr, "nitrate-capture: interrupted; %s not written\n", options.target.c_str());
    return 130;
  }
  if (!why.empty()) return FailWith(why);
  ReportExport(options, fileOptions, total, startup, working, started);
  return complete ? 0 : 1;
}
