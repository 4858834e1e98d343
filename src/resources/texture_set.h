// The texture set: the 24 content images as GL textures, indexed like the
// image table. Main thread, GL context current. Start-up names the textures
// and checks every image's header; the pictures go up later, each the first
// time it is asked for and the rest one a pass behind the first frame, so
// the show starts without waiting for pictures it needs only later.
#pragma once
#include <string>

#include "common/gl_entry_points.h"
#include "resources/image_table.h"

struct DecodedImage;

// A texture on its way up: level 0 goes up in strips of rows, then the
// parameters and the mipmaps.
struct TextureUpload {
  int index = -1;  // -1: none
  int position = 0;
  const DecodedImage* image = nullptr;
  PixelFormat format{};
  int rowsDone = 0;
};

// The texture set of one show: the GL names, and how far their pictures have
// come. One per process, filled by LoadTextures: the decoded pictures are
// handed over once. Only the functions below touch `loading`.
struct TextureSet {
  // The GL names, indexed like the image table. Draw with ImageTexture,
  // which uploads.
  GLuint TextureTable[kImageCount] = {};
  struct Loading {
    bool anisotropic = false;
    GLfloat maxAnisotropy = 1.0f;
    GLint maxSide = 0;                 // the driver's largest texture side, 0 if it did not say
    int positionOf[kImageCount] = {};  // index in TextureLoadOrder
    bool loaded[kImageCount] = {};     // complete, or failed
    int loadedCount = 0;
    int nextInOrder = 0;       // TextureLoadOrder[0..nextInOrder) are loaded or under way
    TextureUpload background;  // the one ContinueTextureLoading is working on
    bool refused[kImageCount] = {};
    std::string refusal[kImageCount];  // why, in the decoder's words
    int firstRefused = -1;             // the first image refused, -1: none
  } loading;
};

// Starts reading and decoding the images on worker threads, in load order,
// so that they are ready when the loader wants them. Safe to call more than
// once.
void StartTextureDecoding();

// Start-up: names the 24 textures in *set and checks, in table order, that every
// image could be read and has a header the decoder and the driver accept
// (the workers read the files; this only waits for their verdicts). false
// after the failure has been shown with the image path as caption ("File
// error.", the decoder's reason, "Format error." or "image too large").
bool LoadTextures(TextureSet* set);

// An image that could not become a texture: its path and why, in the words
// of the message table. path is null when all is well.
struct TextureFailure {
  const char* path;
  const char* text;
};

// The one way a texture becomes ready: waits for its picture to be decoded
// if need be, uploads what is left of it, sets its parameters and builds its
// mipmaps. true when the texture is complete (at once if it already was).
// false, with *failure set, when its picture was refused (the texture stays
// empty) or index is outside the table. The active unit's binding is kept.
bool MakeTextureReady(TextureSet* set, int index, TextureFailure* failure);

// For drawing: set->TextureTable[index] made ready, or 0 for an index outside
// the table. A refused picture leaves its texture empty; the refusal comes back
// from the main loop's next ContinueTextureLoading.
GLuint ImageTexture(TextureSet* set, int index);

// One step of the background loading, once a pass: the next strip of the
// next texture in load order, if one is left. false, with *failure set, when
// a picture has been refused, here or by ImageTexture during the pass.
bool ContinueTextureLoading(TextureSet* set, TextureFailure* failure);

// Makes every texture still waiting ready. false, with *failure set, when a
// picture was refused.
bool FinishTextureLoading(TextureSet* set, TextureFailure* failure);

bool TextureIsLoaded(const TextureSet& set, int index);  // complete, or refused
int LoadedTextureCount(const TextureSet& set);
