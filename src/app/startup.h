// Start-up: builds everything the show needs in one fixed order and stops at
// the first failure, after the failure has been shown. Main thread.
#pragma once
#include <cstdint>

#include "common/gl_entry_points.h"
#include "common/show_state.h"
#include "demo/show.h"

struct StartOptions {
  // 0 x 0: the primary display's size. Otherwise the output size to use
  // (the capture tool renders at a chosen size).
  int32_t outputWidth = 0;
  int32_t outputHeight = 0;
  GlLookup glLookup = nullptr;  // null: the platform's loader
  // The single-instance guard; null skips it (the capture tool runs beside
  // a playing show).
  const char* instanceGuard = "pelwgl";
};

// Guard, window, context and GL entry points; the window stays hidden.
// Sets screen's ScreenWidth, ScreenHeight and AspectRatio. false on failure
// (a missing entry point has shown its own two boxes).
bool CreateWindowAndContext(const StartOptions& options, ShowScreen* screen);

// Shows the window over the whole output and sets screen's WindowWidth,
// WindowHeight and AspectRatio, and the viewport.
void SwitchToFullscreen(ShowScreen* screen);

// The whole start-up up to the main loop, into a default-made *show: true
// when the show can run. One per process (the pictures are decoded once).
bool StartShow(const StartOptions& options, Show* show);

// StartShow, then every picture uploaded at once, so that what is drawn
// never depends on how fast the uploads went (the capture tool). A picture
// that fails to decode is written to stderr as "path: reason" (no box:
// nobody is watching); false on any failure.
bool StartShowWithEveryPicture(const StartOptions& options, Show* show);
