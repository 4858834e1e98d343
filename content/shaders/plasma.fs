// A plasma of interfering waves: two travelling sine gratings, a ripple
// from a wandering centre and a slow swirl, folded through a sine into
// contour bands. tc (from ts, tb) frames it; r scales its light.
#version 130
uniform float t, r;
uniform vec2 ts, tb;
in vec2 tc;
out vec4 colour;

void main() {
  vec2 q = (tc - 0.5) * 8.0;
  vec2 wander = vec2(sin(t * 0.7), cos(t * 0.53)) * 2.5;
  float v = sin(q.x + t)
          + sin((q.y + t) * 0.5)
          + sin((q.x + q.y + t) * 0.5)
          + sin(length(q - wander) * 1.5 - t * 1.3)
          + sin(atan(q.y, q.x) * 3.0 + length(q) - t * 0.6);
  float band = 0.5 + 0.5 * sin(v * 3.14159 * 0.5);
  vec3 rgb = vec3(band, 0.5 + 0.5 * sin(v * 3.14159 * 0.5 + 2.1), 0.5 + 0.5 * sin(v * 3.14159 * 0.5 + 4.2));
  colour = vec4(rgb * r, 1.0);
}
