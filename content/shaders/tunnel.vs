// Fullscreen quad for the scene shaders. p is the 4:3 scene position, flipped
// vertically because the projector shows the scene target top row first.
#version 130
in vec2 A0;
out vec2 p;
void main() {
  p = vec2(A0.x * (4.0 / 3.0), -A0.y);
  gl_Position = vec4(A0, 0.0, 1.0);
}
