// Screen zoom: the Mandelbrot image on texture unit 4, program screen, the
// view shrinking towards (0.5, 0.75) along the square root of the progress.
#include "demo/effects.h"
#include "demo/scene_maths.h"
#include "resources/geometry.h"
#include "resources/shader_library.h"
#include "resources/texture_set.h"

void ScreenEffect(const EffectInputs& in, double progress) {
  const ScreenZoomUniforms zoom = ScreenZoomAt(progress);
  gl.glActiveTexture(GL_TEXTURE4);
  glBindTexture(GL_TEXTURE_2D, ImageTexture(&in.textures, kImageMandelbrot));
  constexpr ProgramIndex p = kProgramScreen;
  gl.glUseProgram(in.programs.ProgramTable[p]);
  gl.glUniform2f(UniformLocation(in.programs, {p, "ts"}), zoom.scale, zoom.scale);
  gl.glUniform2f(UniformLocation(in.programs, {p, "tb"}), 0.5f, zoom.centreY);
  gl.glUniform1i(UniformLocation(in.programs, {p, "T"}), 4);
  DrawFullscreenQuad(in.FullscreenQuad);
}
