// The main loop and the show clock. Main thread.
#pragma once
#include "demo/show.h"

// One pass of *show at the given show time (set as show->DemoTime before
// the events are pumped): pump the events, let the director draw,
// present. Escape or the end of the timeline asks to quit with 0, and the
// pass after the one that asked is the last; closing the window makes the
// current pass the last. true on the last pass; *exitCode is then its code
// and left unchanged otherwise. beforePresent, if given, runs after drawing
// and before the swap (the capture tool reads the picture there).
bool RunShowPass(Show* show, double demoTime, int* exitCode,
                 void (*beforePresent)(const Show& show) = nullptr);

// Runs passes of the started *show until the quit request is removed and
// returns its code. The clock starts at the loop's first act.
int MainLoop(Show* show);
