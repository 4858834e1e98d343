// Mesh vertices for both cube scenes. The mesh only decides which pixels get
// a fragment: the fragment shaders ray-cast the same bevelled cube exactly,
// several rays per pixel, so silhouettes and edges come out anti-aliased and
// each pixel can also report its right, upper and diagonal neighbours. For
// that the mesh is enlarged on the screen about its projected centre (an
// affine map, so no triangle flips and the front faces still tile the
// outline) far enough that every pixel whose neighbours see the cube is drawn.
//
// Per vertex, and alike for all of them, this stage also works out what the
// rays need: the eye in object space and every face's tone. A tone belongs
// to a face, not a pixel, so the 26 tones are lit here once.
// The scene target is shown upside down, so the screen's top is eye -y.
#version 130
in vec3 A0;  // position
in vec3 A1;  // normal (unused: faces are found by the ray)
uniform mat4 m, nm;

// The object-space ray through this point of the screen, scaled so its eye
// space depth component is -1: it is linear across the screen, so interpolated
// without perspective it is exact at every fragment, and t along it is the
// eye-space distance in front of the eye.
noperspective out vec3 rayDir;
flat out vec3 eye;  // the eye in object space
// The cube's planes come in slabs |n.x| <= h, grouped four to a vector (the
// fragment shaders list them); eyeSlab is n.eye for each. tonePos is the tone
// of the face on the +n side, toneNeg on the -n side. Group four has one
// slab: (n.eye, tone +n, tone -n, unused).
flat out vec4 eyeSlab[3], tonePos[3], toneNeg[3];
flat out vec4 lastSlab;

// Every pixel looks up to 1.375 pixels right and up of its centre (its own
// samples and its neighbours'); 12 % more size adds at least 2.4 pixels to
// the outline at 160 x 120 on every film frame of both sections.
const float kGrow = 1.12;
// The lens: x and y scales of the fixed 90-degree, 4:3 projection.
const vec2 kLens = vec2(0.75, 1.0);

// The stage is 0.5 grey. Faces in the key light keep within kLitTones,
// faces turned from it within kShadowTones, so no face comes near the stage.
// A bevel is always at least kEdgeStep brighter than every face it joins:
// the edges catch the light and no two neighbouring faces share a tone.
// The fragment shaders add a gentle fall-off of the key light across the
// picture, up to 0.03 on lit faces and 0.015 on shadowed ones, alike on both
// sides of every edge; the bands leave room for it.
const vec2 kLitTones = vec2(0.66, 0.82), kShadowTones = vec2(0.05, 0.20);
const float kEdgeStep = 0.16;

mat3 normalToEye, objectToEye;

// Warm key light high on the left in front, a rim light from behind on the
// right, and a faint fill from below that only the shadowed faces show.
const vec3 kKey = vec3(-0.48, -0.68, 0.55);
const vec3 kRim = vec3(0.62, -0.30, -0.72);
const vec3 kFill = vec3(0.45, 0.70, 0.55);

// n: a face's outward normal in object space (any length) and the plane
// n.x = h through it, so n h / |n|^2 is the face's middle.
float FaceTone(vec3 n, float h) {
  vec3 normal = normalize(normalToEye * n);
  vec3 middle = objectToEye * (n * (h / dot(n, n))) + vec3(0.0, 0.0, -3.0);
  vec3 view = normalize(-middle);
  float facing = dot(normal, normalize(kKey));
  float rim = max(dot(normal, normalize(kRim)), 0.0);
  // A face turned edge-on to us catches the rim light most.
  float grazing = 1.0 - abs(dot(normal, view));
  if (facing > 0.0) {
    float lit = 0.8 * facing + 0.2 * rim * grazing;
    return mix(kLitTones.x, kLitTones.y, clamp(lit, 0.0, 1.0));
  }
  float fill = max(dot(normal, normalize(kFill)), 0.0);
  return mix(kShadowTones.x, kShadowTones.y, clamp(0.35 * fill + 0.65 * rim, 0.0, 1.0));
}

const float kFace = 0.95, kBevel = 1.78, kCorner = 2.61;  // see tools/make_mesh.py

// The bevel between main faces a and b (unit axis vectors with signs): lit
// by itself, but never within kEdgeStep of the two faces and the two corner
// triangles around it.
float BevelTone(vec3 a, vec3 b) {
  vec3 c = cross(a, b);
  float around = max(max(FaceTone(a, kFace), FaceTone(b, kFace)),
                     max(FaceTone(a + b + c, kCorner), FaceTone(a + b - c, kCorner)));
  return min(max(FaceTone(a + b, kBevel), around + kEdgeStep), 1.0);
}

void main() {
  objectToEye = mat3(nm);
  vec3 c0 = objectToEye[0], c1 = objectToEye[1], c2 = objectToEye[2];
  // The inverse transpose (normals) from cofactors; GLSL 1.30 has no inverse().
  mat3 cofactors = mat3(cross(c1, c2), cross(c2, c0), cross(c0, c1));
  normalToEye = cofactors;
  mat3 eyeToObject = transpose(cofactors) / dot(c0, cross(c1, c2));
  eye = eyeToObject * vec3(0.0, 0.0, 3.0);

  vec4 position = m * vec4(A0, 1.0);
  // The cube's middle projects to the screen's middle, so growing the
  // outline about the centre is a plain scale of clip x and y.
  position.xy *= kGrow;
  gl_Position = position;
  rayDir = eyeToObject * vec3(position.xy / (position.w * kLens), -1.0);

  eyeSlab[0] = vec4(eye, eye.x + eye.y + eye.z);
  eyeSlab[1] = vec4(eye.x + eye.y, eye.x - eye.y, eye.y + eye.z, eye.y - eye.z);
  eyeSlab[2] = vec4(eye.x + eye.z, eye.x - eye.z, eye.x + eye.y - eye.z, eye.x - eye.y + eye.z);

  const vec3 x = vec3(1.0, 0.0, 0.0), y = vec3(0.0, 1.0, 0.0), z = vec3(0.0, 0.0, 1.0);
  tonePos[0] = vec4(FaceTone(x, kFace), FaceTone(y, kFace), FaceTone(z, kFace),
                    FaceTone(x + y + z, kCorner));
  toneNeg[0] = vec4(FaceTone(-x, kFace), FaceTone(-y, kFace), FaceTone(-z, kFace),
                    FaceTone(-x - y - z, kCorner));
  tonePos[1] = vec4(BevelTone(x, y), BevelTone(x, -y), BevelTone(y, z), BevelTone(y, -z));
  toneNeg[1] = vec4(BevelTone(-x, -y), BevelTone(-x, y), BevelTone(-y, -z), BevelTone(-y, z));
  tonePos[2] = vec4(BevelTone(x, z), BevelTone(x, -z), FaceTone(x + y - z, kCorner),
                    FaceTone(x - y + z, kCorner));
  toneNeg[2] = vec4(BevelTone(-x, -z), BevelTone(-x, z), FaceTone(-x - y + z, kCorner),
                    FaceTone(-x + y - z, kCorner));
  lastSlab = vec4(-eye.x + eye.y + eye.z, FaceTone(-x + y + z, kCorner),
                  FaceTone(x - y - z, kCorner), 0.0);
}
