// Star tunnel and brick tunnel: program tunnel over the fullscreen quad, the
// image on texture unit 2. The tunnel's c is never set and stays zero.
#include "demo/effects.h"
#include "demo/scene_maths.h"
#include "resources/geometry.h"
#include "resources/shader_library.h"
#include "resources/texture_set.h"

namespace {
void BindTunnel(const EffectInputs& in, int image) {
  gl.glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, ImageTexture(&in.textures, image));
  gl.glUseProgram(in.programs.ProgramTable[kProgramTunnel]);
  gl.glUniform1i(UniformLocation(in.programs, {kProgramTunnel, "T"}), 2);
}
}  // namespace

void StarTunnelEffect(const EffectInputs& in) {
  // v is left as it is: the star tunnel runs before any brick tunnel sways.
  BindTunnel(in, kImageStars);
  gl.glUniform1f(UniformLocation(in.programs, {kProgramTunnel, "t"}),
                 static_cast<float>(in.DemoTime));
  gl.glUniform1f(UniformLocation(in.programs, {kProgramTunnel, "u"}), 0.0f);
  DrawFullscreenQuad(in.FullscreenQuad);
}

void BrickTunnelEffect(const EffectInputs& in, float tRate, float vRate) {
  const TunnelUniforms values = BrickTunnelUniforms(tRate, vRate, in.DemoTime);
  BindTunnel(in, kImageBrick);
  gl.glUniform1f(UniformLocation(in.programs, {kProgramTunnel, "t"}), values.t);
  gl.glUniform1f(UniformLocation(in.programs, {kProgramTunnel, "u"}), values.u);
  gl.glUniform1f(UniformLocation(in.programs, {kProgramTunnel, "v"}), values.v);
  DrawFullscreenQuad(in.FullscreenQuad);
}
