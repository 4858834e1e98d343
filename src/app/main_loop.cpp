// Main loop: one pass per displayed frame; the swap waits for the retrace,
// nothing else sleeps.
#include "app/main_loop.h"

#include "app/show_state.h"
#include "demo/director.h"
#include "platform/platform.h"

bool RunShowPass(double demoTime, int* exitCode, void (*beforePresent)()) {
  DemoTime = demoTime;  // read before the pump: events never move this pass's time
  const bool quit = PlatformPumpEvents(exitCode);
  RenderShowPass();
  if (beforePresent) beforePresent();
  PlatformSwapBuffers();
  return quit;
}

int MainLoop() {
  const uint64_t frequency = PlatformClockFrequency();
  const uint64_t start = PlatformClockCounter();
  int exitCode = 0;
  for (;;) {
    const uint64_t elapsed = PlatformClockCounter() - start;
    const double demoTime = static_cast<double>(elapsed) / static_cast<double>(frequency);
    if (RunShowPass(demoTime, &exitCode)) return exitCode;
  }
}
