// Planes: a brick floor and ceiling, program planes over the fullscreen quad
// with the brick image on texture unit 2.
#include "common/show_state.h"
#include "demo/effects.h"
#include "demo/scene_maths.h"
#include "resources/geometry.h"
#include "resources/shader_library.h"
#include "resources/texture_set.h"

void PlanesEffect() {
  const PlanesUniforms values = PlanesUniformsAt(DemoTime);
  gl.glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, ImageTexture(kImageBrick));
  gl.glUseProgram(ProgramTable[kProgramPlanes]);
  gl.glUniform1i(UniformLocation({kProgramPlanes, "T"}), 2);
  gl.glUniform1f(UniformLocation({kProgramPlanes, "t"}), values.t);
  gl.glUniform2f(UniformLocation({kProgramPlanes, "c"}), values.c[0], values.c[1]);
  DrawFullscreenQuad();
}
