// Fullscreen quad; three scale-and-offset pairs turn the quad corner into
// texture coordinates: tc for T (ts, tb), qc for F (qs, qb), uc for U (us, ub).
// The projector reads its textures by texel, so it also gets them in texels:
// the gate with its top row first, the picture shifted half a texel so that
// a texel's centre falls on a whole number. All are linear across the
// screen, so interpolating them here costs the fragments nothing.
#version 130
in vec2 A0;
uniform vec2 ts, tb, qs, qb, us, ub;
uniform float r;
uniform sampler2D T, F, U;
out vec2 corner, tc, qc, uc;
out vec2 gateAt, pictureAt, damageAt;
// What r and the picture make of the whole pass, worked out once a corner
// instead of once a pixel.
flat out float lamp;       // the lamp's level; 0 until the first film frame
flat out float burnShift;  // the burn front's place, or far away when none
flat out float sceneFar;   // 1 when the picture is a scene, which packs alpha

// The lamp follows r's natural logarithm by this much. r is 0.9-1.1 on most
// passes and 0.5-0.9 on the first of every film frame, times the fade at the
// show's two ends. Seen as a plain multiply those dips flash the whole
// picture 16 times a second; on the logarithm a pass at half the lamp dims by
// 5.5 %, at every point of the fades alike, which keeps a white screen's dips
// well under a tenth of white in linear light while the fade still starts
// from black.
const float kLampLogSlope = 0.08;

void main() {
  corner = A0;
  tc = A0 * ts + tb;
  qc = A0 * qs + qb;
  uc = A0 * us + ub;
  gateAt = vec2(tc.x, 1.0 - tc.y) * vec2(textureSize(T, 0));
  pictureAt = qc * vec2(textureSize(F, 0)) - 0.5;
  damageAt = uc * vec2(textureSize(U, 0));
  // Until the first film frame is drawn, qs is zero and the gate stays dark.
  lamp = max(1.0 + kLampLogSlope * log(clamp(r, 1e-6, 1.1)), 0.0) * step(1e-6, abs(qs.x));
  // The burn's passes are the only ones with r above 1.1 (64.5 to 117).
  burnShift = r > 2.0 ? r * 0.0094 - 1.3 : 100.0;
  // The 160 x 120 scene target; cards and the film writing are wider.
  sceneFar = step(float(textureSize(F, 0).x), 160.0);
  gl_Position = vec4(A0, 0.0, 1.0);
}
