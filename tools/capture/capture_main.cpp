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
#include "demo/film_frame.h"
#include "demo/show.h"
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
void CaptureDue(const Show& show) {
  const int32_t width = show.screen.WindowWidth, height = show.screen.WindowHeight;
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
  bool read = false;
  while (nextRequest < requests.size() && requests[nextRequest].time <= show.DemoTime) {
    if (!read) {
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadBuffer(GL_BACK);
      glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
      read = true;
    }
    const std::string path = outputDir + "/t" + requests[nextRequest].label + ".png";
    stbi_flip_vertically_on_write(1);  // GL rows run bottom to top
    if (!stbi_write_png(path.c_str(), width, height, 4, pixels.data(), width * 4)) {
      std::fprintf(stderr, "nitrate-capture: cannot write %s\n", path.c_str());
      writeFailed = true;
    }
    ++nextRequest;
  }
}
// What the command line asked for.
struct Arguments {
  StartOptions start;  // the picture size for --at
  double fps = 60.0;
  const char* contentDir = nullptr;
  VideoExportOptions video;
  bool sizeGiven = false;
  const char* fpsText = nullptr;  // --fps as written, checked once the mode is known
  const char* crfText = nullptr;
};

// Takes one option that has a value. Empty, or the mistake to report.
std::string TakeOption(const std::string& arg, const char* value, Arguments* a) {
  if (arg == "--at") {
    if (!ParseTimes(value)) return "--at takes show times in seconds, 0 to 200";
  } else if (arg == "--out") {
    outputDir = value;
  } else if (arg == "--size") {
    int w = 0, h = 0;
    char tail = 0;
    if (std::sscanf(value, "%dx%d%c", &w, &h, &tail) != 2 || w < 16 || h < 16 || w > 8192 ||
        h > 8192) {
      return "--size takes WxH, 16 to 8192 each";
    }
    a->start.outputWidth = w;
    a->start.outputHeight = h;
    a->sizeGiven = true;
  } else if (arg == "--fps") {
    a->fps = std::atof(value);
    a->fpsText = value;
    if (!(a->fps >= 1.0 && a->fps <= 1000.0)) return "--fps takes 1 to 1000";
  } else if (arg == "--video") {
    a->video.target = value;
    if (a->video.target.empty()) return "--video takes a file name";
  } else if (arg == "--crf") {
    a->crfText = value;
  } else if (arg == "--until") {
    char* rest = nullptr;
    a->video.until = std::strtod(value, &rest);
    if (rest == value || *rest != '\0' || !(a->video.until > 0.0 && a->video.until <= kShowEnd)) {
      return "--until takes a show time in seconds, above 0 and at most 131";
    }
  } else if (arg == "--stage") {
    if (std::strcmp(value, "render") == 0) {
      a->video.stage = VideoStage::kRender;
    } else if (std::strcmp(value, "encode") == 0) {
      a->video.stage = VideoStage::kEncode;
    } else {
      return "--stage takes render or encode";
    }
  } else if (arg == "--raw") {
    a->video.rawPath = value;
  } else if (arg == "--content") {
    a->contentDir = value;
  } else {
    return "unknown option " + arg;
  }
  return "";
}

// false when the program should end at once with *exitCode: after --help,
// or a mistake (said on stderr).
bool ParseArguments(int argc, char** argv, Arguments* a, int* exitCode) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      *exitCode = 0;
      return false;
    }
    if (arg == "--share" || arg == "--strict") {
      (arg == "--share" ? a->video.share : a->video.strict) = true;
      continue;
    }
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    const std::string mistake = value ? TakeOption(arg, value, a) : "missing value for " + arg;
    if (!mistake.empty()) {
      *exitCode = Usage(mistake.c_str());
      return false;
    }
    ++i;
  }
  // Video and raw files are named relative to where we were started.
  if (a->contentDir) {
    char cwd[PATH_MAX];
    for (std::string* path : {&a->video.target, &a->video.rawPath}) {
      if (!path->empty() && (*path)[0] != '/' && getcwd(cwd, sizeof cwd)) {
        *path = std::string(cwd) + "/" + *path;
      }
    }
  }
  return true;
}

// Enters the content folder, if one was given, and keeps SDL off any real
// display and sound device. false when the folder cannot be entered.
bool EnterContent(const char* contentDir) {
  if (contentDir && chdir(contentDir) != 0) return false;
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  return true;
}

// --video: checks what only a video takes, then exports.
int ExportVideo(Arguments* a) {
  VideoExportOptions& video = a->video;
  if (!requests.empty() || !outputDir.empty()) return Usage("--video does not take --at or --out");
  if (a->sizeGiven) {
    // 4:2:0 pictures share one colour sample between 2 x 2 pixels.
    if (a->start.outputWidth % 2 != 0 || a->start.outputHeight % 2 != 0) {
      return Usage("--size for a video takes an even width and height");
    }
    video.width = a->start.outputWidth;
    video.height = a->start.outputHeight;
  }
  if (a->fpsText && !ParseWhole(a->fpsText, 1, 240, &video.fps)) {
    return Usage("--fps for a video takes a whole number, 1 to 240");
  }
  if (a->crfText && !ParseWhole(a->crfText, 0, 51, &video.crf)) return Usage("--crf takes 0 to 51");
  if (!EnterContent(a->contentDir)) return Usage("cannot enter the --content folder");
  return RunVideoExport(video);
}

// --at: plays the show and writes the picture of each requested time.
int CapturePictures(const Arguments& a) {
  const VideoExportOptions& video = a.video;
  if (a.crfText || video.until != kShowEnd || video.stage != VideoStage::kWhole || video.share ||
      video.strict) {
    return Usage("--crf, --share, --strict, --until and --stage go with --video");
  }
  if (requests.empty() || outputDir.empty())
    return Usage("--at and --out, or --video, are required");
  std::stable_sort(requests.begin(), requests.end(),
                   [](const Request& x, const Request& y) { return x.time < y.time; });

  // The output folder is taken relative to where we were started.
  if (outputDir[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) outputDir = std::string(cwd) + "/" + outputDir;
  }
  mkdir(outputDir.c_str(), 0755);  // an existing folder is fine
  if (!EnterContent(a.contentDir)) return Usage("cannot enter the --content folder");

  Show show;
  if (!StartShowWithEveryPicture(a.start, &show)) return -1;
  int exitCode = 0;
  // Passes at k / fps, plus one at each requested time exactly.
  long pass = 0;
  while (nextRequest < requests.size()) {
    const double regular = static_cast<double>(pass) / a.fps;
    const double wanted = requests[nextRequest].time;
    const double time = std::min(regular, wanted);
    if (regular <= wanted) ++pass;
    if (RunShowPass(&show, time, &exitCode, CaptureDue)) break;
  }
  if (nextRequest < requests.size()) {
    std::fprintf(stderr, "nitrate-capture: the show ended before %s s\n",
                 requests[nextRequest].label.c_str());
    return 1;
  }
  return writeFailed ? 1 : 0;
}
}  // namespace

int main(int argc, char** argv) {
  Arguments arguments;
  arguments.start.outputWidth = 640;
  arguments.start.outputHeight = 480;
  arguments.start.instanceGuard = nullptr;
  int exitCode = 0;
  if (!ParseArguments(argc, argv, &arguments, &exitCode)) return exitCode;
  if (!arguments.video.target.empty()) return ExportVideo(&arguments);
  return CapturePictures(arguments);
}
