// Web backend of the window, GL context, events, clock and messages: the
// page's canvas is the window, WebGL 2 the context, the HTML5 keyboard and
// fullscreen events the input. The page (web/page.js) starts the program on a
// click, in fullscreen, and hands it its settings in Module.nitrate. Main
// thread only, but for the clock.
//
// The main loop keeps running as on the desktop; each swap gives the browser
// its turn (Asyncify unwinds to the event loop) until the next animation
// frame, which is the retrace here.
//
// Capture mode (the page's ?at=T): the clock runs in steps of 1/fps per pass
// instead of real time, as nitrate-capture runs it, and the pass at T is
// handed to the page as a PNG before the show is ended.
//
// Test speed (the page's ?speed=F): the clock runs F times as fast as the
// page's, so that a test sees the whole show, and its end, in a fraction of
// its length. The music still plays at its own rate.
#include <emscripten.h>
#include <emscripten/html5.h>
#include <emscripten/threading.h>

#include <GLES3/gl3.h>

#include <cmath>
#include <cstdio>
#include <string_view>

#include "platform/platform.h"
#include "platform/web_audio.h"

namespace {

EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
bool escapeLatched = false;
bool quitPosted = false;
bool wasFullscreen = false;

struct CaptureClock {
  bool enabled = false;
  double at = 0.0;    // the show time to hand over
  double fps = 60.0;  // passes per show second before it
  long pass = 0;      // passes presented
  double now = 0.0;   // the time the clock reads for the coming pass
  bool taken = false;

  // The coming pass's time, stepped as nitrate-capture steps it: k / fps,
  // with one pass at the asked time exactly.
  void Advance() {
    const double regular = static_cast<double>(pass) / fps;
    now = regular < at ? regular : at;
    if (regular <= at || taken) ++pass;
  }
};
CaptureClock capture;

constexpr uint64_t kCountsPerSecond = 1000000;  // microseconds

// The clock's rate against the page's, and the page's time (ms) from which
// it applies: the reading runs on from there without a jump.
struct ClockRate {
  double speed = 1.0;
  double fromMs = 0.0;

  uint64_t Counter(double pageMs) const {
    const double ms = pageMs <= fromMs ? pageMs : fromMs + (pageMs - fromMs) * speed;
    return static_cast<uint64_t>(ms * 1000.0);
  }
};
ClockRate clockRate;
uint64_t lastMainReading = 0;  // the pass's own reading, as the loop took it
constexpr double kSlowestSpeed = 1.0 / 16.0, kFastestSpeed = 64.0;

// The page's settings (Module.nitrate), with these defaults where it gives
// none.
EM_JS(double, PageNumber, (const char* name, double fallback), {
  const settings = Module["nitrate"] || {};
  const value = settings[UTF8ToString(name)];
  return typeof value === "number" && isFinite(value) ? value : fallback;
});

EM_JS(void, PageShowMessage, (const char* caption, const char* text), {
  const line = UTF8ToString(caption) + ": " + UTF8ToString(text);
  const settings = Module["nitrate"] || {};
  if (settings.onMessage) settings.onMessage(line);
  console.error(line);
});

EM_JS(void, PageSetCursorHidden, (), {
  if (Module["canvas"]) Module["canvas"].style.cursor = "none";
});

EM_JS(void, PageShowCanvas, (int shown), {
  const settings = Module["nitrate"] || {};
  if (settings.onCanvasShown) settings.onCanvasShown(!!shown);
});

// The picture just drawn, before the browser presents (and clears) it.
EM_JS(void, PageTakeCapture, (double time), {
  const settings = Module["nitrate"] || {};
  const png = Module["canvas"].toDataURL("image/png");
  if (settings.onCapture) settings.onCapture(time, png);
});

// Counts the passes for the page's figures and tells it where the pass's
// clock and the music stand (seconds since the sound was resumed; a negative
// clock while none plays), then yields until the browser's next frame. A
// hidden tab gets no frames: the show waits here while its clock and music
// run on, and resumes where both are.
EM_ASYNC_JS(void, WaitForAnimationFrame, (double clockSeconds, double soundSeconds), {
  const settings = Module["nitrate"] || {};
  settings.passes = (settings.passes || 0) + 1;
  if (clockSeconds >= 0) settings.sync = {clock: clockSeconds, sound: soundSeconds};
  await new Promise(resolve => requestAnimationFrame(resolve));
});

EM_BOOL OnKeyDown(int, const EmscriptenKeyboardEvent* event, void*) {
  if (std::string_view(event->key) == "Escape" || std::string_view(event->code) == "Escape") {
    escapeLatched = true;
    return EM_TRUE;
  }
  return EM_FALSE;
}

// A browser's first Escape leaves fullscreen and never reaches the page: a
// viewer who leaves fullscreen means to stop, so that ends the show as well.
EM_BOOL OnFullscreenChange(int, const EmscriptenFullscreenChangeEvent* event, void*) {
  if (event->isFullscreen) {
    wasFullscreen = true;
  } else if (wasFullscreen) {
    escapeLatched = true;
  }
  return EM_FALSE;
}

}  // namespace

bool PlatformAcquireInstanceGuard(const char*) {
  return true;  // a second tab plays its own show: nothing is shared
}

void PlatformReleaseInstanceGuard() {}

bool PlatformInitVideo() {
  capture.at = PageNumber("captureAt", -1.0);
  capture.enabled = capture.at >= 0.0;
  capture.fps = PageNumber("captureFps", 60.0);
  if (!(capture.fps >= 1.0 && capture.fps <= 1000.0)) capture.fps = 60.0;
  if (capture.enabled) capture.Advance();
  // Set once, before the music's threads start; they never read the clock.
  const double speed = PageNumber("speed", 1.0);
  if (speed >= kSlowestSpeed && speed <= kFastestSpeed) {
    clockRate.fromMs = emscripten_get_now();
    clockRate.speed = speed;
  } else if (speed != 1.0) {
    std::fprintf(stderr, "clock: speed %g is outside %g-%g, the show runs at 1\n", speed,
                 kSlowestSpeed, kFastestSpeed);
  }
  emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, OnKeyDown);
  emscripten_set_fullscreenchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_FALSE,
                                           OnFullscreenChange);
  return true;
}

void PlatformScreenSize(int32_t* width, int32_t* height) {
  // The page measures the screen in device pixels (its size in CSS pixels
  // times devicePixelRatio), or gives the capture size.
  *width = static_cast<int32_t>(PageNumber("width", 640));
  *height = static_cast<int32_t>(PageNumber("height", 480));
}

bool PlatformCreateWindow(int32_t width, int32_t height) {
  if (emscripten_set_canvas_element_size("#canvas", width, height) != EMSCRIPTEN_RESULT_SUCCESS) {
    std::fprintf(stderr, "video: the page has no canvas\n");
    return false;
  }
  EmscriptenWebGLContextAttributes attributes;
  emscripten_webgl_init_context_attributes(&attributes);
  attributes.alpha = EM_FALSE;  // the page behind must never show through
  attributes.depth = EM_FALSE;
  attributes.stencil = EM_FALSE;
  attributes.antialias = EM_FALSE;
  attributes.majorVersion = 2;
  attributes.minorVersion = 0;
  context = emscripten_webgl_create_context("#canvas", &attributes);
  if (context <= 0) {
    std::fprintf(stderr, "video: this browser offers no WebGL 2 context\n");
    return false;
  }
  emscripten_webgl_make_context_current(context);
  return true;
}

void PlatformShowFullscreen(int32_t width, int32_t height) {
  // The page asked for fullscreen on the click that started the show (only a
  // click may); the canvas already has the screen's size in device pixels.
  emscripten_set_canvas_element_size("#canvas", width, height);
  PageShowCanvas(1);
}

void PlatformHideCursor() { PageSetCursorHidden(); }

void PlatformHideWindow() { PageShowCanvas(0); }

void PlatformSwapBuffers() {
  if (capture.enabled) {
    if (!capture.taken && capture.now >= capture.at) {
      PageTakeCapture(capture.now);
      capture.taken = true;
      quitPosted = true;
    }
    capture.Advance();
  }
  double soundSeconds = 0.0;
  uint64_t resumedAt = 0;
  const bool sounding = WebAudioPosition(&soundSeconds, &resumedAt);
  const double clockSeconds =
      sounding ? static_cast<double>(lastMainReading - resumedAt) / kCountsPerSecond : -1.0;
  WaitForAnimationFrame(clockSeconds, soundSeconds);
}

bool PlatformSwapWaitsForRetrace() { return true; }

int PlatformRefreshRate() { return 60; }

void PlatformShowMessage(const char* caption, const char* text) {
  const char* shownCaption = caption ? caption : "Error";
  std::fprintf(stderr, "%s: %s\n", shownCaption, text ? text : "");
  PageShowMessage(shownCaption, text ? text : "");
}

uint64_t PlatformClockCounter() {
  if (capture.enabled) return static_cast<uint64_t>(std::llround(capture.now * kCountsPerSecond));
  const uint64_t reading = clockRate.Counter(emscripten_get_now());
  if (emscripten_is_main_runtime_thread()) lastMainReading = reading;
  return reading;
}

uint64_t PlatformClockFrequency() { return kCountsPerSecond; }

bool PlatformPumpEvents(int* exitCode) {
  if (!quitPosted) return false;
  quitPosted = false;
  *exitCode = 0;
  return true;
}

bool PlatformEscapePressed() {
  const bool pressed = escapeLatched;
  escapeLatched = false;
  return pressed;
}
