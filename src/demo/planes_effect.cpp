// Planes: a brick floor and ceiling, program planes over the fullscreen quad
// with the brick image on texture unit 2.
#include "demo/effects.h"
#include "demo/scene_maths.h"
#include "resources/geometry.h"
#include "resources/shader_library.h"
#include "resources/texture_set.h"

void PlanesEffect(const EffectInputs& in) {
  const PlanesUniforms values = PlanesUniformsAt(in.DemoTime);
  gl.glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, ImageTexture(&in.textures, kImageBrick));
  gl.glUseProgram(in.programs.ProgramTable[kProgramPlanes]);
  gl.glUniform1i(UniformLocation(in.programs, {kProgramPlanes, "T"}), 2);
  gl.glUniform1f(UniformLocation(in.programs, {kProgramPlanes, "t"}), values.t);
  gl.glUniform2f(UniformLocation(in.programs, {kProgramPlanes, "c"}), values.c[0], values.c[1]);
  DrawFullscreenQuad(in.FullscreenQuad);
}
