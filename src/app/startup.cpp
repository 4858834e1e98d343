// The start-up sequence, window and context creation and the fullscreen
// switch. Main thread. Every failure is shown before false is returned;
// nothing is undone, since the process then exits with -1.
#include "app/startup.h"

#include <cstdio>

#include "audio/music_stream.h"
#include "common/messages.h"
#include "common/show_random.h"
#include "common/startup_trace.h"
#include "platform/platform.h"
#include "resources/geometry.h"
#include "resources/shader_library.h"
#include "resources/texture_set.h"

namespace {
bool ContextIsRecentEnough() {
  int major = 0, minor = 0;
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  if (version) std::sscanf(version, "%d.%d", &major, &minor);
  if (major >= 3) return true;
  // Some loaders hand out pointers for names they do not know, so a full
  // table proves nothing on an older context.
  char text[96];
  std::snprintf(text, sizeof text, "OpenGL 3.0 or later is needed; this context is %d.%d.", major,
                minor);
  ShowMessage(nullptr, text);
  ShowMessage(nullptr, kOpenGlExtensionsError);
  return false;
}

bool CreateSceneTarget(SceneTargetRecord* target) {
  glGenTextures(1, &target->colourTexture);
  glGenTextures(1, &target->depthTexture);
  gl.glGenFramebuffers(1, &target->framebuffer);
  const GLuint textures[2] = {target->colourTexture, target->depthTexture};
  const GLint internalFormats[2] = {GL_RGBA8, GL_DEPTH_COMPONENT};
  const GLenum formats[2] = {GL_RGBA, GL_DEPTH_COMPONENT};
  for (int i = 0; i < 2; ++i) {
    glBindTexture(GL_TEXTURE_2D, textures[i]);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormats[i], target->width, target->height, 0, formats[i],
                 GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  gl.glBindFramebuffer(GL_FRAMEBUFFER, target->framebuffer);
  gl.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                            target->colourTexture, 0);
  gl.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D,
                            target->depthTexture, 0);
  const bool complete = gl.glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  if (!complete) {
    ShowMessage(nullptr, kFramebufferError);
    return false;
  }
  gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return true;
}
}  // namespace

bool CreateWindowAndContext(const StartOptions& options, ShowScreen* screen) {
  if (options.instanceGuard && !PlatformAcquireInstanceGuard(options.instanceGuard)) return false;
  // The images are read, judged and decoded on worker threads while the
  // window, the context and the shaders are made; a refused second copy
  // never starts on them.
  StartTextureDecoding();
  if (!PlatformInitVideo()) return false;
  MarkStartupStep("guard-and-video");
  if (options.outputWidth > 0 && options.outputHeight > 0) {
    screen->ScreenWidth = options.outputWidth;
    screen->ScreenHeight = options.outputHeight;
  } else {
    PlatformScreenSize(&screen->ScreenWidth, &screen->ScreenHeight);
  }
  if (!PlatformCreateWindow(screen->ScreenWidth, screen->ScreenHeight)) return false;
  MarkStartupStep("context");
  const GlLookup lookup = options.glLookup ? options.glLookup : PlatformGlProcAddress;
  if (!FetchGlEntryPoints(&gl, lookup, kPlatformSwapIntervalName)) return false;
  if (!ContextIsRecentEnough()) return false;
  screen->AspectRatio =
      static_cast<double>(screen->ScreenWidth) / static_cast<double>(screen->ScreenHeight);
  gl.swapInterval(1);  // swaps wait for the retrace where the driver allows it
  return true;
}

void SwitchToFullscreen(ShowScreen* screen) {
  screen->WindowWidth = screen->ScreenWidth;
  screen->WindowHeight = screen->ScreenHeight;
  PlatformShowFullscreen(screen->WindowWidth, screen->WindowHeight);
  screen->AspectRatio =
      static_cast<double>(screen->WindowWidth) / static_cast<double>(screen->WindowHeight);
  glViewport(0, 0, screen->WindowWidth, screen->WindowHeight);
}

bool StartShow(const StartOptions& options, Show* show) {
  PlatformPrepareAllocator();
  MarkStartupStep("begin");
  if (!CreateWindowAndContext(options, &show->screen)) {
    ShowMessage(nullptr, kBadKindOfError);
    return false;
  }
  show->ShowLcgState = kShowLcgSeed;
  if (!LoadShaders(&show->programs)) return false;
  MarkStartupStep("shaders");
  if (!LoadTextures(&show->textures)) return false;
  MarkStartupStep("textures");
  CreateFullscreenQuad(&show->FullscreenQuad);
  if (!OpenMusicStream()) {
    ShowMessage(nullptr, kSoundError);
    return false;
  }
  // A malformed mesh leaves the cube scenes empty but the show plays; a
  // missing one has been shown and ends the start-up like any other file.
  const MeshLoad mesh = LoadMesh(&show->MeshBuffer);
  if (mesh == MeshLoad::kMissing || mesh == MeshLoad::kOutOfMemory) return false;
  MarkStartupStep("music-and-mesh");
  SwitchToFullscreen(&show->screen);
  MarkStartupStep("fullscreen");

  show->SceneTarget.width = kSceneWidth;
  show->SceneTarget.height = kSceneHeight;
  // ShowRand's draws 1 to 96; the director goes on from 97.
  FillBallTables(&show->ShowRandState, show->BallMotionTable, show->BallPositions);
  if (!CreateSceneTarget(&show->SceneTarget)) return false;
  PlatformHideCursor();
  ResumeMusicStream();
  MarkStartupStep("scene-target");
  return true;
}

bool StartShowWithEveryPicture(const StartOptions& options, Show* show) {
  if (!StartShow(options, show)) return false;
  TextureFailure failure{};
  if (!FinishTextureLoading(&show->textures, &failure)) {
    std::fprintf(stderr, "%s: %s\n", failure.path, failure.text);
    return false;
  }
  return true;
}
