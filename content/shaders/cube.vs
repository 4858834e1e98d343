// Mesh vertices: m to clip space; nm to eye space for the lighting.
#version 130
in vec3 A0;
in vec3 A1;
uniform mat4 m, nm;
out vec3 eyePosition, eyeNormal, objectPosition;
void main() {
  eyePosition = (nm * vec4(A0, 1.0)).xyz;
  eyeNormal = mat3(nm) * A1;
  objectPosition = A0;
  gl_Position = m * vec4(A0, 1.0);
}
