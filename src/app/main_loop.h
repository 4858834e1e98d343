// The main loop and the show clock. Main thread.
#pragma once

// One pass at the given show time: pump the events, let the director draw,
// present. Escape or the end of the timeline asks to quit with 0, and the
// pass after the one that asked is the last; closing the window makes the
// current pass the last. true on the last pass; *exitCode is then its code
// and left unchanged otherwise. beforePresent, if given, runs after drawing
// and before the swap (the capture tool reads the picture there).
bool RunShowPass(double demoTime, int* exitCode, void (*beforePresent)() = nullptr);

// Runs passes until the quit request is removed and returns its code. The
// clock starts at the loop's first act.
int MainLoop();
