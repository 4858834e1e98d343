// nitrate-capture: plays the show headless at a fixed pass rate from time 0
// and writes the picture of each requested show time as a PNG, or every
// pass into a video file with the show's music (video_export.h).
//   nitrate-capture --at T[,T...] --out DIR [--size WxH] [--fps N] [--content DIR]
//   nitrate-capture --video FILE [--size WxH] [--fps N] [--crf N] [--share] [--strict]
//                   [--until T] [--content DIR]
// Runs the same start-up and director as the show, in an off-screen window
// (SDL_VIDEODRIVER=offscreen unless set) with silent audio unless set.
// Exit code 0 when every picture was written, 1 on bad arguments or a failed
// write, 130 when a video export was interrupted, -1 (255) when start-up
// failed.
#include <stb/stb_image_write.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/startup.h"
#include "common/show_state.h"
#include "demo/film_frame.h"
#include "video_export.h"

namespace {
struct Request {
  double time;
  std::string label;  // as written on the command line
};

std::vector<Request> requests;
std::string outputDir;
size_t nextRequest = 0;
bool writeFailed = false;

constexpr const char* kUsage =
    "usage: nitrate-capture --at T[,T...] --out DIR [--size WxH] [--fps N] [--content DIR]\n"
    "       nitrate-capture --video FILE.mp4|FILE.mkv [--size WxH] [--fps N] [--crf N] "
    "[--share] [--strict] [--until T] [--content DIR]\n"
    "  --share   a file to send: video within 5 Mb/s at 1280x720 30/s, 12 Mb/s at 1920x1080\n"
    "            60/s (other sizes between and beyond), fine grain a little softer\n"
    "  --crf N   x264's quality, 0-51 (default 18, 20 with --share): lower is better and bigger\n"
    "  --strict  fail, writing nothing, when the music runs out before the video ends\n";

// One line: the mistake. --help prints the usage.
int Usage(const char* message) {
  std::fprintf(stderr, "nitrate-capture: %s (--help for usage)\n", message);
  return 1;
}

// A whole number in [low, high], nothing else; false leaves *out unchanged.
bool ParseWhole(const char* text, long low, long high, int32_t* out) {
  char* rest = nullptr;
  errno = 0;
  const long value = std::strtol(text, &rest, 10);
  if (errno != 0 || rest == text || *rest != '\0' || value < low || value > high) return false;
  *out = static_cast<int32_t>(value);
  return true;
}

bool ParseTimes(const char* text) {
  std::string list(text);
  size_t begin = 0;
  while (begin <= list.size()) {
    size_t end = list.find(',', begin);
    if (end == std::string::npos) end = list.size();
    const std::string item = list.substr(begin, end - begin);
    char* rest = nullptr;
    errno = 0;
    const double time = std::strtod(item.c_str(), &rest);
    if (item.empty() || errno != 0 || *rest != '\0' || !(time >= 0.0) || time > 200.0) return false;
    requests.push_back({time, item});
    begin = end + 1;
  }
  return !requests.empty();
}

// Writes every request due at this pass's time (the pass runs at exactly it).
void CaptureDue() {
  std::vector<unsigned char> pixels(static_cast<size_t>(WindowWidth) * WindowHeight * 4);
  bool read = false;
  while (nextRequest < requests.size() && requests[nextRequest].time <= DemoTime) {
    if (!read) {
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadBuffer(GL_BACK);
      glReadPixels(0, 0, WindowWidth, WindowHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
      read = true;
    }
    const std::string path = outputDir + "/t" + requests[nextRequest].label + ".png";
    stbi_flip_vertically_on_write(1);  // GL rows run bottom to top
    if (!stbi_write_png(path.c_str(), WindowWidth, WindowHeight, 4, pixels.data(), WindowWidth * 4)) {
      std::fprintf(stderr, "nitrate-capture: cannot write %s\n", path.c_str());
      writeFailed = true;
    }
    ++nextRequest;
  }
}
}  // namespace

int main(int argc, char** argv) {
  StartOptions options;
  options.outputWidth = 640;
  options.outputHeight = 480;
  options.instanceGuard = nullptr;
  double fps = 60.0;
  const char* contentDir = nullptr;
  VideoExportOptions video;
  bool sizeGiven = false;
  const char* fpsText = nullptr;
  const char* crfText = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--share" || arg == "--strict") {
      (arg == "--share" ? video.share : video.strict) = true;
      continue;
    }
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!value) return Usage(("missing value for " + arg).c_str());
    ++i;
    if (arg == "--at") {
      if (!ParseTimes(value)) return Usage("--at takes show times in seconds, 0 to 200");
    } else if (arg == "--out") {
      outputDir = value;
    } else if (arg == "--size") {
      int w = 0, h = 0;
      char tail = 0;
      if (std::sscanf(value, "%dx%d%c", &w, &h, &tail) != 2 || w < 16 || h < 16 || w > 8192 ||
          h > 8192) {
        return Usage("--size takes WxH, 16 to 8192 each");
      }
      options.outputWidth = w;
      options.outputHeight = h;
      sizeGiven = true;
    } else if (arg == "--fps") {
      fps = std::atof(value);
      fpsText = value;
      if (!(fps >= 1.0 && fps <= 1000.0)) return Usage("--fps takes 1 to 1000");
    } else if (arg == "--video") {
      video.target = value;
      if (video.target.empty()) return Usage("--video takes a file name");
    } else if (arg == "--crf") {
      crfText = value;
    } else if (arg == "--until") {
      char* rest = nullptr;
      video.until = std::strtod(value, &rest);
      if (rest == value || *rest != '\0' || !(video.until > 0.0 && video.until <= kShowEnd)) {
        return Usage("--until takes a show time in seconds, above 0 and at most 131");
      }
    } else if (arg == "--stage") {
      if (std::strcmp(value, "render") == 0) {
        video.stage = VideoStage::kRender;
      } else if (std::strcmp(value, "encode") == 0) {
        video.stage = VideoStage::kEncode;
      } else {
        return Usage("--stage takes render or encode");
      }
    } else if (arg == "--raw") {
      video.rawPath = value;
    } else if (arg == "--content") {
      contentDir = value;
    } else {
      return Usage(("unknown option " + arg).c_str());
    }
  }
  // Video and raw files are named relative to where we were started.
  if (contentDir) {
    char cwd[PATH_MAX];
    for (std::string* path : {&video.target, &video.rawPath}) {
      if (!path->empty() && (*path)[0] != '/' && getcwd(cwd, sizeof cwd)) {
        *path = std::string(cwd) + "/" + *path;
      }
    }
  }
  if (!video.target.empty()) {
    if (!requests.empty() || !outputDir.empty()) return Usage("--video does not take --at or --out");
    if (sizeGiven) {
      // 4:2:0 pictures share one colour sample between 2 x 2 pixels.
      if (options.outputWidth % 2 != 0 || options.outputHeight % 2 != 0) {
        return Usage("--size for a video takes an even width and height");
      }
      video.width = options.outputWidth;
      video.height = options.outputHeight;
    }
    if (fpsText && !ParseWhole(fpsText, 1, 240, &video.fps)) {
      return Usage("--fps for a video takes a whole number, 1 to 240");
    }
    if (crfText && !ParseWhole(crfText, 0, 51, &video.crf)) return Usage("--crf takes 0 to 51");
    if (contentDir && chdir(contentDir) != 0) return Usage("cannot enter the --content folder");
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    return RunVideoExport(video);
  }
  if (crfText || video.until != kShowEnd || video.stage != VideoStage::kWhole || video.share ||
      video.strict) {
    return Usage("--crf, --share, --strict, --until and --stage go with --video");
  }
  if (requests.empty() || outputDir.empty()) return Usage("--at and --out, or --video, are required");
  std::stable_sort(requests.begin(), requests.end(),
                   [](const Request& a, const Request& b) { return a.time < b.time; });

  // The output folder is taken relative to where we were started.
  if (outputDir[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) outputDir = std::string(cwd) + "/" + outputDir;
  }
  mkdir(outputDir.c_str(), 0755);  // an existing folder is fine
  if (contentDir && chdir(contentDir) != 0) return Usage("cannot enter the --content folder");
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);

  if (!StartShowWithEveryPicture(options)) return -1;
  int exitCode = 0;
  // Passes at k / fps, plus one at each requested time exactly.
  long pass = 0;
  while (nextRequest < requests.size()) {
    const double regular = static_cast<double>(pass) / fps;
    const double wanted = requests[nextRequest].time;
    const double time = std::min(regular, wanted);
    if (regular <= wanted) ++pass;
    if (RunShowPass(time, &exitCode, CaptureDue)) break;
  }
  if (nextRequest < requests.size()) {
    std::fprintf(stderr, "nitrate-capture: the show ended before %s s\n",
                 requests[nextRequest].label.c_str());
    return 1;
  }
  return writeFailed ? 1 : 0;
}
