// Compiling and linking the show's programs. Main thread, start-up only.
// The first failure is shown to the user and ends the build.
#include "resources/shader_library.h"

#include <cassert>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/messages.h"
#include "platform/whole_file.h"

namespace {
const char* const kFragmentNames[] = {"tunnel", "projector",
                                      "metaballs", "cube", "screen", "plasma",
                                      "texturedcube", "planes"};
const char* const kVertexNames[] = {"tunnel", "projector", "cube"};

const char* const kTunnelUniforms[] = {"T", "t", "c", "u", "v"};
const char* const kProjectorUniforms[] = {"T", "ts", "tb", "r", "F", "qs", "qb", "U", "us", "ub"};
const char* const kMetaballsUniforms[] = {"p", "t", "qs", "qb"};
const char* const kCubeUniforms[] = {"m", "nm", "t"};
const char* const kScreenUniforms[] = {"T", "ts", "tb"};
const char* const kPlasmaUniforms[] = {"t", "ts", "tb", "r"};
const char* const kTexturedCubeUniforms[] = {"m", "nm", "T"};
const char* const kPlanesUniforms[] = {"T", "t", "c"};

template <int N>
constexpr UniformNameList List(const char* const (&names)[N]) {
  return {names, N};
}

GLint tunnelLocations[5], projectorLocations[10], metaballsLocations[4], cubeLocations[3],
    screenLocations[3], plasmaLocations[4], texturedCubeLocations[3], planesLocations[3];

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

const ShaderStageList ShaderTable[kStageCount] = {
    {kFragmentNames, 8, ".fs", GL_FRAGMENT_SHADER},
    {kVertexNames, 3, ".vs", GL_VERTEX_SHADER},
    {nullptr, 0, ".gs", GL_GEOMETRY_SHADER},
};

const uint32_t ProgramRecipe[] = {
    2, 0x0000, 0x4000,  // tunnel: tunnel.fs + tunnel.vs
    2, 0x0001, 0x4001,  // projector: projector.fs + projector.vs
    2, 0x0002, 0x4001,  // metaballs: metaballs.fs + projector.vs
    2, 0x0003, 0x4002,  // cube: cube.fs + cube.vs
    2, 0x0004, 0x4001,  // screen: screen.fs + projector.vs
    2, 0x0005, 0x4001,  // plasma: plasma.fs + projector.vs
    2, 0x0006, 0x4002,  // texturedcube: texturedcube.fs + cube.vs
    2, 0x0007, 0x4000,  // planes: planes.fs + tunnel.vs
    0,
};

const char AttributeBindingTable[] = "A0\0\0A1\0\1A2\0\2A3\0\3";

const UniformNameList UniformNames[kProgramCount] = {
    List(kTunnelUniforms),  List(kProjectorUniforms), List(kMetaballsUniforms),
    List(kCubeUniforms),    List(kScreenUniforms),    List(kPlasmaUniforms),
    List(kTexturedCubeUniforms), List(kPlanesUniforms),
};

GLuint ProgramTable[kProgramCount];
GLint* UniformLocationTable[kProgramCount] = {
    tunnelLocations, projectorLocations,   metaballsLocations,    cubeLocations,
    screenLocations, plasmaLocations,      texturedCubeLocations, planesLocations,
};

ShaderReference DecodeShaderReference(uint32_t word) {
  const int index = static_cast<int>(word & 0x3FFFu);
  if (word & 0x8000u) return {kStageGeometry, index};
  if (word & 0x4000u) return {kStageVertex, index};
  return {kStageFragment, index};
}

bool BuildShaderPath(char (&path)[kShaderPathSize], const char* name, const char* suffix) {
  const int written = std::snprintf(path, kShaderPathSize, "shaders/%s%s", name, suffix);
  if (written < 0 || written >= kShaderPathSize) {
    path[0] = '\0';
    return false;
  }
  return true;
}

GLint UniformLocation(int program, const char* name) {
  const UniformNameList& list = UniformNames[program];
  for (int i = 0; i < list.count; ++i) {
    if (std::strcmp(list.names[i], name) == 0) return UniformLocationTable[program][i];
  }
  assert(!"uniform not listed for this program");
  return -1;
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

bool LinkShaderProgram(GLuint program) {
  for (const char* entry = AttributeBindingTable; *entry;) {
    const size_t nameLength = std::strlen(entry);
    const GLuint location = static_cast<unsigned char>(entry[nameLength + 1]);
    gl.glBindAttribLocation(program, location, entry);
    entry += nameLength + 2;
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

bool BuildPrograms(int fragmentCount, int vertexCount, int geometryCount) {
  const int counts[kStageCount] = {fragmentCount, vertexCount, geometryCount};
  GLuint* compiled[kStageCount] = {};
  // The lists go on every return, failures included (the process then exits
  // with -1, and a leak checker would otherwise turn that into its own code).
  struct Release {
    GLuint** lists;
    ~Release() {
      for (int stage = 0; stage < kStageCount; ++stage) delete[] lists[stage];
    }
  } release{compiled};
  for (int stage = 0; stage < kStageCount; ++stage) {
    compiled[stage] = new (std::nothrow) GLuint[counts[stage] > 0 ? counts[stage] : 1]();
    if (!compiled[stage]) {
      ShowMessage(nullptr, kOutOfMemory);
      return false;
    }
  }
  // Every fragment shader is compiled before any vertex shader.
  for (int stage = 0; stage < kStageCount; ++stage) {
    const ShaderStageList& list = ShaderTable[stage];
    for (int i = 0; i < counts[stage]; ++i) {
      char path[kShaderPathSize];
      BuildShaderPath(path, list.names[i], list.suffix);
      compiled[stage][i] = CompileShaderFile(path, list.type);
      if (compiled[stage][i] == 0) return false;
    }
  }
  int programIndex = 0;
  for (const uint32_t* entry = ProgramRecipe; *entry != 0 && programIndex < kProgramCount;) {
    const uint32_t count = *entry++;
    const GLuint program = gl.glCreateProgram();
    ProgramTable[programIndex++] = program;
    for (uint32_t i = 0; i < count; ++i) {
      const ShaderReference reference = DecodeShaderReference(*entry++);
      assert(reference.index < counts[reference.stage]);
      gl.glAttachShader(program, compiled[reference.stage][reference.index]);
    }
    if (!LinkShaderProgram(program)) return false;
  }
  // The programs keep what they need; the shader objects can go.
  for (int stage = 0; stage < kStageCount; ++stage) {
    for (int i = 0; i < counts[stage]; ++i) gl.glDeleteShader(compiled[stage][i]);
  }
  return true;
}

bool LoadShaders() {
  if (!BuildPrograms(ShaderTable[kStageFragment].count, ShaderTable[kStageVertex].count,
                     ShaderTable[kStageGeometry].count)) {
    return false;
  }
  for (int program = 0; program < kProgramCount; ++program) {
    const UniformNameList& list = UniformNames[program];
    for (int i = 0; i < list.count; ++i) {
      UniformLocationTable[program][i] = gl.glGetUniformLocation(ProgramTable[program], list.names[i]);
    }
  }
  return true;
}
