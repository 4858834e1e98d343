// The timeline director: one call per main-loop pass. Main thread, GL
// context current.
#pragma once
#include "demo/film_frame.h"

extern DirectorState Director;

// Polls Escape, plans the pass, renders a new film frame's scene into the
// scene target when one begins, and always runs the projector pass. Posts
// the quit request on Escape and when the timeline has ended.
void RenderShowPass();
