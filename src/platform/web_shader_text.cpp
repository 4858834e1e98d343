// The shaders' text for OpenGL ES: the files are GLSL 1.30, which WebGL 2's
// GLSL ES 3.00 takes once the version line says so and default precisions are
// set. No GL here, so that the translation can be checked without a browser.
#include "platform/web_gl.h"

#include <regex>

namespace {

// "noperspective in|out TYPE NAME;" on a line of its own.
struct ScreenLinear {
  bool output;  // out: the vertex stage; in: the fragment stage
  std::string type, name;
};

bool ParseScreenLinear(const std::string& line, ScreenLinear* found) {
  static const std::regex pattern(R"(^\s*noperspective\s+(in|out)\s+(\w+)\s+(\w+)\s*;\s*(//.*)?$)");
  std::smatch match;
  if (!std::regex_match(line, match, pattern)) return false;
  *found = {match[1] == "out", match[2], match[3]};
  return true;
}

}  // namespace

std::string TranslateShaderForEs(const std::string& source) {
  // The files open with comments, and ES wants its version line before
  // anything, comments included. So the ES version line and the default
  // precisions go first, the file's own version line is left empty, and
  // #line numbers the rest as in the file, so the compiler's messages point
  // at the file's lines.
  //
  // ES 3.00 has no noperspective. A screen-linear varying V is carried as
  // V * w and w, both interpolated with perspective; their quotient is V
  // interpolated linearly across the screen, as noperspective would give it.
  // The vertex stage's main is wrapped to write the pair after the file's
  // main has set V and gl_Position.
  std::string header =
      "#version 300 es\n"
      "precision highp float; precision highp int; precision highp sampler2D;\n";
  std::string body, trailer;
  bool versionSeen = false;
  bool wrapMain = false;
  size_t at = 0;
  while (at < source.size()) {
    size_t end = source.find('\n', at);
    if (end == std::string::npos) end = source.size();
    const std::string line = source.substr(at, end - at);
    const size_t first = line.find_first_not_of(" \t");
    ScreenLinear varying;
    if (!versionSeen && first != std::string::npos && line.compare(first, 8, "#version") == 0) {
      versionSeen = true;  // the line stays, empty
    } else if (ParseScreenLinear(line, &varying)) {
      const std::string& n = varying.name;
      if (varying.output) {
        body += "out " + varying.type + " " + n + "_np; out float " + n + "_w; " + varying.type +
                " " + n + ";";
        trailer += n + "_np = " + n + " * gl_Position.w; " + n + "_w = gl_Position.w; ";
        wrapMain = true;
      } else {
        body += "in " + varying.type + " " + n + "_np; in float " + n + "_w;";
        header += "#define " + n + " (" + n + "_np / " + n + "_w)\n";
      }
    } else {
      body += line;
    }
    if (end < source.size()) body += '\n';
    at = end + 1;
  }
  if (!versionSeen) return source;  // the compiler will say what it makes of it
  if (wrapMain) {
    header += "#define main nitrate_file_main\n";
    body += "\n#undef main\nvoid main() { nitrate_file_main(); " + trailer + "}\n";
  }
  return header + "#line 1\n" + body;
}
