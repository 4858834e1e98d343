// Replays saved inputs through a fuzz target without libFuzzer: each
// argument is a file or a directory of files. Exit 0 when every input ran
// (a fault aborts the process).
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/whole_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
int RunFile(const std::string& path) {
  int32_t length = 0;
  uint8_t* bytes = ReadWholeFile(path.c_str(), &length);
  if (!bytes) {
    std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
    return 1;
  }
  LLVMFuzzerTestOneInput(bytes, static_cast<size_t>(length));
  delete[] bytes;
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  int failures = 0, inputs = 0;
  for (int i = 1; i < argc; ++i) {
    struct stat info {};
    if (stat(argv[i], &info) == 0 && S_ISDIR(info.st_mode)) {
      DIR* directory = opendir(argv[i]);
      while (dirent* entry = directory ? readdir(directory) : nullptr) {
        if (entry->d_name[0] == '.') continue;
        failures += RunFile(std::string(argv[i]) + "/" + entry->d_name);
        ++inputs;
      }
      if (directory) closedir(directory);
    } else {
      failures += RunFile(argv[i]);
      ++inputs;
    }
  }
  std::printf("replayed %d inputs\n", inputs);
  return failures == 0 ? 0 : 1;
}
