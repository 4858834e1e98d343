// A lit cube: key light, rim light and a soft specular on a mid-grey scene.
#version 130
uniform float t;
in vec3 eyePosition, eyeNormal, objectPosition;
out vec4 colour;
void main() {
  vec3 n = normalize(eyeNormal);
  vec3 view = normalize(-eyePosition);
  vec3 key = normalize(vec3(0.5, -0.6, 0.7));
  float diffuse = max(dot(n, key), 0.0);
  float specular = pow(max(dot(reflect(-key, n), view), 0.0), 32.0);
  float rim = pow(1.0 - max(dot(n, view), 0.0), 3.0);
  float shade = 0.15 + 0.7 * diffuse + 0.6 * specular + 0.4 * rim + t * 0.0;
  colour = vec4(vec3(shade), 1.0);
}
