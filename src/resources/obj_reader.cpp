// OBJ subset reader. Arrays double as they fill (from 1024 elements), so a
// large file costs a linear number of copies, and stop at the mesh limits.
#include "resources/obj_reader.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr int32_t kFirstCapacity = 1024;

// A growable run of fixed-size records of floats, holding at most limit.
struct FloatRecords {
  float* data = nullptr;
  int32_t count = 0;
  int32_t capacity = 0;
  int width;      // floats per record
  int32_t limit;  // records

  FloatRecords(int floatsPerRecord, int32_t most) : width(floatsPerRecord), limit(most) {}
  ~FloatRecords() { std::free(data); }

  // Space for one more record; null when the limit is reached (*full set)
  // or memory runs out (*full clear).
  float* Append(bool* full) {
    *full = count >= limit;
    if (*full) return nullptr;
    if (count == capacity) {
      int32_t grown = capacity < kFirstCapacity ? kFirstCapacity : 2 * capacity;
      if (grown > limit) grown = limit;
      const size_t bytes = sizeof(float) * static_cast<size_t>(width) * static_cast<size_t>(grown);
      float* moved = static_cast<float*>(std::realloc(data, bytes));
      if (!moved) return nullptr;
      data = moved;
      capacity = grown;
    }
    return data + static_cast<size_t>(width) * count++;
  }
  const float* At(uint32_t oneBased) const {
    return data + static_cast<size_t>(width) * (oneBased - 1);
  }
  bool Holds(uint32_t oneBased) const {
    return oneBased >= 1 && oneBased <= static_cast<uint32_t>(count);
  }
};

ObjResult Refusal(bool full) { return full ? ObjResult::kTooLarge : ObjResult::kOutOfMemory; }

// What one read fills: the vertex lines' arrays and the triangles of either
// face form.
struct ObjArrays {
  FloatRecords positions{3, kMaxObjCorners}, normals{3, kMaxObjCorners};
  FloatRecords withNormals{18, kMaxObjTriangles}, positionOnly{9, kMaxObjTriangles};
};

ObjResult AppendVector(FloatRecords* records, float x, float y, float z) {
  bool full = false;
  float* v = records->Append(&full);
  if (!v) return Refusal(full);
  v[0] = x, v[1] = y, v[2] = z;
  return ObjResult::kComplete;
}

// A face of three position//normal corners (one-based references).
ObjResult AppendFaceWithNormals(ObjArrays* arrays, const uint32_t corners[3][2]) {
  if (arrays->positionOnly.count > 0) return ObjResult::kMixedForms;
  for (int k = 0; k < 3; ++k) {
    if (!arrays->positions.Holds(corners[k][0]) || !arrays->normals.Holds(corners[k][1])) {
      return ObjResult::kMalformed;
    }
  }
  bool full = false;
  float* t = arrays->withNormals.Append(&full);
  if (!t) return Refusal(full);
  for (int k = 0; k < 3; ++k) {
    std::memcpy(t + 6 * k, arrays->positions.At(corners[k][0]), 3 * sizeof(float));
    std::memcpy(t + 6 * k + 3, arrays->normals.At(corners[k][1]), 3 * sizeof(float));
  }
  return ObjResult::kComplete;
}

// A face of three position// corners (one-based references).
ObjResult AppendPositionOnlyFace(ObjArrays* arrays, const uint32_t corners[3]) {
  if (arrays->withNormals.count > 0) return ObjResult::kMixedForms;
  for (int k = 0; k < 3; ++k) {
    if (!arrays->positions.Holds(corners[k])) return ObjResult::kMalformed;
  }
  bool full = false;
  float* t = arrays->positionOnly.Append(&full);
  if (!t) return Refusal(full);
  for (int k = 0; k < 3; ++k) {
    std::memcpy(t + 3 * k, arrays->positions.At(corners[k]), 3 * sizeof(float));
  }
  return ObjResult::kComplete;
}

// One line: a position, a normal, a face, or anything else, which is
// skipped unless it starts like a face.
ObjResult ReadObjLine(const char* line, ObjArrays* arrays) {
  float x, y, z;
  if (std::sscanf(line, "v %f %f %f", &x, &y, &z) == 3) {
    return AppendVector(&arrays->positions, x, y, z);
  }
  if (std::sscanf(line, "vn %f %f %f", &x, &y, &z) == 3) {
    return AppendVector(&arrays->normals, x, y, z);
  }
  if (line[0] != 'f') return ObjResult::kComplete;
  unsigned a, na, b, nb, c, nc;
  if (std::sscanf(line, "f %u//%u %u//%u %u//%u", &a, &na, &b, &nb, &c, &nc) == 6) {
    const uint32_t corners[3][2] = {{a, na}, {b, nb}, {c, nc}};
    return AppendFaceWithNormals(arrays, corners);
  }
  if (std::sscanf(line, "f %u// %u// %u//", &a, &b, &c) == 3) {
    const uint32_t corners[3] = {a, b, c};
    return AppendPositionOnlyFace(arrays, corners);
  }
  return ObjResult::kMalformed;
}
}  // namespace

const char* ObjResultText(ObjResult result) {
  switch (result) {
    case ObjResult::kComplete: return "complete";
    case ObjResult::kMalformed:
      return "a face of an unsupported form or with a reference out of range";
    case ObjResult::kMixedForms: return "faces with and without normals in one file";
    case ObjResult::kTooLarge: return "more triangles, positions or normals than the show can draw";
    case ObjResult::kOutOfMemory: return "out of memory";
  }
  return "unknown";
}

ObjResult ReadObj(FILE* stream, ObjTriangles* out, int32_t* stoppedAtLine) {
  *out = {nullptr, 0, 0};
  ObjArrays arrays;
  ObjResult result = ObjResult::kComplete;
  char line[1024];
  int32_t lineNumber = 0;
  while (result == ObjResult::kComplete && std::fgets(line, sizeof line, stream)) {
    if (lineNumber < INT32_MAX) ++lineNumber;
    result = ReadObjLine(line, &arrays);
  }

  if (stoppedAtLine) *stoppedAtLine = result == ObjResult::kComplete ? 0 : lineNumber;
  // Mixed forms would need two layouts in one buffer: keep nothing of them.
  if (result == ObjResult::kMixedForms || result == ObjResult::kOutOfMemory) return result;
  FloatRecords& kept = arrays.positionOnly.count > 0 ? arrays.positionOnly : arrays.withNormals;
  out->positionOnly = arrays.positionOnly.count > 0 ? 1 : 0;
  out->triangleCount = kept.count;
  out->data = kept.data;
  kept.data = nullptr;  // ownership passes to the caller
  return result;
}

void FreeObjTriangles(ObjTriangles* triangles) {
  std::free(triangles->data);
  *triangles = {nullptr, 0, 0};
}
