// A tube seen from inside: depth from 1/radius, angle around the axis; t flies
// forward, u twists the walls, v sways the far end so the tube bends; fog
// sinks the far end into black. The untwisted tube (u = 0, the star image)
// is drawn as light: three nested star shells, streaked along the flight.
// Texels are fetched directly: the images are nearest-filtered and repeat,
// and a fetch skips the anisotropic footprint the polar seam would ask for.
#version 130
uniform sampler2D T;
uniform float t, u, v;
uniform vec2 c;  // never set: the tube's axis stays on the screen centre
in vec2 p;
out vec4 colour;

const float kTurn = 6.2831853;

float Luma(vec3 rgb) { return dot(rgb, vec3(0.299, 0.587, 0.114)); }

// The repeating image at uv, nearest texel.
float Image(vec2 uv) {
  ivec2 size = textureSize(T, 0);
  ivec2 texel = min(ivec2(fract(uv) * vec2(size)), size - 1);
  return Luma(texelFetch(T, texel, 0).rgb);
}

// One star shell: radius scale, angular repeats, flight speed, phase. The
// streak takes the brightest of five taps behind each point, so a star
// leaves a trail that grows as it rushes past.
float StarShell(vec2 q, float scale, float repeats, float speed, float phase) {
  float radius = max(length(q), 1e-3);
  float depth = scale / radius;
  float around = atan(q.y, q.x) / kTurn * repeats + phase;
  float ahead = depth + t * speed + phase * 3.7;
  float trail = 0.012 * speed * depth;
  float light = 0.0;
  for (int k = 0; k < 5; ++k) {
    float fade = 1.0 - float(k) * 0.17;
    light = max(light, fade * Image(vec2(around, ahead - trail * float(k))));
  }
  // Far stars are faint and small; near ones burn.
  return light * smoothstep(9.0, 1.5, depth);
}

void main() {
  // Points near the vanishing point follow the sway fully, the walls at the
  // screen's edge hardly at all: the tube curves instead of sliding.
  vec2 centre = vec2(0.42 * v, 0.14 * v) + c;
  float bend = exp(-1.6 * length(p - centre));
  vec2 q = p - centre * (0.35 + 0.65 * bend);
  float radius = max(length(q), 1e-3);

  if (u == 0.0) {
    float stars = StarShell(q, 0.30, 3.0, 0.55, 0.0) * 1.6
                + StarShell(q, 0.45, 5.0, 0.40, 0.31) * 1.3
                + StarShell(q, 0.70, 7.0, 0.28, 0.67);
    // A faint glow down the tube, so the dark centre reads as distance.
    float glow = 0.10 * exp(-radius * 5.0) + 0.05 * exp(-radius * 1.4);
    colour = vec4(vec3(clamp(stars * 1.8 + glow, 0.0, 1.0)), 1.0);
    return;
  }

  float depth = 0.42 / radius;
  float angle = atan(q.y, q.x) / kTurn;
  vec2 wall = vec2(angle * 6.0 + u * depth + c.x, depth * 0.8 + t * 0.6);
  float brick = Image(wall);
  // Light from a lamp overhead on the screen (-y in the flipped scene): the
  // upper wall is lit, the lower one in shadow.
  float lamp = 0.72 + 0.38 * (-q.y / radius);
  // Every few bricks a brighter ring of lamps passes by.
  float ring = smoothstep(0.55, 1.0, sin((depth * 0.8 + t * 0.6) * 1.5708));
  float fog = exp(-0.16 * depth * depth * 0.25) * smoothstep(0.02, 0.16, radius);
  float light = brick * lamp * (0.55 + 0.45 * ring) * fog * 1.35;
  colour = vec4(vec3(clamp(light, 0.0, 1.0)), 1.0);
}
