// Sixteen soft blobs melting into each other. Each centre p[i] carries a
// field 0.6 / (t d^2); where the sum crosses 1 a smooth threshold turns it into
// a glossy surface, its slope into a normal. qs and qb give the 4:3 frame.
// The projector enlarges the 160 x 120 picture from four values per pixel:
// the scene at this pixel (R), one pixel right (G), one row up (B) and the
// diagonal (A), each worked out at its own point. The outline is softened
// over a pixel by its distance from the threshold (the field's excess over
// its slope), so it neither stair-steps nor shimmers as the blobs move.
#version 130
uniform vec2 p[16];
uniform float t;  // the field's falloff: larger t, smaller blobs
uniform vec2 qs, qb;
in vec2 corner;  // +y at the bottom of the screen
out vec4 colour;

void main() {
  // The four corners, in the frame's units: one pixel right is +x, one
  // framebuffer row up is +y here (one screen row down).
  vec2 at = corner * qs + qb;
  vec2 pixel = vec2(2.0 / 160.0, 2.0 / 120.0) * qs;
  vec4 x = at.x + vec4(0.0, pixel.x, 0.0, pixel.x);
  vec4 y = at.y + vec4(0.0, 0.0, pixel.y, pixel.y);

  // The field and its slope at the four corners at once.
  vec4 field = vec4(0.0), slopeX = vec4(0.0), slopeY = vec4(0.0);
  for (int i = 0; i < 16; ++i) {
    vec4 dx = x - p[i].x, dy = y - p[i].y;
    vec4 w = 0.6 / (t * (dx * dx + dy * dy) + 0.02);
    field += w;
    vec4 pull = 2.0 * t * w * w / 0.6;
    slopeX -= dx * pull;
    slopeY -= dy * pull;
  }

  // Distance from the outline in pixels: the field's excess over its slope.
  // Where two blobs are about to touch the slope vanishes; a floor on it
  // keeps the bridge between them growing smoothly instead of snapping.
  vec4 steepness = max(sqrt(slopeX * slopeX + slopeY * slopeY) * pixel.y, 0.08);
  vec4 inside = smoothstep(-1.0, 1.0, (field - 1.0) / steepness);

  // The surface as a height field: steep near the edge, flat on top.
  // Height sqrt(1 - 1/field): zero on the threshold and rising steeply from
  // it, so each blob's rim turns away from the viewer like a sphere's.
  vec4 height = sqrt(clamp(1.0 - 1.0 / field, 0.02, 1.0));
  vec4 lean = 0.045 / (field * field * height);
  // Key light from the upper left of the screen, the viewer straight ahead.
  vec3 key = normalize(vec3(-0.5, -0.6, 0.7));
  vec4 light;
  for (int k = 0; k < 4; ++k) {
    vec3 normal = normalize(vec3(-vec2(slopeX[k], slopeY[k]) * lean[k], 1.0));
    float diffuse = max(dot(normal, key), 0.0);
    float gloss = pow(max(dot(reflect(-key, normal), vec3(0.0, 0.0, 1.0)), 0.0), 40.0);
    float edge = pow(1.0 - normal.z, 2.0);
    float blob = 0.1 + 0.85 * diffuse + 0.9 * gloss - 0.3 * edge;

    // Behind them a stage lit by a spotlight from the upper left, falling
    // off into dark corners; the field's outskirts glow faintly round each blob.
    vec2 from = vec2(x[k], y[k]) - vec2(-0.35, -0.3);
    float glow = 0.25 * smoothstep(0.35, 1.0, field[k]);
    float back = 0.04 + 0.32 * exp(-1.1 * dot(from, from)) + glow;
    light[k] = clamp(mix(back, blob, inside[k]), 0.0, 1.0);
  }
  colour = light;
}
