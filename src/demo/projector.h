// The projector pass: the only drawing at the window's size, once per main
// loop pass. Combines the film gate, the scene picture (a title card or the
// scene target) and this film frame's scratch overlay, with the pass's
// brightness. Main thread, window framebuffer bound, window viewport set.
#pragma once
#include "demo/film_frame.h"
#include "resources/geometry.h"
#include "resources/shader_library.h"
#include "resources/texture_set.h"

struct ProjectorInputs {
  const ProgramTables& programs;
  TextureSet& textures;  // ImageTexture uploads a picture on its first use
  const FullscreenQuadRecord& FullscreenQuad;
  GLuint sceneTexture;  // the scene target's colour, projected when no card is
  double AspectRatio;   // the window's width / height
};

void ProjectorPass(const ProjectorInputs& in, const FilmFrameState& state, double brightness);
