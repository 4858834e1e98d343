// Gliding between a brick floor and a brick ceiling down a lit corridor. The
// camera drifts sideways and bobs with c (an ellipse), banks into its drift,
// and flies forward with t. Lamps hang from the ceiling and pool light on the
// floor; the far end dissolves into a bright haze.
// The projector enlarges the 160 x 120 picture from four values per pixel:
// the scene at this pixel (R), one pixel right (G), one row up (B) and the
// diagonal (A). Each is the scene at its own point with the bricks averaged
// over the pixel's footprint on the floor (the image's mipmaps, read with
// texelFetch and blended here: the driver's anisotropic path is far slower
// on a software renderer), so the corners agree from pixel to pixel and the
// far rows fade into their mean tone instead of sparkling.
#version 130
uniform sampler2D T;
uniform float t;
uniform vec2 c;
in vec2 p;  // 4:3 scene position, +y at the top of the screen
out vec4 colour;

const float kPixel = 1.0 / 60.0;  // one target pixel in scene units (120 rows span 2)
const float kTiles = 0.6;         // brick tiles per unit of floor

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
// so the filter changes smoothly with the depth and no band of it shows.
// Never quite the bare texels: magnified, the pixel art's dithering would
// show as jagged steps along the mortar.
float Filtered(vec2 uv, float texels) {
  float top = log2(float(textureSize(T, 0).x));
  float lod = clamp(log2(max(texels, 1.0)), 0.5, top);
  int level = int(lod);
  return mix(Bilinear(uv, level), Bilinear(uv, min(level + 1, int(top))), lod - float(level));
}

float Scene(vec2 at) {
  // Bank against the sideways drift: c.y is the drift's rate of change.
  float bank = -0.35 * c.y;
  mat2 turn = mat2(cos(bank), sin(bank), -sin(bank), cos(bank));
  vec2 q = turn * at;
  float height = 0.5 * c.y;  // the camera bobs by up to an eighth of the gap

  // The floor or the ceiling seen here: its place (across, along the
  // corridor) and its depth.
  bool ceiling = q.y > 0.0;
  float gap = ceiling ? 1.0 - height : 1.0 + height;
  float slope = max(abs(q.y), 1e-3);
  float depth = gap / slope;
  vec2 ground = vec2(q.x * depth + 1.2 * c.x, depth + 2.2 * t);

  // Floor units across one pixel: across the corridor, and along it, where
  // the rows crowd together towards the horizon.
  float across = depth * kPixel;
  float along = depth / slope * kPixel * length(vec2(q.x, 1.0));
  float brick = Filtered(ground * kTiles, 64.0 * kTiles * max(across, along));

  // Lamps down the middle of the ceiling, one every four units: a bright
  // lamp overhead, a pool of light under it on the floor. A far lamp is
  // spread over the pixel it falls in and dimmed to match, never a speck.
  vec2 cell = vec2(ground.x, fract(ground.y * 0.25) * 4.0 - 2.0);
  vec2 size2 = vec2(1.0 / 6.0) + vec2(across * across, along * along);
  float lamp = ceiling ? exp(-dot(cell * cell, 1.0 / size2)) / (6.0 * sqrt(size2.x * size2.y)) : 0.0;
  float pool = exp(-dot(cell, cell) * (ceiling ? 0.35 : 0.25));
  float shade = ceiling ? 0.75 : 1.0;
  float lit = brick * shade * (0.55 + 1.15 * pool) + 1.1 * lamp;
  // The corridor's far end glows; the haze thickens with depth towards it.
  float haze = 0.32 + 0.38 * exp(-abs(q.y) * 9.0);
  float clear = exp(-0.012 * depth * depth);
  return clamp(mix(haze, lit, clear), 0.0, 1.0);
}

void main() {
  // One pixel right is +x; one framebuffer row up is one screen row down.
  colour = vec4(Scene(p), Scene(p + vec2(kPixel, 0.0)), Scene(p - vec2(0.0, kPixel)),
                Scene(p + vec2(kPixel, -kPixel)));
}
