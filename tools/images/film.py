"""The projector's film furniture: the gate mask (frame.jpg) and the four dust and
scratch overlays (f1.png .. f4.png). Both are one grey channel: the projector reads
each texel of them at every pixel of the screen, and a one-byte texel is the cheapest
read a software renderer has.

Gate: the aperture with the lamp's vignette and the dim margins (its outermost columns
black, so the projector's edge clamp leaves black beside a 4:3 picture). The lamp lights
the aperture a little unevenly, in slow blotches; the projector also reads where the film
burns first from it: the brighter the lamp, the sooner the film burns.

Overlays: one value per texel in three bands (see overlay_code): below a quarter, dark
damage (dust, hairs) at the strength it blocks light with; above three quarters, light
damage (scratches printed white); between, film grain around one half (clumps of about
two texels, a texel being a thousandth of the picture's height). Every mark is drawn at
all nine torus offsets so the texture tiles without seams."""

import math

import numpy as np
from PIL import Image, ImageDraw, ImageFilter

from . import common

GATE_W, GATE_H = 1024, 768
OVERLAY = 1024           # a power of two: the projector repeats it by masking texel indices
OVERLAY_SS = 2            # overlays are drawn at twice the size for smooth hairlines
LIGHT_STRENGTH = 0.85     # a full-strength scratch prints this close to white
DARK_STRENGTH = 0.9       # and full dust blocks this much of the light
LAMP_BLOTCHES = 0.08      # the lamp's slow unevenness over the aperture, peak to peak
LAMP_SPECKLE = 0.03       # and its fine unevenness
HAIR_DARKNESS = 0.82      # how much of the lamp the hair in the gate blocks


def overlay_code(light, dark, grain):
    """One byte per texel for the three kinds of damage, as projector.fs decodes them:
    0..63 dark damage (0.9 - 3.6 v blocks light), 64..191 grain (2 v - 0.5), 192..255 light
    damage (3.4 v - 2.55 prints white), v being the byte over 255. The stronger of two
    overlapping marks wins; where a mark is too faint for its band, the grain shows."""
    light_code = np.clip(np.round((light + 2.55) / 3.4 * 255.0), 192, 255)
    dark_code = np.clip(np.round((0.9 - dark) / 3.6 * 255.0), 0, 63)
    grain_code = np.clip(np.round((0.25 + 0.5 * grain) * 255.0), 64, 191)
    faint = 0.5 / 255.0 * 3.6   # half a step of the dark band; the light band's is smaller
    code = np.where((light >= dark) & (light > faint), light_code,
                    np.where(dark > faint, dark_code, grain_code))
    return code.astype(np.uint8)


# --- the gate ----------------------------------------------------------------------------

def make_frame():
    rng = np.random.default_rng(35)
    s = 2
    w, h = GATE_W * s, GATE_H * s
    # The aperture covers about 91 % of each dimension so the mask costs little picture.
    ax, ay = 0.045 * w, 0.045 * h
    radius = 0.06 * h
    aperture = Image.new("L", (w, h), 0)
    ImageDraw.Draw(aperture).rounded_rectangle([ax, ay, w - ax, h - ay], radius, fill=255)
    # A filed gate is never perfectly straight: push the edge in and out a little, then soften.
    # Displacement in gate pixels: a slow bow of about 2 px plus a fine burr under 1 px.
    wobble_x = (common.value_noise(rng, w, h, 90 * s) - 0.5) * 4 + \
        (common.value_noise(rng, w, h, 10 * s) - 0.5) * 1.4
    wobble_y = (common.value_noise(rng, w, h, 90 * s) - 0.5) * 4 + \
        (common.value_noise(rng, w, h, 10 * s) - 0.5) * 1.4
    a = np.asarray(aperture.filter(ImageFilter.GaussianBlur(2.0 * s)), dtype=np.float64) / 255.0
    yy, xx = np.mgrid[0:h, 0:w]
    sx = np.clip(xx + wobble_x * s, 0, w - 1).astype(int)
    sy = np.clip(yy + wobble_y * s, 0, h - 1).astype(int)
    a = a[sy, sx]
    a = np.clip((a - 0.5) * 1.6 + 0.5, 0.0, 1.0)
    # The lamp's hot spot: light falls off towards the corners to about half.
    fx, fy = xx / w - 0.5, (yy / h - 0.5) * 0.75
    spread = fx * fx + fy * fy
    vignette = 1.0 - 1.3 * spread

    margin = Image.new("L", (w, h), 0)
    draw = ImageDraw.Draw(margin)
    # Sprocket holes: rounded slots half hidden at the left and right edges, symmetric top and
    # bottom so the gate reads the same either way up.
    hole_w, hole_h = 30 * s, 22 * s
    for k in range(-2, 3):
        cy = h / 2 + k * 0.2 * h
        for cx in (-hole_w * 0.35, w + hole_w * 0.35):
            draw.rounded_rectangle([cx - hole_w / 2, cy - hole_h / 2, cx + hole_w / 2,
                                    cy + hole_h / 2], 6 * s, fill=70)
    # Frame lines: the dark bar between frames, with a faint lighter ridge on each side.
    for y in (ay * 0.35, h - ay * 0.35):
        draw.rectangle([0, y - 1.2 * s, w, y + 1.2 * s], fill=20)
    # Edge print along both margins, reading upward on the left and downward on the right.
    edge_font = common.font("edge", 11 * s)
    words = "NITRATE  \u25c6  FLICKER HOUSE  \u25c6  16 FPS  \u25c6  KEEP FROM FLAME"
    text_w = int(edge_font.getlength(words)) + 8
    strip = Image.new("L", (text_w, 16 * s), 0)
    ImageDraw.Draw(strip).text((4, 1 * s), words, font=edge_font, fill=62)
    up = strip.rotate(90, expand=True)
    down = strip.rotate(-90, expand=True)
    margin.paste(up, (int(ax * 0.28), int(h / 2 - up.size[1] / 2)), up)
    margin.paste(down, (int(w - ax * 0.28 - down.size[0]), int(h / 2 - down.size[1] / 2)), down)
    # Small frame numbers in the corners of the margin, as printed on the stock.
    for (x, y) in ((ax * 0.3, 4 * s), (w - ax * 0.3 - 30 * s, h - 16 * s)):
        draw.text((x, y), "\u25b2 24", font=common.font("edge", 9 * s), fill=40)
    m = np.asarray(margin.filter(ImageFilter.GaussianBlur(0.7 * s)), dtype=np.float64) / 255.0

    base = 0.035 + 0.015 * common.value_noise(rng, w, h, 60 * s)
    value = (a + (1.0 - a) * (base + m)) * vignette
    value = np.clip(value + rng.standard_normal((h, w)) * 0.004, 0.0, 1.0)
    # The lamp's blotches, slow ones of +-4 % and fine ones of +-1.5 %: lost in the grain
    # on a card, a faint still unevenness on a flat grey field, like a dusty condenser.
    # They push the burning film's front in and out, so the hole opens ragged like
    # burning film, not round like an iris.
    rng_lamp = np.random.default_rng(36)
    lamp = LAMP_BLOTCHES * (common.value_noise(rng_lamp, w, h, 70 * s) - 0.5) + \
        LAMP_SPECKLE * (common.value_noise(rng_lamp, w, h, 16 * s) - 0.5)
    value *= 1.0 + lamp
    value *= 1.0 - HAIR_DARKNESS * gate_hair(w, h, s)
    gate = np.asarray(common.downsample(common.to_image(value), s), dtype=np.uint8).copy()
    gate[:, [0, -1]] = 0
    Image.fromarray(gate, "L").save(common.output_path("frame.jpg"), "JPEG",
                                    quality=common.JPEG_QUALITY, optimize=True)


def gate_hair(w, h, s):
    """A hair caught in the gate, as coverage 0..1 at w x h (s times the gate's size): a
    long bow that comes out from under the gate's right edge, crosses into the picture and
    ends in a small curl, thinner towards its tip. It is part of the gate, so it stays put
    for the whole show while the print's own damage jumps from frame to frame."""
    ss = 4  # drawn at four times the working size, then averaged: a smooth hairline
    layer = Image.new("L", (w * ss, h * ss), 0)
    draw = ImageDraw.Draw(layer)
    k = s * ss  # gate texels to layer pixels
    # The bow: an arc of an ellipse (radii 112 and 140 gate texels) from above the
    # picture's top third down to where the curl begins.
    bow = [(1040.0 - 112.0 * math.cos(a), 292.0 + 140.0 * math.sin(a))
           for a in np.linspace(-1.05, 0.38, 160)]
    # The curl: most of a small flattened loop turning back under the bow's end.
    curl = [(933.0 + 12.0 * math.cos(a), 372.0 + 9.2 * math.sin(a))
            for a in np.linspace(-1.7, 2.0, 60)]
    for path, start_width, end_width in ((bow, 0.9, 1.5), (curl, 1.5, 1.0)):
        for i in range(len(path) - 1):
            width = start_width + (end_width - start_width) * i / (len(path) - 1)
            (x0, y0), (x1, y1) = path[i], path[i + 1]
            draw.line([(x0 * k, y0 * k), (x1 * k, y1 * k)], fill=255, width=max(1, round(width * k)))
            r = width * k / 2
            draw.ellipse([x1 * k - r, y1 * k - r, x1 * k + r, y1 * k + r], fill=255)
    small = layer.resize((w, h), Image.BOX)
    return np.asarray(small, dtype=np.float64) / 255.0


# --- damage overlays ------------------------------------------------------------------------

class Overlay:
    """Two damage layers (light and dark) drawn with wrap-around at OVERLAY_SS x size."""

    def __init__(self, seed):
        self.rng = np.random.default_rng(seed)
        self.size = OVERLAY * OVERLAY_SS
        self.light = Image.new("L", (self.size, self.size), 0)
        self.dark = Image.new("L", (self.size, self.size), 0)

    def _wrapped(self, layer, paint):
        draw = ImageDraw.Draw(layer)
        for ox in (-self.size, 0, self.size):
            for oy in (-self.size, 0, self.size):
                paint(draw, ox, oy)

    def scratch(self, x, y0, length, width, strength, broken=False):
        """A vertical emulsion scratch that wanders slightly and fades in and out."""
        rng = self.rng
        n = max(8, int(length / 6))
        ys = np.linspace(y0, y0 + length, n)
        drift = np.cumsum(rng.normal(0, 0.25, n)) * OVERLAY_SS
        xs = x + drift - drift.mean()
        envelope = np.sin(np.linspace(0, math.pi, n)) ** 0.4
        flicker = 0.6 + 0.4 * common.value_noise(rng, n, 1, 6)[0]
        gaps = np.ones(n)
        if broken:
            gaps = (common.value_noise(rng, n, 1, 10)[0] > 0.42).astype(float)

        def paint(draw, ox, oy):
            for i in range(n - 1):
                v = int(255 * strength * envelope[i] * flicker[i] * gaps[i])
                if v > 0:
                    draw.line([(xs[i] + ox, ys[i] + oy), (xs[i + 1] + ox, ys[i + 1] + oy)],
                              fill=v, width=max(1, int(width)))
        self._wrapped(self.light, paint)

    def speck(self, x, y, radius, strength, light=False):
        """A dust speck: a few overlapping blobs, so it is never a perfect disc."""
        rng = self.rng
        parts = [(x, y, radius)]
        for _ in range(int(rng.integers(1, 4))):
            a = rng.uniform(0, 2 * math.pi)
            d = radius * rng.uniform(0.3, 0.9)
            parts.append((x + math.cos(a) * d, y + math.sin(a) * d, radius * rng.uniform(0.4, 0.8)))
        v = int(255 * strength)

        def paint(draw, ox, oy):
            for px, py, r in parts:
                draw.ellipse([px - r + ox, py - r + oy, px + r + ox, py + r + oy], fill=v)
        self._wrapped(self.light if light else self.dark, paint)

    def hair(self, x, y, length, strength):
        """A curly hair: a random walk whose heading turns smoothly, drawn as a thin line."""
        rng = self.rng
        steps = int(length / 4)
        heading = rng.uniform(0, 2 * math.pi)
        turn = 0.0
        pts = [(x, y)]
        for _ in range(steps):
            turn = 0.85 * turn + rng.normal(0, 0.06)
            heading += turn
            x += math.cos(heading) * 4
            y += math.sin(heading) * 4
            pts.append((x, y))
        v = int(255 * strength)

        def paint(draw, ox, oy):
            draw.line([(px + ox, py + oy) for px, py in pts], fill=v,
                      width=int(1.6 * OVERLAY_SS), joint="curve")
        self._wrapped(self.dark, paint)

    def fine_dust(self, count, max_radius, strength):
        for _ in range(count):
            r = self.rng.uniform(0.6, max_radius) * OVERLAY_SS
            self.speck(self.rng.uniform(0, self.size), self.rng.uniform(0, self.size), r,
                       strength * self.rng.uniform(0.5, 1.0),
                       light=self.rng.random() < 0.25)

    def save(self, name):
        light = self.light.filter(ImageFilter.GaussianBlur(0.35 * OVERLAY_SS))
        dark = self.dark.filter(ImageFilter.GaussianBlur(0.5 * OVERLAY_SS))
        r = np.asarray(common.downsample(light, OVERLAY_SS), dtype=np.float64) / 255.0
        g = np.asarray(common.downsample(dark, OVERLAY_SS), dtype=np.float64) / 255.0
        # Grain: soft clumps, a little coarser than a texel, centred on 0.5, in 32 steps:
        # finer steps are lost in the picture and would only make the file larger.
        grain = 0.5 + 0.16 * common.tileable_noise(self.rng, OVERLAY, 2.2, octaves=2)
        grain = np.round(np.clip(grain, 0.0, 1.0) * 31.0) / 31.0
        code = overlay_code(r * LIGHT_STRENGTH, g * DARK_STRENGTH, grain)
        Image.fromarray(code, "L").save(common.output_path(name), "PNG", optimize=True)


def make_overlays():
    ss = OVERLAY_SS
    size = OVERLAY * ss

    f1 = Overlay(101)        # long thin vertical scratches and a few specks
    for x, strength in ((0.23, 0.9), (0.61, 0.65), (0.655, 0.45)):
        f1.scratch(x * size, f1.rng.uniform(0, size), size * f1.rng.uniform(0.7, 1.0),
                   1.5 * ss, strength)
    f1.fine_dust(14, 2.5, 0.9)
    f1.save("f1.png")

    f2 = Overlay(202)        # a couple of hairs and specks
    f2.hair(0.3 * size, 0.35 * size, 260 * ss, 0.95)
    f2.hair(0.72 * size, 0.7 * size, 180 * ss, 0.8)
    f2.fine_dust(18, 2.8, 0.9)
    f2.save("f2.png")

    f3 = Overlay(303)        # dust of many sizes, with a couple of larger blotches
    f3.fine_dust(40, 3.0, 0.95)
    for _ in range(3):
        f3.speck(f3.rng.uniform(0, size), f3.rng.uniform(0, size),
                 f3.rng.uniform(6, 11) * ss, 0.85)
    f3.speck(f3.rng.uniform(0, size), f3.rng.uniform(0, size), 5 * ss, 0.7, light=True)
    f3.save("f3.png")

    f4 = Overlay(404)        # a broken scratch with fine dust and a short hair
    f4.scratch(0.44 * size, 0, size, 1.6 * ss, 0.95, broken=True)
    f4.fine_dust(26, 1.8, 0.8)
    f4.hair(0.8 * size, 0.2 * size, 70 * ss, 0.7)
    f4.save("f4.png")
