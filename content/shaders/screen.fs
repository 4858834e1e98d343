// The Mandelbrot set on an old cathode-ray screen: a bulging glass with
// rounded corners in a dark bezel, faint scan lines, a glare on the glass.
// The set is computed here at the zoom ts and tb give, in the coordinates of
// the Mandelbrot image (the same framing: its texture space, top row t = 0,
// turned a quarter so the real axis runs down the picture), shaded by the
// continuous escape time in soft bands, with a glow along the boundary
// from the distance estimate.
// The projector enlarges the 160 x 120 picture from four values per pixel:
// the scene at this pixel (R), one pixel right (G), one row up (B) and the
// diagonal (A), each computed at its own point. The boundary is softened
// over a pixel by the distance estimate and the bands fade where they would
// crowd closer than a pixel, so the zoom neither sparkles nor stair-steps.
// corner.y = -1 is the top of the screen (the scene target is shown flipped).
#version 130
// T, the pre-computed picture of the whole set on unit 4, only leaves a
// faint burn-in on the phosphor: the set itself is computed, at any zoom, as
// sharp as the pixel allows.
uniform sampler2D T;
uniform vec2 ts, tb;
in vec2 corner;
out vec4 colour;

const vec2 kGlass = vec2(0.86, 0.84);  // the glass's half-size in corner units
const float kRound = 0.22;
// Texture space to the complex plane: the image spans 3.25 units, and
// texture coordinate (0.5, 0.75) is c = 0.365 + 0.335i, where the 1/5 bulb
// buds off the main cardioid.
const float kSpan = 3.25;
const vec2 kTarget = vec2(0.365, 0.335);
const int kIterations = 96;

float Luma(vec3 rgb) { return dot(rgb, vec3(0.299, 0.587, 0.114)); }

// Signed distance to the rounded glass outline (negative inside).
float GlassDistance(vec2 at) {
  vec2 d = abs(at) - kGlass + kRound;
  return length(max(d, 0.0)) + min(max(d.x, d.y), 0.0) - kRound;
}

vec2 Square(vec2 z) { return vec2(z.x * z.x - z.y * z.y, 2.0 * z.x * z.y); }
vec2 Times(vec2 a, vec2 b) { return vec2(a.x * b.x - a.y * b.y, a.x * b.y + a.y * b.x); }
vec2 Root(vec2 w) {
  float r = length(w);
  return vec2(sqrt(max(0.5 * (r + w.x), 0.0)), (w.y < 0.0 ? -1.0 : 1.0) * sqrt(max(0.5 * (r - w.x), 0.0)));
}

// The picture's tone at c, `pixel` complex units across a scene pixel.
float Mandelbrot(vec2 c, float pixel) {
  // Points in the main cardioid and the period-2 bulb never escape; their
  // orbit settles on a fixed point or a 2-cycle, which shades the inside.
  vec2 fromQuarter = c - vec2(0.25, 0.0);
  float q = dot(fromQuarter, fromQuarter);
  bool cardioid = q * (q + fromQuarter.x) <= 0.25 * c.y * c.y;
  bool bulb = dot(c + vec2(1.0, 0.0), c + vec2(1.0, 0.0)) <= 0.0625;
  vec2 z = vec2(0.0), dz = vec2(0.0);
  float escaped = -1.0;
  for (int i = 0; i < kIterations; ++i) {
    if (cardioid || bulb) break;
    dz = 2.0 * Times(z, dz) + vec2(1.0, 0.0);
    z = Square(z) + c;
    if (dot(z, z) > 1e4) {
      escaped = float(i);
      break;
    }
  }
  if (cardioid) z = 0.5 * (vec2(1.0, 0.0) - Root(vec2(1.0, 0.0) - 4.0 * c));
  if (bulb) z = 0.5 * (vec2(-1.0, 0.0) + Root(vec2(-3.0, 0.0) - 4.0 * c));
  // Inside: a dark glass that brightens towards the rim. In the cardioid
  // twice the fixed point's size is its multiplier, 0 in the middle and 1
  // on the boundary, which the outside's glow meets.
  float inside = 0.1 + 0.24 * pow(min(2.0 * length(z), 1.0), 3.0);
  if (escaped < 0.0) return inside;

  float size = length(z);
  float smoothCount = escaped + 1.0 - log2(log2(size));
  float distance = 0.5 * size * log(size) / max(length(dz), 1e-20);
  // Contour bands of the count on a log scale, brighter towards the set.
  // The count climbs by about 1 / (distance ln 2) a unit, so a band's phase
  // turns by 2 pi x 1.5 x crowding / ln 2^2 across a pixel: the bands fade
  // out between one and two radians a pixel, before they could alias.
  float octave = log2(smoothCount + 1.0);
  float crowding = pixel / (max(distance, 1e-20) * (smoothCount + 1.0));
  float bands = 0.5 + 0.5 * cos(9.4248 * octave) * smoothstep(0.1, 0.05, crowding);
  float level = clamp(octave / 5.0, 0.0, 1.0);
  float halo = exp(-distance / (pixel * 1.5));
  float outside = 0.16 + 0.34 * level + 0.2 * (bands - 0.5) * (0.6 + 0.4 * level) + 0.5 * halo;
  // Within a pixel of the boundary the outside gives way to the inside, so
  // the edge is as soft as a pixel wherever it runs.
  return mix(inside, min(outside, 1.0), smoothstep(0.0, 1.0, distance / pixel));
}

float Screen(vec2 at) {
  // The glass bulges: points move outwards with their distance from centre,
  // so the picture's middle swells towards the viewer.
  float swell = 0.92 + 0.08 * dot(at, at);
  vec2 uv = at * swell / kGlass.y * ts + tb;
  vec2 c = kTarget + vec2((uv.y - 0.75) * kSpan, (uv.x - 0.5) * kSpan);
  // The glass stretches the picture by up to its radial slope.
  float pixel = kSpan * ts.y * (2.0 / 120.0) * (0.92 + 0.24 * dot(at, at)) / kGlass.y;
  float picture = Mandelbrot(c, pixel);

  float edge = GlassDistance(at);
  float glass = 1.0 - smoothstep(-1.0 / 80.0, 1.0 / 80.0, edge);
  // Phosphor: lifted blacks, a scan line on every other row, darker corners.
  float row = (at.y + 1.0) * 60.0 - 0.5;  // whole at the pixels' middles
  float scan = 0.93 + 0.07 * cos(row * 3.1415927);
  float falloff = 1.0 - 0.35 * dot(at * 0.75, at * 0.75);
  float glare = 0.16 * exp(-8.0 * dot(at - vec2(-0.45, -0.5), at - vec2(-0.45, -0.5)));
  // The burn-in: the whole set, blurred, where a long-shown picture left it;
  // the picture's 8 x 8 mipmap, blended between its texels.
  vec2 burnAt = clamp(at * swell / kGlass * 4.0 + 3.5, 0.0, 6.999);
  ivec2 cell = ivec2(burnAt);
  vec2 f = burnAt - vec2(cell);
  float burn = mix(mix(Luma(texelFetch(T, cell, 7).rgb), Luma(texelFetch(T, cell + ivec2(1, 0), 7).rgb), f.x),
                   mix(Luma(texelFetch(T, cell + ivec2(0, 1), 7).rgb), Luma(texelFetch(T, cell + ivec2(1, 1), 7).rgb), f.x),
                   f.y);
  float screenLight = (0.05 + 1.1 * picture + 0.08 * burn) * scan * falloff + glare;

  // The bezel: dark, with a lit lip around the glass and a shadow inside it.
  float lip = exp(-abs(edge - 0.035) * 40.0) * (0.5 - 0.3 * at.y);
  float bezel = 0.2 + 0.08 * (-at.y) + 0.4 * lip;
  float inset = smoothstep(-0.08, 0.0, edge);  // the glass darkens at its rim
  return clamp(mix(bezel, screenLight * (1.0 - 0.6 * inset), glass), 0.0, 1.0);
}

void main() {
  // One pixel right is +x; one framebuffer row up is one screen row down,
  // +y in corner units.
  vec2 pixel = vec2(2.0 / 160.0, 2.0 / 120.0);
  colour = vec4(Screen(corner), Screen(corner + vec2(pixel.x, 0.0)), Screen(corner + vec2(0.0, pixel.y)),
                Screen(corner + pixel));
}
