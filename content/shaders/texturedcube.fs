// The cube built of bricks: the brick image mapped by position along the
// face's main axis (the mesh has no texture coordinates), lit like the cube.
#version 130
uniform sampler2D T;
in vec3 eyePosition, eyeNormal, objectPosition;
out vec4 colour;
void main() {
  vec3 n = normalize(eyeNormal);
  vec3 a = abs(objectPosition);
  vec2 uv = a.x > a.y && a.x > a.z ? objectPosition.yz : (a.y > a.z ? objectPosition.xz : objectPosition.xy);
  vec3 brick = texture(T, uv * 0.7 + 0.5).rgb;
  vec3 view = normalize(-eyePosition);
  vec3 key = normalize(vec3(0.5, -0.6, 0.7));
  float diffuse = max(dot(n, key), 0.0);
  float rim = pow(1.0 - max(dot(n, view), 0.0), 3.0);
  colour = vec4(brick * (0.25 + 0.9 * diffuse) + rim * 0.3, 1.0);
}
