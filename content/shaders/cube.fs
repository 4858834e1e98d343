// The bevelled cube on the mid-grey stage: a warm key light from the upper
// left of the screen, a cool fill from below, a rim light that outlines the
// silhouette, and a tight highlight that runs along the bevels.
// The scene target is shown upside down, so the screen's top is eye -y.
#version 130
uniform float t;  // never given a value; unused
in vec3 eyePosition, eyeNormal, objectPosition, objectNormal;
out vec4 colour;

void main() {
  vec3 n = normalize(eyeNormal);
  vec3 view = normalize(-eyePosition);
  vec3 key = normalize(vec3(-0.55, -0.75, 0.45));
  vec3 fill = normalize(vec3(0.6, 0.8, 0.3));
  float diffuse = max(dot(n, key), 0.0);
  float fillLight = max(dot(n, fill), 0.0);
  float specular = pow(max(dot(reflect(-key, n), view), 0.0), 24.0);
  float rim = pow(1.0 - max(dot(n, view), 0.0), 2.5);
  float shade = 0.06 + 0.85 * diffuse + 0.16 * fillLight + 0.7 * specular + 0.55 * rim;
  colour = vec4(vec3(shade), 1.0);
}
