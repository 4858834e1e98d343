// The Mandelbrot picture on an old cathode-ray screen: a bulging glass with
// rounded corners in a dark bezel, faint scan lines, a glare on the glass.
// Nine taps per scene pixel tame the 1024-texel image at low zoom.
// corner.y = -1 is the top of the screen (the scene target is shown flipped).
#version 130
uniform sampler2D T;
uniform vec2 ts, tb;
in vec2 corner, tc;
out vec4 colour;

const vec2 kGlass = vec2(0.86, 0.84);  // the glass's half-size in corner units
const float kRound = 0.22;

float Luma(vec3 rgb) { return dot(rgb, vec3(0.299, 0.587, 0.114)); }

// The image at uv, nearest texel: what its filter gives, without the
// driver's anisotropic footprint, which nine taps make unnecessary.
float Image(vec2 uv) {
  ivec2 size = textureSize(T, 0);
  ivec2 texel = clamp(ivec2(floor(uv * vec2(size))), ivec2(0), size - 1);
  return Luma(texelFetch(T, texel, 0).rgb);
}

// Signed distance to the rounded glass outline (negative inside).
float GlassDistance(vec2 at) {
  vec2 d = abs(at) - kGlass + kRound;
  return length(max(d, 0.0)) + min(max(d.x, d.y), 0.0) - kRound;
}

void main() {
  // The glass bulges: points move outwards with their distance from centre,
  // so the picture's middle swells towards the viewer.
  vec2 bulged = corner * (0.92 + 0.08 * dot(corner, corner)) / kGlass.y;
  vec2 at = bulged * ts + tb;
  vec2 dx = dFdx(tc) / 3.0, dy = dFdy(tc) / 3.0;
  float picture = 0.0;
  for (int i = -1; i <= 1; ++i) {
    for (int j = -1; j <= 1; ++j) picture += Image(at + float(i) * dx + float(j) * dy);
  }
  picture /= 9.0;

  float edge = GlassDistance(corner);
  vec2 pixel = vec2(dFdx(corner.x), dFdy(corner.y));
  float glass = 1.0 - smoothstep(-abs(pixel.x), abs(pixel.x), edge);
  // Phosphor: lifted blacks, a scan line on every other row, darker corners.
  float scan = mod(gl_FragCoord.y, 2.0) < 1.0 ? 1.0 : 0.86;
  float falloff = 1.0 - 0.35 * dot(corner * 0.75, corner * 0.75);
  float glare = 0.16 * exp(-8.0 * dot(corner - vec2(-0.45, -0.5), corner - vec2(-0.45, -0.5)));
  float screenLight = (0.08 + 1.3 * picture) * scan * falloff + glare;

  // The bezel: dark, with a lit lip around the glass and a shadow inside it.
  float lip = exp(-abs(edge - 0.035) * 40.0) * (0.5 - 0.3 * corner.y);
  float bezel = 0.2 + 0.08 * (-corner.y) + 0.4 * lip;
  float inset = smoothstep(-0.08, 0.0, edge);  // the glass darkens at its rim
  float light = mix(bezel, screenLight * (1.0 - 0.6 * inset), glass);
  colour = vec4(vec3(clamp(light, 0.0, 1.0)), 1.0);
}
