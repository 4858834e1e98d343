// The Mandelbrot picture, zoomed by the texture coordinates tc.
#version 130
uniform sampler2D T;
in vec2 tc;
out vec4 colour;
void main() {
  colour = vec4(texture(T, tc).rgb, 1.0);
}
