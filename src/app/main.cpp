// NITRATE: a 131-second film show computed while you watch it. Takes no
// arguments; reads its content relative to the current directory; exits 0
// when the show ends or Escape is pressed, -1 when start-up fails.
#include "app/main_loop.h"
#include "app/startup.h"

int main() {
  if (!StartShow(StartOptions{})) return -1;
  return MainLoop();
}
