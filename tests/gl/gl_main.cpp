// Starts the show once in an off-screen GL context (content/ is the working
// directory), uploads every texture, then runs the GL checks against what
// start-up built.
#include <gtest/gtest.h>

#include "app/startup.h"
#include "resources/texture_set.h"
#include "gl_start.h"

StartupTextureState TexturesAtStartup;

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
  // What start-up left for later, and one upload on demand, before the
  // checks load the rest.
  TexturesAtStartup.loaded = LoadedTextureCount();
  ImageTexture(kImageStars);
  TexturesAtStartup.loadedAfterOneUse = LoadedTextureCount();
  TexturesAtStartup.starsLoaded = TextureIsLoaded(kImageStars);
  TextureFailure failure{};
  TexturesAtStartup.allLoaded = FinishTextureLoading(&failure);
  return RUN_ALL_TESTS();
}
