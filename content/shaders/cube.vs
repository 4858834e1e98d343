// Mesh vertices for both cube scenes: m to clip space, nm to eye space for
// the lighting; the object-space position and normal pick brick faces.
#version 130
in vec3 A0;  // position
in vec3 A1;  // normal
uniform mat4 m, nm;
out vec3 eyePosition, eyeNormal, objectPosition, objectNormal;
void main() {
  eyePosition = (nm * vec4(A0, 1.0)).xyz;
  // nm's block stretches along the turning axis; the normal is renormalised
  // per fragment, which is close enough for a swelling cube.
  eyeNormal = mat3(nm) * A1;
  objectPosition = A0;
  objectNormal = A1;
  gl_Position = m * vec4(A0, 1.0);
}
