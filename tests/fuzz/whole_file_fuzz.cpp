// Fuzz target: the whole-file reader gives back exactly the bytes written,
// for any contents and length, and nothing but them.
#include <unistd.h>

#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/whole_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static char path[64];
  if (!*path) std::snprintf(path, sizeof path, "/tmp/nitrate-whole-file-fuzz.%d", getpid());
  FILE* file = std::fopen(path, "wb");
  if (!file) return 0;
  const bool written = std::fwrite(data, 1, size, file) == size;
  std::fclose(file);
  if (!written) return 0;
  int32_t length = -1;
  uint8_t* bytes = ReadWholeFile(path, &length);
  assert(bytes && length == static_cast<int32_t>(size));
  assert(size == 0 || std::memcmp(bytes, data, size) == 0);
  delete[] bytes;
  unlink(path);
  return 0;
}
