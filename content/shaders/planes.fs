// Gliding between a brick floor and a brick ceiling. The camera drifts
// sideways and bobs with c (an ellipse), banks into its drift, and flies
// forward with t; fog swallows the far bricks at the horizon.
#version 130
uniform sampler2D T;
uniform float t;
uniform vec2 c;
in vec2 p;  // 4:3 scene position, +y at the top of the screen
out vec4 colour;

float Luma(vec3 rgb) { return dot(rgb, vec3(0.299, 0.587, 0.114)); }

// The repeating brick image at uv, nearest texel (no mipmaps to choose).
float Brick(vec2 uv) {
  ivec2 size = textureSize(T, 0);
  ivec2 texel = min(ivec2(fract(uv) * vec2(size)), size - 1);
  return Luma(texelFetch(T, texel, 0).rgb);
}

void main() {
  // Bank against the sideways drift: c.y is the drift's rate of change.
  float bank = -0.35 * c.y;
  vec2 q = mat2(cos(bank), sin(bank), -sin(bank), cos(bank)) * p;
  float height = 0.5 * c.y;  // the camera bobs by up to an eighth of the gap
  bool ceiling = q.y > 0.0;
  float gap = ceiling ? 1.0 - height : 1.0 + height;
  float slope = max(abs(q.y), 1e-3);
  float depth = gap / slope;
  vec2 ground = vec2(q.x * depth + 1.2 * c.x, depth + 2.2 * t);

  // A second tap further along the depth softens the far rows' shimmer.
  vec2 uv = ground * 0.45;
  float brick = 0.5 * (Brick(uv) + Brick(uv + vec2(0.0, 0.004 * depth)));

  // Lamps down the middle of the ceiling, one every two tiles, pass overhead.
  float lamp = 0.0;
  if (ceiling) {
    vec2 cell = vec2(ground.x, fract(ground.y * 0.25) * 4.0 - 2.0);
    lamp = exp(-dot(cell, cell) * 5.0);
  }
  float fog = exp(-0.05 * depth * depth);
  float shade = ceiling ? 0.85 : 1.1;
  float light = (brick * shade * (0.7 + 0.6 * lamp) + 0.9 * lamp) * fog;
  // A thin bright seam of light at the far end, where the planes meet.
  light += 0.18 * exp(-abs(q.y) * 30.0);
  colour = vec4(vec3(clamp(light, 0.0, 1.0)), 1.0);
}
