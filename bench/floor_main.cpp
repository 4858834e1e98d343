// nitrate-floor: the machine's floor for the benchmark. Opens a window as the
// show does (the primary display's size, borderless over it) and draws, for
// SECONDS seconds, the cheapest picture a full-window pass can make: one
// texelFetch per pixel from a one-channel 1024 x 1024 texture, then a swap
// and a finish, as the show's passes end. Prints
//   floor: passes-per-second=N size=WxH
// on stdout, so the show's rate can be read as a fraction of what this
// renderer manages at all at the same size. Exit 0, or 1 when no window or
// GL context could be made (the cause on stderr). Main thread only.
//   nitrate-floor [SECONDS]   (default 5)
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/gl_entry_points.h"
#include "platform/platform.h"

namespace {
constexpr const char* kVertexShader =
    "#version 130\n"
    "in vec2 A0;\n"
    "void main() { gl_Position = vec4(A0, 0.0, 1.0); }\n";
// The damage overlay's read in the projector: a texel by index, repeated by masking.
constexpr const char* kFragmentShader =
    "#version 130\n"
    "uniform sampler2D T;\n"
    "out vec4 colour;\n"
    "void main() { colour = vec4(texelFetch(T, ivec2(gl_FragCoord.xy) & 1023, 0).rrr, 1.0); }\n";
constexpr int kTextureSide = 1024;

GLuint Compile(GLenum stage, const char* text) {
  const GLuint shader = gl.glCreateShader(stage);
  gl.glShaderSource(shader, 1, &text, nullptr);
  gl.glCompileShader(shader);
  GLint compiled = 0;
  gl.glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (!compiled) {
    char log[1024] = {};
    gl.glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "nitrate-floor: shader: %s\n", log);
    return 0;
  }
  return shader;
}

// The program, the texture and the quad, bound and ready; false on failure.
bool PreparePass() {
  const GLuint vertex = Compile(GL_VERTEX_SHADER, kVertexShader);
  const GLuint fragment = Compile(GL_FRAGMENT_SHADER, kFragmentShader);
  if (!vertex || !fragment) return false;
  const GLuint program = gl.glCreateProgram();
  gl.glAttachShader(program, vertex);
  gl.glAttachShader(program, fragment);
  gl.glBindAttribLocation(program, 0, "A0");
  gl.glBindFragDataLocation(program, 0, "colour");
  gl.glLinkProgram(program);
  GLint linked = 0;
  gl.glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (!linked) {
    std::fprintf(stderr, "nitrate-floor: the program does not link\n");
    return false;
  }
  gl.glUseProgram(program);
  gl.glUniform1i(gl.glGetUniformLocation(program, "T"), 0);

  std::vector<unsigned char> texels(kTextureSide * kTextureSide);
  for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<unsigned char>(i * 2654435761u >> 24);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  gl.glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, kTextureSide, kTextureSide, 0, GL_RED, GL_UNSIGNED_BYTE,
               texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);

  static const float corners[] = {-1.0f, 1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f, -1.0f};
  GLuint vertexArray = 0, buffer = 0;
  gl.glGenVertexArrays(1, &vertexArray);
  gl.glBindVertexArray(vertexArray);
  gl.glGenBuffers(1, &buffer);
  gl.glBindBuffer(GL_ARRAY_BUFFER, buffer);
  gl.glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
  gl.glEnableVertexAttribArray(0);
  gl.glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  if (!(seconds > 0.0 && seconds <= 600.0)) {
    std::fprintf(stderr, "usage: nitrate-floor [SECONDS]   (0 < SECONDS <= 600)\n");
    return 1;
  }
  int32_t width = 0, height = 0;
  if (!PlatformInitVideo()) return 1;
  PlatformScreenSize(&width, &height);
  if (!PlatformCreateWindow(width, height)) return 1;
  if (!FetchGlEntryPoints(&gl, PlatformGlProcAddress, kPlatformSwapIntervalName)) return 1;
  gl.swapInterval(0);  // the show's unpaced rate leaves the retrace out too
  PlatformShowFullscreen(width, height);
  glViewport(0, 0, width, height);
  if (!PreparePass()) return 1;

  const uint64_t frequency = PlatformClockFrequency();
  const uint64_t start = PlatformClockCounter();
  const uint64_t end = start + static_cast<uint64_t>(seconds * static_cast<double>(frequency));
  long passes = 0;
  uint64_t now = start;
  int exitCode = 0;
  while (now < end) {
    PlatformPumpEvents(&exitCode);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    PlatformSwapBuffers();
    glFinish();
    ++passes;
    now = PlatformClockCounter();
  }
  std::printf("floor: passes-per-second=%.1f size=%dx%d\n",
              passes / (static_cast<double>(now - start) / static_cast<double>(frequency)), width,
              height);
  return 0;
}
