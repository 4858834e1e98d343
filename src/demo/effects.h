// The scene effects. Each draws into whatever framebuffer is bound (the
// director binds the 160 x 120 scene target), reads DemoTime, sets every
// uniform it uses on every call and restores nothing, except that the cube
// effects switch depth testing and culling off after their draw.
// Main thread, GL context current. What they hand to their shaders is
// computed in scene_maths.h, without GL.
#pragma once

void StarTunnelEffect();
void BrickTunnelEffect(float tRate, float vRate);
void PlanesEffect();
void MetaballsEffect();
void CubeEffect();
void TexturedCubeEffect();
void ScreenEffect(double progress);  // progress in [0, 1)
void WhiteSceneEffect();
