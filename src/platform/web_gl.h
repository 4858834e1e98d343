// The web backend's shader translation, on its own so that a test can run it
// without a browser. Used only inside the platform layer.
#pragma once
#include <string>

// A GLSL 1.30 source as GLSL ES 3.00: the ES version line and default
// precisions first, the file's version line emptied, line numbers kept. A
// source without a version line comes back unchanged.
std::string TranslateShaderForEs(const std::string& source);
