// The projector: the scene (title card or 160 x 120 scene target) printed in
// silver-warm monochrome on film base through the film gate, with this film
// frame's dust, scratches and grain, and the lamp's brightness r.
// On the last second's first passes r is far above 1 and the film burns
// through: a white-hot hole with a glowing front and blistered brown film.
// A hair caught in the gate (drawn into the gate image) stays put.
//
// Speed on a software renderer decides the shape of this shader: exactly
// three texel fetches per pixel (a filtered read takes the driver's
// anisotropic path, many times slower), no branches (both sides would run)
// and few operations: what can be baked into the images is, and what is
// linear across the screen comes interpolated from the vertex stage, already
// in texels.
// - Every picture is neighbour-packed: R is the texel, G its right
//   neighbour, B the one below, so one fetch gives three corners of a
//   bilinear cell and the picture stays smooth however far it is enlarged.
//   The cards and the film writing are made so; the scenes write their own
//   neighbours' values when they draw, and the diagonal's in alpha.
// - The gate is one grey channel: the aperture with the lamp's vignette and
//   slow blotches (black in its outermost columns, so the clamped read is
//   black beside a 4:3 picture). Where the lamp is brightest the film burns
//   first: the burn's order is the vignette undone.
// - The damage overlay is one grey channel in three bands: dark damage below
//   a quarter, light damage above three quarters, grain between. It changes
//   every film frame with the overlay's placement and is sized to the
//   picture, not the screen. Its sides are powers of two, so it repeats by
//   masking the texel index.
#version 130
uniform sampler2D T;  // gate: aperture x vignette
uniform sampler2D F;  // the picture
uniform sampler2D U;  // damage: dark, grain and light bands
in vec2 gateAt, pictureAt, damageAt;  // in texels (see projector.vs)
flat in float lamp, burnShift, sceneFar;  // this pass's, from projector.vs
out vec4 colour;

const float kFilmBase = 0.05;   // the clearest black the print holds
const float kCurveLinear = 0.15 * (1.0 - kFilmBase);
const float kCurveSquare = 3.0 * 0.85 * (1.0 - kFilmBase);
const float kCurveCube = 2.0 * 0.85 * (1.0 - kFilmBase);
// The vignette falls to 1 - 1.3 x 0.3235 at the aperture's corners; undone,
// the burn's order runs from 0 in the middle to 1 there.
const float kBurnOrderScale = 1.0 / (1.3 * 0.3235);

void main() {
  // Beside a 4:3 picture the gate's clamped read gives its black edge.
  ivec2 gateTexel = ivec2(gateAt);
  gateTexel.x = clamp(gateTexel.x, 0, textureSize(T, 0).x - 1);
  float gate = texelFetch(T, gateTexel, 0).r;

  // Bilinear from one fetch of a neighbour-packed picture. A scene writes
  // the cell's far corner into alpha; a card has no alpha to give, and the
  // white and grey clears leave 0 there, so for those the far corner is
  // estimated from the other three, within their range.
  vec2 cell = floor(pictureAt);
  vec2 f = pictureAt - cell;
  vec4 c = texelFetch(F, clamp(ivec2(cell), ivec2(0), textureSize(F, 0) - 1), 0);
  float far = mix(clamp(c.g + c.b - c.r, min(c.g, c.b), max(c.g, c.b)), c.a,
                  sceneFar * step(1.0 / 512.0, c.a));
  float light = mix(mix(c.r, c.g, f.x), mix(c.b, far, f.x), f.y);

  float damage = texelFetch(U, ivec2(floor(damageAt)) & (textureSize(U, 0) - 1), 0).r;

  // A gentle S-curve, printed on film base: blacks are never digital.
  // (0.85 s + 0.15 x, s the smoothstep, scaled into the base, in Horner form.)
  light = kFilmBase + light * (kCurveLinear + light * (kCurveSquare - kCurveCube * light));
  // Grain, +-0.11 from the middle band, strongest in the mid-tones and alive
  // in the blacks; then scratches print white and dust blocks the light.
  float grain = clamp(damage, 0.25, 0.75) * 0.44 - 0.22;
  light += grain * (0.45 + light);
  light += clamp(damage * 3.4 - 2.55, 0.0, 0.85) * (1.0 - light);
  light *= clamp(damage * 3.6 + 0.1, 0.1, 1.0) * gate * lamp;

  // The burn, on the first pass of each film frame of the last two seconds:
  // s < 0 inside the hole, which glows white-hot; 0..1 the glowing front;
  // 1..3 the film blisters brown and black; beyond 4 it still holds its
  // picture. On every other pass burnShift puts s far beyond 4, and nothing
  // changes. The hole reaches about 0.7 to 0.2 of the way to the corners as
  // r runs from 117 down to 64.5, ragged with the grain.
  float order = min(sqrt(max(1.0 - gate, 0.0) * kBurnOrderScale), 1.0);
  float s = (order + grain * 0.4545 + burnShift) * 14.0;
  float scorch = clamp(1.0 - abs(s - 1.6) * 0.7, 0.0, 1.0);
  light = mix(light * (1.0 - 0.85 * scorch), 1.25, step(s, 0.0));
  float brown = clamp(s, 0.0, 1.0) * clamp(4.0 - s, 0.0, 1.0);
  vec3 tone = vec3(1.0, 0.93, 0.80) - brown * vec3(0.0, 0.40, 0.62);
  // The 8-bit window clamps what is written to it.
  colour = vec4(light * tone + light * light * vec3(0.0, 0.05, 0.14), 1.0);
}
