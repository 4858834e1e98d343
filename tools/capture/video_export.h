// nitrate-capture --video: the show's passes at a fixed rate, read back
// without stalling the renderer, converted and encoded on worker threads
// into a video file with the show's own soundtrack. Main thread (GL) plus a
// converter and an encoder thread. Failures are one line on stderr.
#pragma once
#include <cstdint>
#include <string>

#include "demo/film_frame.h"

enum class VideoStage {
  kWhole,   // render, convert, encode: the export itself
  kRender,  // benchmark: render and convert only (pictures to rawPath if set)
  kEncode,  // benchmark: encode pictures read from rawPath, no rendering
};

struct VideoExportOptions {
  std::string target;  // .mp4 or .mkv
  int32_t width = 1920, height = 1080;
  int32_t fps = 60;
  int32_t crf = -1;         // x264's CRF; -1: the mode's own (18, or 20 with share)
  bool share = false;       // a file to send: a bitrate cap from the size and rate
  bool strict = false;      // music that runs out early fails the export
  double until = kShowEnd;  // show seconds: passes at k / fps below this
  VideoStage stage = VideoStage::kWhole;
  std::string rawPath;  // raw YUV 4:2:0 pictures, for the benchmark stages
};

// Runs start-up and the export. Returns the exit code: 0 when the file is
// complete at the target, 1 on a failed write or encode, a size and rate no
// H.264 level allows (refused before start-up), or with strict a music file
// that runs out before the export ends (a warning without strict), 130 when
// interrupted (SIGINT, SIGTERM), -1 when start-up failed. Only a complete
// file ever appears at the target.
int RunVideoExport(const VideoExportOptions& options);
