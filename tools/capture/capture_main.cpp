// nitrate-capture: plays the show headless at a fixed pass rate from time 0
// and writes the picture of each requested show time as a PNG.
//   nitrate-capture --at T[,T...] --out DIR [--size WxH] [--fps N] [--content DIR]
// Runs the same start-up and director as the show, in an off-screen window
// (SDL_VIDEODRIVER=offscreen unless set) with silent audio unless set.
// Exit code 0 when every picture was written, 1 on bad arguments or a failed
// write, -1 (255) when start-up failed.
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
#include "app/show_state.h"
#include "app/startup.h"
#include "resources/texture_set.h"

namespace {
struct Request {
  double time;
  std::string label;  // as written on the command line
};

std::vector<Request> requests;
std::string outputDir;
size_t nextRequest = 0;
bool writeFailed = false;

int Usage(const char* message) {
  std::fprintf(stderr,
               "nitrate-capture: %s\nusage: nitrate-capture --at T[,T...] --out DIR "
               "[--size WxH] [--fps N] [--content DIR]\n",
               message);
  return 1;
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
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
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
    } else if (arg == "--fps") {
      fps = std::atof(value);
      if (!(fps >= 1.0 && fps <= 1000.0)) return Usage("--fps takes 1 to 1000");
    } else if (arg == "--content") {
      contentDir = value;
    } else {
      return Usage(("unknown option " + arg).c_str());
    }
  }
  if (requests.empty() || outputDir.empty()) return Usage("--at and --out are required");
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

  if (!StartShow(options)) return -1;
  // Every picture up before the first pass, so the captures never depend on
  // how fast the uploads went.
  FinishTextureLoading();
  if (TextureLoadFailure().path) {
    std::fprintf(stderr, "%s: %s\n", TextureLoadFailure().path, TextureLoadFailure().text);
    return -1;
  }
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
