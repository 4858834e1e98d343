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

// The most triangles a mesh may have. The cube scenes draw the whole mesh
// at least once a pass, and a software renderer transforms every vertex on
// the CPU: 64 Ki triangles (196 Ki vertices) keep that a small part of a
// 1/16 s film frame on two cores, where millions would not. A triangle list
// needs no more than three positions or normals per triangle, so those stop
// at three times as many.
inline constexpr int32_t kMaxObjTriangles = 65536;
inline constexpr int32_t kMaxObjCorners = 3 * kMaxObjTriangles;

enum class ObjResult {
  kComplete,    // the whole stream was read
  kMalformed,   // a face of another form or with a reference out of range
  kMixedForms,  // faces with and without normals in one file
  kTooLarge,    // beyond kMaxObjTriangles or kMaxObjCorners
  kOutOfMemory,
};

// Why a read stopped, in words for stderr.
const char* ObjResultText(ObjResult result);

// Reads lines of at most 1023 characters (a longer line is read in pieces,
// each taken as a line of its own). Faces may refer only to positions and
// normals above them. On kMalformed and kTooLarge the result holds the
// triangles accepted so far; on kMixedForms and kOutOfMemory it holds none.
// A fourth corner of a face is ignored. *stoppedAtLine (if given) is the
// 1-based line the read stopped at, 0 when complete.
ObjResult ReadObj(FILE* stream, ObjTriangles* out, int32_t* stoppedAtLine = nullptr);

void FreeObjTriangles(ObjTriangles* triangles);
