// The cube built of bricks. The mesh has no texture coordinates, so each
// face takes the brick image across the two object axes it spans (chosen by
// its object-space normal), two tiles per face; lit like the plain cube.
// The scene target is shown upside down, so the screen's top is eye -y.
#version 130
uniform sampler2D T;
in vec3 eyePosition, eyeNormal, objectPosition, objectNormal;
out vec4 colour;

// The repeating brick image at uv, nearest texel: fetched directly, since
// the driver's anisotropic path costs far more than the cube is worth.
vec3 Brick(vec2 uv) {
  ivec2 size = textureSize(T, 0);
  ivec2 texel = min(ivec2(fract(uv) * vec2(size)), size - 1);
  return texelFetch(T, texel, 0).rgb;
}

void main() {
  vec3 axis = abs(objectNormal);
  vec3 at = objectPosition;
  vec2 uv = axis.x > axis.y && axis.x > axis.z ? at.zy : (axis.y > axis.z ? at.xz : at.xy);
  vec3 brick = Brick(uv + 0.5);

  vec3 n = normalize(eyeNormal);
  vec3 view = normalize(-eyePosition);
  vec3 key = normalize(vec3(-0.55, -0.75, 0.45));
  vec3 fill = normalize(vec3(0.6, 0.8, 0.3));
  float diffuse = max(dot(n, key), 0.0);
  float fillLight = max(dot(n, fill), 0.0);
  float specular = pow(max(dot(reflect(-key, n), view), 0.0), 16.0);
  float rim = pow(1.0 - max(dot(n, view), 0.0), 2.5);
  vec3 lit = brick * (0.15 + 1.25 * diffuse + 0.25 * fillLight) + 0.25 * specular + 0.5 * rim;
  colour = vec4(lit, 1.0);
}
