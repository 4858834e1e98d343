// The shell's records: the output's sizes and the off-screen scene target.
// Plain data held by the show's one Show value (demo/show.h): start-up fills
// them, the director and the projector read them. Main thread only.
#pragma once
#include <cstdint>

#include "common/gl_entry_points.h"

// The display's size, then the window's once the fullscreen switch shows it.
struct ShowScreen {
  int32_t ScreenWidth = 0, ScreenHeight = 0;  // primary display (or the chosen output), pixels
  int32_t WindowWidth = 0, WindowHeight = 0;  // set by the fullscreen switch
  double AspectRatio = 1.0;                   // output width / height
};

// Scenes are drawn at 160 x 120 whatever the screen size and enlarged by the
// projector pass.
struct SceneTargetRecord {
  GLuint framebuffer;
  GLuint colourTexture;  // GL_RGBA8, nearest, clamped
  GLuint depthTexture;   // GL_DEPTH_COMPONENT, serves as the depth buffer
  int32_t width;
  int32_t height;
};
inline constexpr int32_t kSceneWidth = 160;
inline constexpr int32_t kSceneHeight = 120;
