// What the texture set looked like right after start-up, recorded by
// gl_main before the checks upload everything.
#pragma once

struct StartupTextureState {
  int loaded;             // textures uploaded by start-up itself
  int loadedAfterOneUse;  // after asking for the starfield alone
  bool starsLoaded;
  bool allLoaded;  // FinishTextureLoading's answer
};
extern StartupTextureState TexturesAtStartup;
