// A brick floor and ceiling in perspective; the camera drifts with c.
#version 130
uniform sampler2D T;
uniform float t;
uniform vec2 c;
in vec2 p;
out vec4 colour;
void main() {
  vec2 q = p + vec2(0.0, c.y * 0.4);
  float height = abs(q.y) + 0.001;
  float depth = 0.6 / height;
  vec2 uv = vec2(q.x * depth + c.x * 0.8, depth + t * 1.2);
  vec3 texel = texture(T, uv * 0.5).rgb;
  float fog = clamp(height * 2.2, 0.0, 1.0);
  colour = vec4(texel * fog, 1.0);
}
