// Program-wide state of the shell: the show clock, the screen and window
// sizes, the off-screen scene target and the ball tables. Written during
// start-up and by the main loop; read by the director and the effects.
// Main thread only.
#pragma once
#include <cstdint>

#include "common/gl_entry_points.h"

// Seconds since the main loop's start reading; constant within a pass.
extern double DemoTime;

extern int32_t ScreenWidth, ScreenHeight;  // primary display, pixels
extern int32_t WindowWidth, WindowHeight;  // set by the fullscreen switch
extern double AspectRatio;                 // output width / height

// Scenes are drawn at 160 x 120 whatever the screen size and enlarged by the
// projector pass.
struct SceneTargetRecord {
  GLuint framebuffer;
  GLuint colourTexture;  // GL_RGBA8, nearest, clamped
  GLuint depthTexture;   // GL_DEPTH_COMPONENT, serves as the depth buffer
  int32_t width;
  int32_t height;
};
extern SceneTargetRecord SceneTarget;
inline constexpr int32_t kSceneWidth = 160;
inline constexpr int32_t kSceneHeight = 120;

// 16 balls: four motion values each (phase x, amplitude x, phase y,
// amplitude y), and the current centre of each. Allocated at start-up.
extern float* BallMotionTable;  // 64 floats
extern float* BallPositions;    // 32 floats
