// The projector pass: the only drawing at the window's size, once per main
// loop pass. Combines the film gate, the scene picture (a title card or the
// scene target) and this film frame's scratch overlay, with the pass's
// brightness. Main thread, window framebuffer bound, window viewport set.
#pragma once
#include "demo/film_frame.h"

void ProjectorPass(const FilmFrameState& state, double brightness);
