// Loading the texture set. Main thread. Start-up checks every image's header
// as the workers found it and shows the first failure; the uploads come
// later, as the show needs them, all through MakeReady.
#include "resources/texture_set.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/messages.h"
#include "common/startup_trace.h"
#include "resources/image_queue.h"

namespace {
bool AnisotropySupported() {
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  return extensions && (std::strstr(extensions, "GL_EXT_texture_filter_anisotropic") ||
                        std::strstr(extensions, "GL_ARB_texture_filter_anisotropic"));
}

using Upload = TextureUpload;

// A strip of level 0 is at most this many bytes, so that one pass uploads a
// card whole but the 4.2-megapixel film-writing strip over several passes.
constexpr int64_t kStripBytes = 4 << 20;

void Refuse(TextureSet* set, int index, const char* text) {
  set->loading.refused[index] = true;
  set->loading.refusal[index] = text;
  // The first is the one shown.
  if (set->loading.firstRefused < 0) set->loading.firstRefused = index;
}

bool Refused(const TextureSet& set, int index, TextureFailure* failure) {
  *failure = {ImageTable[index].path, set.loading.refusal[index].c_str()};
  return false;
}

void MarkLoaded(TextureSet* set, int index) {
  set->loading.loaded[index] = true;
  ++set->loading.loadedCount;
}

// Runs body with texture bound on the active unit, then puts the unit's
// binding back: uploads happen in the middle of drawing.
template <typename Body>
void WithTextureBound(GLuint texture, Body body) {
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glBindTexture(GL_TEXTURE_2D, texture);
  body();
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
}

// Takes the decoded image and makes level 0 with no pixels yet. false when
// the image failed: the failure is kept and the texture counts as done.
bool BeginUpload(TextureSet* set, int index, Upload* upload) {
  const int position = set->loading.positionOf[index];
  const double waitStart = StartupClock();
  const DecodedImage& image = WaitForDecodedImage(position);
  AddStartupTime("decode-wait", StartupClock() - waitStart);
  PixelFormat format{};
  const char* failure = nullptr;
  if (image.status == ImageStatus::kFileError) {
    failure = kFileError;
  } else if (image.status == ImageStatus::kDecodeError) {
    failure = image.failureReason.c_str();
  } else if (!PixelFormatForComponents(image.components, &format)) {
    failure = kFormatError;
  }
  if (failure) {
    Refuse(set, index, failure);
    ReleaseDecodedImage(position);
    MarkLoaded(set, index);
    return false;
  }
  *upload = {index, position, &image, format, 0};
  WithTextureBound(set->TextureTable[index], [&] {
    glTexImage2D(GL_TEXTURE_2D, 0, format.internalFormat, image.width, image.height, 0,
                 format.format, GL_UNSIGNED_BYTE, nullptr);
  });
  return true;
}

// Uploads the next strip of level 0 (all of it when whole is set); once all
// rows are up, sets the filters, anisotropy and wrap mode the table asks for,
// builds the mipmaps and releases the pixels. A picture that took several
// strips builds its mipmaps in a step of its own. true when the texture is
// complete.
bool ContinueUpload(TextureSet* set, Upload* upload, bool whole) {
  const DecodedImage& image = *upload->image;
  const int64_t rowBytes = static_cast<int64_t>(image.width) * image.components;
  const bool firstStep = upload->rowsDone == 0;
  if (upload->rowsDone < image.height) {
    const int64_t stripRows = rowBytes > 0 ? kStripBytes / rowBytes : image.height;
    const int left = image.height - upload->rowsDone;
    int rows = left;
    if (!whole && stripRows < left) rows = stripRows < 1 ? 1 : static_cast<int>(stripRows);
    const double start = StartupClock();
    WithTextureBound(set->TextureTable[upload->index], [&] {
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, upload->rowsDone, image.width, rows,
                      upload->format.format, GL_UNSIGNED_BYTE,
                      image.pixels + upload->rowsDone * rowBytes);
    });
    AddStartupTime("upload", StartupClock() - start);
    upload->rowsDone += rows;
    if (!whole && (upload->rowsDone < image.height || !firstStep)) return false;
  }
  const double start = StartupClock();
  WithTextureBound(set->TextureTable[upload->index], [&] {
    const bool trilinear = ImageTable[upload->index].FilterFlag != 0;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    trilinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, trilinear ? GL_LINEAR : GL_NEAREST);
    if (set->loading.anisotropic) {
      glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, set->loading.maxAnisotropy);
    }
    const GLint wrap = WrapModeForSize(image.width, image.height);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    gl.glGenerateMipmap(GL_TEXTURE_2D);
  });
  AddStartupTime("mipmaps", StartupClock() - start);
  ReleaseDecodedImage(upload->position);
  MarkLoaded(set, upload->index);
  upload->index = -1;
  return true;
}

// Makes texture index complete now: takes over the background's upload if
// it is this one, else begins its own. false when the picture was refused.
bool MakeReady(TextureSet* set, int index) {
  TextureSet::Loading& loading = set->loading;
  if (!loading.loaded[index]) {
    if (loading.background.index == index) {
      ContinueUpload(set, &loading.background, true);
    } else {
      Upload upload;
      if (BeginUpload(set, index, &upload)) ContinueUpload(set, &upload, true);
    }
  }
  return !loading.refused[index];
}

// true when no picture has been refused; else the first refusal, into
// *failure.
bool ReportRefusal(const TextureSet& set, TextureFailure* failure) {
  if (set.loading.firstRefused < 0) return true;
  return Refused(set, set.loading.firstRefused, failure);
}

// The header the workers read for index, as the decoder will decode it:
// false after showing why the image cannot become a texture.
bool CheckImage(const TextureSet& set, int index) {
  const char* path = ImageTable[index].path;
  const ImageHeader& header = WaitForImageHeader(set.loading.positionOf[index]);
  if (header.status == ImageStatus::kFileError) {
    ShowMessage(path, kFileError);
    return false;
  }
  if (header.status == ImageStatus::kDecodeError) {
    ShowMessage(path, header.failureReason.c_str());
    return false;
  }
  PixelFormat format{};
  if (!PixelFormatForComponents(header.components, &format)) {
    ShowMessage(path, kFormatError);
    return false;
  }
  // The decoder's own caps are the same everywhere; the driver's may be
  // lower, and a texture it cannot hold would stay empty without a word.
  const GLint maxSide = set.loading.maxSide;
  if (maxSide > 0 && (header.width > maxSide || header.height > maxSide)) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "image too large: %d x %d pixels (this OpenGL driver takes at most %d on a side)",
                  header.width, header.height, static_cast<int>(maxSide));
    ShowMessage(path, text);
    return false;
  }
  return true;
}
}  // namespace

void StartTextureDecoding() {
  static bool started = false;
  if (started) return;
  started = true;
  // The workers read the paths until process exit.
  static const char* paths[kImageCount];
  for (int position = 0; position < kImageCount; ++position) {
    paths[position] = ImageTable[TextureLoadOrder[position]].path;
  }
  StartImageDecoding(paths, kImageCount);
}

bool LoadTextures(TextureSet* set) {
  StartTextureDecoding();
  TextureSet::Loading& loading = set->loading;
  for (int position = 0; position < kImageCount; ++position) {
    loading.positionOf[TextureLoadOrder[position]] = position;
  }
  glGenTextures(kImageCount, set->TextureTable);
  // Without the extension the parameter would be an invalid enum: skip it.
  loading.anisotropic = AnisotropySupported();
  if (loading.anisotropic) glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &loading.maxAnisotropy);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &loading.maxSide);
  // Rows of any width upload correctly, not only multiples of 4 bytes.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < kImageCount; ++i) {
    if (!CheckImage(*set, i)) return false;
  }
  return true;
}

bool MakeTextureReady(TextureSet* set, int index, TextureFailure* failure) {
  if (index < 0 || index >= kImageCount) {
    *failure = {"images", "image index out of range"};
    return false;
  }
  return MakeReady(set, index) || Refused(*set, index, failure);
}

GLuint ImageTexture(TextureSet* set, int index) {
  if (index < 0 || index >= kImageCount) return 0;
  // Every bind of every pass comes here: a complete texture costs one look.
  if (!set->loading.loaded[index]) MakeReady(set, index);
  return set->TextureTable[index];
}

bool ContinueTextureLoading(TextureSet* set, TextureFailure* failure) {
  TextureSet::Loading& loading = set->loading;
  if (loading.background.index >= 0) {
    ContinueUpload(set, &loading.background, false);
  } else {
    while (loading.nextInOrder < kImageCount) {
      const int index = TextureLoadOrder[loading.nextInOrder++];
      if (loading.loaded[index]) continue;
      if (BeginUpload(set, index, &loading.background)) {
        ContinueUpload(set, &loading.background, false);
      }
      break;
    }
  }
  return ReportRefusal(*set, failure);
}

bool FinishTextureLoading(TextureSet* set, TextureFailure* failure) {
  while (set->loading.loadedCount < kImageCount) ContinueTextureLoading(set, failure);
  return ReportRefusal(*set, failure);
}

bool TextureIsLoaded(const TextureSet& set, int index) { return set.loading.loaded[index]; }
int LoadedTextureCount(const TextureSet& set) { return set.loading.loadedCount; }
