// The show's two pieces of geometry: the fullscreen quad that carries every
// full-screen pass, and the mesh read from "3d/cube.obj". Built at start-up on
// the main thread with the GL context current; unchanged afterwards.
#pragma once
#include <cstdint>

#include "common/gl_entry_points.h"

struct FullscreenQuadRecord {
  GLuint buffer;       // 4 corners of 2 floats: (-1,1) (-1,-1) (1,1) (1,-1)
  GLuint vertexArray;  // attribute 0 only; draw as a 4-vertex triangle strip
};
extern FullscreenQuadRecord FullscreenQuad;

struct MeshBufferRecord {
  int32_t triangleCount;
  GLuint buffer;
  GLuint vertexArray;    // 0 when the parse was abandoned: draw nothing
  int32_t PositionOnly;  // 1 when the faces carry no normals
};
extern MeshBufferRecord MeshBuffer;

inline constexpr const char* kMeshPath = "3d/cube.obj";

void CreateFullscreenQuad();
void DrawFullscreenQuad();

enum class MeshLoad {
  kLoaded,       // the whole file was read and uploaded
  kAbandoned,    // malformed or too large (said on stderr): no buffer, the cube scenes draw nothing
  kMissing,      // the file could not be opened; shown with its path as caption
  kOutOfMemory,  // shown
};
// Fills MeshBuffer from kMeshPath.
MeshLoad LoadMesh();
