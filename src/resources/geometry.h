// The show's two pieces of geometry: the fullscreen quad that carries every
// full-screen pass, and the mesh read from "3d/cube.obj". Built at start-up on
// the main thread with the GL context current into records the caller owns;
// unchanged afterwards.
#pragma once
#include <cstdint>

#include "common/gl_entry_points.h"

struct FullscreenQuadRecord {
  GLuint buffer;       // 4 corners of 2 floats: (-1,1) (-1,-1) (1,1) (1,-1)
  GLuint vertexArray;  // attribute 0 only; draw as a 4-vertex triangle strip
};

struct MeshBufferRecord {
  int32_t triangleCount;
  GLuint buffer;
  GLuint vertexArray;    // 0 when the parse was abandoned: draw nothing
  int32_t PositionOnly;  // 1 when the faces carry no normals
};

inline constexpr const char* kMeshPath = "3d/cube.obj";

void CreateFullscreenQuad(FullscreenQuadRecord* quad);
// Draws the quad with whatever program is current.
void DrawFullscreenQuad(const FullscreenQuadRecord& quad);

enum class MeshLoad {
  kLoaded,       // the whole file was read and uploaded
  kAbandoned,    // malformed or too large (said on stderr): no buffer, the cube scenes draw nothing
  kMissing,      // the file could not be opened; shown with its path as caption
  kOutOfMemory,  // shown
};
// Fills *mesh from kMeshPath: the triangle count and flag always, the buffer
// and vertex array only when the whole file was read (kLoaded).
MeshLoad LoadMesh(MeshBufferRecord* mesh);
