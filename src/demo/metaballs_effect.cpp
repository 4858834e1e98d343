// Metaballs: 16 centres on closed paths, program metaballs over the
// fullscreen quad. No texture, no clear.
#include "common/show_state.h"
#include "demo/effects.h"
#include "demo/scene_maths.h"
#include "resources/geometry.h"
#include "resources/shader_library.h"

void MetaballsEffect() {
  ComputeBallPositions(BallMotionTable, DemoTime, BallPositions);
  constexpr ProgramIndex p = kProgramMetaballs;
  gl.glUseProgram(ProgramTable[p]);
  gl.glUniform1f(UniformLocation({p, "t"}), 70.0f);
  gl.glUniform2fv(UniformLocation({p, "p"}), 16, BallPositions);
  // 4:3, the shape of the scene target.
  gl.glUniform2f(UniformLocation({p, "qs"}), 4.0f / 3.0f, 1.0f);
  gl.glUniform2f(UniformLocation({p, "qb"}), 0.0f, 0.0f);
  DrawFullscreenQuad();
}
