// Starts the show once in an off-screen GL context (content/ is the working
// directory), uploads every texture, then runs the GL checks against what
// start-up built.
#include <gtest/gtest.h>

#include "app/startup.h"
#include "resources/texture_set.h"
#include "gl_start.h"

StartupTextureState TexturesAtStartup;
Show StartedShow;

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  StartOptions options;
  options.outputWidth = 320;
  options.outputHeight = 180;  // 16:9, so the picture has black sides
  options.instanceGuard = nullptr;
  if (!StartShow(options, &StartedShow)) {
    std::fprintf(stderr, "start-up failed\n");
    return 1;
  }
  // What start-up left for later, and one upload on demand, before the
  // checks load the rest.
  TextureSet* textures = &StartedShow.textures;
  TexturesAtStartup.loaded = LoadedTextureCount(*textures);
  ImageTexture(textures, kImageStars);
  TexturesAtStartup.loadedAfterOneUse = LoadedTextureCount(*textures);
  TexturesAtStartup.starsLoaded = TextureIsLoaded(*textures, kImageStars);
  TextureFailure failure{};
  TexturesAtStartup.allLoaded = FinishTextureLoading(textures, &failure);
  return RUN_ALL_TESTS();
}
