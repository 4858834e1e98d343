"""The handwriting reel: the word "Nitrate" written with a pointed pen, one 512 x 256
band per film frame, 32 bands stacked top to bottom in one tall picture.

The letters are our own pen paths (Catmull-Rom splines through hand-placed points),
inked thin on upstrokes and heavy on downstrokes like a copperplate nib. Every ink
pixel remembers when the pen reached it, so band n simply shows the ink laid down by
its moment, with a soft wet edge where the nib is."""

import numpy as np
from PIL import Image

from . import cards, common, deco

# 32 bands of 256 rows make a picture 8192 high, which drivers that take textures of
# 8192 on a side hold. 128 rows (a 4096-high reel) were tried: enlarged smoothly they blur
# the crosses and hairlines at 4K, and stored as an edge ramp that the projector cuts sharp
# they break the hairlines into beads, which are thinner than one of those rows. Texels are
# wider than tall here; the columns cost little and keep the upright strokes crisp.
BAND_W, BAND_H = 512, 256
BANDS = 32
# The word is whole from band 20 (3.25 s) and stands for the last 11 film frames, about
# 0.7 s, long enough to be read before the cut.
HOLD_BANDS = 11
DESIGN_W, DESIGN_H = 2048, 1536   # the canvas the pen writes on, reduced to each band
SLANT = 0.32             # italic lean of the script, x shift per unit of height
WIDEN = 1.1              # letter spacing: the points were placed a little tight
WET_EDGE = 0.018         # width of the soft edge behind the nib, in writing time
PEN_LIFT_TIME = 0.9      # a pen lift costs as much time as this many units of writing

# Pen paths in x-height units: baseline at y = 0, x-height at 1, capitals at about 2.4.
# Each stroke is one touch of the pen; the dot and the crosses come last, as a writer does.
STROKES = [
    # N, left stem: a hooked entry at the top, down to the baseline, a small curl to the left.
    [(-0.35, 1.75), (-0.1, 2.2), (0.3, 2.42), (0.5, 2.2), (0.45, 1.4), (0.33, 0.45),
     (0.12, 0.02), (-0.18, -0.02), (-0.3, 0.18)],
    # N, diagonal down, then the right stem up, ending in a flourish over the top.
    [(0.52, 2.3), (0.8, 1.5), (1.12, 0.65), (1.35, 0.03), (1.5, 0.5), (1.62, 1.45),
     (1.78, 2.2), (2.02, 2.45), (2.3, 2.38)],
    # i t r a t e in one joined stroke.
    [(2.0, 0.08), (2.32, 0.45), (2.58, 0.98),                       # lead-in up to the i
     (2.45, 0.45), (2.45, 0.08), (2.66, -0.01), (2.95, 0.28),         # i down and out
     (3.22, 0.95), (3.38, 1.85),                                      # t ascender
     (3.22, 0.9), (3.14, 0.25), (3.3, -0.01), (3.58, 0.2),            # t down and out
     (3.8, 0.8), (3.92, 1.02), (4.05, 0.88), (4.2, 0.9), (4.38, 1.0),  # r flag
     (4.36, 0.55), (4.36, 0.12), (4.55, 0.0), (4.8, 0.3),             # r down, joining a
     (5.3, 0.93), (5.04, 0.98), (4.8, 0.72), (4.74, 0.28),          # a bowl
     (4.9, 0.0), (5.14, 0.12), (5.31, 0.5), (5.4, 0.98),            # round and up
     (5.3, 0.45), (5.32, 0.08), (5.52, -0.01), (5.8, 0.26),         # a stem and out
     (6.04, 0.95), (6.2, 1.85),                                      # second t
     (6.04, 0.9), (5.96, 0.25), (6.12, -0.01), (6.4, 0.22),          # down and out
     (6.78, 0.55), (6.9, 0.82), (6.73, 0.97), (6.48, 0.72),            # e loop
     (6.44, 0.26), (6.64, 0.0), (6.98, 0.1), (7.33, 0.42), (7.58, 0.62)],  # e tail
    # the dot of the i
    [(2.5, 1.45), (2.54, 1.5)],
    # the crosses of the two t's
    [(3.02, 1.22), (3.35, 1.3), (3.7, 1.33)],
    [(5.8, 1.22), (6.16, 1.3), (6.52, 1.33)],
]
# Upstrokes and hairlines are thin; the nib opens on the way down.
HAIRLINE = 0.05
SHADE = 0.16
DOT_WIDTH = 0.16


def _catmull_rom(points, samples_per_segment):
    pts = np.asarray(points, dtype=np.float64)
    if len(pts) == 2:
        t = np.linspace(0.0, 1.0, samples_per_segment)[:, None]
        return pts[0] * (1 - t) + pts[1] * t
    padded = np.vstack([2 * pts[0] - pts[1], pts, 2 * pts[-1] - pts[-2]])
    out = []
    for i in range(len(pts) - 1):
        p0, p1, p2, p3 = padded[i], padded[i + 1], padded[i + 2], padded[i + 3]
        t = np.linspace(0.0, 1.0, samples_per_segment, endpoint=False)[:, None]
        out.append(0.5 * ((2 * p1) + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t * t
                          + (-p0 + 3 * p1 - 3 * p2 + p3) * t * t * t))
    out.append(pts[-1:])
    return np.vstack(out)


def _ink_time_map(unit_px, origin):
    # unit_px and origin are in design pixels.
    """For every supersampled pixel, the writing time (0..1) at which the pen first inks it;
    +inf where it never does."""
    w, h = DESIGN_W, DESIGN_H
    time = np.full((h, w), np.inf)
    paths = []
    for stroke in STROKES:
        path = _catmull_rom(stroke, 60)
        path[:, 0] = path[:, 0] * WIDEN + SLANT * path[:, 1]
        paths.append(path)
    lengths = [np.sum(np.hypot(*np.diff(p, axis=0).T)) for p in paths]
    total = sum(lengths) + PEN_LIFT_TIME * (len(paths) - 1)

    clock = 0.0
    for stroke_index, path in enumerate(paths):
        seg = np.hypot(*np.diff(path, axis=0).T)
        along = np.concatenate([[0.0], np.cumsum(seg)])
        direction = np.gradient(path, axis=0)
        norm = np.hypot(direction[:, 0], direction[:, 1]) + 1e-9
        downward = np.clip(-direction[:, 1] / norm, 0.0, 1.0)
        if lengths[stroke_index] < 0.2:
            widths = np.full(len(path), DOT_WIDTH)
        else:
            widths = HAIRLINE + SHADE * downward ** 1.6
            # The nib eases in and out at both ends of a stroke instead of starting blunt.
            ends = np.minimum(along, along[-1] - along) / 0.12
            widths *= 0.55 + 0.45 * np.clip(ends, 0.0, 1.0)
        # Resample densely so the stamps overlap into a continuous line.
        step = 0.6 / unit_px
        dense = np.arange(0.0, along[-1] + step, step) if along[-1] > 0 else np.array([0.0])
        xs = np.interp(dense, along, path[:, 0])
        ys = np.interp(dense, along, path[:, 1])
        ws = np.interp(dense, along, widths)
        for a, x, y, width in zip(dense, xs, ys, ws):
            t = (clock + a) / total
            px = origin[0] + x * unit_px
            py = origin[1] - y * unit_px
            r = 0.5 * width * unit_px
            x0, x1 = int(px - r - 1), int(px + r + 2)
            y0, y1 = int(py - r - 1), int(py + r + 2)
            yy, xx = np.mgrid[y0:y1, x0:x1]
            inside = (xx + 0.5 - px) ** 2 + (yy + 0.5 - py) ** 2 <= r * r
            window = time[y0:y1, x0:x1]
            np.minimum(window, np.where(inside, t, np.inf), out=window)
        clock += lengths[stroke_index] + PEN_LIFT_TIME
    return time


def _writing_progress(band):
    """Fraction of the writing done at film frame `band`: the nib touches down at frame 0,
    speeds up and settles, and the word is whole for the last HOLD_BANDS frames."""
    writing_bands = BANDS - HOLD_BANDS
    x = min(1.0, band / float(writing_bands - 1))
    # Runs a wet edge past 1 so the last touch of ink is fully dry on the held frames.
    return 0.012 + (0.988 + WET_EDGE) * (x * x * (3 - 2 * x) * 0.35 + x * 0.65)


def make_filmwriting():
    # The word, about 9 units wide at 164 design pixels per unit, sits centred inside the
    # band's border.
    unit_px = 164.0
    x_min = min(min(x * WIDEN + SLANT * y for x, y in s) for s in STROKES)
    x_max = max(max(x * WIDEN + SLANT * y for x, y in s) for s in STROKES)
    origin = (DESIGN_W / 2.0 - unit_px * (x_min + x_max) / 2.0, DESIGN_H / 2.0 + unit_px * 0.75)
    time = _ink_time_map(unit_px, origin)

    border = Image.new("L", (DESIGN_W, DESIGN_H), 0)
    deco.draw_border(border, DESIGN_W / 1024.0, fill=cards.INK, fans=True)
    border = np.asarray(border, dtype=np.float64) / 255.0

    reel = Image.new("RGB", (BAND_W, BAND_H * BANDS))
    for band in range(BANDS):
        now = _writing_progress(band)
        ink = np.clip((now - time) / WET_EDGE, 0.0, 1.0)
        ink = ink * ink * (3 - 2 * ink)
        layer = np.maximum(ink * cards.INK / 255.0, border)
        picture = common.to_image(layer).convert("L").resize((BAND_W, BAND_H), Image.LANCZOS)
        reel.paste(cards.age(picture, seed=400 + band), (0, band * BAND_H))
    common.save_packed_jpeg(reel, "filmwriting.jpg", band_height=BAND_H)
