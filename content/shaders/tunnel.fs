// A tube seen from inside: depth from 1/r, angle around; t flies forward,
// u twists, v sways the centre; fog sinks the far end into black.
#version 130
uniform sampler2D T;
uniform float t, u, v;
uniform vec2 c;
in vec2 p;
out vec4 colour;
void main() {
  vec2 q = p - vec2(0.35 * v, 0.2 * v) + c;
  float radius = max(length(q), 0.02);
  float depth = 0.5 / radius;
  float angle = atan(q.y, q.x) / 6.2831853;
  vec2 uv = vec2(angle * 4.0 + u * depth + t * 0.05, depth + t * 0.9);
  vec3 texel = texture(T, uv).rgb;
  float fog = clamp(radius * 1.6, 0.0, 1.0);
  colour = vec4(texel * fog, 1.0);
}
