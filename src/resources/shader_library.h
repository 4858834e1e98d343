// Shader library: the shader file table, the program-composition table, the
// attribute bindings, and the built programs with their uniform locations.
// Built once at start-up on the main thread with the GL context current;
// read-only afterwards.
#pragma once
#include <cstdint>

#include "common/gl_entry_points.h"

// Program indices: each program is named after its fragment shader.
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

enum ShaderStage : int { kStageFragment = 0, kStageVertex = 1, kStageGeometry = 2, kStageCount = 3 };

struct ShaderStageList {
  const char* const* names;
  int count;
  const char* suffix;  // ".fs", ".vs", ".gs"
  GLenum type;
};
extern const ShaderStageList ShaderTable[kStageCount];

// Composition table: entries of a count N and N shader references, ended by
// a count of 0. Bit 15 of a reference selects the geometry list, else bit 14
// the vertex list, else the fragment list; bits 0-13 are the list index.
extern const uint32_t ProgramRecipe[];
struct ShaderReference {
  ShaderStage stage;
  int index;
};
ShaderReference DecodeShaderReference(uint32_t word);

// Packed attribute bindings: a name, its zero, one location byte; an empty
// name ends the table.
extern const char AttributeBindingTable[];

// "shaders/" + name + suffix into a 32-byte buffer. false (buffer holds an
// empty string) when it does not fit.
inline constexpr int kShaderPathSize = 32;
bool BuildShaderPath(char (&path)[kShaderPathSize], const char* name, const char* suffix);

// Per program, its uniform names in lookup order.
struct UniformNameList {
  const char* const* names;
  int count;
};
extern const UniformNameList UniformNames[kProgramCount];

extern GLuint ProgramTable[kProgramCount];
extern GLint* UniformLocationTable[kProgramCount];  // one array per program

// The location of a listed uniform of a program (-1 if the shader dropped it).
// Naming a uniform the program does not list is a programming error.
GLint UniformLocation(int program, const char* name);

// Compiles every shader file, links the 8 programs and fetches every uniform
// location. false after the failure has been shown ("Could not open" or the
// compile log with the file path as caption; the link log with "Program
// Error"); nothing built so far is released.
bool LoadShaders();

// The build steps, exposed for tests. Counts are the lengths of the stage
// lists to compile.
bool BuildPrograms(int fragmentCount, int vertexCount, int geometryCount);
GLuint CompileShaderFile(const char* path, GLenum type);  // 0 after a shown failure
bool LinkShaderProgram(GLuint program);                   // false after a shown failure
