// Fullscreen quad; three scale-and-offset pairs turn the quad corner into
// texture coordinates: tc for T (ts, tb), qc for F (qs, qb), uc for U (us, ub).
#version 130
in vec2 A0;
uniform vec2 ts, tb, qs, qb, us, ub;
out vec2 corner, tc, qc, uc;
void main() {
  corner = A0;
  tc = A0 * ts + tb;
  qc = A0 * qs + qb;
  uc = A0 * us + ub;
  gl_Position = vec4(A0, 0.0, 1.0);
}
