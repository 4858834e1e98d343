// The white scene that opens and closes the show: colour only, alpha 0, the
// depth attachment untouched. The clear colour stays white afterwards.
#include "common/gl_entry_points.h"
#include "demo/effects.h"

void WhiteSceneEffect() {
  glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
}
