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

// Smooth value noise, for the dust that lines the tube.
float Noise(vec2 at) {
  vec2 i = floor(at), f = at - i;
  f = f * f * (3.0 - 2.0 * f);
  return mix(mix(Hash3(i).x, Hash3(i + vec2(1.0, 0.0)).x, f.x),
             mix(Hash3(i + vec2(0.0, 1.0)).x, Hash3(i + vec2(1.0, 1.0)).x, f.x), f.y);
}

// Stars on a cylinder of radius `wall` around the flight path, one star at
// most per cell of `cells` angles by one unit of depth. The camera flies
// `speed` units a second, so a star at distance z sits at wall / z from the
// screen centre: it drifts outwards faster and grows as it nears. Its trail
// is where it was a sixteenth of a second ago, a film frame's exposure.
float StarWall(vec2 q, float radius, float wall, float cells, float speed, float seed) {
  const float kExposure = 0.11;
  float around = atan(q.y, q.x) / kTurn * cells;
  float travelled = t * speed;
  float ahead = wall / radius + travelled;  // depth along the path, in world units
  float light = 0.0;
  for (int j = -1; j <= 1; ++j) {
    // Each ring of cells is turned by its own amount, so the stars do not
    // line up in spokes.
    float row = floor(ahead) + float(j);
    float shift = Hash3(vec2(row, seed)).y * cells;
    for (int i = -1; i <= 1; ++i) {
      vec2 cell = vec2(floor(around + shift) + float(i), row);
      vec3 h = Hash3(vec2(mod(cell.x, cells), cell.y) + seed);
      if (h.z < 0.45) continue;  // about half the cells hold a star
      float z = cell.y + h.y - travelled;
      if (z < 0.12) continue;  // already past the camera
      float angle = (cell.x + h.x - shift) / cells * kTurn;
      vec2 now = vec2(cos(angle), sin(angle)) * (wall / z);
      vec2 before = now * (z / (z + speed * kExposure));
      // Distance to the trail, and how far along it (1 at the star).
      vec2 along = now - before;
      float k = clamp(dot(q - before, along) / max(dot(along, along), 1e-8), 0.0, 1.0);
      float d = length(q - before - along * k);
      float size = max(0.035 / z, 0.011);
      // Far stars are too small to follow; the nearest leave the picture.
      float fade = smoothstep(7.0, 3.0, z) * smoothstep(0.2, 0.6, z);
      float glint = 0.55 + 0.45 * (h.z - 0.45) / 0.55;
      float core = exp(-d * d / (size * size)) * mix(0.3, 1.0, k * k);
      light = max(light, core * fade * glint);
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
    // Three walls of stars at different distances give depth; nearer walls
    // move faster on the screen.
    float stars = max(max(StarWall(q, radius, 0.34, 9.0, 1.2, 0.0),
                          StarWall(q, radius, 0.55, 13.0, 1.2, 17.0)),
                      StarWall(q, radius, 0.85, 17.0, 1.2, 41.0));
    // Dust lining the tube, lit from behind the camera: bright near the
    // screen's edge, fading into the dark far end. It flows slowly.
    float depth = 0.6 / radius;
    float around = atan(q.y, q.x) / kTurn;
    float dust = Noise(vec2(around * 7.0, depth * 0.9 + t * 0.45))
               * 0.6 + 0.4 * Noise(vec2(around * 13.0 + 3.0, depth * 1.7 + t * 0.9));
    float walls = smoothstep(0.12, 1.1, radius);
    float haze = walls * (0.14 + 0.5 * dust * dust);
    // Far stars that never move: the distant sky at the end of the tube.
    ivec2 pixel = ivec2(gl_FragCoord.xy) * 3;
    float sky = Image(vec2(pixel) / vec2(textureSize(T, 0)));
    sky = smoothstep(0.45, 0.9, sky) * 0.35 * (1.0 - walls);
    colour = vec4(vec3(clamp(haze + sky + stars * 1.1, 0.0, 1.0)), 1.0);
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
