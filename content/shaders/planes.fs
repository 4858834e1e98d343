// Gliding between a brick floor and a brick ceiling down a lit corridor. The
// camera drifts sideways and bobs with c (an ellipse), banks into its drift,
// and flies forward with t. Lamps hang from the ceiling and pool light on the
// floor; the far end dissolves into a bright haze. Four samples per scene
// pixel, and a fade to the bricks' mean tone where a pixel spans more than a
// texel, keep the far rows from aliasing.
#version 130
uniform sampler2D T;
uniform float t;
uniform vec2 c;
in vec2 p;  // 4:3 scene position, +y at the top of the screen
out vec4 colour;

float Luma(vec3 rgb) { return dot(rgb, vec3(0.299, 0.587, 0.114)); }

// The repeating brick image at uv, nearest texel (no mipmaps to choose).
float Brick(vec2 uv) {
  ivec2 size = textureSize(T, 0);
  ivec2 texel = min(ivec2(fract(uv) * vec2(size)), size - 1);
  return Luma(texelFetch(T, texel, 0).rgb);
}

// Average tone of the brick image, what a far row blurs into.
const float kBrickMean = 0.42;
const float kTiles = 0.6;  // brick tiles per unit of floor

// The surface seen at scene position q: its floor coordinates, its depth and
// whether it is the ceiling.
vec3 Surface(vec2 q, float height, out bool ceiling) {
  ceiling = q.y > 0.0;
  float gap = ceiling ? 1.0 - height : 1.0 + height;
  float depth = gap / max(abs(q.y), 1e-3);
  return vec3(q.x * depth + 1.2 * c.x, depth + 2.2 * t, depth);
}

void main() {
  // Bank against the sideways drift: c.y is the drift's rate of change.
  float bank = -0.35 * c.y;
  mat2 turn = mat2(cos(bank), sin(bank), -sin(bank), cos(bank));
  vec2 q = turn * p;
  float height = 0.5 * c.y;  // the camera bobs by up to an eighth of the gap

  // Eight samples inside the scene pixel (1/60 of a unit): two across, four
  // along the depth, where the rows crowd together.
  const float kPixel = 2.0 / 120.0;
  float brick = 0.0;
  for (int k = 0; k < 8; ++k) {
    vec2 offset = vec2(float(k & 1) - 0.5 + 0.25 * float(k >> 2), (float(k >> 1) + 0.5) / 4.0 - 0.5);
    offset.x *= 0.5;
    bool side;
    vec3 at = Surface(q + turn * (offset * kPixel), height, side);
    brick += Brick(at.xy * kTiles);
  }
  brick *= 0.125;

  bool ceiling;
  vec3 ground = Surface(q, height, ceiling);
  float depth = ground.z;
  // Texels per scene pixel along the depth: once a course of bricks (16
  // texels) is squeezed into two pixels, eight samples can no longer hold it.
  float footprint = depth * depth / max(1.0 - abs(height), 0.5) * kPixel * kTiles * 64.0;
  brick = mix(brick, kBrickMean, smoothstep(5.0, 10.0, footprint));

  // Lamps down the middle of the ceiling, one every two tiles: a bright lamp
  // overhead, a pool of light under it on the floor.
  vec2 cell = vec2(ground.x, fract(ground.y * 0.25) * 4.0 - 2.0);
  float reach = dot(cell, cell);
  float lamp = ceiling ? exp(-reach * 6.0) : 0.0;
  float pool = exp(-reach * (ceiling ? 0.35 : 0.25));
  float shade = ceiling ? 0.75 : 1.0;
  float lit = brick * shade * (0.55 + 1.15 * pool) + 1.1 * lamp;
  // The corridor's far end glows; the haze thickens with depth towards it.
  float haze = 0.32 + 0.38 * exp(-abs(q.y) * 9.0);
  float clear = exp(-0.012 * depth * depth);
  float light = mix(haze, lit, clear);
  colour = vec4(vec3(clamp(light, 0.0, 1.0)), 1.0);
}
