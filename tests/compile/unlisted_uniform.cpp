// Compiled, never linked, by unlisted_uniform.sh with UNIFORM_NAME set to a
// name the screen program lists or one it does not.
#include "resources/shader_library.h"

GLint ScreenScaleLocation(const ProgramTables& programs) {
  return UniformLocation(programs, {kProgramScreen, UNIFORM_NAME});
}
