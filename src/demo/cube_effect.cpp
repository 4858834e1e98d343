// The cube scenes: the mesh turning about a fixed, unnormalised axis (so it
// swells as it turns) in a 90-degree perspective, drawn with depth testing
// and back-face culling into the scene target over a grey clear. Both cube
// effects share CubeTransform and the draw; they differ in program and in
// the brick texture of the textured one.
#include <cmath>
#include <cstring>

#include "common/show_state.h"
#include "demo/effects.h"
#include "resources/geometry.h"
#include "resources/shader_library.h"
#include "resources/texture_set.h"

namespace {
// One matrix column on four single-precision lanes.
typedef float Lanes __attribute__((vector_size(16)));

struct Matrix {
  Lanes column[4];
};

// a * b: column j of the result is the sum of a's columns weighted by b's
// column j, so b applies first.
Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix result;
  for (int j = 0; j < 4; ++j) {
    result.column[j] = a.column[0] * b.column[j][0] + a.column[1] * b.column[j][1] +
                       a.column[2] * b.column[j][2] + a.column[3] * b.column[j][3];
  }
  return result;
}

// 90-degree vertical field of view (f = tan(pi/4) = 1), the 4:3 of the scene
// target, near 0.1, far 100.
constexpr float kDepthScale = (0.1f + 100.0f) / (0.1f - 100.0f);
constexpr float kDepthOffset = 2.0f * 0.1f * 100.0f / (0.1f - 100.0f);
const Matrix kProjection = {{{0.75f, 0, 0, 0}, {0, 1.0f, 0, 0}, {0, 0, kDepthScale, -1.0f},
                             {0, 0, kDepthOffset, 0}}};
// The eye looks down -z at the mesh 3 units away.
const Matrix kView = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, -3.0f, 1}}};

void DrawMesh() {
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  // After an abandoned parse there is no vertex array: draw nothing.
  if (MeshBuffer.vertexArray != 0) {
    gl.glBindVertexArray(MeshBuffer.vertexArray);
    glDrawArrays(GL_TRIANGLES, 0, 3 * MeshBuffer.triangleCount);
  }
  glDisable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
}

void ClearGrey() {
  glClearColor(0.5f, 0.5f, 0.5f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void SetMatrices(int program, const CubeTransformMatrices& matrices) {
  gl.glUniformMatrix4fv(UniformLocation(program, "m"), 1, GL_FALSE, matrices.m);
  gl.glUniformMatrix4fv(UniformLocation(program, "nm"), 1, GL_FALSE, matrices.nm);
}
}  // namespace

static_assert(sizeof(Matrix) == 16 * sizeof(float));

CubeTransformMatrices CubeTransform(double demoTime) {
  const float theta = static_cast<float>(demoTime);  // 1 radian per second
  const float s = std::sin(theta), c = std::cos(theta);
  // R v = c v + (1 - c)(a.v) a + s (a x v), with the axis a left unnormalised;
  // column j is R e_j, built on four lanes. The axis components are powers of
  // two, so these products round exactly as the scalar formula's do.
  const float ax = 0.25f, ay = 0.5f, az = 1.0f, k = 1.0f - c;
  const Lanes axis = {ax, ay, az, 0};
  const Matrix turn = {{axis * (ax * k) + Lanes{c, 0, 0, 0} + Lanes{0, az, -ay, 0} * s,
                        axis * (ay * k) + Lanes{0, c, 0, 0} + Lanes{-az, 0, ax, 0} * s,
                        axis * (az * k) + Lanes{0, 0, c, 0} + Lanes{ay, -ax, 0, 0} * s,
                        Lanes{0, 0, 0, 1}}};
  const Matrix modelView = Multiply(kView, turn);
  const Matrix all = Multiply(kProjection, modelView);
  CubeTransformMatrices result;
  std::memcpy(result.m, &all, sizeof result.m);
  std::memcpy(result.nm, &modelView, sizeof result.nm);
  return result;
}

void CubeEffect() {
  ClearGrey();
  const CubeTransformMatrices matrices = CubeTransform(DemoTime);
  gl.glUseProgram(ProgramTable[kProgramCube]);
  SetMatrices(kProgramCube, matrices);
  DrawMesh();
}

void TexturedCubeEffect() {
  ClearGrey();
  const CubeTransformMatrices matrices = CubeTransform(DemoTime);
  gl.glActiveTexture(GL_TEXTURE4);
  glBindTexture(GL_TEXTURE_2D, LoadedTexture(kImageBrick));
  gl.glUseProgram(ProgramTable[kProgramTexturedCube]);
  SetMatrices(kProgramTexturedCube, matrices);
  gl.glUniform1i(UniformLocation(kProgramTexturedCube, "T"), 4);
  DrawMesh();
}
