// The scene effects. Each draws into whatever framebuffer is bound (the
// director binds the 160 x 120 scene target), sets every uniform it uses on
// every call and restores nothing, except that the cube effects switch depth
// testing and culling off after their draw. Their inputs are arguments: what
// every effect draws with in EffectInputs, anything of its own beside it.
// Main thread, GL context current. What they hand to their shaders is
// computed in scene_maths.h, without GL.
#pragma once
#include "resources/geometry.h"
#include "resources/shader_library.h"
#include "resources/texture_set.h"

struct EffectInputs {
  double DemoTime;  // the pass's show time, seconds
  const ProgramTables& programs;
  TextureSet& textures;  // ImageTexture uploads a picture on its first use
  const FullscreenQuadRecord& FullscreenQuad;
};

void StarTunnelEffect(const EffectInputs& in);
void BrickTunnelEffect(const EffectInputs& in, float tRate, float vRate);
void PlanesEffect(const EffectInputs& in);
// BallPositions (32 floats) is rewritten from BallMotionTable (64) for the
// pass's time before it is drawn with.
void MetaballsEffect(const EffectInputs& in, const float* ballMotionTable, float* ballPositions);
void CubeEffect(const EffectInputs& in, const MeshBufferRecord& mesh);
void TexturedCubeEffect(const EffectInputs& in, const MeshBufferRecord& mesh);
void ScreenEffect(const EffectInputs& in, double progress);  // progress in [0, 1)
void WhiteSceneEffect();
