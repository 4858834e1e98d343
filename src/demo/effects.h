// The scene effects. Each draws into whatever framebuffer is bound (the
// director binds the 160 x 120 scene target), reads DemoTime, sets every
// uniform it uses on every call and restores nothing, except that the cube
// effects switch depth testing and culling off after their draw.
// Main thread, GL context current. The pure functions beside them compute
// what the effects hand to their shaders, for any thread.
#pragma once

void StarTunnelEffect();
void BrickTunnelEffect(float tRate, float vRate);
void PlanesEffect();
void MetaballsEffect();
void CubeEffect();
void TexturedCubeEffect();
void ScreenEffect(double progress);  // progress in [0, 1)
void WhiteSceneEffect();

// Brick tunnel: t runs at tRate, v sways at vRate (radians per second).
struct TunnelUniforms {
  float t, u, v;
};
TunnelUniforms BrickTunnelUniforms(float tRate, float vRate, double demoTime);

// Planes: t is the show time, c circles an ellipse of half-axes 1 and 0.25.
struct PlanesUniforms {
  float t;
  float c[2];
};
PlanesUniforms PlanesUniformsAt(double demoTime);

// Metaballs: each ball runs an ellipse at 1 rad/s from its four motion values
// (phase x, amplitude x, phase y, amplitude y).
void ComputeBallPositions(const float motion[64], double demoTime, float positions[32]);

// The two matrices of the cube scenes, column-major, single precision:
// m = P * V * R (to clip space) and nm = V * R (to eye space).
struct CubeTransformMatrices {
  float m[16];
  float nm[16];
};
CubeTransformMatrices CubeTransform(double demoTime);

// Screen zoom: the texture scale (same on both axes) and the centre's second
// coordinate for a progress in [0, 1); the first coordinate stays 0.5.
struct ScreenZoomUniforms {
  float scale;
  float centreY;
};
ScreenZoomUniforms ScreenZoomAt(double progress);
