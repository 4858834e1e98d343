// Fuzz target: the OBJ reader on any bytes, read as the show reads the mesh
// (a text stream), with the triangle list checked against its own counts.
#include <cassert>
#include <cstdint>
#include <cstdio>

#include "resources/obj_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (!stream) return 0;
  ObjTriangles triangles{};
  int32_t stoppedAt = -1;
  const ObjResult result = ReadObj(stream, &triangles, &stoppedAt);
  std::fclose(stream);
  assert(triangles.triangleCount >= 0 && triangles.triangleCount <= kMaxObjTriangles);
  assert((result == ObjResult::kComplete) == (stoppedAt == 0));
  // Every float written is read back: uninitialised or short records show
  // up under the sanitizers.
  const int32_t floats = triangles.triangleCount * (triangles.positionOnly ? 9 : 18);
  volatile float sum = 0.0f;
  for (int32_t i = 0; i < floats; ++i) sum = sum + triangles.data[i];
  FreeObjTriangles(&triangles);
  return 0;
}
