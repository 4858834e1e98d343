// The GL entry points on WebGL 2, and the few places where a desktop GL 3.0
// call means something WebGL 2 spells differently. The show asks for desktop
// values (an unsized depth texture of bytes, GL_CLAMP, GLSL 1.30); the
// browser takes their OpenGL ES 3.0 equivalents. The web build routes the
// show's direct calls to glGetString, glTexImage2D and glTexParameteri here
// (see cmake/web.cmake); everything fetched through PlatformGlProcAddress
// comes from the table below. Main thread only, as all GL.
#undef glGetString
#undef glTexImage2D
#undef glTexParameteri

#include <GLES3/gl3.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/web_gl.h"

namespace {

int SetSwapInterval(int) { return 0; }  // frames follow requestAnimationFrame

// WebGL 2 has no buffer mapping and a single fragment output needs no
// binding: the show fetches these but never calls them.
void* MapBufferUnavailable(GLenum, GLenum) { return nullptr; }
GLboolean UnmapBufferUnavailable(GLenum) { return GL_FALSE; }
void BindFragDataLocationUnneeded(GLuint, GLuint, const GLchar*) {}

void ShaderSourceAsEs(GLuint shader, GLsizei count, const GLchar* const* strings,
                      const GLint* lengths) {
  std::string text;
  for (GLsizei i = 0; i < count; ++i) {
    if (!strings[i]) continue;
    if (lengths && lengths[i] >= 0) {
      text.append(strings[i], static_cast<size_t>(lengths[i]));
    } else {
      text.append(strings[i]);
    }
  }
  const std::string translated = TranslateShaderForEs(text);
  const GLchar* source = translated.c_str();
  glShaderSource(shader, 1, &source, nullptr);
}

struct NamedFunction {
  const char* name;
  void* function;
};

#define NITRATE_GL(name) {#name, reinterpret_cast<void*>(&name)}
const NamedFunction kFunctions[] = {
    {kPlatformSwapIntervalName, reinterpret_cast<void*>(&SetSwapInterval)},
    NITRATE_GL(glActiveTexture),
    NITRATE_GL(glBindBuffer),
    NITRATE_GL(glDeleteBuffers),
    NITRATE_GL(glGenBuffers),
    NITRATE_GL(glBufferData),
    NITRATE_GL(glBufferSubData),
    NITRATE_GL(glAttachShader),
    NITRATE_GL(glCompileShader),
    NITRATE_GL(glCreateProgram),
    NITRATE_GL(glCreateShader),
    NITRATE_GL(glDeleteProgram),
    NITRATE_GL(glDeleteShader),
    NITRATE_GL(glGetProgramiv),
    NITRATE_GL(glGetShaderiv),
    NITRATE_GL(glGetUniformLocation),
    NITRATE_GL(glLinkProgram),
    {"glShaderSource", reinterpret_cast<void*>(&ShaderSourceAsEs)},
    NITRATE_GL(glUseProgram),
    NITRATE_GL(glUniform1f),
    NITRATE_GL(glUniform2f),
    NITRATE_GL(glUniform3f),
    NITRATE_GL(glUniform4f),
    NITRATE_GL(glUniform1i),
    NITRATE_GL(glUniform1ui),
    NITRATE_GL(glUniform1fv),
    NITRATE_GL(glUniform2fv),
    NITRATE_GL(glUniform3fv),
    NITRATE_GL(glUniform4fv),
    NITRATE_GL(glUniformMatrix4fv),
    NITRATE_GL(glGenFramebuffers),
    NITRATE_GL(glBindFramebuffer),
    NITRATE_GL(glBindRenderbuffer),
    NITRATE_GL(glGenRenderbuffers),
    NITRATE_GL(glRenderbufferStorage),
    NITRATE_GL(glFramebufferTexture2D),
    NITRATE_GL(glEnableVertexAttribArray),
    NITRATE_GL(glDisableVertexAttribArray),
    NITRATE_GL(glVertexAttribPointer),
    NITRATE_GL(glBindAttribLocation),
    NITRATE_GL(glCheckFramebufferStatus),
    NITRATE_GL(glGetShaderInfoLog),
    NITRATE_GL(glGetProgramInfoLog),
    NITRATE_GL(glBindVertexArray),
    NITRATE_GL(glDeleteVertexArrays),
    NITRATE_GL(glGenVertexArrays),
    {"glMapBuffer", reinterpret_cast<void*>(&MapBufferUnavailable)},
    {"glUnmapBuffer", reinterpret_cast<void*>(&UnmapBufferUnavailable)},
    NITRATE_GL(glGetAttribLocation),
    NITRATE_GL(glGenerateMipmap),
    NITRATE_GL(glFramebufferRenderbuffer),
    {"glBindFragDataLocation", reinterpret_cast<void*>(&BindFragDataLocationUnneeded)},
    NITRATE_GL(glDeleteFramebuffers),
};
#undef NITRATE_GL

constexpr GLenum kDesktopClamp = 0x2900;  // GL_CLAMP: no ES counterpart

}  // namespace

void* PlatformGlProcAddress(const char* name) {
  for (const NamedFunction& entry : kFunctions) {
    if (std::strcmp(entry.name, name) == 0) return entry.function;
  }
  return nullptr;
}

extern "C" const GLubyte* NitrateWebGetString(GLenum name) {
  // The show reads the version as "major.minor": WebGL 2 reports "OpenGL ES
  // 3.0 (WebGL 2.0 ...)", the same class of GL, so it leads with 3.0.
  if (name == GL_VERSION) {
    static std::string version;
    if (version.empty()) {
      const GLubyte* real = glGetString(GL_VERSION);
      version = std::string("3.0 (") + (real ? reinterpret_cast<const char*>(real) : "WebGL 2.0") + ")";
    }
    return reinterpret_cast<const GLubyte*>(version.c_str());
  }
  return glGetString(name);
}

extern "C" void NitrateWebTexImage2D(GLenum target, GLint level, GLint internalFormat,
                                     GLsizei width, GLsizei height, GLint border, GLenum format,
                                     GLenum type, const void* pixels) {
  // An unsized depth texture of bytes has no ES form: 24-bit depth is what
  // desktop drivers give for it.
  if (internalFormat == GL_DEPTH_COMPONENT && format == GL_DEPTH_COMPONENT &&
      type == GL_UNSIGNED_BYTE && !pixels) {
    glTexImage2D(target, level, GL_DEPTH_COMPONENT24, width, height, border, GL_DEPTH_COMPONENT,
                 GL_UNSIGNED_INT, nullptr);
    return;
  }
  glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

extern "C" void NitrateWebTexParameteri(GLenum target, GLenum name, GLint value) {
  const bool wrap = name == GL_TEXTURE_WRAP_S || name == GL_TEXTURE_WRAP_T || name == GL_TEXTURE_WRAP_R;
  // Both clamp the coordinate; the show's clamped images are sampled inside
  // their edges, where the border colour of GL_CLAMP never shows.
  if (wrap && static_cast<GLenum>(value) == kDesktopClamp) value = GL_CLAMP_TO_EDGE;
  glTexParameteri(target, name, value);
}
