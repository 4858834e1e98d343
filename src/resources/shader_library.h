// Shader library: one table row per shader program (its shader files, its
// uniforms and where their locations go), and the programs built from it.
// Built once at start-up on the main thread with the GL context current;
// read-only afterwards.
#pragma once

#include "common/gl_entry_points.h"

// Program indices, the rows of ShaderPrograms in link order. Each program is
// named after its fragment shader.
enum ProgramIndex : int {
  kProgramTunnel = 0,
  kProgramProjector = 1,
  kProgramMetaballs = 2,
  kProgramCube = 3,
  kProgramScreen = 4,
  kProgramPlasma = 5,
  kProgramTexturedCube = 6,
  kProgramPlanes = 7,
  kProgramCount = 8,
};

// The most uniforms one program lists (the projector's ten).
inline constexpr int kMaxProgramUniforms = 10;

// One program: shaders/<name>.fs linked with shaders/<vertexShader>.vs and,
// when given, shaders/<geometryShader>.gs, attached in that order. Its
// uniforms in lookup order; their locations go to the same slots of
// UniformLocationTable[its index].
struct ShaderProgramRow {
  const char* name;
  const char* vertexShader;
  const char* geometryShader;                 // nullptr: none
  const char* uniforms[kMaxProgramUniforms];  // the listed names, then nullptr
};
// Program name (and fragment shader), vertex shader, geometry shader,
// uniforms. The row order is the link order and the program index. Here in
// the header so that the compiler can check the uniform names the code sets.
inline constexpr ShaderProgramRow ShaderPrograms[kProgramCount] = {
    {"tunnel", "tunnel", nullptr, {"T", "t", "c", "u", "v"}},
    {"projector", "projector", nullptr, {"T", "ts", "tb", "r", "F", "qs", "qb", "U", "us", "ub"}},
    {"metaballs", "projector", nullptr, {"p", "t", "qs", "qb"}},
    {"cube", "cube", nullptr, {"m", "nm", "t"}},
    {"screen", "projector", nullptr, {"T", "ts", "tb"}},
    {"plasma", "projector", nullptr, {"t", "ts", "tb", "r"}},
    {"texturedcube", "cube", nullptr, {"m", "nm", "T"}},
    {"planes", "tunnel", nullptr, {"T", "t", "c"}},
};

// The number of uniforms a row lists.
int UniformCount(const ShaderProgramRow& row);

// The stages in compile and attach order, with their file suffixes.
enum ShaderStage : int {
  kStageFragment = 0,
  kStageVertex = 1,
  kStageGeometry = 2,
  kStageCount = 3
};
struct ShaderStageInfo {
  const char* suffix;  // ".fs", ".vs", ".gs"
  GLenum type;
};
extern const ShaderStageInfo ShaderStages[kStageCount];

// The base name of a row's shader file of a stage; nullptr when it has none.
const char* ShaderFileOf(const ShaderProgramRow& row, ShaderStage stage);

// A shader file is compiled once, for the first program that uses it: the
// index of that program for the given program's file of this stage, or -1
// when the program has none.
int FirstProgramUsingShader(ShaderStage stage, int program);

// Vertex attribute names and the locations they are bound to before every
// link.
struct AttributeBinding {
  const char* name;
  GLuint location;
};
inline constexpr int kAttributeBindingCount = 4;
extern const AttributeBinding AttributeBindings[kAttributeBindingCount];

// "shaders/" + name + suffix into a 32-byte buffer. false (buffer holds an
// empty string) when it does not fit.
inline constexpr int kShaderPathSize = 32;
bool BuildShaderPath(char (&path)[kShaderPathSize], const char* name, const char* suffix);

// Compiles shaders/<name><the stage's suffix>. 0 after a shown failure: "Could
// not open" with the path as caption when the name is too long for the path
// buffer or the file cannot be read, or the compile log.
GLuint CompileShaderOf(const char* name, ShaderStage stage);

// The programs LoadShaders built, by program index, and per program the
// locations of its uniforms in list order (-1 where the shader dropped one);
// the slots past its list are unused. Read-only once built.
struct ProgramTables {
  GLuint ProgramTable[kProgramCount];
  GLint UniformLocationTable[kProgramCount][kMaxProgramUniforms];
};

// The slot of `name` in the program's uniform list, or -1 when the list does
// not have it.
constexpr int FindUniformSlot(int program, const char* name) {
  const ShaderProgramRow& row = ShaderPrograms[program];
  for (int slot = 0; slot < kMaxProgramUniforms && row.uniforms[slot]; ++slot) {
    const char* listed = row.uniforms[slot];
    const char* wanted = name;
    while (*listed != '\0' && *listed == *wanted) {
      ++listed;
      ++wanted;
    }
    if (*listed == *wanted) return slot;
  }
  return -1;
}

// Never defined: reaching it while compiling stops the build (see below).
void UniformNameNotInTheProgramsList();

// A uniform the code sets, by its program and listed name, found while the
// code compiles: a name the program's list does not have stops the build, in
// every build type, with an error that shows the name. Written in place, as
// in UniformLocation(programs, {kProgramScreen, "ts"}).
struct ListedUniform {
  consteval ListedUniform(ProgramIndex program, const char* name)
      : program(program), slot(FindUniformSlot(program, name)) {
    if (slot < 0) UniformNameNotInTheProgramsList();
  }
  ProgramIndex program;
  int slot;
};

// The location LoadShaders fetched for a listed uniform: an array read, no
// lookup by name while the show runs. -1 where the shader leaves a listed
// uniform out, which is allowed: GL ignores uniform calls on -1.
inline GLint UniformLocation(const ProgramTables& programs, ListedUniform uniform) {
  return programs.UniformLocationTable[uniform.program][uniform.slot];
}

// Compiles every shader file once (all fragment shaders in row order, then
// the vertex shaders, then the geometry shaders, each at its first use),
// links the programs in row order and fetches every uniform location, into
// *programs. false after the failure has been shown ("Could not open" or the
// compile log with the file path as caption; the link log with "Program
// Error"); nothing built so far is released.
bool LoadShaders(ProgramTables* programs);

// The build steps, exposed for tests.
bool BuildPrograms(GLuint programTable[kProgramCount]);   // LoadShaders without the lookups
GLuint CompileShaderFile(const char* path, GLenum type);  // 0 after a shown failure
bool LinkShaderProgram(GLuint program);                   // false after a shown failure
