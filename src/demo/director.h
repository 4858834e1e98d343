// The timeline director: one call per main-loop pass. Main thread, GL
// context current.
#pragma once
#include "demo/show.h"

// Plans the pass at show->DemoTime (drawing from show->ShowLcgState and, on
// a new film frame, show->ShowRandState), renders a new film frame's scene
// into show->SceneTarget when one begins, and always runs the projector
// pass. true when the timeline has ended: the caller ends the show.
bool RenderShowPass(Show* show);
