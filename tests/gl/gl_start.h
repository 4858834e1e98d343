// The show that gl_main started for the GL checks, and what its texture set
// looked like right after start-up, recorded before the checks upload
// everything.
#pragma once
#include "demo/effects.h"
#include "demo/show.h"

struct StartupTextureState {
  int loaded;             // textures uploaded by start-up itself
  int loadedAfterOneUse;  // after asking for the starfield alone
  bool starsLoaded;
  bool allLoaded;  // FinishTextureLoading's answer
};
extern StartupTextureState TexturesAtStartup;

// Started once, at 320 x 180, every texture up. A check that runs passes or
// changes a table works on a copy (Show copies are plain values: the GL
// objects are shared, the director's and generators' states are not).
extern Show StartedShow;

// What an effect draws with at the given show time, from StartedShow.
inline EffectInputs EffectInputsAt(double demoTime) {
  return {demoTime, StartedShow.programs, StartedShow.textures, StartedShow.FullscreenQuad};
}
