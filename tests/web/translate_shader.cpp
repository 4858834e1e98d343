// Prints a shader file as the web backend hands it to WebGL 2, so that
// glslangValidator can check what the browser will compile.
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/web_gl.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: translate_shader FILE\n";
    return 1;
  }
  std::ifstream file(argv[1], std::ios::binary);
  if (!file) {
    std::cerr << "cannot read " << argv[1] << "\n";
    return 1;
  }
  std::stringstream text;
  text << file.rdbuf();
  std::cout << TranslateShaderForEs(text.str());
  return 0;
}
