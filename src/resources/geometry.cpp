// Fullscreen quad and mesh upload. Main thread, start-up only.
#include "resources/geometry.h"

#include <cstdio>

#include "common/messages.h"
#include "resources/obj_reader.h"

void CreateFullscreenQuad(FullscreenQuadRecord* quad) {
  static const float corners[8] = {-1, 1, -1, -1, 1, 1, 1, -1};
  gl.glGenBuffers(1, &quad->buffer);
  gl.glGenVertexArrays(1, &quad->vertexArray);
  gl.glBindBuffer(GL_ARRAY_BUFFER, quad->buffer);
  gl.glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
  gl.glBindVertexArray(quad->vertexArray);
  gl.glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
  gl.glEnableVertexAttribArray(0);
}

void DrawFullscreenQuad(const FullscreenQuadRecord& quad) {
  gl.glBindVertexArray(quad.vertexArray);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

MeshLoad LoadMesh(MeshBufferRecord* mesh) {
  mesh->triangleCount = 0;
  mesh->PositionOnly = 0;
  FILE* file = std::fopen(kMeshPath, "r");
  if (!file) {
    ShowMessage(kMeshPath, kCouldNotOpen);
    return MeshLoad::kMissing;
  }
  ObjTriangles triangles{};
  int32_t stoppedAt = 0;
  const ObjResult result = ReadObj(file, &triangles, &stoppedAt);
  std::fclose(file);
  mesh->triangleCount = triangles.triangleCount;
  mesh->PositionOnly = triangles.positionOnly;
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
  if (mesh->triangleCount == 0) {
    std::fprintf(stderr, "%s: no triangles; the cube scenes stay empty\n", kMeshPath);
  }

  gl.glGenVertexArrays(1, &mesh->vertexArray);
  gl.glBindVertexArray(mesh->vertexArray);
  gl.glGenBuffers(1, &mesh->buffer);
  gl.glBindBuffer(GL_ARRAY_BUFFER, mesh->buffer);
  const GLsizeiptr floatsPerTriangle = mesh->PositionOnly ? 9 : 18;
  gl.glBufferData(GL_ARRAY_BUFFER,
                  floatsPerTriangle * static_cast<GLsizeiptr>(sizeof(float)) * mesh->triangleCount,
                  triangles.data, GL_STATIC_DRAW);
  if (mesh->PositionOnly) {
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
