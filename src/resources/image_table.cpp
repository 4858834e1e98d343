// The image table and the texture rules. The GL header gives the enum values
// only; nothing here calls GL.
#include "resources/image_table.h"

#include "common/gl_entry_points.h"

const ImageEntry ImageTable[kImageCount] = {
    {"images/brick.png", 0},    {"images/stars.png", 0},       {"images/mandelbrot.png", 0},
    {"images/frame.jpg", 1},    {"images/filmwriting.jpg", 1}, {"images/present.jpg", 1},
    {"images/title.jpg", 1},    {"images/dumdeedum.jpg", 1},   {"images/gazillion.jpg", 1},
    {"images/lookcube.jpg", 1}, {"images/puntz.jpg", 1},       {"images/definition.jpg", 1},
    {"images/math.jpg", 1},     {"images/theend.jpg", 1},      {"images/tmandel.jpg", 1},
    {"images/greets1.jpg", 1},  {"images/greets2.jpg", 1},     {"images/veldrin.jpg", 1},
    {"images/tarn4.jpg", 1},    {"images/mus.jpg", 1},         {"images/f1.png", 0},
    {"images/f2.png", 0},       {"images/f3.png", 0},          {"images/f4.png", 0},
};

// Grouped by when the show first needs them, one group to a line; the
// formatter would put every number on a line of its own.
// clang-format off
const int TextureLoadOrder[kImageCount] = {
    kImageFrame,                                            // the gate, from the first pass
    20, 21, 22, 23,                                         // the scratches, from film frame 1
    kImageFilmWriting,                                      // from 2 s
    5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19,  // the cards
    kImageBrick, kImageStars, kImageMandelbrot,             // the effects
};
// clang-format on

bool PixelFormatForComponents(int components, PixelFormat* out) {
  switch (components) {
    case 1: *out = {GL_R8, GL_RED}; return true;
    case 2: *out = {GL_RG8, GL_RG}; return true;
    case 3: *out = {GL_RGB8, GL_RGB}; return true;
    case 4: *out = {GL_RGBA8, GL_RGBA}; return true;
    default: return false;
  }
}

int32_t WrapModeForSize(int width, int height) { return width == height ? GL_REPEAT : GL_CLAMP; }
