// The projector: the scene (title card or 160 x 120 scene target) printed in
// silver-warm monochrome through the film gate, with this film frame's dust
// and scratches, grain that changes every film frame, a vignette, and the
// lamp brightness r applied last so the end flash burns to white.
//
// Every read is a texelFetch with our own filtering: a software renderer
// pays many times over for its general filtered path (anisotropic filtering
// is on for every texture), and here the footprint is known.
#version 130
uniform sampler2D T;  // film gate mask: white where the picture shows
uniform sampler2D F;  // the picture
uniform sampler2D U;  // damage: R prints white (scratches), G prints black (dust)
uniform float r;
uniform vec2 ub;      // new every film frame: also seeds the grain
in vec2 corner, tc, qc, uc;
out vec4 colour;

float Hash(vec2 p) {
  vec3 q = fract(vec3(p.xyx) * 0.1031);
  q += dot(q, q.yzx + 33.33);
  return fract((q.x + q.y) * q.z);
}

// Bilinear read of one mip level, clamped at the edges.
vec3 Bilinear(sampler2D image, vec2 at, int level) {
  ivec2 size = textureSize(image, level);
  vec2 texel = at * vec2(size) - 0.5;
  vec2 blend = fract(texel);
  ivec2 low = clamp(ivec2(floor(texel)), ivec2(0), size - 1);
  ivec2 high = min(low + 1, size - 1);
  vec3 a = texelFetch(image, low, level).rgb;
  vec3 b = texelFetch(image, ivec2(high.x, low.y), level).rgb;
  vec3 c = texelFetch(image, ivec2(low.x, high.y), level).rgb;
  vec3 d = texelFetch(image, high, level).rgb;
  return mix(mix(a, b, blend.x), mix(c, d, blend.x), blend.y);
}

vec3 Picture() {
  ivec2 size = textureSize(F, 0);
  // The 160 x 120 scene keeps its chunky pixels.
  if (size.x <= 160) {
    return texelFetch(F, clamp(ivec2(qc * vec2(size)), ivec2(0), size - 1), 0).rgb;
  }
  // Title cards: smooth, at the mip level that matches the screen.
  vec2 footprint = fwidth(qc) * vec2(size);
  int level = int(max(0.0, floor(log2(max(footprint.x, footprint.y)) + 0.5)));
  return Bilinear(F, qc, level);
}

void main() {
  // Outside the 4:3 picture the screen stays black.
  if (abs(tc.x - 0.5) > 0.5) {
    colour = vec4(0.0, 0.0, 0.0, 1.0);
    return;
  }
  // The gate image has its top row at t = 0; the quad's top corner is +1.
  ivec2 gateSize = textureSize(T, 0);
  float gate = texelFetch(T, clamp(ivec2(vec2(tc.x, 1.0 - tc.y) * vec2(gateSize)), ivec2(0),
                                   gateSize - 1), 0).r;
  ivec2 damageSize = textureSize(U, 0);
  vec2 damage = texelFetch(U, ivec2(fract(uc) * vec2(damageSize)) % damageSize, 0).rg;
  vec3 picture = Picture();

  float light = dot(picture, vec3(0.299, 0.587, 0.114));
  // A gentle S-curve: deep blacks, creamy highlights.
  light = light * light * (3.0 - 2.0 * light) * 0.85 + light * 0.15;

  float grain = Hash(floor(gl_FragCoord.xy * 0.5) + ub * 4096.0) - 0.5;
  light += grain * 0.11 * (0.35 + light);

  light = mix(light, 1.0, damage.r * 0.85);
  light *= 1.0 - damage.g * 0.9;

  vec2 fromCentre = (tc - 0.5) * vec2(1.0, 0.75);
  float vignette = 1.0 - dot(fromCentre, fromCentre) * 1.1;
  light *= vignette * gate;

  vec3 toned = light * vec3(1.0, 0.93, 0.80) + light * light * vec3(0.0, 0.05, 0.14);
  colour = vec4(clamp(toned * r, 0.0, 1.0), 1.0);
}
