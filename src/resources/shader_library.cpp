// Compiling and linking the show's programs. Main thread, start-up only.
// The first failure is shown to the user and ends the build.
#include "resources/shader_library.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "common/messages.h"
#include "platform/whole_file.h"

namespace {
// Shows an info log (which may be empty) with the given caption.
void ShowInfoLog(const char* caption, GLint logLength, bool isProgram, GLuint object) {
  const size_t size = logLength > 0 ? static_cast<size_t>(logLength) : 1;
  char* log = new (std::nothrow) char[size];
  if (!log) {
    ShowMessage(caption, kOutOfMemory);
    return;
  }
  log[0] = '\0';
  if (isProgram) {
    gl.glGetProgramInfoLog(object, static_cast<GLsizei>(size), nullptr, log);
  } else {
    gl.glGetShaderInfoLog(object, static_cast<GLsizei>(size), nullptr, log);
  }
  ShowMessage(caption, log);
  delete[] log;
}
}  // namespace

const ShaderStageInfo ShaderStages[kStageCount] = {
    {".fs", GL_FRAGMENT_SHADER},
    {".vs", GL_VERTEX_SHADER},
    {".gs", GL_GEOMETRY_SHADER},
};

const AttributeBinding AttributeBindings[kAttributeBindingCount] = {
    {"A0", 0}, {"A1", 1}, {"A2", 2}, {"A3", 3}};

int UniformCount(const ShaderProgramRow& row) {
  int count = 0;
  while (count < kMaxProgramUniforms && row.uniforms[count]) ++count;
  return count;
}

const char* ShaderFileOf(const ShaderProgramRow& row, ShaderStage stage) {
  switch (stage) {
    case kStageFragment: return row.name;
    case kStageVertex: return row.vertexShader;
    case kStageGeometry: return row.geometryShader;
    case kStageCount: break;
  }
  return nullptr;
}

int FirstProgramUsingShader(ShaderStage stage, int program) {
  const char* file = ShaderFileOf(ShaderPrograms[program], stage);
  if (!file) return -1;
  for (int earlier = 0; earlier < program; ++earlier) {
    const char* other = ShaderFileOf(ShaderPrograms[earlier], stage);
    if (other && std::strcmp(other, file) == 0) return earlier;
  }
  return program;
}

bool BuildShaderPath(char (&path)[kShaderPathSize], const char* name, const char* suffix) {
  const int written = std::snprintf(path, kShaderPathSize, "shaders/%s%s", name, suffix);
  if (written < 0 || written >= kShaderPathSize) {
    path[0] = '\0';
    return false;
  }
  return true;
}

GLuint CompileShaderFile(const char* path, GLenum type) {
  int32_t length = 0;
  uint8_t* source = ReadWholeFile(path, &length);
  if (!source) {
    ShowMessage(path, kCouldNotOpen);
    return 0;
  }
  const GLuint shader = gl.glCreateShader(type);
  const GLchar* text = reinterpret_cast<const GLchar*>(source);
  const GLint textLength = length;
  gl.glShaderSource(shader, 1, &text, &textLength);
  gl.glCompileShader(shader);
  delete[] source;
  GLint status = GL_FALSE;
  gl.glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
  if (status == GL_TRUE) return shader;
  GLint logLength = 0;
  gl.glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &logLength);
  ShowInfoLog(path, logLength, false, shader);
  return 0;
}

GLuint CompileShaderOf(const char* name, ShaderStage stage) {
  const char* suffix = ShaderStages[stage].suffix;
  char path[kShaderPathSize];
  if (!BuildShaderPath(path, name, suffix)) {
    // The whole path, so that the caption names the shader that was refused;
    // an empty caption would leave the user guessing.
    const std::string whole = std::string("shaders/") + name + suffix;
    ShowMessage(whole.c_str(), kCouldNotOpen);
    return 0;
  }
  return CompileShaderFile(path, ShaderStages[stage].type);
}

bool LinkShaderProgram(GLuint program) {
  for (const AttributeBinding& binding : AttributeBindings) {
    gl.glBindAttribLocation(program, binding.location, binding.name);
  }
  gl.glLinkProgram(program);
  GLint status = GL_FALSE;
  gl.glGetProgramiv(program, GL_LINK_STATUS, &status);
  if (status == GL_TRUE) return true;
  GLint logLength = 0;
  gl.glGetProgramiv(program, GL_INFO_LOG_LENGTH, &logLength);
  ShowInfoLog(kProgramErrorCaption, logLength, true, program);
  return false;
}

bool BuildPrograms(GLuint programTable[kProgramCount]) {
  // Per stage and program, the compiled shader it attaches; a program that
  // shares a file with an earlier one shares its shader object.
  GLuint shaders[kStageCount][kProgramCount] = {};
  // Every fragment shader is compiled before any vertex shader.
  for (int stage = 0; stage < kStageCount; ++stage) {
    const ShaderStage column = static_cast<ShaderStage>(stage);
    for (int program = 0; program < kProgramCount; ++program) {
      const int first = FirstProgramUsingShader(column, program);
      if (first < 0) continue;
      if (first < program) {
        shaders[stage][program] = shaders[stage][first];
        continue;
      }
      shaders[stage][program] =
          CompileShaderOf(ShaderFileOf(ShaderPrograms[program], column), column);
      if (shaders[stage][program] == 0) return false;
    }
  }
  for (int program = 0; program < kProgramCount; ++program) {
    const GLuint object = gl.glCreateProgram();
    programTable[program] = object;
    for (int stage = 0; stage < kStageCount; ++stage) {
      if (shaders[stage][program] != 0) gl.glAttachShader(object, shaders[stage][program]);
    }
    if (!LinkShaderProgram(object)) return false;
  }
  // The programs keep what they need; the shader objects can go, each once.
  for (int stage = 0; stage < kStageCount; ++stage) {
    for (int program = 0; program < kProgramCount; ++program) {
      if (FirstProgramUsingShader(static_cast<ShaderStage>(stage), program) == program) {
        gl.glDeleteShader(shaders[stage][program]);
      }
    }
  }
  return true;
}

bool LoadShaders(ProgramTables* programs) {
  if (!BuildPrograms(programs->ProgramTable)) return false;
  for (int program = 0; program < kProgramCount; ++program) {
    const ShaderProgramRow& row = ShaderPrograms[program];
    for (int i = 0; i < kMaxProgramUniforms && row.uniforms[i]; ++i) {
      programs->UniformLocationTable[program][i] =
          gl.glGetUniformLocation(programs->ProgramTable[program], row.uniforms[i]);
    }
  }
  return true;
}
