// The timeline director: one call per main-loop pass. Main thread, GL
// context current.
#pragma once
#include "demo/film_frame.h"

extern DirectorState Director;

// Plans the pass at DemoTime, renders a new film frame's scene into the
// scene target when one begins, and always runs the projector pass. true
// when the timeline has ended: the caller ends the show.
bool RenderShowPass();
