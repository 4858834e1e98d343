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
  FloatRecords positions(3, kMaxObjCorners), normals(3, kMaxObjCorners);
  FloatRecords withNormals(18, kMaxObjTriangles), positionOnly(9, kMaxObjTriangles);
  ObjResult result = ObjResult::kComplete;
  char line[1024];
  bool full = false;
  int32_t lineNumber = 0;

  while (result == ObjResult::kComplete && std::fgets(line, sizeof line, stream)) {
    if (lineNumber < INT32_MAX) ++lineNumber;
    float x, y, z;
    if (std::sscanf(line, "v %f %f %f", &x, &y, &z) == 3) {
      float* p = positions.Append(&full);
      if (!p) {
        result = Refusal(full);
        break;
      }
      p[0] = x, p[1] = y, p[2] = z;
    } else if (std::sscanf(line, "vn %f %f %f", &x, &y, &z) == 3) {
      float* n = normals.Append(&full);
      if (!n) {
        result = Refusal(full);
        break;
      }
      n[0] = x, n[1] = y, n[2] = z;
    } else if (line[0] == 'f') {
      unsigned a, na, b, nb, c, nc;
      if (std::sscanf(line, "f %u//%u %u//%u %u//%u", &a, &na, &b, &nb, &c, &nc) == 6) {
        if (positionOnly.count > 0) {
          result = ObjResult::kMixedForms;
          break;
        }
        if (!positions.Holds(a) || !positions.Holds(b) || !positions.Holds(c) ||
            !normals.Holds(na) || !normals.Holds(nb) || !normals.Holds(nc)) {
          result = ObjResult::kMalformed;
          break;
        }
        float* t = withNormals.Append(&full);
        if (!t) {
          result = Refusal(full);
          break;
        }
        const uint32_t corners[3][2] = {{a, na}, {b, nb}, {c, nc}};
        for (int k = 0; k < 3; ++k) {
          std::memcpy(t + 6 * k, positions.At(corners[k][0]), 3 * sizeof(float));
          std::memcpy(t + 6 * k + 3, normals.At(corners[k][1]), 3 * sizeof(float));
        }
      } else if (std::sscanf(line, "f %u// %u// %u//", &a, &b, &c) == 3) {
        if (withNormals.count > 0) {
          result = ObjResult::kMixedForms;
          break;
        }
        if (!positions.Holds(a) || !positions.Holds(b) || !positions.Holds(c)) {
          result = ObjResult::kMalformed;
          break;
        }
        float* t = positionOnly.Append(&full);
        if (!t) {
          result = Refusal(full);
          break;
        }
        std::memcpy(t, positions.At(a), 3 * sizeof(float));
        std::memcpy(t + 3, positions.At(b), 3 * sizeof(float));
        std::memcpy(t + 6, positions.At(c), 3 * sizeof(float));
      } else {
        result = ObjResult::kMalformed;
      }
    }
  }

  if (stoppedAtLine) *stoppedAtLine = result == ObjResult::kComplete ? 0 : lineNumber;
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
