// The projector: the scene (title card or 160 x 120 scene target) printed in
// silver-warm monochrome on film base through the film gate, with this film
// frame's dust, scratches and grain, and the lamp brightness r applied last.
// On the last second's first passes r is far above 1 and the film burns
// through: a white-hot hole with a glowing front and scorched brown film.
//
// Speed on a software renderer decides the shape of this shader: exactly
// three texel fetches per pixel (a filtered read takes the driver's
// anisotropic path, many times slower), no branches (both sides would run)
// and few operations: what can be baked into the images is, and what is
// linear across the screen comes interpolated from the vertex stage, already
// in texels.
// - Cards and the film writing are neighbour-packed: R is the texel, G its
//   right neighbour, B the one below, so one fetch gives three corners of a
//   bilinear cell and they stay smooth however far they are enlarged. Scene
//   pictures are grey, all three channels equal, so the same read gives
//   their chunky nearest pixels.
// - The gate carries the vignette in R (black in its outermost columns, so
//   the clamped read is black beside a 4:3 picture) and the burn's shape in G.
// - The damage overlay carries the grain in B: it changes every film frame
//   with the overlay's placement and is sized to the picture, not the screen.
//   Its sides are powers of two, so it repeats by masking the texel index.
#version 130
uniform sampler2D T;  // gate: R aperture x vignette, G burn order
uniform sampler2D F;  // the picture
uniform sampler2D U;  // damage: R prints white, G prints black, B grain
uniform float r;
in vec2 gateAt, pictureAt, damageAt;  // in texels (see projector.vs)
out vec4 colour;

const float kFilmBase = 0.05;   // the clearest black the print holds
const float kCurveLinear = 0.15 * (1.0 - kFilmBase);
const float kCurveSquare = 3.0 * 0.85 * (1.0 - kFilmBase);
const float kCurveCube = 2.0 * 0.85 * (1.0 - kFilmBase);

void main() {
  // Beside a 4:3 picture the gate's clamped read gives its black edge.
  ivec2 gateTexel = ivec2(gateAt);
  gateTexel.x = clamp(gateTexel.x, 0, textureSize(T, 0).x - 1);
  vec2 gate = texelFetch(T, gateTexel, 0).rg;

  // Bilinear from one fetch of a neighbour-packed picture; the cell's far
  // corner is estimated from the other three, within their range.
  vec2 cell = floor(pictureAt);
  vec2 f = pictureAt - cell;
  vec3 c = texelFetch(F, clamp(ivec2(cell), ivec2(0), textureSize(F, 0) - 1), 0).rgb;
  float far = clamp(c.g + c.b - c.r, min(c.g, c.b), max(c.g, c.b));
  float light = mix(mix(c.r, c.g, f.x), mix(c.b, far, f.x), f.y);

  vec3 damage = texelFetch(U, ivec2(floor(damageAt)) & (textureSize(U, 0) - 1), 0).rgb;

  // A gentle S-curve, printed on film base: blacks are never digital.
  // (0.85 s + 0.15 x, s the smoothstep, scaled into the base, in Horner form.)
  light = kFilmBase + light * (kCurveLinear + light * (kCurveSquare - kCurveCube * light));
  // Grain, strongest in the mid-tones and alive in the blacks.
  light += (damage.b * 0.22 - 0.11) * (0.45 + light);
  light += damage.r * (1.0 - light);
  light *= (1.0 - damage.g) * gate.x * r;

  // The burn: s < 0 inside the hole, 0..1 the glowing front, beyond it the
  // film scorches brown and then black. On ordinary passes (r up to 1.1)
  // s stays below -3 and changes nothing; from r = 64.5 to 117 the hole
  // reaches 0.74 to 0.25 of the way to the corners, ragged with the grain.
  float s = (gate.y + damage.b * 0.1 + r * 0.0094 - 1.35) * 14.0;
  light = max(min(light, 1.2 - 0.35 * s), 0.0);
  vec3 tone = vec3(1.0, 0.93, 0.80) - clamp(s, 0.0, 1.0) * vec3(0.0, 0.45, 0.7);
  // The 8-bit window clamps what is written to it.
  colour = vec4(light * tone + light * light * vec3(0.0, 0.05, 0.14), 1.0);
}
