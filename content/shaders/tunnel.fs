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

// Hash of a cell to three values in [0, 1).
vec3 Hash3(vec2 cell) {
  vec3 h = fract(vec3(cell.xyx) * vec3(0.1031, 0.1030, 0.0973));
  h += dot(h, h.yzx + 33.33);
  return fract((h.xxy + h.yzz) * h.zyx);
}

// Smooth value noise for the dust that lines the tube, repeating every
// `period` units across so it closes around the tube without a seam.
float Noise(vec2 at, float period) {
  vec2 i = floor(at), f = at - i;
  f = f * f * (3.0 - 2.0 * f);
  float right = mod(i.x + 1.0, period);
  i.x = mod(i.x, period);
  return mix(mix(Hash3(i).x, Hash3(vec2(right, i.y)).x, f.x),
             mix(Hash3(i + vec2(0.0, 1.0)).x, Hash3(vec2(right, i.y + 1.0)).x, f.x), f.y);
}

// Stars on a cylinder of radius `wall` around the flight path, one star at
// most per cell of `cells` angles by one unit of depth. The camera flies
// `speed` units a second, so a star at distance z sits at wall / z from the
// screen centre: it drifts outwards faster and grows as it nears. Its trail
// runs back to where it was a film frame's exposure ago. The pixel is at
// `radius` and `angle` (radians, 0 to 2 pi); distances are measured in polar
// form, good enough at a star's size and free of per-star sines.
float StarWall(float radius, float angle, float wall, float cells, float speed, float seed) {
  const float kExposure = 0.11;
  float travelled = t * speed;
  float ahead = wall / radius + travelled;  // depth along the path, in world units
  float light = 0.0;
  // The pixel's ring of cells and the next one towards the camera: a star
  // reaches no further, a far one (stretched along the depth) is faded out.
  float first = floor(ahead);
  float second = first + (ahead - first < 0.5 ? -1.0 : 1.0);
  for (int j = 0; j < 2; ++j) {
    // Each ring of cells is turned by its own amount, so the stars do not
    // line up in spokes.
    float row = j == 0 ? first : second;
    float around = angle / kTurn * cells + Hash3(vec2(row, seed)).y;
    float nearest = floor(around);
    float other = nearest + (around - nearest < 0.5 ? -1.0 : 1.0);
    for (int i = 0; i < 2; ++i) {
      float column = i == 0 ? nearest : other;
      vec3 h = Hash3(vec2(mod(column, cells), row) + seed);
      float z = row + h.y - travelled;
      // About half the cells hold a star; one already past the camera is gone.
      if (h.z < 0.45 || z < 0.12) continue;
      float across = radius * (around - column - h.x) / cells * kTurn;
      float now = wall / z, before = wall / (z + speed * kExposure);
      float along = radius - clamp(radius, before, now);
      float k = clamp((radius - before) / (now - before), 0.0, 1.0);  // 1 at the star
      float size = max(0.035 / z, 0.011);
      float core = exp(-(along * along + across * across) / (size * size));
      // Far stars are too small to follow; the nearest leave the picture.
      float fade = smoothstep(7.0, 3.0, z) * smoothstep(0.2, 0.6, z);
      float glint = 0.55 + 0.45 * (h.z - 0.45) / 0.55;
      light = max(light, core * fade * glint * mix(0.3, 1.0, k * k));
    }
  }
  return light;
}

void main() {
  // Points near the vanishing point follow the sway fully, the walls at the
  // screen's edge hardly at all: the tube curves instead of sliding.
  vec2 centre = vec2(0.42 * v, 0.14 * v) + c;
  float bend = exp(-1.6 * length(p - centre));
  vec2 q = p - centre * (0.35 + 0.65 * bend);
  float radius = max(length(q), 1e-3);

  if (u == 0.0) {
    // Two walls of stars at different distances give depth; the nearer
    // wall moves faster on the screen.
    float angle = atan(q.y, q.x) + 3.1415927;
    float stars = max(StarWall(radius, angle, 0.36, 11.0, 1.2, 0.0),
                      StarWall(radius, angle, 0.75, 16.0, 1.2, 41.0));
    // Dust lining the tube, lit from behind the camera: bright near the
    // screen's edge, fading into the dark far end. It flows slowly.
    float depth = 0.6 / radius;
    float around = angle / kTurn;
    float dust = Noise(vec2(around * 8.0, depth * 0.9 + t * 0.45), 8.0);
    float walls = smoothstep(0.12, 1.1, radius);
    float haze = walls * (0.07 + 0.4 * dust * dust);
    // Far stars that never move: the distant sky at the end of the tube.
    ivec2 pixel = ivec2(gl_FragCoord.xy) * 3;
    float sky = Image(vec2(pixel) / vec2(textureSize(T, 0)));
    sky = smoothstep(0.45, 0.9, sky) * 0.35 * (1.0 - walls);
    colour = vec4(vec3(clamp(haze + sky + stars * 1.4, 0.0, 1.0)), 1.0);
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
  float light = brick * lamp * (0.55 + 0.45 * ring) * fog * 2.3;
  colour = vec4(vec3(clamp(light, 0.0, 1.0)), 1.0);
}
