// Projector pass: three texture units, ten uniforms, one quad.
#include "demo/projector.h"

void ProjectorPass(const ProjectorInputs& in, const FilmFrameState& state, double brightness) {
  // Pictures not up yet go up here, before the first bind.
  const GLuint gate = ImageTexture(&in.textures, kImageFrame);
  const GLuint scene =
      state.sceneImage == kNoImage ? in.sceneTexture : ImageTexture(&in.textures, state.sceneImage);
  const GLuint scratch =
      state.scratchImage == kNoImage ? 0 : ImageTexture(&in.textures, state.scratchImage);
  gl.glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, gate);
  gl.glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, scene);
  gl.glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, scratch);

  constexpr ProgramIndex p = kProgramProjector;
  gl.glUseProgram(in.programs.ProgramTable[p]);
  gl.glUniform1i(UniformLocation(in.programs, {p, "T"}), 0);
  gl.glUniform1i(UniformLocation(in.programs, {p, "F"}), 1);
  gl.glUniform1i(UniformLocation(in.programs, {p, "U"}), 2);
  // The gate covers its full height and 0.375 x aspect either side of the
  // centre, so a 4:3 picture keeps its shape on any screen.
  gl.glUniform2f(UniformLocation(in.programs, {p, "ts"}), PictureHalfWidth(in.AspectRatio), 0.5f);
  gl.glUniform2f(UniformLocation(in.programs, {p, "tb"}), 0.5f, 0.5f);
  gl.glUniform2f(UniformLocation(in.programs, {p, "qs"}), state.sceneScale[0], state.sceneScale[1]);
  gl.glUniform2f(UniformLocation(in.programs, {p, "qb"}), state.sceneOffset[0],
                 state.sceneOffset[1]);
  gl.glUniform2f(UniformLocation(in.programs, {p, "us"}), state.scratchScale[0],
                 state.scratchScale[1]);
  gl.glUniform2f(UniformLocation(in.programs, {p, "ub"}), state.scratchOffset[0],
                 state.scratchOffset[1]);
  gl.glUniform1f(UniformLocation(in.programs, {p, "r"}), static_cast<float>(brightness));
  DrawFullscreenQuad(in.FullscreenQuad);
}
