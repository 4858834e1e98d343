// The bevelled cube on the mid-grey stage. The cube is ray-cast exactly, a
// convex solid of 13 slabs, four rays per value in a rotated grid, so the
// silhouette and every edge between faces come out anti-aliased and steady
// from film frame to film frame. Each fragment packs four values for the
// projector: its own (R), its right neighbour's (G), the one above in the
// target's rows (B) and the diagonal (A). Every value is the same filter
// around its own point, so neighbours agree and the enlarged picture is
// continuous. Rays that miss show the stage's grey.
// The face tones come lit from the vertex stage (cube.vs).
#version 130
uniform float t;  // never given a value; unused
noperspective in vec3 rayDir;
flat in vec3 eye;
flat in vec4 eyeSlab[3], tonePos[3], toneNeg[3];
flat in vec4 lastSlab;
uniform mat4 nm;
out vec4 colour;

const float kStage = 0.5;
// The key light's fall-off across the picture, brighter towards its side
// (upper left on the screen, eye -x and -y): at most this much either way.
const vec2 kFallOff = vec2(0.015, 0.03);  // shadowed, lit
const vec2 kKeySide = vec2(-0.9, -1.1);
// Slab half-widths: main faces 0.95, bevels 1.78, corners 2.61 (the mesh's
// half-size and chamfer, tools/make_mesh.py), in the vertex stage's order.
const vec4 kHalf0 = vec4(0.95, 0.95, 0.95, 2.61);
const vec4 kHalf1 = vec4(1.78);
const vec4 kHalf2 = vec4(1.78, 1.78, 2.61, 2.61);
const float kHalf3 = 2.61;
// Near and far depth of the fixed projection: window depth from the distance.
const float kDepthScale = 1.0020020, kDepthOffset = 0.20020020;

vec4 lowSide0, highSide0, lowSide1, highSide1, lowSide2, highSide2;
float lowSide3, highSide3;
vec3 stepX, stepY;
float fallOff;  // -1..1 across the picture

// The scene's grey along the ray through `at` (pixels from this fragment's
// centre); `distance` is how far in front of the eye it meets the cube, or
// 1e30 when it misses.
float Trace(vec2 at, out float distance) {
  vec3 d = rayDir + at.x * stepX + at.y * stepY;
  vec4 d0 = vec4(d, d.x + d.y + d.z);
  vec4 d1 = vec4(d.x + d.y, d.x - d.y, d.y + d.z, d.y - d.z);
  vec4 d2 = vec4(d.x + d.z, d.x - d.z, d.x + d.y - d.z, d.x - d.y + d.z);
  float d3 = -d.x + d.y + d.z;
  // Where the ray crosses each slab's two planes, in order.
  vec4 a0 = lowSide0 / d0, b0 = highSide0 / d0;
  vec4 a1 = lowSide1 / d1, b1 = highSide1 / d1;
  vec4 a2 = lowSide2 / d2, b2 = highSide2 / d2;
  float a3 = lowSide3 / d3, b3 = highSide3 / d3;
  vec4 in0 = min(a0, b0), in1 = min(a1, b1), in2 = min(a2, b2);
  vec4 out0 = max(a0, b0), out1 = max(a1, b1), out2 = max(a2, b2);
  float in3 = min(a3, b3), out3 = max(a3, b3);
  vec4 enter4 = max(max(in0, in1), in2);
  vec4 leave4 = min(min(out0, out1), out2);
  float enter = max(max(max(enter4.x, enter4.y), max(enter4.z, enter4.w)), in3);
  float leave = min(min(min(leave4.x, leave4.y), min(leave4.z, leave4.w)), out3);
  // The face the ray enters by: the slab entered last, on the side the ray
  // comes from (moving along +n it enters through the -n face).
  vec4 side0 = mix(tonePos[0], toneNeg[0], step(0.0, d0));
  vec4 side1 = mix(tonePos[1], toneNeg[1], step(0.0, d1));
  vec4 side2 = mix(tonePos[2], toneNeg[2], step(0.0, d2));
  float side3 = d3 >= 0.0 ? lastSlab.z : lastSlab.y;
  vec4 hit0 = vec4(equal(in0, vec4(enter))), hit1 = vec4(equal(in1, vec4(enter)));
  vec4 hit2 = vec4(equal(in2, vec4(enter)));
  float hit3 = in3 == enter ? 1.0 : 0.0;
  // Exactly on an edge two slabs tie: take their mean.
  float tone = (dot(hit0, side0) + dot(hit1, side1) + dot(hit2, side2) + hit3 * side3) /
               (dot(hit0 + hit1 + hit2, vec4(1.0)) + hit3);
  bool hit = enter < leave;
  tone += fallOff * (tone > kStage ? kFallOff.y : kFallOff.x);
  distance = hit ? enter : 1e30;
  return hit ? tone : kStage;
}

// The mean of four rays in a rotated grid around `at`: a pixel-wide box.
float Value(vec2 at, out float distance) {
  float d0, d1, d2, d3;
  float sum = Trace(at + vec2(-0.375, -0.125), d0) + Trace(at + vec2(0.125, -0.375), d1) +
              Trace(at + vec2(0.375, 0.125), d2) + Trace(at + vec2(-0.125, 0.375), d3);
  distance = min(min(d0, d1), min(d2, d3));
  return 0.25 * sum;
}

void main() {
  // n.x in [-h, h]: the ray's distance to each plane is (plane - n.eye) / n.d.
  lowSide0 = -kHalf0 - eyeSlab[0];
  highSide0 = kHalf0 - eyeSlab[0];
  lowSide1 = -kHalf1 - eyeSlab[1];
  highSide1 = kHalf1 - eyeSlab[1];
  lowSide2 = -kHalf2 - eyeSlab[2];
  highSide2 = kHalf2 - eyeSlab[2];
  lowSide3 = -kHalf3 - lastSlab.x;
  highSide3 = kHalf3 - lastSlab.x;
  stepX = dFdx(rayDir);
  stepY = dFdy(rayDir);
  // The eye-space ray is (x, y, -1): where this pixel lies in the picture.
  fallOff = clamp(dot((mat3(nm) * rayDir).xy, kKeySide), -1.0, 1.0);

  float distance, unused;
  colour = vec4(Value(vec2(0.0), distance), Value(vec2(1.0, 0.0), unused),
                Value(vec2(0.0, 1.0), unused), Value(vec2(1.0), unused));
  // The cube's own depth where this pixel sees it, else the enlarged mesh's.
  gl_FragDepth = distance < 1e29 ? 0.5 + 0.5 * (kDepthScale - kDepthOffset / distance)
                                 : gl_FragCoord.z;
}
