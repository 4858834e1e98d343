// Starts the show once in an off-screen GL context (content/ is the working
// directory), then runs the GL checks against what start-up built.
#include <gtest/gtest.h>

#include "app/startup.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  StartOptions options;
  options.outputWidth = 320;
  options.outputHeight = 180;  // 16:9, so the picture has black sides
  options.instanceGuard = nullptr;
  if (!StartShow(options)) {
    std::fprintf(stderr, "start-up failed\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}
