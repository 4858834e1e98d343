// Main loop: one pass per displayed frame; the swap waits for the retrace.
// Where it cannot (a headless driver, or one without swap control such as
// llvmpipe under Xvfb), the loop paces itself: each pass
// waits for its picture to be finished and starts no sooner than a refresh
// period after the one before, so that neither the passes nor the driver's
// queue of unfinished frames run away, and a quit request is seen within a
// pass. With NITRATE_STATS set in the environment it reports
// on stderr when the first frame was presented, how many passes ran and the
// slowest pass, for the benchmark. The loop owns the show's end: Escape, the
// end of the timeline and closing the window all end it here. Main thread.
#include "app/main_loop.h"

#include <cstdio>
#include <cstdlib>

#include "common/gl_entry_points.h"
#include "common/messages.h"
#include "common/startup_trace.h"
#include "demo/director.h"
#include "platform/platform.h"
#include "resources/texture_set.h"

namespace {
struct LoopStats {
  bool enabled = false;
  int64_t firstPresentUnixNs = 0;
  long passes = 0;
  double slowestPass = 0.0;
  double lastTime = 0.0;

  void AfterPass(double demoTime) {
    if (!enabled) return;
    if (passes == 0) {
      MarkStartupStep("first-pass");
      firstPresentUnixNs = PlatformWallClockNanoseconds();
    } else if (demoTime - lastTime > slowestPass) {
      slowestPass = demoTime - lastTime;
    }
    lastTime = demoTime;
    ++passes;
  }

  // waited: seconds the pacer slept over the show. Without those waits the
  // show could run at the unpaced rate, what the benchmark compares with the
  // display's.
  void Report(double waited) const {
    if (!enabled) return;
    const double busy = lastTime - waited;
    const double unpacedRate = passes > 1 && busy > 0.0 ? (passes - 1) / busy : 0.0;
    ReportStartupSteps();
    const GLubyte* renderer = glGetString(GL_RENDERER);
    std::fprintf(stderr, "renderer: %s\n",
                 renderer ? reinterpret_cast<const char*>(renderer) : "unknown");
    std::fprintf(stderr,
                 "stats: first-present-unix-ns=%lld passes=%ld seconds=%.3f "
                 "passes-per-second=%.1f unpaced-rate=%.1f slowest-pass-ms=%.1f\n",
                 static_cast<long long>(firstPresentUnixNs), passes, lastTime,
                 passes > 1 ? (passes - 1) / lastTime : 0.0, unpacedRate, slowestPass * 1000.0);
  }
};
// Stands in for the retrace where the swap does not wait for one.
struct PassPacer {
  bool enabled = false;
  uint64_t period = 0;  // clock counts: 95 % of the refresh period, so that
                        // a late wake-up never costs a displayed frame
  uint64_t passStart = 0;
  uint64_t waited = 0;  // clock counts spent waiting, over the whole show

  // After the swap: finishes the picture, then waits out the period.
  void AfterSwap() {
    if (!enabled) return;
    glFinish();
    const uint64_t due = passStart + period;
    const uint64_t now = PlatformClockCounter();
    if (now < due) {
      waited += due - now;
      PlatformSleep(due - now);
    }
  }
};

// A quit asked for during a pass (Escape, the end of the timeline) ends the
// show after the next pass, which still draws and presents. The first
// request's code wins.
struct QuitRequest {
  bool pending = false;
  int exitCode = 0;

  void Ask(int code) {
    if (pending) return;
    pending = true;
    exitCode = code;
  }
};
QuitRequest pendingQuit;
}  // namespace

bool RunShowPass(Show* show, double demoTime, int* exitCode, void (*beforePresent)(const Show&)) {
  show->DemoTime = demoTime;  // read before the pump: events never move this pass's time
  bool quit = PlatformPumpEvents(exitCode);  // closing the window
  if (pendingQuit.pending) {
    quit = true;
    *exitCode = pendingQuit.exitCode;
    pendingQuit = QuitRequest{};
  }
  const bool escape = !quit && PlatformEscapePressed();
  const bool timelineEnded = RenderShowPass(show);
  if (!quit && (escape || timelineEnded)) pendingQuit.Ask(0);
  if (beforePresent) beforePresent(*show);
  PlatformSwapBuffers();
  return quit;
}

int MainLoop(Show* show) {
  LoopStats stats;
  stats.enabled = std::getenv("NITRATE_STATS") != nullptr;
  const uint64_t frequency = PlatformClockFrequency();
  PassPacer pacer;
  pacer.enabled = !PlatformSwapWaitsForRetrace();
  pacer.period = frequency * 95 / (100 * static_cast<uint64_t>(PlatformRefreshRate()));
  const uint64_t start = PlatformClockCounter();
  int exitCode = 0;
  for (;;) {
    pacer.passStart = PlatformClockCounter();
    const uint64_t elapsed = pacer.passStart - start;
    const double demoTime = static_cast<double>(elapsed) / static_cast<double>(frequency);
    const bool quit = RunShowPass(show, demoTime, &exitCode);
    pacer.AfterSwap();
    stats.AfterPass(demoTime);
    if (quit) break;
    // The pictures not needed yet go up one a pass behind the first frame.
    TextureFailure failure{};
    if (!ContinueTextureLoading(&show->textures, &failure)) {
      // An image whose header was sound but whose body the decoder refused,
      // met by this step or by the pass's drawing.
      PlatformHideWindow();
      ShowMessage(failure.path, failure.text);
      return -1;
    }
  }
  stats.Report(static_cast<double>(pacer.waited) / static_cast<double>(frequency));
  return exitCode;
}
