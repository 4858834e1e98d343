// NITRATE: a 131-second film show computed while you watch it. Takes no
// arguments; reads its content relative to the current directory; exits 0
// when the show ends or Escape is pressed, -1 when start-up fails.
#include "app/main_loop.h"
#include "app/startup.h"
#include "demo/show.h"

int main() {
  // The show's one state: start-up fills it, the loop runs on it, and it
  // lives until the process ends.
  Show show;
  if (!StartShow(StartOptions{}, &show)) return -1;
  return MainLoop(&show);
}
