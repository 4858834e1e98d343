// A classic plasma of interfering sines (built, never shown).
#version 130
uniform float t, r;
uniform vec2 ts, tb;
in vec2 corner;
out vec4 colour;
void main() {
  vec2 q = corner * ts + tb;
  float v = sin(q.x * 10.0 + t) + sin(q.y * 8.0 - t * 1.3) + sin((q.x + q.y) * 6.0 + t * 0.7)
          + sin(length(q) * 12.0 - t);
  colour = vec4(vec3(0.5 + 0.5 * sin(v * 1.5)) * r, 1.0);
}
