// Fullscreen quad; three scale-and-offset pairs turn the quad corner into
// texture coordinates: tc for T (ts, tb), qc for F (qs, qb), uc for U (us, ub).
// The projector reads its textures by texel, so it also gets them in texels:
// the gate with its top row first, the picture shifted half a texel so that
// a texel's centre falls on a whole number. All are linear across the
// screen, so interpolating them here costs the fragments nothing.
#version 130
in vec2 A0;
uniform vec2 ts, tb, qs, qb, us, ub;
uniform sampler2D T, F, U;
out vec2 corner, tc, qc, uc;
out vec2 gateAt, pictureAt, damageAt;
void main() {
  corner = A0;
  tc = A0 * ts + tb;
  qc = A0 * qs + qb;
  uc = A0 * us + ub;
  gateAt = vec2(tc.x, 1.0 - tc.y) * vec2(textureSize(T, 0));
  pictureAt = qc * vec2(textureSize(F, 0)) - 0.5;
  damageAt = uc * vec2(textureSize(U, 0));
  gl_Position = vec4(A0, 0.0, 1.0);
}
