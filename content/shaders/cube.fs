// The bevelled cube on the mid-grey stage, lit as on a stage: faces turned
// to the warm key light (upper left of the screen) are bright plaster, faces
// turned away stand in a dark shadow that only a cool fill and a rim light
// from behind reach. A face never sits near the stage's grey: its tone
// belongs to the light or to the shadow, so the cube reads at every angle.
// The scene target is shown upside down, so the screen's top is eye -y.
#version 130
uniform float t;  // never given a value; unused
in vec3 eyePosition, eyeNormal, objectPosition, objectNormal;
out vec4 colour;

// The stage is 0.5; lit faces keep above kLitFloor, shadowed ones below
// kShadowCeiling, a little more than 0.12 away so 8-bit rounding keeps it.
const float kLitFloor = 0.635, kShadowCeiling = 0.365;

void main() {
  vec3 n = normalize(eyeNormal);
  vec3 view = normalize(-eyePosition);
  vec3 key = normalize(vec3(-0.55, -0.75, 0.45));
  vec3 fill = normalize(vec3(0.6, 0.8, 0.3));
  float facing = dot(n, key);
  float rim = pow(1.0 - max(dot(n, view), 0.0), 2.5);
  float shade;
  if (facing > 0.05) {
    float diffuse = smoothstep(0.05, 1.0, facing);
    float specular = pow(max(dot(reflect(-key, n), view), 0.0), 24.0);
    shade = clamp(kLitFloor + 0.34 * diffuse * diffuse + 0.5 * specular, kLitFloor, 1.0);
  } else {
    float fillLight = max(dot(n, fill), 0.0);
    shade = clamp(0.05 + 0.2 * fillLight + 0.25 * rim, 0.0, kShadowCeiling);
  }
  colour = vec4(vec3(shade), 1.0);
}
