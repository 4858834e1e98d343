"""Art Deco furniture shared by the title cards and the handwriting reel: the
double-rule border with stepped corners, corner diamonds, the fan ornaments and
the rule-and-diamond divider (lying or upright) and the cartouche round a name.

All sizes are given for a 1024 x 768 card and scaled by `scale`, so the same
border fits a supersampled card or the film writing's design canvas."""

import math

from PIL import ImageDraw

# Outer rule inset: the gate mask hides about 5 % of each edge, so the border sits at
# roughly 7.5 % and stays inside the central 85 % of the picture.
BORDER_INSET_X = 76
BORDER_INSET_Y = 60
OUTER_RULE = 3.2
INNER_RULE = 1.4
RULE_GAP = 9
CORNER_STEP = 17


def _stroke_orthogonal(draw, points, width, fill):
    """Draws a closed path of horizontal/vertical segments as rectangles with square caps,
    which joins cleanly at every corner."""
    half = width / 2.0
    for i in range(len(points)):
        (x0, y0), (x1, y1) = points[i], points[(i + 1) % len(points)]
        draw.rectangle([min(x0, x1) - half, min(y0, y1) - half,
                        max(x0, x1) + half, max(y0, y1) + half], fill=fill)


def _stepped_rectangle(left, top, right, bottom, step, steps):
    """Corners of a rectangle whose four corners are notched inward in `steps` stairs."""
    def corner(cx, cy, sx, sy):
        # Walk from the vertical side to the horizontal side, stair by stair.
        pts = [(cx + sx * k * step, cy + sy * (steps - k) * step) for k in range(steps + 1)]
        stairs = []
        for k in range(steps):
            stairs.append(pts[k])
            stairs.append((pts[k + 1][0], pts[k][1]))
        stairs.append(pts[steps])
        return stairs

    tl = corner(left, top, 1, 1)
    tr = [(x, y) for (x, y) in reversed(corner(right, top, -1, 1))]
    br = corner(right, bottom, -1, -1)
    bl = [(x, y) for (x, y) in reversed(corner(left, bottom, 1, -1))]
    return tl + tr + br + bl


def _diamond(draw, cx, cy, radius, fill):
    draw.polygon([(cx, cy - radius), (cx + radius, cy), (cx, cy + radius), (cx - radius, cy)],
                 fill=fill)


def _fan(draw, cx, cy, direction, scale, fill):
    """A small Deco sunburst: a half disc of rays opening away from the rule (`direction` +1 down)."""
    rays = 11
    inner, outer = 9 * scale, 40 * scale
    for i in range(rays):
        angle = math.pi * (i + 0.5) / rays
        length = outer * (1.0 if i % 2 == 0 else 0.72)
        dx, dy = math.cos(angle), math.sin(angle) * direction
        spread = 0.07
        a0, a1 = angle - spread, angle + spread
        draw.polygon([(cx + math.cos(a0) * inner, cy + math.sin(a0) * inner * direction),
                      (cx + dx * length, cy + dy * length),
                      (cx + math.cos(a1) * inner, cy + math.sin(a1) * inner * direction)],
                     fill=fill)
    r = 6.5 * scale
    draw.pieslice([cx - r, cy - r, cx + r, cy + r], 0 if direction > 0 else 180,
                  180 if direction > 0 else 360, fill=fill)


def draw_border(image, scale, fill=255, fans=True):
    """Draws the double-rule stepped border onto an 'L' image sized 1024*scale x 768*scale
    (or any 4:3 size; `scale` is image width / 1024)."""
    draw = ImageDraw.Draw(image)
    w, h = image.size
    s = scale
    l, t = BORDER_INSET_X * s, BORDER_INSET_Y * s
    r, b = w - l, h - t
    step = CORNER_STEP * s
    _stroke_orthogonal(draw, _stepped_rectangle(l, t, r, b, step, 2), OUTER_RULE * s, fill)
    g = RULE_GAP * s
    _stroke_orthogonal(draw, _stepped_rectangle(l + g, t + g, r - g, b - g, step, 2),
                       INNER_RULE * s, fill)
    # A diamond sits in each corner notch, outside the stairs.
    for cx, sx in ((l, 1), (r, -1)):
        for cy, sy in ((t, 1), (b, -1)):
            _diamond(draw, cx + sx * step * 0.55, cy + sy * step * 0.55, 4.2 * s, fill)
    if fans:
        _fan(draw, w / 2, t + g + INNER_RULE * s, 1, s, fill)
        _fan(draw, w / 2, b - g - INNER_RULE * s, -1, s, fill)


def draw_divider(draw, cx, cy, half_width, scale, fill=255):
    """A thin rule broken by a diamond, with small diamonds at its ends."""
    s = scale
    gap = 16 * s
    thickness = 1.3 * s
    draw.rectangle([cx - half_width, cy - thickness / 2, cx - gap, cy + thickness / 2], fill=fill)
    draw.rectangle([cx + gap, cy - thickness / 2, cx + half_width, cy + thickness / 2], fill=fill)
    _diamond(draw, cx, cy, 7 * s, fill)
    _diamond(draw, cx - half_width - 6 * s, cy, 2.6 * s, fill)
    _diamond(draw, cx + half_width + 6 * s, cy, 2.6 * s, fill)


def draw_vertical_divider(draw, cx, cy, half_height, scale, fill=255):
    """The divider stood on end: a thin upright rule broken by a diamond."""
    s = scale
    gap = 16 * s
    thickness = 1.3 * s
    draw.rectangle([cx - thickness / 2, cy - half_height, cx + thickness / 2, cy - gap], fill=fill)
    draw.rectangle([cx - thickness / 2, cy + gap, cx + thickness / 2, cy + half_height], fill=fill)
    _diamond(draw, cx, cy, 7 * s, fill)
    _diamond(draw, cx, cy - half_height - 6 * s, 2.6 * s, fill)
    _diamond(draw, cx, cy + half_height + 6 * s, 2.6 * s, fill)


def draw_cartouche(draw, left, top, right, bottom, scale, fill=255):
    """A small frame in the border's manner, a double rule with one stair in each corner,
    for a name that should stand in a box of its own."""
    s = scale
    _stroke_orthogonal(draw, _stepped_rectangle(left, top, right, bottom, 11 * s, 1), 2.2 * s, fill)
    g = 6 * s
    _stroke_orthogonal(draw, _stepped_rectangle(left + g, top + g, right - g, bottom - g, 11 * s, 1),
                       1.0 * s, fill)
