// Compiled, never linked, by unlisted_uniform.sh with UNIFORM_NAME set to a
// name the screen program lists or one it does not.
#include "resources/shader_library.h"

GLint ScreenScaleLocation() { return UniformLocation({kProgramScreen, UNIFORM_NAME}); }
