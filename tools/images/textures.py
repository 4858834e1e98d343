"""Scene textures: pixel-art bricks, a tiling starfield and the Mandelbrot set.

All three are shown in monochrome by the projector, so each is designed in
luminance first; colour is only a gentle tint."""

import math

import numpy as np
from PIL import Image

from . import common

# --- bricks ---------------------------------------------------------------------------------

BRICK_TILE = 64
BRICK_ROWS = 4            # courses per tile; every other course is offset by half a brick
BRICK_LEN = 32            # two bricks per course
MORTAR = 2


def make_brick():
    rng = np.random.default_rng(64)
    n = BRICK_TILE
    course = n // BRICK_ROWS
    lum = np.zeros((n, n))
    is_mortar = np.zeros((n, n), dtype=bool)
    for row in range(BRICK_ROWS):
        offset = (BRICK_LEN // 2) * (row % 2)
        for k in range(n // BRICK_LEN):
            shade = rng.uniform(0.26, 0.5)
            x0 = (k * BRICK_LEN + offset) % n
            y0 = row * course
            for dy in range(course):
                for dx in range(BRICK_LEN):
                    x, y = (x0 + dx) % n, y0 + dy
                    if dy >= course - MORTAR or dx >= BRICK_LEN - MORTAR:
                        # Mortar: light, gritty, a little darker in the joint's shadow.
                        lum[y, x] = 0.74 + rng.choice([-0.05, 0.0, 0.0, 0.04]) \
                            - (0.1 if dy == course - 1 or dx == BRICK_LEN - 1 else 0)
                        is_mortar[y, x] = True
                        continue
                    # A few distinct levels of clay, as a pixel artist would dither them.
                    v = shade + rng.choice([-0.05, 0.0, 0.0, 0.0, 0.05])
                    if dy == 0 or dx == 0:
                        v += 0.13           # lit top and left edges
                    elif dy == course - MORTAR - 1 or dx == BRICK_LEN - MORTAR - 1:
                        v -= 0.14           # shadowed bottom and right edges
                    lum[y, x] = v
            # A chip or two knocked out of the face, and some darker clay flecks.
            for _ in range(int(rng.integers(0, 3))):
                cx = (x0 + int(rng.integers(2, BRICK_LEN - 4))) % n
                cy = y0 + int(rng.integers(2, course - 4))
                lum[cy, cx] -= 0.16
                lum[cy, (cx + 1) % n] -= 0.10
    lum = np.clip(lum, 0.0, 1.0)
    # Brick red for anyone who sees colour; the luminance above carries the picture.
    rgb = np.stack([lum * 1.18, lum * 0.92, lum * 0.78], axis=-1)
    m = lum[is_mortar]
    rgb[is_mortar] = np.stack([m * 1.0, m * 0.98, m * 0.92], axis=-1)
    common.save_png(common.to_image(np.clip(rgb, 0, 1)), "brick.png")


# --- stars ----------------------------------------------------------------------------------

STARS = 512


def make_stars():
    rng = np.random.default_rng(512)
    n = STARS
    sky = np.zeros((n, n))
    haze = common.tileable_noise(rng, n, 90, octaves=3)
    sky += np.clip(haze - 0.3, 0.0, None) * 0.035
    yy, xx = np.mgrid[0:n, 0:n]

    def add_star(x, y, brightness, sigma):
        # Distance on the torus so a star near an edge lights the opposite edge too.
        dx = np.abs(xx - x)
        dy = np.abs(yy - y)
        dx = np.minimum(dx, n - dx)
        dy = np.minimum(dy, n - dy)
        d2 = dx * dx + dy * dy
        box = d2 < (6 * sigma + 3) ** 2
        sky[box] += brightness * np.exp(-d2[box] / (2 * sigma * sigma))

    # Many faint pinpricks, fewer mid stars, a handful of bright ones with a glow.
    for _ in range(900):
        add_star(rng.uniform(0, n), rng.uniform(0, n), rng.uniform(0.12, 0.45), 0.5)
    for _ in range(110):
        add_star(rng.uniform(0, n), rng.uniform(0, n), rng.uniform(0.5, 0.9), 0.7)
    for _ in range(14):
        x, y = rng.uniform(0, n), rng.uniform(0, n)
        add_star(x, y, 1.0, 0.9)
        add_star(x, y, 0.16, 4.0)
    sky = 1.0 - np.exp(-sky * 1.6)       # soft shoulder so bright cores do not clip flat
    rgb = np.stack([sky * 0.97, sky * 0.98, sky * 1.0], axis=-1)
    common.save_png(common.to_image(np.clip(rgb, 0, 1)), "stars.png")


# --- Mandelbrot -----------------------------------------------------------------------------

MANDEL = 1024
MANDEL_SS = 3
MAX_ITER = 600
# The picture is turned a quarter so the real axis runs down the image, cusp at the bottom.
# The zoom ends on a window of half-extent 0.08 around texture coordinate (0.5, 0.75), so
# pixel (512, 768) is put where the 1/5 bulb buds off the main cardioid (c = 0.357 + 0.329i):
# a string of bulbs with five-armed antennas. The whole set still fits, a little left of centre.
VIEW_SPAN = 3.25                  # complex units across the texture
ZOOM_TARGET = complex(0.365, 0.335)


def mandelbrot_point(u, v):
    """Complex number at texture coordinate (u from the left, v from the top); scalars or arrays."""
    return (ZOOM_TARGET.real + (v - 0.75) * VIEW_SPAN) + 1j * (ZOOM_TARGET.imag + (u - 0.5) * VIEW_SPAN)


def _escape(c):
    """Smooth escape count (inf inside) and the distance estimate for each c."""
    z = np.zeros_like(c)
    dz = np.zeros_like(c)
    smooth = np.full(c.shape, np.inf)
    distance = np.zeros(c.shape)
    # Skip the main cardioid and the period-2 bulb, where every point is inside.
    q = (c.real - 0.25) ** 2 + c.imag ** 2
    inside = (q * (q + (c.real - 0.25)) <= 0.25 * c.imag ** 2) | \
        ((c.real + 1) ** 2 + c.imag ** 2 <= 1 / 16.0)
    active = np.flatnonzero(~inside)
    cz, zz, dd = c.ravel()[active], z.ravel()[active], dz.ravel()[active]
    for i in range(MAX_ITER):
        dd = 2 * zz * dd + 1
        zz = zz * zz + cz
        mag2 = zz.real ** 2 + zz.imag ** 2
        out = mag2 > 1e6
        if out.any():
            idx = active[out]
            m = np.sqrt(mag2[out])
            smooth.ravel()[idx] = i + 1 - np.log2(np.log(m))
            distance.ravel()[idx] = m * np.log(m) / np.abs(dd[out])
            keep = ~out
            active, cz, zz, dd = active[keep], cz[keep], zz[keep], dd[keep]
        if active.size == 0:
            break
    return smooth, distance


def make_mandelbrot():
    n = MANDEL * MANDEL_SS
    pixel = VIEW_SPAN / n
    v, u = np.mgrid[0:n, 0:n]
    u = (u + 0.5) / n
    v = (v + 0.5) / n
    c = mandelbrot_point(u, v)
    lum = np.zeros((n, n))
    rows = 256 * MANDEL_SS
    for r0 in range(0, n, rows):
        smooth, distance = _escape(c[r0:r0 + rows])
        outside = np.isfinite(smooth)
        s = np.where(outside, smooth, 0.0)
        # Bands of the smooth count on a log scale keep every zoom level busy, and the distance
        # estimate adds a bright halo that traces the filaments the bands would miss.
        logs = np.log(s + 1.0)
        bands = 0.5 + 0.5 * np.cos(2.0 * math.pi * 0.9 * np.log2(s + 1.0))
        halo = np.exp(-np.clip(distance / (pixel * 2.0), 0, 50))
        level = np.clip(logs / np.log(MAX_ITER), 0.0, 1.0)
        value = 0.03 + 0.5 * level ** 0.9 * (0.35 + 0.65 * bands) + 0.6 * halo
        lum[r0:r0 + rows] = np.where(outside, np.clip(value, 0.0, 1.0), 0.02)
    image = common.to_image(lum).resize((MANDEL, MANDEL), Image.BOX)
    g = np.asarray(image, dtype=np.float64) / 255.0
    rgb = np.stack([g ** 0.95, g, g ** 1.08], axis=-1)
    common.save_png(common.to_image(rgb), "mandelbrot.png")
