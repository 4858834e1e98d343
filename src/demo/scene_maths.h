// What the scene effects hand to their shaders, computed without GL: the
// tunnel, planes and zoom uniforms, the ball motion and the cube matrices.
// Plain functions of the show time, for any thread; the effects in
// <name>_effect.cpp set the results as uniforms.
#pragma once

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
