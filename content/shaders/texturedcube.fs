// The cube built of bricks. The mesh has no texture coordinates, so each
// face takes the brick image across the two object axes it spans (chosen by
// its object-space normal), one and a half tiles per face. Lit like the plain cube:
// faces in the key light show their bricks in bright tones, faces in shadow
// in dark ones, so no face sinks into the grey stage.
// The scene target is shown upside down, so the screen's top is eye -y.
#version 130
uniform sampler2D T;
in vec3 eyePosition, eyeNormal, objectPosition, objectNormal;
out vec4 colour;

// The stage is 0.5: see cube.fs.
const float kLitFloor = 0.635, kShadowCeiling = 0.365;

// The repeating brick image at uv, nearest texel: fetched directly, since
// the driver's anisotropic path costs far more than the cube is worth.
float Brick(vec2 uv) {
  ivec2 size = textureSize(T, 0);
  ivec2 texel = min(ivec2(fract(uv) * vec2(size)), size - 1);
  return dot(texelFetch(T, texel, 0).rgb, vec3(0.299, 0.587, 0.114));
}

void main() {
  vec3 axis = abs(objectNormal);
  vec3 at = objectPosition;
  vec2 uv = axis.x > axis.y && axis.x > axis.z ? at.zy : (axis.y > axis.z ? at.xz : at.xy);
  // The image's tones (dark clay about 0.2, mortar about 0.75) spread to 0..1.
  float brick = clamp((Brick(uv * 0.75 + 0.5) - 0.12) / 0.66, 0.0, 1.0);

  vec3 n = normalize(eyeNormal);
  vec3 view = normalize(-eyePosition);
  vec3 key = normalize(vec3(-0.55, -0.75, 0.45));
  vec3 fill = normalize(vec3(0.6, 0.8, 0.3));
  float facing = dot(n, key);
  float rim = pow(1.0 - max(dot(n, view), 0.0), 2.5);
  float shade;
  if (facing > 0.05) {
    float diffuse = smoothstep(0.05, 1.0, facing);
    float specular = pow(max(dot(reflect(-key, n), view), 0.0), 16.0);
    shade = kLitFloor + 0.37 * brick * (0.3 + 0.7 * diffuse) + 0.3 * specular;
    shade = clamp(shade, kLitFloor, 1.0);
  } else {
    float fillLight = max(dot(n, fill), 0.0);
    shade = 0.03 + brick * (0.14 + 0.2 * fillLight) + 0.12 * rim;
    shade = clamp(shade, 0.0, kShadowCeiling);
  }
  colour = vec4(vec3(shade), 1.0);
}
