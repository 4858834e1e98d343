// The projector: the scene (title card or 160 x 120 scene target) printed in
// silver-warm monochrome on film base through the film gate, with this film
// frame's dust, scratches and grain, and the lamp brightness r applied last.
// On the last second's first passes r is far above 1 and the film burns
// through: a white-hot hole with a glowing front and blistered brown film.
// A hair caught in the gate stays put for the whole show.
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
uniform float r;
uniform vec2 qs;      // the picture's scale: zero until the first film frame is drawn
in vec2 gateAt, pictureAt, damageAt;  // in texels (see projector.vs)
out vec4 colour;

const float kFilmBase = 0.05;   // the clearest black the print holds
const float kCurveLinear = 0.15 * (1.0 - kFilmBase);
const float kCurveSquare = 3.0 * 0.85 * (1.0 - kFilmBase);
const float kCurveCube = 2.0 * 0.85 * (1.0 - kFilmBase);
// The vignette falls to 1 - 1.3 x 0.3235 at the aperture's corners; undone,
// the burn's order runs from 0 in the middle to 1 there.
const float kBurnOrderScale = 1.0 / (1.3 * 0.3235);
// The lamp follows r's natural logarithm by this much (see main).
const float kLampLogSlope = 0.08;

// The hair caught in the gate, in gate texels (1024 x 768, top row first):
// a long bow that leaves the gate's right edge, crosses into the picture and
// ends in a small curl, thinning at its tip. Returns how much of the pixel
// `pixel` texels wide the hair covers.
float HairCover(vec2 p, float pixel) {
  vec2 bow = (p - vec2(1040.0, 292.0)) * vec2(1.0, 0.8);
  vec2 curl = p - vec2(933.0, 372.0);
  float dBow = abs(length(bow) - 112.0) + max(bow.y - 52.0, 0.0);
  float dCurl = abs(length(curl * vec2(1.0, 1.3)) - 12.0) + max(curl.x - 6.0, 0.0) +
                max(366.0 - p.y, 0.0);
  float width = 0.45 + 0.3 * clamp((p.y - 200.0) * 0.015, 0.0, 1.0);
  return clamp((width + 0.5 * pixel - min(dBow, dCurl)) / pixel, 0.0, 1.0);
}

void main() {
  // Beside a 4:3 picture the gate's clamped read gives its black edge.
  ivec2 gateTexel = ivec2(gateAt);
  gateTexel.x = clamp(gateTexel.x, 0, textureSize(T, 0).x - 1);
  float gate = texelFetch(T, gateTexel, 0).r;

  // Bilinear from one fetch of a neighbour-packed picture. A scene (the
  // 160 x 120 target) writes the cell's far corner into alpha; a card has no
  // alpha to give, and the white and grey clears leave 0 there, so for those
  // the far corner is estimated from the other three, within their range.
  ivec2 size = textureSize(F, 0);
  vec2 cell = floor(pictureAt);
  vec2 f = pictureAt - cell;
  vec4 c = texelFetch(F, clamp(ivec2(cell), ivec2(0), size - 1), 0);
  float packedFar = step(float(size.x), 160.0) * step(1.0 / 512.0, c.a);
  float far = mix(clamp(c.g + c.b - c.r, min(c.g, c.b), max(c.g, c.b)), c.a, packedFar);
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
  light *= clamp(damage * 3.6 + 0.1, 0.1, 1.0) * gate;
  light *= 1.0 - 0.82 * HairCover(gateAt, fwidth(gateAt.x));

  // The lamp. r is 0.9-1.1 on most passes and 0.5-0.9 on the first of every
  // film frame, times the fade at the show's two ends. Seen as a plain
  // multiply, those dips flash the whole picture 16 times a second; so the
  // lamp follows r's logarithm instead: a pass at half the lamp dims by 7 %,
  // everywhere along the fades alike, which keeps a white screen's dips well
  // under a tenth of white in linear light while the fade still runs from
  // black. Until the first film frame is drawn (qs is zero) the gate is dark.
  float lamp = max(1.0 + kLampLogSlope * log(clamp(r, 1e-6, 1.1)), 0.0);
  light *= lamp * step(1e-6, abs(qs.x));

  // The burn, on the first pass of each film frame of the last two seconds,
  // where r is 64.5 to 117: s < 0 inside the hole, which glows white-hot;
  // 0..1 the glowing front; 1..3 the film blisters brown and black; beyond
  // that it still holds its picture. On ordinary passes (r up to 1.1) burn
  // is 0 and nothing changes. The hole reaches about 0.7 to 0.2 of the way to
  // the corners as r runs from 117 down to 64.5, ragged with the grain.
  float burn = step(2.0, r);
  float order = min(sqrt(max(1.0 - gate, 0.0) * kBurnOrderScale), 1.0);
  float s = (order + grain * 0.4545 + r * 0.0094 - 1.3) * 14.0;
  float scorch = burn * clamp(1.0 - abs(s - 1.6) * 0.7, 0.0, 1.0);
  float hole = burn * (1.0 - step(0.0, s));
  light = mix(light * (1.0 - 0.85 * scorch), 1.25, hole);
  float brown = burn * clamp(s, 0.0, 1.0) * clamp(4.0 - s, 0.0, 1.0);
  vec3 tone = vec3(1.0, 0.93, 0.80) - brown * vec3(0.0, 0.40, 0.62);
  // The 8-bit window clamps what is written to it.
  colour = vec4(light * tone + light * light * vec3(0.0, 0.05, 0.14), 1.0);
}
