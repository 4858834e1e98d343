// Metaballs: 16 centres on closed paths, program metaballs over the
// fullscreen quad. No texture, no clear.
#include "demo/effects.h"
#include "demo/scene_maths.h"
#include "resources/geometry.h"
#include "resources/shader_library.h"

void MetaballsEffect(const EffectInputs& in, const float* ballMotionTable, float* ballPositions) {
  ComputeBallPositions(ballMotionTable, in.DemoTime, ballPositions);
  constexpr ProgramIndex p = kProgramMetaballs;
  gl.glUseProgram(in.programs.ProgramTable[p]);
  gl.glUniform1f(UniformLocation(in.programs, {p, "t"}), 70.0f);
  gl.glUniform2fv(UniformLocation(in.programs, {p, "p"}), 16, ballPositions);
  // 4:3, the shape of the scene target.
  gl.glUniform2f(UniformLocation(in.programs, {p, "qs"}), 4.0f / 3.0f, 1.0f);
  gl.glUniform2f(UniformLocation(in.programs, {p, "qb"}), 0.0f, 0.0f);
  DrawFullscreenQuad(in.FullscreenQuad);
}
