// The main loop and the show clock. Main thread.
#pragma once

// One pass at the given show time: pump the events, let the director draw,
// present. true when this pass's pump removed the quit request; *exitCode is
// then its code. beforePresent, if given, runs after drawing and before the
// swap (the capture tool reads the picture there).
bool RunShowPass(double demoTime, int* exitCode, void (*beforePresent)() = nullptr);

// Runs passes until the quit request is removed and returns its code. The
// clock starts at the loop's first act.
int MainLoop();
