// Sixteen soft blobs: a field sum over the centres p with a smooth threshold,
// shaded as glossy surfaces. qs and qb give the 4:3 frame of the scene.
#version 130
uniform vec2 p[16];
uniform float t;
uniform vec2 qs, qb;
in vec2 corner;
out vec4 colour;
void main() {
  vec2 at = corner * qs + qb;
  float field = 0.0;
  vec2 slope = vec2(0.0);
  for (int i = 0; i < 16; ++i) {
    vec2 d = at - p[i];
    float w = 0.018 / (dot(d, d) + 0.002);
    field += w;
    slope += -2.0 * d * w * w / 0.018;
  }
  float edge = smoothstep(0.9, 1.1, field);
  vec3 n = normalize(vec3(-slope * 0.05, 1.0));
  float lit = 0.25 + 0.75 * max(dot(n, normalize(vec3(-0.4, 0.5, 0.8))), 0.0);
  float gloss = pow(max(dot(reflect(-normalize(vec3(-0.4, 0.5, 0.8)), n), vec3(0.0, 0.0, 1.0)), 0.0), 24.0);
  float back = 0.08 + 0.04 * sin(at.y * 30.0 + t);
  colour = vec4(vec3(mix(back, lit + gloss, edge)), 1.0);
}
