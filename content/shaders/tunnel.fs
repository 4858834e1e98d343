// A tube seen from inside: depth from 1/radius, angle around the axis; t flies
// forward (backwards while it is negative), u twists the walls, v sways the
// far end so the tube bends; fog sinks the far end into black.
// - u = 0, the star image: the tube is drawn as light, two walls of stars
//   one can follow, streaked along the flight, with dust lining the tube.
// - Bricks flying forward: courses laid in rings, lamps hung along the top
//   of the tube pool their light on the upper wall as they pass overhead.
// - Bricks flying backwards (t < 0, the swaying section): the courses run
//   along the tube and rings of lamps sweep past, each lighting a stretch.
// The projector enlarges the 160 x 120 picture from four values per pixel:
// the scene at this pixel (R), one pixel right (G), one row up (B) and the
// diagonal (A). Each is a band-limited evaluation of the scene at its own
// point (textures filtered over the pixel's footprint, lights and stars no
// smaller than a pixel), so the corners are consistent from pixel to pixel
// and nothing sparkles. The images are read with texelFetch and filtered
// here: the driver's anisotropic path is far slower on a software renderer.
#version 130
uniform sampler2D T;
uniform float t, u, v;
uniform vec2 c;  // never set: the tube's axis stays on the screen centre
in vec2 p;       // 4:3 scene position, +y at the top of the screen
out vec4 colour;

const float kTurn = 6.2831853;
const float kPixel = 1.0 / 60.0;  // one target pixel in scene units (120 rows span 2)
const float kFocal = 0.42;        // screen radius of the wall one tube radius ahead

float Luma(vec3 rgb) { return dot(rgb, vec3(0.299, 0.587, 0.114)); }

// The repeating square image at uv, bilinear within one mip level (the
// texture's own mipmaps are box-filtered halvings; its sides are powers of
// two). The level's size is worked out from the base level's: asked per
// level, the software renderer answers one lane's level for its neighbours.
float Bilinear(vec2 uv, int level) {
  int size = textureSize(T, 0).x >> level;
  vec2 at = uv * float(size) - 0.5;
  vec2 cell = floor(at), f = at - cell;
  ivec2 i = ivec2(cell), mask = ivec2(size - 1);
  float a = Luma(texelFetch(T, i & mask, level).rgb);
  float b = Luma(texelFetch(T, (i + ivec2(1, 0)) & mask, level).rgb);
  float d = Luma(texelFetch(T, (i + ivec2(0, 1)) & mask, level).rgb);
  float e = Luma(texelFetch(T, (i + ivec2(1, 1)) & mask, level).rgb);
  return mix(mix(a, b, f.x), mix(d, e, f.x), f.y);
}

// The image at uv averaged over a footprint of `texels` texels: trilinear,
// so the filter changes smoothly with the depth and no ring of it shows.
float Filtered(vec2 uv, float texels) {
  float top = log2(float(textureSize(T, 0).x));
  // Never quite the bare texels: magnified, the pixel art's dithering would
  // show as jagged steps along the mortar.
  float lod = clamp(log2(max(texels, 1.0)), 0.5, top);
  int level = int(lod);
  return mix(Bilinear(uv, level), Bilinear(uv, min(level + 1, int(top))), lod - float(level));
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
// runs back to where it was a film frame's exposure ago. Distances are
// measured in polar form, good enough at a star's size and free of per-star
// sines. A star is never drawn smaller than a pixel: a smaller one would sit
// on one pixel and hop to the next; it is spread over the pixel instead and
// dimmed to match.
// The stars that can reach this pixel's cell are found once, from its
// middle (`radius`, `angle`, radians 0 to 2 pi), and each lights the four
// corners (`radii`, `angles`); a star in a cell further off is too faint
// there to matter.
vec4 StarWall(float radius, float angle, vec4 radii, vec4 angles, float wall, float cells,
              float speed, float seed) {
  const float kExposure = 0.11;
  const float kSmallest = kPixel * 1.4142136;  // a Gaussian of one pixel: round once enlarged
  float travelled = t * speed;
  float ahead = wall / radius + travelled;  // depth along the path, in world units
  vec4 light = vec4(0.0);
  // The middle's ring of cells and the rings either side: a star reaches
  // no further.
  for (int j = -1; j <= 1; ++j) {
    // Each ring of cells is turned by its own amount, so the stars do not
    // line up in spokes.
    float row = floor(ahead) + float(j);
    float turn = Hash3(vec2(row, seed)).y;
    float around = angle / kTurn * cells + turn;
    float nearest = floor(around);
    float other = nearest + (around - nearest < 0.5 ? -1.0 : 1.0);
    for (int i = 0; i < 2; ++i) {
      float column = i == 0 ? nearest : other;
      vec3 h = Hash3(vec2(mod(column, cells), row) + seed);
      float z = row + h.y - travelled;
      // About half the cells hold a star; one already past the camera is
      // gone. Far stars are too small to follow; the nearest leave the picture.
      float fade = smoothstep(7.0, 3.0, z) * smoothstep(0.2, 0.6, z) * step(0.45, h.z);
      z = max(z, 0.12);
      float now = wall / z, before = wall / (z + speed * kExposure);
      float size = 0.035 / z;
      float spread = max(size, kSmallest);
      float glint = (0.55 + 0.45 * (h.z - 0.45) / 0.55) * fade * size / spread;
      // The star's angle, in the same turn of the circle as the corners.
      float place = (column + h.x - turn) / cells * kTurn;
      vec4 across = radii * (angles - place);
      vec4 along = radii - clamp(radii, vec4(before), vec4(now));
      vec4 k = clamp((radii - before) / (now - before), 0.0, 1.0);  // 1 at the star
      vec4 core = exp(-(along * along + across * across) / (spread * spread));
      light = max(light, core * glint * mix(vec4(0.3), vec4(1.0), k * k));
    }
  }
  return light;
}

// The four corners of this pixel's cell in the star tube.
vec4 StarCorners() {
  vec2 middle = p + vec2(0.5, -0.5) * kPixel;
  // One pixel right is +x; one framebuffer row up is one screen row down.
  vec2 at[4] = vec2[4](p, p + vec2(kPixel, 0.0), p - vec2(0.0, kPixel), p + vec2(kPixel, -kPixel));
  vec4 radii, angles;
  float angle = atan(middle.y, middle.x) + 3.1415927;
  for (int k = 0; k < 4; ++k) {
    radii[k] = max(length(at[k]), 1e-3);
    // Corners across the seam behind the middle's angle are unwrapped to it.
    float a = atan(at[k].y, at[k].x) + 3.1415927;
    angles[k] = a + kTurn * floor((angle - a) / kTurn + 0.5);
  }
  float radius = max(length(middle), 1e-3);
  // Two walls of stars at different distances give depth; the nearer
  // wall moves faster on the screen.
  vec4 stars = max(StarWall(radius, angle, radii, angles, 0.36, 11.0, 1.2, 0.0),
                   StarWall(radius, angle, radii, angles, 0.75, 16.0, 1.2, 41.0));
  // Dust lining the tube, lit from behind the camera: bright near the
  // screen's edge, fading into the dark far end. It flows slowly.
  vec4 dust;
  for (int k = 0; k < 4; ++k) {
    dust[k] = Noise(vec2(angles[k] / kTurn * 8.0, 0.54 / radii[k] + t * 0.45), 8.0);
  }
  vec4 walls = smoothstep(0.12, 1.1, radii);
  vec4 haze = walls * (0.07 + 0.4 * dust * dust);
  // Far stars that never move: the distant sky at the end of the tube, one
  // texel of the image every third texel, fixed to the picture.
  ivec2 texel = ivec2(gl_FragCoord.xy) * 3, mask = textureSize(T, 0) - 1;
  vec4 sky = vec4(Luma(texelFetch(T, texel & mask, 0).rgb),
                  Luma(texelFetch(T, (texel + ivec2(3, 0)) & mask, 0).rgb),
                  Luma(texelFetch(T, (texel + ivec2(0, 3)) & mask, 0).rgb),
                  Luma(texelFetch(T, (texel + ivec2(3, 3)) & mask, 0).rgb));
  sky = smoothstep(0.45, 0.9, sky) * 0.35 * (1.0 - walls);
  return clamp(haze + sky + stars * 1.4, 0.0, 1.0);
}

// The brick tube. World units: the tube's radius is 1, z the distance ahead
// of the camera of the wall seen at a point.
const float kTilesAround = 12.0;  // 64-texel tiles, two bricks each: 24 bricks a ring
const float kTilesPerDepth = 2.0; // four courses a tile: bricks twice as long as high
const float kSpeed = 0.75;        // world units a second at t's rate
const float kLampSpacing = 1.6;   // world units between lamps, and between rings
const float kLampHeight = 0.8;    // the lamps hang a fifth of the radius under the top

float BrickTunnel(vec2 at) {
  // Points near the vanishing point follow the sway fully, the walls at the
  // screen's edge hardly at all: the tube curves instead of sliding.
  vec2 centre = vec2(0.42 * v, 0.14 * v) + c;
  float bend = exp(-1.6 * length(at - centre));
  vec2 q = at - centre * (0.35 + 0.65 * bend);
  float radius = max(length(q), 0.004);
  float z = kFocal / radius;
  float around = atan(q.y, q.x) / kTurn;  // 0.25 at the top of the screen
  float travel = t * kSpeed;
  float ahead = z + travel;  // the wall's place along the tube, fixed to the bricks

  // Texels of the image across one pixel, around the ring and along the
  // depth (which the 1/radius mapping squeezes towards the far end).
  float perAround = kTilesAround / (kTurn * radius);
  float perDepth = kTilesPerDepth * kFocal / (radius * radius);
  float texels = 64.0 * kPixel * max(perAround, perDepth * length(vec2(1.0, u)));

  float light, fixture;
  vec2 wall;
  if (t >= 0.0) {
    // Courses in rings. A lamp hangs under the top of the tube every few
    // metres; each lights the bricks around it, the upper wall most, and
    // the lower wall only gets what reaches across the tube.
    wall = vec2(around * kTilesAround + u * z, ahead * kTilesPerDepth);
    float angle = around * kTurn;
    vec2 across = vec2(cos(angle), sin(angle) - kLampHeight);
    // The two lamps either side of the point light it.
    float behind = floor(ahead / kLampSpacing) * kLampSpacing;
    light = 0.35;
    for (int k = 0; k <= 1; ++k) {
      float along = ahead - (behind + float(k) * kLampSpacing);
      light += 2.0 / (1.0 + 2.5 * dot(vec3(across, along), vec3(across, along)));
    }
    // The lamps themselves, in front of the wall: a lamp at depth zl shows at
    // kLampHeight * kFocal / zl above the axis, so the one that covers this
    // point lies near kLampHeight times the wall's depth. Never smaller than
    // a pixel, dimmed when spread.
    fixture = 0.0;
    float lampBehind = floor((kLampHeight * z + travel) / kLampSpacing) * kLampSpacing;
    for (int k = 0; k <= 1; ++k) {
      float zl = max(lampBehind + float(k) * kLampSpacing - travel, 0.05);
      vec2 offset = q - vec2(0.0, kLampHeight * kFocal / zl);
      float size = 0.13 * kFocal / zl, spread = max(size, kPixel * 1.4142136);
      fixture += exp(-dot(offset, offset) / (spread * spread)) * (size * size) / (spread * spread);
    }
  } else {
    // Courses along the tube, and rings of lamps: each ring a bright band
    // that lights the bricks a little way either side of it.
    wall = vec2(ahead * kTilesPerDepth * 0.5, around * kTilesAround * 0.5 + u * z);
    texels = 64.0 * kPixel * max(0.5 * perAround, 0.5 * perDepth * length(vec2(1.0, 2.0 * u)));
    float nearest = floor(ahead / kLampSpacing + 0.5) * kLampSpacing;
    float along = ahead - nearest;
    light = 0.15 + 1.8 / (1.0 + 4.0 * along * along);
    // The ring is 0.06 units wide; where the depth crowds more than that
    // into a pixel it is spread over the pixel and dimmed to match.
    float width = max(0.06, 1.2 * z * z * kPixel / kFocal);
    fixture = exp(-along * along / (width * width)) * 0.06 / width;
  }
  // The image repeats every two bricks. Each brick gets a clay of its own
  // (the face only: the cell's edges lie in the mortar, so no step shows
  // while the mortar is wider than a pixel, and far off the shades fade to
  // one), and soot in patches of a few bricks, so the repeat does not read
  // as a chequerboard. Both close around the ring.
  float brick = Filtered(wall, texels);
  vec2 cell = floor(vec2((wall.x * 64.0 + 1.0 - 16.0 * mod(floor(wall.y * 4.0 + 1.0 / 64.0), 2.0)) / 32.0,
                         wall.y * 4.0 + 1.0 / 64.0));
  cell = t >= 0.0 ? vec2(mod(cell.x, 2.0 * kTilesAround), cell.y)
                  : vec2(cell.x, mod(cell.y, 2.0 * kTilesAround));
  float face = smoothstep(0.66, 0.56, brick) * smoothstep(3.0, 1.0, log2(max(texels, 1.0)));
  brick = mix(0.36, brick, 0.7) * (1.0 + face * (Hash3(cell).x - 0.5) * 0.7);
  float soot = Noise(vec2(around * 6.0, ahead * 0.7), 6.0);
  float fog = exp(-0.045 * z * z);
  return clamp((brick * (0.7 + 0.5 * soot) * light + 2.0 * fixture) * fog, 0.0, 1.0);
}

// The four corners of this pixel's cell in the brick tube.
vec4 BrickCorners() {
  return vec4(BrickTunnel(p), BrickTunnel(p + vec2(kPixel, 0.0)), BrickTunnel(p - vec2(0.0, kPixel)),
              BrickTunnel(p + vec2(kPixel, -kPixel)));
}

void main() {
  // The software renderer runs both sides of this if for every pixel, so
  // the cost of the two tubes adds up: each is kept lean for the other.
  if (u == 0.0) colour = StarCorners(); else colour = BrickCorners();
}
