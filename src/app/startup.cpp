// The start-up sequence, window and context creation and the fullscreen
// switch. Main thread. Every failure is shown before false is returned;
// nothing is undone, since the process then exits with -1.
#include "app/startup.h"

#include <cstdio>
#include <new>

#include "audio/music_stream.h"
#include "common/messages.h"
#include "common/show_random.h"
#include "common/show_state.h"
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

bool CreateSceneTarget() {
  glGenTextures(1, &SceneTarget.colourTexture);
  glGenTextures(1, &SceneTarget.depthTexture);
  gl.glGenFramebuffers(1, &SceneTarget.framebuffer);
  const GLuint textures[2] = {SceneTarget.colourTexture, SceneTarget.depthTexture};
  const GLint internalFormats[2] = {GL_RGBA8, GL_DEPTH_COMPONENT};
  const GLenum formats[2] = {GL_RGBA, GL_DEPTH_COMPONENT};
  for (int i = 0; i < 2; ++i) {
    glBindTexture(GL_TEXTURE_2D, textures[i]);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormats[i], SceneTarget.width, SceneTarget.height, 0,
                 formats[i], GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  gl.glBindFramebuffer(GL_FRAMEBUFFER, SceneTarget.framebuffer);
  gl.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                            SceneTarget.colourTexture, 0);
  gl.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D,
                            SceneTarget.depthTexture, 0);
  const bool complete = gl.glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  if (!complete) {
    ShowMessage(nullptr, kFramebufferError);
    return false;
  }
  gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return true;
}
}  // namespace

bool CreateWindowAndContext(const StartOptions& options) {
  if (options.instanceGuard && !PlatformAcquireInstanceGuard(options.instanceGuard)) return false;
  // The images are read, judged and decoded on worker threads while the
  // window, the context and the shaders are made; a refused second copy
  // never starts on them.
  StartTextureDecoding();
  if (!PlatformInitVideo()) return false;
  MarkStartupStep("guard-and-video");
  if (options.outputWidth > 0 && options.outputHeight > 0) {
    ScreenWidth = options.outputWidth;
    ScreenHeight = options.outputHeight;
  } else {
    PlatformScreenSize(&ScreenWidth, &ScreenHeight);
  }
  if (!PlatformCreateWindow(ScreenWidth, ScreenHeight)) return false;
  MarkStartupStep("context");
  const GlLookup lookup = options.glLookup ? options.glLookup : PlatformGlProcAddress;
  if (!FetchGlEntryPoints(&gl, lookup, kPlatformSwapIntervalName)) return false;
  if (!ContextIsRecentEnough()) return false;
  AspectRatio = static_cast<double>(ScreenWidth) / static_cast<double>(ScreenHeight);
  gl.swapInterval(1);  // swaps wait for the retrace where the driver allows it
  return true;
}

void SwitchToFullscreen() {
  WindowWidth = ScreenWidth;
  WindowHeight = ScreenHeight;
  PlatformShowFullscreen(WindowWidth, WindowHeight);
  AspectRatio = static_cast<double>(WindowWidth) / static_cast<double>(WindowHeight);
  glViewport(0, 0, WindowWidth, WindowHeight);
}

bool StartShow(const StartOptions& options) {
  PlatformPrepareAllocator();
  MarkStartupStep("begin");
  if (!CreateWindowAndContext(options)) {
    ShowMessage(nullptr, kBadKindOfError);
    return false;
  }
  ShowLcgState = kShowLcgSeed;
  if (!LoadShaders()) return false;
  MarkStartupStep("shaders");
  if (!LoadTextures()) return false;
  MarkStartupStep("textures");
  CreateFullscreenQuad();
  if (!OpenMusicStream()) {
    ShowMessage(nullptr, kSoundError);
    return false;
  }
  // A malformed mesh leaves the cube scenes empty but the show plays; a
  // missing one has been shown and ends the start-up like any other file.
  const MeshLoad mesh = LoadMesh();
  if (mesh == MeshLoad::kMissing || mesh == MeshLoad::kOutOfMemory) return false;
  MarkStartupStep("music-and-mesh");
  SwitchToFullscreen();
  MarkStartupStep("fullscreen");

  SceneTarget.width = kSceneWidth;
  SceneTarget.height = kSceneHeight;
  BallPositions = new (std::nothrow) float[32];
  BallMotionTable = new (std::nothrow) float[64];
  if (!BallPositions || !BallMotionTable) {
    ShowMessage(nullptr, kOutOfMemory);
    return false;
  }
  FillBallTables(&ShowRandState, BallMotionTable, BallPositions);
  if (!CreateSceneTarget()) return false;
  PlatformHideCursor();
  ResumeMusicStream();
  MarkStartupStep("scene-target");
  return true;
}

bool StartShowWithEveryPicture(const StartOptions& options) {
  if (!StartShow(options)) return false;
  TextureFailure failure{};
  if (!FinishTextureLoading(&failure)) {
    std::fprintf(stderr, "%s: %s\n", failure.path, failure.text);
    return false;
  }
  return true;
}
