#!/bin/bash
# How a title card and the burn-out read through the real projector: the
# card's black is film base (3-6 % of white) with grain alive in it that
# changes every film frame, the vignette and the gate's rounded corners show;
# a 4K capture matches the 1080p one in level and grain (both sized to the
# picture) and its lettering is enlarged smoothly, without stair-steps; the
# burn-out's first pass is a white-hot hole with a scorched warm rim, not a
# flat white field. The film writing is still being written at 2.53 s and
# whole by 3.28 s, so the word holds before the cut; the three credit cards
# that follow one another are laid out differently, so each cut is a new card.
#   bash card_look.sh BUILD_DIR SOURCE_DIR   (exit 0: every check passes)
set -u
. "$(dirname "$0")/lib/pictures.bash"
picture_test_setup "$@"

# Two consecutive film frames of "presents" (ordinary passes), the same card
# at 4K (the same passes, so the same flicker and overlay), and the first pass
# of the burn-out (the show's first pass after 129 s).
shoot() {  # shoot FOLDER SIZE FPS TIMES
  if ! "$capture" --content "$source/content" --out "$out/$1" --size "$2" --fps "$3" --at "$4" \
      >"$out/$1.log" 2>&1; then
    echo "capture failed:"; cat "$out/$1.log"; exit 1
  fi
}
shoot hd 1920x1080 8 6.53,6.5925
shoot uhd 3840x2160 8 6.53
shoot burn 1920x1080 2 129.0
shoot sequence 1920x1080 8 2.53,3.28,3.97,16,21,26

"$python" - "$out" <<'PYEOF'
import sys

import numpy as np
from PIL import Image

folder = sys.argv[1]


def picture(name):
    """The 4:3 picture of a capture, RGB in 0..1 of white."""
    rgb = np.asarray(Image.open("%s/%s.png" % (folder, name)).convert("RGB"), dtype=np.float64) / 255.0
    height, width = rgb.shape[:2]
    left = (width - height * 4 // 3) // 2
    return rgb[:, left:left + height * 4 // 3]


def luma(rgb):
    return rgb @ np.array([0.299, 0.587, 0.114])


def region(a, x0, x1, y0, y1):
    """Part of a picture, in fractions of its width and height."""
    h, w = a.shape[:2]
    return a[int(h * y0):int(h * y1), int(w * x0):int(w * x1)]


def flat(patch):
    """A flat patch without the rare dust speck or scratch that lands on it."""
    low, high = np.percentile(patch, [0.5, 99.5])
    return patch[(patch >= low) & (patch <= high)]


def grain(patch):
    return flat(patch).std()


failures = 0


def check(what, value, ok, wanted):
    global failures
    print("%-4s  %-56s %.4f%s" % ("ok" if ok else "FAIL", what, value, "" if ok else " (wanted " + wanted + ")"))
    failures += not ok


card, next_card = luma(picture("hd/t6.53")), luma(picture("hd/t6.5925"))
# Empty black below "presents", and the same height near the card's left edge.
black, next_black = region(card, 0.35, 0.65, 0.66, 0.8), region(next_card, 0.35, 0.65, 0.66, 0.8)
check("card black level", black.mean(), 0.03 <= black.mean() <= 0.06, "0.03 to 0.06")
check("grain in the black (deviation)", grain(black), grain(black) >= 0.01, ">= 0.01")
change = np.abs(black - next_black).mean()
check("grain changes between film frames", change, change >= 0.008, ">= 0.008")
edge = region(card, 0.1, 0.16, 0.66, 0.8).mean()
check("vignette: black near the edge over black in the middle", edge / black.mean(),
      edge < 0.9 * black.mean(), "< 0.9")
corner = region(card, 0.0, 0.03, 0.0, 0.04).mean()
check("gate corner over the card's black", corner / black.mean(), corner < 0.5 * black.mean(), "< 0.5")

uhd = luma(picture("uhd/t6.53"))
h, w = uhd.shape[0] // 2 * 2, uhd.shape[1] // 2 * 2
halved = uhd[:h, :w].reshape(h // 2, 2, w // 2, 2).mean(axis=(1, 3))
uhd_black = region(halved, 0.35, 0.65, 0.66, 0.8)
level = flat(uhd_black).mean() - flat(black).mean()
check("4K halved: black level minus 1080p's", level, abs(level) <= 0.006, "within 0.006")
ratio = grain(uhd_black) / grain(black)
check("4K halved: grain over 1080p's grain", ratio, 0.6 <= ratio <= 1.5, "0.6 to 1.5")


def clump(patch):
    """How alike horizontal neighbours are: grain clumps a few pixels wide give
    a high value, grain a pixel wide next to none."""
    a = np.clip(patch, *np.percentile(patch, [0.5, 99.5]))
    a = a - a.mean()
    return (a[:, 1:] * a[:, :-1]).mean() / (a * a).mean()


size = clump(uhd_black) - clump(black)
check("4K halved: grain clumps minus 1080p's (same size)", size, abs(size) <= 0.15, "within 0.15")
# Across "The Flicker House" at 4K a card texel spans 2.8 pixels: enlarged
# smoothly, no step between neighbouring pixels comes near the lettering's
# full contrast (nearest texels give steps of about 0.8).
steps = np.abs(np.diff(region(uhd, 0.15, 0.85, 0.36, 0.46), axis=1))
step = np.percentile(steps, 99.9)
check("4K lettering: largest steps between pixels (99.9th pct)", step, step < 0.5, "< 0.5")


def ink(name, x0, x1, y0, y1):
    """Where the lettering is, against the picture's own brightest: the lamp
    flickers from pass to pass."""
    patch = region(luma(picture(name)), x0, x1, y0, y1)
    return patch > 0.5 * np.percentile(patch, 99.5)


whole = ink("sequence/t3.97", 0.15, 0.85, 0.25, 0.75)
for time, test, wanted in (("2.53", lambda share: share < 0.6, "< 0.6, still writing"),
                           ("3.28", lambda share: share >= 0.95, ">= 0.95, the word whole")):
    share = (ink("sequence/t" + time, 0.15, 0.85, 0.25, 0.75) & whole).sum() / whole.sum()
    check("film writing: share of the finished word inked at %s s" % time, share, test(share), wanted)


def rows(mask):
    """Share of inked pixels in each row, smoothed over about a line of text's stem."""
    return np.convolve(mask.mean(axis=1), np.ones(15) / 15, mode="same")


# Inside the border, which all cards share; one layout moved to other words
# keeps its lines at the same heights (about 0.98 alike).
credits = {t: rows(ink("sequence/t" + t, 0.14, 0.86, 0.16, 0.84)) for t in ("16", "21", "26")}
for a, b in (("16", "21"), ("21", "26")):
    alike = np.corrcoef(credits[a], credits[b])[0, 1]
    check("credits at %s and %s s: rows of lettering alike" % (a, b), alike, alike < 0.8,
          "< 0.8, a new layout")

burn = picture("burn/t129.0")
burn_luma = luma(burn)
centre = region(burn_luma, 0.45, 0.55, 0.45, 0.55).mean()
check("burn-out: middle is white-hot", centre, centre > 0.95, "> 0.95")
white = (burn_luma > 0.95).mean()
check("burn-out: share of the picture that is white", white, white < 0.7, "< 0.7, not a flat field")
warm = ((burn[..., 0] - burn[..., 2] > 0.25) & (burn_luma > 0.15) & (burn_luma < 0.85)).mean()
check("burn-out: share of scorched warm film", warm, warm > 0.05, "> 0.05")
sys.exit(1 if failures else 0)
PYEOF
picture_test_result $? "card looks"
