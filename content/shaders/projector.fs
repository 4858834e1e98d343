// The projector: the scene (title card or 160 x 120 scene target) printed in
// silver-warm monochrome through the film gate, with this film frame's dust
// and scratches, grain that changes every film frame, a vignette, and the
// lamp brightness r applied last so the end flash burns to white.
//
// Speed on a software renderer decides the shape of this shader: exactly
// three reads per pixel, each a texelFetch of the nearest texel (a filtered
// read takes the anisotropic path that every texture has switched on, many
// times slower), and no branches (both sides of one would run anyway).
// Nearest reads also keep the scene's chunky pixels, and a card enlarged
// less than twice stays crisp.
#version 130
uniform sampler2D T;  // film gate mask: white where the picture shows
uniform sampler2D F;  // the picture
uniform sampler2D U;  // damage: R prints white (scratches), G prints black (dust)
uniform float r;
uniform vec2 ub;      // new every film frame: also seeds the grain
in vec2 tc, qc, uc;
out vec4 colour;

float Hash(vec2 p) {
  vec3 q = fract(vec3(p.xyx) * 0.1031);
  q += dot(q, q.yzx + 33.33);
  return fract((q.x + q.y) * q.z);
}

vec3 Nearest(sampler2D image, vec2 at) {
  ivec2 size = textureSize(image, 0);
  return texelFetch(image, clamp(ivec2(at * vec2(size)), ivec2(0), size - 1), 0).rgb;
}

void main() {
  // The gate image has its top row at t = 0; the quad's top corner is +1.
  float gate = Nearest(T, vec2(tc.x, 1.0 - tc.y)).r;
  vec2 damage = Nearest(U, fract(uc)).rg;  // the overlay repeats
  vec3 picture = Nearest(F, qc);

  float light = dot(picture, vec3(0.299, 0.587, 0.114));
  // A gentle S-curve: deep blacks, creamy highlights.
  light = light * light * (3.0 - 2.0 * light) * 0.85 + light * 0.15;

  float grain = Hash(floor(gl_FragCoord.xy * 0.5) + ub * 4096.0) - 0.5;
  light += grain * 0.11 * (0.35 + light);

  light = mix(light, 1.0, damage.r * 0.85);
  light *= 1.0 - damage.g * 0.9;

  // Vignette, the gate, and black beside the 4:3 picture on wider screens.
  vec2 fromCentre = (tc - 0.5) * vec2(1.0, 0.75);
  float inside = step(abs(tc.x - 0.5), 0.5);
  light *= (1.0 - dot(fromCentre, fromCentre) * 1.1) * gate * inside;

  vec3 toned = light * vec3(1.0, 0.93, 0.80) + light * light * vec3(0.0, 0.05, 0.14);
  colour = vec4(clamp(toned * r, 0.0, 1.0), 1.0);
}
