// Reader for the small subset of the Wavefront OBJ text format the show uses:
// "v x y z", "vn x y z" and triangular faces "f a//n b//n c//n" or
// "f a// b// c//". Pure code, no GL; any thread.
#pragma once
#include <cstdint>
#include <cstdio>

// A non-indexed triangle list: per corner position and normal (6 floats) or,
// when positionOnly, position alone (3 floats).
struct ObjTriangles {
  float* data;            // malloc'ed; release with FreeObjTriangles
  int32_t triangleCount;  // triangles written
  int32_t positionOnly;   // 1 when the faces carry no normals
};

enum class ObjResult {
  kComplete,      // the whole stream was read
  kMalformed,     // a face of another form or with a reference out of range
  kMixedForms,    // faces with and without normals in one file
  kOutOfMemory,
};

// Reads lines of at most 1023 characters (a longer line is read in pieces,
// each taken as a line of its own). Faces may refer only to positions and
// normals above them. On kMalformed the result holds the triangles accepted
// so far; on kMixedForms and kOutOfMemory it holds none. A fourth corner of
// a face is ignored.
ObjResult ReadObj(FILE* stream, ObjTriangles* out);

void FreeObjTriangles(ObjTriangles* triangles);
