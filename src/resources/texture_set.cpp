// Loading the texture set. Main thread. Start-up checks every image and
// shows the first failure; the uploads come later, as the show needs them.
#include "resources/texture_set.h"

#include <cstring>
#include <string>

#include "app/messages.h"
#include "app/startup_trace.h"
#include "resources/image_decoder.h"
#include "resources/image_queue.h"
#include "resources/whole_file.h"

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

const int TextureLoadOrder[kImageCount] = {
    kImageFrame,                       // the gate, from the first pass
    20, 21, 22, 23,                    // the scratch overlays, from the first film frame
    kImageFilmWriting,                 // from 2 s
    5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19,  // the cards
    kImageBrick, kImageStars, kImageMandelbrot,                   // the effects
};

namespace {
bool AnisotropySupported() {
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  return extensions && (std::strstr(extensions, "GL_EXT_texture_filter_anisotropic") ||
                        std::strstr(extensions, "GL_ARB_texture_filter_anisotropic"));
}

struct Loader {
  bool anisotropic = false;
  GLfloat maxAnisotropy = 1.0f;
  int positionOf[kImageCount] = {};  // index in TextureLoadOrder
  bool loaded[kImageCount] = {};
  int loadedCount = 0;
  int nextInOrder = 0;  // TextureLoadOrder[0..nextInOrder) are loaded
  TextureFailure failure = {nullptr, nullptr};
  std::string failureText;
};
Loader loader;

void Fail(int index, const char* text) {
  if (loader.failure.path) return;  // the first failure is the one shown
  loader.failureText = text;
  loader.failure = {ImageTable[index].path, loader.failureText.c_str()};
}

// Uploads image index with the filters, anisotropy, wrap mode and mipmaps
// its table entry asks for. Once per index.
void Upload(int index) {
  loader.loaded[index] = true;  // tried once, even when it fails
  ++loader.loadedCount;
  const int position = loader.positionOf[index];
  const double waitStart = StartupClock();
  const DecodedImage& image = WaitForDecodedImage(position);
  const double uploadStart = StartupClock();
  AddStartupTime("decode-wait", uploadStart - waitStart);
  PixelFormat format{};
  if (image.status == ImageStatus::kFileError) {
    Fail(index, kFileError);
  } else if (image.status == ImageStatus::kDecodeError) {
    Fail(index, image.failureReason.c_str());
  } else if (!PixelFormatForComponents(image.components, &format)) {
    Fail(index, kFormatError);
  } else {
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, TextureTable[index]);
    glTexImage2D(GL_TEXTURE_2D, 0, format.internalFormat, image.width, image.height, 0,
                 format.format, GL_UNSIGNED_BYTE, image.pixels);
    const bool trilinear = ImageTable[index].FilterFlag != 0;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    trilinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, trilinear ? GL_LINEAR : GL_NEAREST);
    if (loader.anisotropic) {
      glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, loader.maxAnisotropy);
    }
    const GLint wrap = WrapModeForSize(image.width, image.height);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    const double mipmapStart = StartupClock();
    AddStartupTime("upload", mipmapStart - uploadStart);
    gl.glGenerateMipmap(GL_TEXTURE_2D);
    AddStartupTime("mipmaps", StartupClock() - mipmapStart);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  }
  ReleaseDecodedImage(position);
}

// Reads the file and its header as the decoder will: false after showing why
// the image cannot become a texture.
bool CheckImage(int index) {
  const char* path = ImageTable[index].path;
  int32_t length = 0;
  uint8_t* file = ReadWholeFile(path, &length);
  if (!file) {
    ShowMessage(path, kFileError);
    return false;
  }
  int width = 0, height = 0, components = 0;
  const bool readable = ReadImageHeader(file, length, &width, &height, &components);
  delete[] file;
  if (!readable) {
    ShowMessage(path, ImageFailureReason());
    return false;
  }
  PixelFormat format{};
  if (!PixelFormatForComponents(components, &format)) {
    ShowMessage(path, kFormatError);
    return false;
  }
  return true;
}
}  // namespace

void StartTextureDecoding() {
  static bool started = false;
  if (started) return;
  started = true;
  static const char* paths[kImageCount];
  for (int position = 0; position < kImageCount; ++position) {
    const int index = TextureLoadOrder[position];
    paths[position] = ImageTable[index].path;
    loader.positionOf[index] = position;
  }
  StartImageDecoding(paths, kImageCount);
}

bool LoadTextures() {
  StartTextureDecoding();
  glGenTextures(kImageCount, TextureTable);
  // Without the extension the parameter would be an invalid enum: skip it.
  loader.anisotropic = AnisotropySupported();
  if (loader.anisotropic) glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &loader.maxAnisotropy);
  // Rows of any width upload correctly, not only multiples of 4 bytes.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < kImageCount; ++i) {
    if (!CheckImage(i)) return false;
  }
  return true;
}

void EnsureTextureLoaded(GLuint name) {
  if (name == 0) return;
  for (int i = 0; i < kImageCount; ++i) {
    if (TextureTable[i] == name) {
      if (!loader.loaded[i]) Upload(i);
      return;
    }
  }
}

GLuint LoadedTexture(int index) {
  if (!loader.loaded[index]) Upload(index);
  return TextureTable[index];
}

void ContinueTextureLoading() {
  while (loader.nextInOrder < kImageCount) {
    const int index = TextureLoadOrder[loader.nextInOrder++];
    if (!loader.loaded[index]) {
      Upload(index);
      return;
    }
  }
}

void FinishTextureLoading() {
  while (loader.loadedCount < kImageCount) ContinueTextureLoading();
}

bool TextureIsLoaded(int index) { return loader.loaded[index]; }
int LoadedTextureCount() { return loader.loadedCount; }
TextureFailure TextureLoadFailure() { return loader.failure; }
