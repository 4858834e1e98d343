#include "common/show_state.h"

double DemoTime = 0.0;
int32_t ScreenWidth = 0, ScreenHeight = 0;
int32_t WindowWidth = 0, WindowHeight = 0;
double AspectRatio = 1.0;
SceneTargetRecord SceneTarget{};
float* BallMotionTable = nullptr;
float* BallPositions = nullptr;
