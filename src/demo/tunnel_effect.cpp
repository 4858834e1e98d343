// Star tunnel and brick tunnel: program tunnel over the fullscreen quad, the
// image on texture unit 2. The tunnel's c is never set and stays zero.
#include "common/show_state.h"
#include "demo/effects.h"
#include "demo/scene_maths.h"
#include "resources/geometry.h"
#include "resources/shader_library.h"
#include "resources/texture_set.h"

namespace {
void BindTunnel(int image) {
  gl.glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, ImageTexture(image));
  gl.glUseProgram(ProgramTable[kProgramTunnel]);
  gl.glUniform1i(UniformLocation({kProgramTunnel, "T"}), 2);
}
}  // namespace

void StarTunnelEffect() {
  // v is left as it is: the star tunnel runs before any brick tunnel sways.
  BindTunnel(kImageStars);
  gl.glUniform1f(UniformLocation({kProgramTunnel, "t"}), static_cast<float>(DemoTime));
  gl.glUniform1f(UniformLocation({kProgramTunnel, "u"}), 0.0f);
  DrawFullscreenQuad();
}

void BrickTunnelEffect(float tRate, float vRate) {
  const TunnelUniforms values = BrickTunnelUniforms(tRate, vRate, DemoTime);
  BindTunnel(kImageBrick);
  gl.glUniform1f(UniformLocation({kProgramTunnel, "t"}), values.t);
  gl.glUniform1f(UniformLocation({kProgramTunnel, "u"}), values.u);
  gl.glUniform1f(UniformLocation({kProgramTunnel, "v"}), values.v);
  DrawFullscreenQuad();
}
