// Sixteen soft blobs melting into each other. Each centre p[i] carries a
// field 0.6 / (t d^2); where the sum crosses 1 a smooth threshold turns it into
// a glossy surface, its slope into a normal. qs and qb give the 4:3 frame.
#version 130
uniform vec2 p[16];
uniform float t;  // the field's falloff: larger t, smaller blobs
uniform vec2 qs, qb;
in vec2 corner;  // +y at the bottom of the screen
out vec4 colour;

void main() {
  vec2 at = corner * qs + qb;
  float field = 0.0;
  vec2 slope = vec2(0.0);
  for (int i = 0; i < 16; ++i) {
    vec2 d = at - p[i];
    float w = 0.6 / (t * dot(d, d) + 0.02);
    field += w;
    slope -= 2.0 * t * d * w * w / 0.6;
  }
  // The surface as a height field: steep near the edge, flat on top.
  float inside = smoothstep(0.92, 1.08, field);
  // Height sqrt(1 - 1/field): zero on the threshold and rising steeply from
  // it, so each blob's rim turns away from the viewer like a sphere's.
  float height = sqrt(clamp(1.0 - 1.0 / field, 0.02, 1.0));
  vec3 normal = normalize(vec3(-slope * 0.045 / (field * field * height), 1.0));
  // Key light from the upper left of the screen, the viewer straight ahead.
  vec3 key = normalize(vec3(-0.5, -0.6, 0.7));
  float diffuse = max(dot(normal, key), 0.0);
  float gloss = pow(max(dot(reflect(-key, normal), vec3(0.0, 0.0, 1.0)), 0.0), 40.0);
  float edge = pow(1.0 - normal.z, 2.0);
  float blob = 0.1 + 0.85 * diffuse + 0.9 * gloss - 0.3 * edge;

  // Behind them a stage lit by a spotlight from the upper left, falling off
  // into dark corners; the field's outskirts glow faintly around each blob.
  float glow = 0.25 * smoothstep(0.35, 1.0, field);
  float spot = exp(-1.1 * dot(at - vec2(-0.35, -0.3), at - vec2(-0.35, -0.3)));
  float back = 0.04 + 0.32 * spot + glow;
  colour = vec4(vec3(clamp(mix(back, blob, inside), 0.0, 1.0)), 1.0);
}
