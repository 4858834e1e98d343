// Fullscreen quad and mesh upload. Main thread, start-up only.
#include "resources/geometry.h"

#include <cstdio>

#include "common/messages.h"
#include "resources/obj_reader.h"

FullscreenQuadRecord FullscreenQuad{};
MeshBufferRecord MeshBuffer{};

void CreateFullscreenQuad() {
  static const float corners[8] = {-1, 1, -1, -1, 1, 1, 1, -1};
  gl.glGenBuffers(1, &FullscreenQuad.buffer);
  gl.glGenVertexArrays(1, &FullscreenQuad.vertexArray);
  gl.glBindBuffer(GL_ARRAY_BUFFER, FullscreenQuad.buffer);
  gl.glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
  gl.glBindVertexArray(FullscreenQuad.vertexArray);
  gl.glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
  gl.glEnableVertexAttribArray(0);
}

void DrawFullscreenQuad() {
  gl.glBindVertexArray(FullscreenQuad.vertexArray);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

MeshLoad LoadMesh() {
  MeshBuffer.triangleCount = 0;
  MeshBuffer.PositionOnly = 0;
  FILE* file = std::fopen(kMeshPath, "r");
  if (!file) {
    ShowMessage(kMeshPath, kCouldNotOpen);
    return MeshLoad::kMissing;
  }
  ObjTriangles triangles{};
  int32_t stoppedAt = 0;
  const ObjResult result = ReadObj(file, &triangles, &stoppedAt);
  std::fclose(file);
  MeshBuffer.triangleCount = triangles.triangleCount;
  MeshBuffer.PositionOnly = triangles.positionOnly;
  if (result == ObjResult::kOutOfMemory) {
    ShowMessage(kMeshPath, kOutOfMemory);
    return MeshLoad::kOutOfMemory;
  }
  if (result != ObjResult::kComplete) {
    // The show plays on with the cube scenes' grey stage empty; say why.
    std::fprintf(stderr, "%s: line %d: %s; the cube scenes stay empty\n", kMeshPath,
                 static_cast<int>(stoppedAt), ObjResultText(result));
    FreeObjTriangles(&triangles);
    return MeshLoad::kAbandoned;
  }

  // A file with no faces at all (empty, or not an OBJ file) reads as a
  // complete mesh of nothing: the same empty stage, which stderr explains.
  if (MeshBuffer.triangleCount == 0) {
    std::fprintf(stderr, "%s: no triangles; the cube scenes stay empty\n", kMeshPath);
  }

  gl.glGenVertexArrays(1, &MeshBuffer.vertexArray);
  gl.glBindVertexArray(MeshBuffer.vertexArray);
  gl.glGenBuffers(1, &MeshBuffer.buffer);
  gl.glBindBuffer(GL_ARRAY_BUFFER, MeshBuffer.buffer);
  const GLsizeiptr floatsPerTriangle = MeshBuffer.PositionOnly ? 9 : 18;
  gl.glBufferData(
      GL_ARRAY_BUFFER,
      floatsPerTriangle * static_cast<GLsizeiptr>(sizeof(float)) * MeshBuffer.triangleCount,
      triangles.data, GL_STATIC_DRAW);
  if (MeshBuffer.PositionOnly) {
    gl.glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    gl.glEnableVertexAttribArray(0);
  } else {
    gl.glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 24, nullptr);
    gl.glEnableVertexAttribArray(0);
    gl.glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 24, reinterpret_cast<const void*>(12));
    gl.glEnableVertexAttribArray(1);
  }
  gl.glBindVertexArray(0);
  FreeObjTriangles(&triangles);
  return MeshLoad::kLoaded;
}
