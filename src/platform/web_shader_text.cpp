// The shaders' text for OpenGL ES: the files are GLSL 1.30, which WebGL 2's
// GLSL ES 3.00 takes once the version line says so and default precisions are
// set. No GL here, so that the translation can be checked without a browser.
#include "platform/web_gl.h"

std::string TranslateShaderForEs(const std::string& source) {
  // Only the version line differs for these shaders; ES also wants default
  // precisions, which go on the next line. #line keeps the compiler's line
  // numbers those of the file, so its messages point at the right line.
  size_t at = 0;
  int line = 1;
  while (at < source.size()) {
    const size_t end = source.find('\n', at);
    const size_t stop = end == std::string::npos ? source.size() : end;
    size_t first = source.find_first_not_of(" \t", at);
    if (first < stop && source.compare(first, 8, "#version") == 0) {
      std::string out = source.substr(0, at);
      out += "#version 300 es\n";
      out += "precision highp float; precision highp int; precision highp sampler2D;\n";
      out += "#line " + std::to_string(line + 1) + "\n";
      if (end != std::string::npos) out += source.substr(end + 1);
      return out;
    }
    if (end == std::string::npos) break;
    at = end + 1;
    ++line;
  }
  return source;  // no version line: the compiler will say what it makes of it
}
