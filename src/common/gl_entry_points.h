// GlEntryPoints: the OpenGL functions beyond version 1.1 that the show names,
// fetched once at start-up on the main thread and never changed afterwards.
// OpenGL 1.1 calls are made directly; everything later goes through `gl`.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

// The 52 GL functions in fetch order. Slot 0 of the table, fetched before
// them, is the platform's swap-interval control.
#define NITRATE_GL_FUNCTIONS(X)                                    \
  X(PFNGLACTIVETEXTUREPROC, glActiveTexture)                       \
  X(PFNGLBINDBUFFERPROC, glBindBuffer)                             \
  X(PFNGLDELETEBUFFERSPROC, glDeleteBuffers)                       \
  X(PFNGLGENBUFFERSPROC, glGenBuffers)                             \
  X(PFNGLBUFFERDATAPROC, glBufferData)                             \
  X(PFNGLBUFFERSUBDATAPROC, glBufferSubData)                       \
  X(PFNGLATTACHSHADERPROC, glAttachShader)                         \
  X(PFNGLCOMPILESHADERPROC, glCompileShader)                       \
  X(PFNGLCREATEPROGRAMPROC, glCreateProgram)                       \
  X(PFNGLCREATESHADERPROC, glCreateShader)                         \
  X(PFNGLDELETEPROGRAMPROC, glDeleteProgram)                       \
  X(PFNGLDELETESHADERPROC, glDeleteShader)                         \
  X(PFNGLGETPROGRAMIVPROC, glGetProgramiv)                         \
  X(PFNGLGETSHADERIVPROC, glGetShaderiv)                           \
  X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation)             \
  X(PFNGLLINKPROGRAMPROC, glLinkProgram)                           \
  X(PFNGLSHADERSOURCEPROC, glShaderSource)                         \
  X(PFNGLUSEPROGRAMPROC, glUseProgram)                             \
  X(PFNGLUNIFORM1FPROC, glUniform1f)                               \
  X(PFNGLUNIFORM2FPROC, glUniform2f)                               \
  X(PFNGLUNIFORM3FPROC, glUniform3f)                               \
  X(PFNGLUNIFORM4FPROC, glUniform4f)                               \
  X(PFNGLUNIFORM1IPROC, glUniform1i)                               \
  X(PFNGLUNIFORM1UIPROC, glUniform1ui)                             \
  X(PFNGLUNIFORM1FVPROC, glUniform1fv)                             \
  X(PFNGLUNIFORM2FVPROC, glUniform2fv)                             \
  X(PFNGLUNIFORM3FVPROC, glUniform3fv)                             \
  X(PFNGLUNIFORM4FVPROC, glUniform4fv)                             \
  X(PFNGLUNIFORMMATRIX4FVPROC, glUniformMatrix4fv)                 \
  X(PFNGLGENFRAMEBUFFERSPROC, glGenFramebuffers)                   \
  X(PFNGLBINDFRAMEBUFFERPROC, glBindFramebuffer)                   \
  X(PFNGLBINDRENDERBUFFERPROC, glBindRenderbuffer)                 \
  X(PFNGLGENRENDERBUFFERSPROC, glGenRenderbuffers)                 \
  X(PFNGLRENDERBUFFERSTORAGEPROC, glRenderbufferStorage)           \
  X(PFNGLFRAMEBUFFERTEXTURE2DPROC, glFramebufferTexture2D)         \
  X(PFNGLENABLEVERTEXATTRIBARRAYPROC, glEnableVertexAttribArray)   \
  X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, glDisableVertexAttribArray) \
  X(PFNGLVERTEXATTRIBPOINTERPROC, glVertexAttribPointer)           \
  X(PFNGLBINDATTRIBLOCATIONPROC, glBindAttribLocation)             \
  X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, glCheckFramebufferStatus)     \
  X(PFNGLGETSHADERINFOLOGPROC, glGetShaderInfoLog)                 \
  X(PFNGLGETPROGRAMINFOLOGPROC, glGetProgramInfoLog)               \
  X(PFNGLBINDVERTEXARRAYPROC, glBindVertexArray)                   \
  X(PFNGLDELETEVERTEXARRAYSPROC, glDeleteVertexArrays)             \
  X(PFNGLGENVERTEXARRAYSPROC, glGenVertexArrays)                   \
  X(PFNGLMAPBUFFERPROC, glMapBuffer)                               \
  X(PFNGLUNMAPBUFFERPROC, glUnmapBuffer)                           \
  X(PFNGLGETATTRIBLOCATIONPROC, glGetAttribLocation)               \
  X(PFNGLGENERATEMIPMAPPROC, glGenerateMipmap)                     \
  X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, glFramebufferRenderbuffer)   \
  X(PFNGLBINDFRAGDATALOCATIONPROC, glBindFragDataLocation)         \
  X(PFNGLDELETEFRAMEBUFFERSPROC, glDeleteFramebuffers)

using SwapIntervalFunction = int (*)(int interval);

struct GlEntryPoints {
  SwapIntervalFunction swapInterval;
#define NITRATE_GL_SLOT(type, name) type name;
  NITRATE_GL_FUNCTIONS(NITRATE_GL_SLOT)
#undef NITRATE_GL_SLOT
};

inline constexpr int kGlEntryPointCount = 53;
static_assert(sizeof(GlEntryPoints) == kGlEntryPointCount * sizeof(void*));

extern GlEntryPoints gl;

using GlLookup = void* (*)(const char* name);

// Fills *table slot by slot in fetch order through lookup. On the first null
// result shows a box whose text is that name, then "OpenGL Extensions error.",
// and returns false; the later names are not tried. swapIntervalName names
// slot 0 for the lookup.
bool FetchGlEntryPoints(GlEntryPoints* table, GlLookup lookup, const char* swapIntervalName);
