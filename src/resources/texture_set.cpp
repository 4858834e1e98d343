// Loading the texture set. Main thread, start-up only; the first failure is
// shown and ends the load.
#include "resources/texture_set.h"

#include <cstring>

#include "app/messages.h"
#include "app/startup_trace.h"
#include "resources/image_queue.h"

const ImageEntry ImageTable[kImageCount] = {
    {"images/brick.png", 0},       {"images/stars.png", 0},      {"images/mandelbrot.png", 0},
    {"images/frame.jpg", 1},       {"images/filmwriting.jpg", 1}, {"images/present.jpg", 1},
    {"images/title.jpg", 1},       {"images/dumdeedum.jpg", 1},  {"images/gazillion.jpg", 1},
    {"images/lookcube.jpg", 1},    {"images/puntz.jpg", 1},      {"images/definition.jpg", 1},
    {"images/math.jpg", 1},        {"images/theend.jpg", 1},     {"images/tmandel.jpg", 1},
    {"images/greets1.jpg", 1},     {"images/greets2.jpg", 1},    {"images/veldrin.jpg", 1},
    {"images/tarn4.jpg", 1},       {"images/mus.jpg", 1},        {"images/f1.png", 0},
    {"images/f2.png", 0},          {"images/f3.png", 0},         {"images/f4.png", 0},
};

GLuint TextureTable[kImageCount];

bool PixelFormatForComponents(int components, PixelFormat* out) {
  switch (components) {
    case 1: *out = {GL_R8, GL_RED}; return true;
    case 2: *out = {GL_RG8, GL_RG}; return true;
    case 3: *out = {GL_RGB8, GL_RGB}; return true;
    case 4: *out = {GL_RGBA8, GL_RGBA}; return true;
    default: return false;
  }
}

GLint WrapModeForSize(int width, int height) { return width == height ? GL_REPEAT : GL_CLAMP; }

namespace {
bool AnisotropySupported() {
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  return extensions && (std::strstr(extensions, "GL_EXT_texture_filter_anisotropic") ||
                        std::strstr(extensions, "GL_ARB_texture_filter_anisotropic"));
}
}  // namespace

void StartTextureDecoding() {
  static bool started = false;
  if (started) return;
  started = true;
  static const char* paths[kImageCount];
  for (int i = 0; i < kImageCount; ++i) paths[i] = ImageTable[i].path;
  StartImageDecoding(paths, kImageCount);
}

bool LoadTextures() {
  StartTextureDecoding();
  glGenTextures(kImageCount, TextureTable);
  // Without the extension the parameter would be an invalid enum: skip it.
  const bool anisotropic = AnisotropySupported();
  GLfloat maxAnisotropy = 1.0f;
  if (anisotropic) glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy);
  // Rows of any width upload correctly, not only multiples of 4 bytes.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

  for (int i = 0; i < kImageCount; ++i) {
    const char* path = ImageTable[i].path;
    const double waitStart = StartupClock();
    const DecodedImage& image = WaitForDecodedImage(i);
    const double uploadStart = StartupClock();
    AddStartupTime("decode-wait", uploadStart - waitStart);
    switch (image.status) {
      case ImageStatus::kReady: break;
      case ImageStatus::kFileError: ShowMessage(path, kFileError); return false;
      case ImageStatus::kDecodeError: ShowMessage(path, image.failureReason.c_str()); return false;
    }
    PixelFormat format{};
    if (!PixelFormatForComponents(image.components, &format)) {
      ShowMessage(path, kFormatError);
      return false;
    }
    glBindTexture(GL_TEXTURE_2D, TextureTable[i]);
    glTexImage2D(GL_TEXTURE_2D, 0, format.internalFormat, image.width, image.height, 0,
                 format.format, GL_UNSIGNED_BYTE, image.pixels);
    const bool trilinear = ImageTable[i].FilterFlag != 0;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    trilinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, trilinear ? GL_LINEAR : GL_NEAREST);
    if (anisotropic) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, maxAnisotropy);
    const GLint wrap = WrapModeForSize(image.width, image.height);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    const double mipmapStart = StartupClock();
    AddStartupTime("upload", mipmapStart - uploadStart);
    gl.glGenerateMipmap(GL_TEXTURE_2D);
    AddStartupTime("mipmaps", StartupClock() - mipmapStart);
    ReleaseDecodedImage(i);
  }
  return true;
}
