// Show: everything one run of the show keeps, in one value. The app owns it
// (main, or the capture tool); start-up fills it in its fixed order, the main
// loop sets DemoTime before each pass, and the director hands each part to
// what draws with it. Main thread only.
#pragma once
#include <cstdint>

#include "common/show_random.h"
#include "common/show_state.h"
#include "demo/film_frame.h"
#include "resources/geometry.h"
#include "resources/shader_library.h"
#include "resources/texture_set.h"

struct Show {
  double DemoTime = 0.0;  // seconds since the main loop's start reading; constant within a pass
  ShowScreen screen;      // ScreenWidth/Height, WindowWidth/Height, AspectRatio

  // ShowRand's one sequence: start-up draws 1 to 96 (the ball tables), the
  // director every later one. Only the director draws from ShowLcg.
  uint32_t ShowRandState = kShowRandStart;
  uint32_t ShowLcgState = 0;  // kShowLcgSeed from start-up on

  // What start-up builds, in its order; unchanged afterwards but for the
  // texture uploads, which ImageTexture finishes on first use.
  ProgramTables programs{};  // ProgramTable, UniformLocationTable
  TextureSet textures;       // TextureTable
  FullscreenQuadRecord FullscreenQuad{};
  MeshBufferRecord MeshBuffer{};
  SceneTargetRecord SceneTarget{};

  // 16 balls: four motion values each (phase x, amplitude x, phase y,
  // amplitude y), and the current centre of each. Held here, so that a copy
  // of a Show shares no state with the original but the GL objects.
  float BallMotionTable[64] = {};
  float BallPositions[32] = {};  // filled by start-up, rewritten by the metaballs

  DirectorState Director{};
};
