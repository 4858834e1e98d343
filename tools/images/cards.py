"""Silent-film title cards: white lettering on a black card inside the Deco border.

Each card is a stack of blocks (a line of display capitals, a serif line, a divider,
the formula) laid out at SCALE times the final size, centred as a whole, and reduced
with a Lanczos filter so the edges of the letters are smooth."""

import numpy as np
from PIL import Image, ImageDraw, ImageFilter

from . import common, deco

CARD_W, CARD_H = 1024, 768
SCALE = 4
TEXT_MAX_W = 700          # wrapped lines stay well inside the inner rule
INK = 246                 # lettering a touch below full white, like printed titles


# --- blocks ----------------------------------------------------------------------------

def text(words, face, size, tracking=0.0, leading=1.18, wrap=True, space_after=0.0):
    """A paragraph: `size` in card pixels, `tracking` in ems added between letters,
    `space_after` in card pixels."""
    return {"kind": "text", "words": words, "face": face, "size": size,
            "tracking": tracking, "leading": leading, "wrap": wrap, "space_after": space_after}


def runs(parts, size, space_after=0.0):
    """One centred line built from (string, face, size factor, baseline rise in ems) runs;
    a bare number is a space of that many ems."""
    return {"kind": "runs", "parts": parts, "size": size, "space_after": space_after}


def divider(half_width=110, space_after=0.0, space_before=0.0):
    return {"kind": "divider", "half_width": half_width, "space_after": space_after,
            "space_before": space_before}


# --- measuring and wrapping --------------------------------------------------------------

def _line_width(line, face, size, tracking):
    f = common.font(face, size)
    if tracking == 0.0:
        return f.getlength(line)
    return sum(f.getlength(ch) for ch in line) + tracking * size * (len(line) - 1)


def balanced_lines(words, face, size, tracking, max_width):
    """Fewest lines that fit `max_width`; among those, the break that makes the lines most
    even (smallest longest line), so no line is left with a lonely word."""
    tokens = words.split()
    n = len(tokens)

    def width(i, j):
        return _line_width(" ".join(tokens[i:j]), face, size, tracking)

    for line_count in range(1, n + 1):
        best = None

        def search(start, remaining, breaks):
            nonlocal best
            if remaining == 1:
                w = width(start, n)
                if w <= max_width:
                    widths = [width(a, b) for a, b in zip([0] + breaks, breaks + [n])]
                    # Prefer even lines, and a first line that is not the shortest.
                    score = max(widths) + 0.15 * max(0.0, widths[-1] - widths[0])
                    if best is None or score < best[0]:
                        best = (score, list(breaks))
                return
            for cut in range(start + 1, n - remaining + 2):
                if width(start, cut) > max_width:
                    break
                search(cut, remaining - 1, breaks + [cut])

        search(0, line_count, [])
        if best is not None:
            cuts = [0] + best[1] + [n]
            return [" ".join(tokens[a:b]) for a, b in zip(cuts[:-1], cuts[1:])]
    common.fail("a single word is wider than the card: %r" % words)


# --- drawing ---------------------------------------------------------------------------

def _draw_tracked(draw, x, baseline, line, f, tracking_px, fill):
    if tracking_px == 0.0:
        draw.text((x, baseline), line, font=f, fill=fill, anchor="ls")
        return
    for ch in line:
        draw.text((x, baseline), ch, font=f, fill=fill, anchor="ls")
        x += f.getlength(ch) + tracking_px


def _block_metrics(block):
    """Height of a block in card pixels, including the space after it."""
    if block["kind"] == "divider":
        return block["space_before"] + 14 + block["space_after"]
    size = block["size"]
    if block["kind"] == "runs":
        f = common.font(block["parts"][0][1], size)
        ascent, descent = f.getmetrics()
        return ascent + descent + block["space_after"]
    f = common.font(block["face"], size)
    ascent, descent = f.getmetrics()
    lines = block["lines"]
    return ascent + descent + (len(lines) - 1) * size * block["leading"] + block["space_after"]


def _prepare(blocks):
    for block in blocks:
        if block["kind"] == "text":
            if block["wrap"]:
                block["lines"] = balanced_lines(block["words"], block["face"], block["size"],
                                                block["tracking"], TEXT_MAX_W)
            else:
                block["lines"] = [block["words"]]
    return blocks


def render_card(blocks, optical_lift=14):
    """Renders one card from a stack of blocks and returns it as an RGB image of CARD_W x CARD_H.
    `blocks` may also be a function that draws a free layout: it gets the lettering layer's
    ImageDraw and the scale, and places everything itself in card pixels times the scale."""
    s = SCALE
    lettering = Image.new("L", (CARD_W * s, CARD_H * s), 0)
    draw = ImageDraw.Draw(lettering)
    if callable(blocks):
        blocks(draw, s)
    else:
        _draw_blocks(draw, _prepare(blocks), s)
    # A stack is centred line by line already; a free layout is centred as a whole by its ink.
    return _finish(lettering, optical_lift, centre_across=callable(blocks))


def _draw_blocks(draw, blocks, s):
    y = 0.0
    cx = CARD_W / 2.0
    for block in blocks:
        if block["kind"] == "divider":
            y += block["space_before"]
            deco.draw_divider(draw, cx * s, (y + 7) * s, block["half_width"] * s, s, fill=INK)
            y += 14 + block["space_after"]
            continue
        if block["kind"] == "runs":
            size = block["size"]
            base_font = common.font(block["parts"][0][1], size)
            ascent, descent = base_font.getmetrics()
            pieces = []
            for part in block["parts"]:
                if isinstance(part, (int, float)):
                    pieces.append((None, part * size * s, 0.0))
                    continue
                string, face, factor, rise = part
                f = common.font(face, size * factor * s)
                pieces.append((string, f, rise * size * s))
            width = sum(f if st is None else f.getlength(st) for st, f, _ in pieces)
            x = cx * s - width / 2.0
            baseline = (y + ascent) * s
            for string, f, rise in pieces:
                if string is None:
                    x += f
                    continue
                draw.text((x, baseline - rise), string, font=f, fill=INK, anchor="ls")
                x += f.getlength(string)
            y += ascent + descent + block["space_after"]
            continue
        size = block["size"]
        f_card = common.font(block["face"], size)
        ascent, descent = f_card.getmetrics()
        f = common.font(block["face"], size * s)
        tracking_px = block["tracking"] * size * s
        baseline = y + ascent
        for line in block["lines"]:
            width = _line_width(line, block["face"], size * s, block["tracking"])
            _draw_tracked(draw, cx * s - width / 2.0, baseline * s, line, f, tracking_px, INK)
            baseline += size * block["leading"]
        y += _block_metrics(block)


def _finish(lettering, optical_lift, centre_across):
    """Centres the lettering's ink in the border (across too if asked), reduces the card and
    ages it."""
    s = SCALE
    canvas = Image.new("L", lettering.size, 0)
    deco.draw_border(canvas, s, fill=INK)
    # Centre the ink, not the font boxes (their ascent and descent leave uneven air), a little
    # above the geometric middle, where the eye puts the centre.
    left, top, right, bottom = lettering.getbbox()
    shift_x = round(CARD_W / 2.0 * s - (left + right) / 2.0) if centre_across else 0
    shift_y = round(((CARD_H / 2.0 - optical_lift) * s) - (top + bottom) / 2.0)
    canvas.paste(lettering, (shift_x, shift_y), lettering)
    card = common.downsample(canvas, s)
    return age(card)


def age(card, seed=1927):
    """Adds the faint unevenness of a printed card: blotchy emulsion in the black that stays
    within a few levels of black, and a slight falloff in the white lettering."""
    rng = np.random.default_rng(seed)
    ink = np.asarray(card, dtype=np.float64) / 255.0
    h, w = ink.shape
    blotches = common.value_noise(rng, w, h, 90 * w / CARD_W)
    grain = rng.standard_normal((h, w))
    black = 0.006 + 0.010 * blotches + 0.0035 * grain
    black = np.clip(black, 0.0, 0.03)
    fade = 0.94 + 0.06 * common.value_noise(rng, w, h, 160 * w / CARD_W)
    # A breath of halation: light from the letters bleeding into the emulsion around them.
    glow = np.asarray(card.filter(ImageFilter.GaussianBlur(6 * w / CARD_W)), dtype=np.float64) / 255.0
    value = ink * fade + (1.0 - ink) * black + 0.05 * glow * (1.0 - ink)
    value = np.clip(value, 0.0, 1.0)
    # Warm the silver ever so slightly; the projector tones it further.
    rgb = np.stack([value * 1.0, value * 0.985, value * 0.955], axis=-1)
    return common.to_image(rgb)


# --- the cards of the show ---------------------------------------------------------------

ELLIPSIS = "\u2026"

# z <- z^2 + c as a maths typesetter sets it, all in the one maths face: italic letters from
# the mathematical alphabet, a thick space about the relation, a medium one about the binary
# plus, and the square at script size (70 %) raised by the face's superscript shift.
MATH_Z, MATH_C = "\U0001D467", "\U0001D450"
THICK, MEDIUM = 5.0 / 18.0, 4.0 / 18.0
FORMULA = [(MATH_Z, "math", 1.0, 0.0), THICK, ("\u2190", "math", 1.0, 0.0), THICK,
           (MATH_Z, "math", 1.0, 0.0), 0.02, ("2", "math", 0.7, 0.363), MEDIUM,
           ("+", "math", 1.0, 0.0), MEDIUM, (MATH_C, "math", 1.0, 0.0)]


def _write(draw, s, x, baseline, string, face, size, tracking=0.0, align="centre"):
    """One line at a baseline, in card pixels; `align` says where x is. Returns its width."""
    width = _line_width(string, face, size, tracking)
    left = {"left": x, "centre": x - width / 2.0, "right": x - width}[align]
    _draw_tracked(draw, left * s, baseline * s, string, common.font(face, size * s),
                  tracking * size * s, INK)
    return width


# The three credits follow one another, so each has a layout of its own: a cut between them
# should read as a new card, not as the same slide with other words. Positions are in card
# pixels around the middle; the whole is then centred by its ink.

def _projectionist(draw, s):
    """A tall stack: the role, the divider, a small tracked article between rules, and the
    name as the biggest word of the credits."""
    cx = CARD_W / 2.0
    _write(draw, s, cx, 292, "Programming", "serif-italic", 56)
    deco.draw_divider(draw, cx * s, 324 * s, 110 * s, s, fill=INK)
    article = _write(draw, s, cx, 392, "THE", "display", 46, tracking=0.4)
    rule_y = 392 - 16
    for side in (-1, 1):
        near = cx + side * (article / 2.0 + 22)
        far = near + side * 70
        draw.rectangle([min(near, far) * s, (rule_y - 0.65) * s, max(near, far) * s,
                        (rule_y + 0.65) * s], fill=INK)
    _write(draw, s, cx, 522, "PROJECTIONIST", "display-bold", 128, tracking=0.05)


def _set_painter(draw, s):
    """Two columns about an upright divider: the role on the left, the name on the right."""
    cx = CARD_W / 2.0 - 60
    _write(draw, s, cx - 40, 418, "Pictures", "serif-italic", 92, align="right")
    deco.draw_vertical_divider(draw, cx * s, 390 * s, 122 * s, s, fill=INK)
    _write(draw, s, cx + 42, 372, "THE SET", "display", 112, tracking=0.08, align="left")
    _write(draw, s, cx + 42, 482, "PAINTER", "display", 112, tracking=0.08, align="left")


def _pit_orchestra(draw, s):
    """The name framed in a cartouche, the role breaking into its top rule like a label."""
    cx = CARD_W / 2.0
    name_size, tracking = 94, 0.07
    name_w = _line_width("THE PIT ORCHESTRA", "display", name_size, tracking)
    left, right = cx - name_w / 2.0 - 42, cx + name_w / 2.0 + 42
    top, bottom = 330, 530
    deco.draw_cartouche(draw, left * s, top * s, right * s, bottom * s, s, fill=INK)
    role_size = 80
    role_w = _line_width("Music", "serif-italic", role_size, 0.0)
    # Clear the rules where the role sits, with a diamond to close each cut end.
    draw.rectangle([(cx - role_w / 2.0 - 30) * s, (top - 8) * s, (cx + role_w / 2.0 + 30) * s,
                    (top + 12) * s], fill=0)
    for side in (-1, 1):
        x = cx + side * (role_w / 2.0 + 22)
        deco._diamond(draw, x * s, (top + 3) * s, 4.2 * s, INK)
    # The role's x-height straddles the rules.
    _write(draw, s, cx, top + 20, "Music", "serif-italic", role_size)
    _write(draw, s, cx, 472, "THE PIT ORCHESTRA", "display", name_size, tracking=tracking)


def card_blocks():
    """Every card of the show, by file name, in running order."""
    return {
        "present.jpg": [
            text("The Flicker House", "display", 112, tracking=0.02, wrap=False, space_after=8),
            divider(120, space_after=22),
            text("presents", "serif-italic", 50, wrap=False),
        ],
        "title.jpg": [
            text("NITRATE", "display-bold", 196, tracking=0.12, wrap=False, space_after=4),
            divider(150, space_after=30),
            text("a motion picture in sixteen frames per second", "serif-italic", 46),
        ],
        "veldrin.jpg": _projectionist,
        "tarn4.jpg": _set_painter,
        "mus.jpg": _pit_orchestra,
        "definition.jpg": [
            runs([("de\u00b7mo", "serif-bold", 1.0, 0.0),
                  ("  (n.)", "serif-italic", 0.56, 0.0)], 96, space_after=6),
            divider(130, space_after=30),
            text("a picture show that is computed while you watch it", "serif-italic", 54),
        ],
        "puntz.jpg": [
            text("MEANWHILE" + ELLIPSIS, "display", 150, tracking=0.10, wrap=False),
        ],
        "dumdeedum.jpg": [
            text("Dum dee dum" + ELLIPSIS, "serif-italic", 92, wrap=False, space_after=10),
            divider(120, space_after=30),
            text("The management begs your patience.", "serif", 46),
        ],
        "gazillion.jpg": [
            text("Now with a", "serif-italic", 58, wrap=False, space_after=6),
            text("GAZILLION BRICKS!", "display", 110, tracking=0.06, wrap=False),
        ],
        "lookcube.jpg": [
            text("You have been looking at a cube.", "serif", 74, leading=1.25),
        ],
        "math.jpg": [
            text("And now" + ELLIPSIS, "serif-italic", 62, wrap=False, space_after=16),
            text("MATHEMATICS", "display", 140, tracking=0.10, wrap=False),
        ],
        "tmandel.jpg": [
            text("That was the Mandelbrot set.", "serif", 60, space_after=12),
            divider(120, space_after=24),
            runs(FORMULA, 104),
        ],
        "greets1.jpg": [
            text("Greetings", "display", 116, tracking=0.04, wrap=False, space_after=10),
            divider(110, space_after=26),
            text("to the projectionists, the pianists and the ushers", "serif-italic", 54),
        ],
        "greets2.jpg": [
            text(ELLIPSIS + "and to everyone who still makes pictures move", "serif-italic", 66,
                 leading=1.25),
        ],
        "theend.jpg": [
            divider(150, space_after=34),
            text("THE END", "display", 190, tracking=0.16, wrap=False, space_after=20),
            divider(150),
        ],
    }


def make_cards():
    for name, blocks in card_blocks().items():
        common.save_packed_jpeg(render_card(blocks), name)
