// OBJ subset reader. Arrays grow by 1024 elements at a time.
#include "resources/obj_reader.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr int kGrowth = 1024;

// A growable run of fixed-size records of floats.
struct FloatRecords {
  float* data = nullptr;
  int32_t count = 0;
  int32_t capacity = 0;
  int width;  // floats per record

  explicit FloatRecords(int floatsPerRecord) : width(floatsPerRecord) {}
  ~FloatRecords() { std::free(data); }

  // Space for one more record, or null when memory runs out.
  float* Append() {
    if (count == capacity) {
      const size_t bytes = sizeof(float) * static_cast<size_t>(width) * (capacity + kGrowth);
      float* grown = static_cast<float*>(std::realloc(data, bytes));
      if (!grown) return nullptr;
      data = grown;
      capacity += kGrowth;
    }
    return data + static_cast<size_t>(width) * count++;
  }
  const float* At(uint32_t oneBased) const { return data + static_cast<size_t>(width) * (oneBased - 1); }
  bool Holds(uint32_t oneBased) const { return oneBased >= 1 && oneBased <= static_cast<uint32_t>(count); }
};
}  // namespace

ObjResult ReadObj(FILE* stream, ObjTriangles* out) {
  *out = {nullptr, 0, 0};
  FloatRecords positions(3), normals(3);
  FloatRecords withNormals(18), positionOnly(9);
  ObjResult result = ObjResult::kComplete;
  char line[1024];

  while (result == ObjResult::kComplete && std::fgets(line, sizeof line, stream)) {
    float x, y, z;
    if (std::sscanf(line, "v %f %f %f", &x, &y, &z) == 3) {
      float* p = positions.Append();
      if (!p) { result = ObjResult::kOutOfMemory; break; }
      p[0] = x, p[1] = y, p[2] = z;
    } else if (std::sscanf(line, "vn %f %f %f", &x, &y, &z) == 3) {
      float* n = normals.Append();
      if (!n) { result = ObjResult::kOutOfMemory; break; }
      n[0] = x, n[1] = y, n[2] = z;
    } else if (line[0] == 'f') {
      unsigned a, na, b, nb, c, nc;
      if (std::sscanf(line, "f %u//%u %u//%u %u//%u", &a, &na, &b, &nb, &c, &nc) == 6) {
        if (positionOnly.count > 0) { result = ObjResult::kMixedForms; break; }
        if (!positions.Holds(a) || !positions.Holds(b) || !positions.Holds(c) ||
            !normals.Holds(na) || !normals.Holds(nb) || !normals.Holds(nc)) {
          result = ObjResult::kMalformed;
          break;
        }
        float* t = withNormals.Append();
        if (!t) { result = ObjResult::kOutOfMemory; break; }
        const uint32_t corners[3][2] = {{a, na}, {b, nb}, {c, nc}};
        for (int k = 0; k < 3; ++k) {
          std::memcpy(t + 6 * k, positions.At(corners[k][0]), 3 * sizeof(float));
          std::memcpy(t + 6 * k + 3, normals.At(corners[k][1]), 3 * sizeof(float));
        }
      } else if (std::sscanf(line, "f %u// %u// %u//", &a, &b, &c) == 3) {
        if (withNormals.count > 0) { result = ObjResult::kMixedForms; break; }
        if (!positions.Holds(a) || !positions.Holds(b) || !positions.Holds(c)) {
          result = ObjResult::kMalformed;
          break;
        }
        float* t = positionOnly.Append();
        if (!t) { result = ObjResult::kOutOfMemory; break; }
        std::memcpy(t, positions.At(a), 3 * sizeof(float));
        std::memcpy(t + 3, positions.At(b), 3 * sizeof(float));
        std::memcpy(t + 6, positions.At(c), 3 * sizeof(float));
      } else {
        result = ObjResult::kMalformed;
      }
    }
  }

  // Mixed forms would need two layouts in one buffer: keep nothing of them.
  if (result == ObjResult::kMixedForms || result == ObjResult::kOutOfMemory) return result;
  FloatRecords& kept = positionOnly.count > 0 ? positionOnly : withNormals;
  out->positionOnly = positionOnly.count > 0 ? 1 : 0;
  out->triangleCount = kept.count;
  out->data = kept.data;
  kept.data = nullptr;  // ownership passes to the caller
  return result;
}

void FreeObjTriangles(ObjTriangles* triangles) {
  std::free(triangles->data);
  *triangles = {nullptr, 0, 0};
}
