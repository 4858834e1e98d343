// The cube scenes: the mesh turning about a fixed, unnormalised axis (so it
// swells as it turns) in a 90-degree perspective, drawn with depth testing
// and back-face culling into the scene target over a grey clear. Both cube
// effects share CubeTransform (scene_maths.cpp) and the draw; they differ in
// program and in the brick texture of the textured one.
#include "demo/effects.h"
#include "demo/scene_maths.h"
#include "resources/geometry.h"
#include "resources/shader_library.h"
#include "resources/texture_set.h"

namespace {
void DrawMesh(const MeshBufferRecord& mesh) {
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  // After an abandoned parse there is no vertex array: draw nothing.
  if (mesh.vertexArray != 0) {
    gl.glBindVertexArray(mesh.vertexArray);
    glDrawArrays(GL_TRIANGLES, 0, 3 * mesh.triangleCount);
  }
  glDisable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
}

void ClearGrey() {
  glClearColor(0.5f, 0.5f, 0.5f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void SetMatrices(const ProgramTables& programs, ListedUniform m, ListedUniform nm,
                 const CubeTransformMatrices& matrices) {
  gl.glUniformMatrix4fv(UniformLocation(programs, m), 1, GL_FALSE, matrices.m);
  gl.glUniformMatrix4fv(UniformLocation(programs, nm), 1, GL_FALSE, matrices.nm);
}
}  // namespace

void CubeEffect(const EffectInputs& in, const MeshBufferRecord& mesh) {
  ClearGrey();
  const CubeTransformMatrices matrices = CubeTransform(in.DemoTime);
  gl.glUseProgram(in.programs.ProgramTable[kProgramCube]);
  SetMatrices(in.programs, {kProgramCube, "m"}, {kProgramCube, "nm"}, matrices);
  DrawMesh(mesh);
}

void TexturedCubeEffect(const EffectInputs& in, const MeshBufferRecord& mesh) {
  ClearGrey();
  const CubeTransformMatrices matrices = CubeTransform(in.DemoTime);
  gl.glActiveTexture(GL_TEXTURE4);
  glBindTexture(GL_TEXTURE_2D, ImageTexture(&in.textures, kImageBrick));
  gl.glUseProgram(in.programs.ProgramTable[kProgramTexturedCube]);
  SetMatrices(in.programs, {kProgramTexturedCube, "m"}, {kProgramTexturedCube, "nm"}, matrices);
  gl.glUniform1i(UniformLocation(in.programs, {kProgramTexturedCube, "T"}), 4);
  DrawMesh(mesh);
}
