#!/bin/bash
# How the scenes read through the real projector at 1920 x 1080: the star
# tunnel changes little from one film frame to the next (stars one can
# follow, not static), and the planes are a lit corridor with
# no black band across the horizon. Captures are taken a little after each
# film frame begins, so they show the frame's ordinary pass, not its first.
#   bash scene_looks.sh BUILD_DIR SOURCE_DIR   (exit 0: every check passes)
set -u
. "$(dirname "$0")/lib/pictures.bash"
picture_test_setup "$@"

# Five consecutive film frames in the middle of each tunnel, three moments of
# the planes' drift (its camera banks and bobs over the section).
frames() { awk -v s="$1" 'BEGIN { for (k = 0; k < 5; ++k) printf "%s%.4f", (k ? "," : ""), s + k / 16 + 0.03 }'; }
stars=$(frames 36.5)
bricks=$(frames 51.5)
planes="39.53,41.53,43.53"
if ! "$capture" --content "$source/content" --at "$stars,$bricks,$planes" --out "$out" --fps 16 \
    --size 1920x1080 >"$out/capture.log" 2>&1; then
  echo "capture failed:"; cat "$out/capture.log"; exit 1
fi

"$python" - "$out" "$stars" "$bricks" "$planes" <<'EOF'
import os
import sys

import numpy as np
from PIL import Image

folder, stars, bricks, planes = sys.argv[1], *(s.split(",") for s in sys.argv[2:])


def picture(time):
    """The 4:3 picture's inside (gate corners and frame line cut away), 0..1 of white."""
    path = os.path.join(folder, "t%s.png" % time)
    grey = np.asarray(Image.open(path).convert("L"), dtype=np.float64) / 255.0
    height, width = grey.shape
    left = (width - height * 4 // 3) // 2
    grey = grey[:, left:left + height * 4 // 3]
    h, w = grey.shape
    return grey[int(h * 0.08):int(h * 0.92), int(w * 0.08):int(w * 0.92)]


def change(times):
    """Mean absolute difference of consecutive film frames over their mean brightness."""
    pictures = [picture(t) for t in times]
    return np.mean([np.abs(a - b).mean() / ((a.mean() + b.mean()) / 2)
                    for a, b in zip(pictures, pictures[1:])])


failures = 0


def check(what, value, ok, wanted):
    global failures
    print("%-4s  %-58s %.3f%s" % ("ok" if ok else "FAIL", what, value, "" if ok else " (wanted " + wanted + ")"))
    failures += not ok


# Stars one can follow move a little from one film frame to the next, on a
# dark sky where the grain alone changes about a fifth of the picture's mean;
# stars redrawn at random each film frame would change it several times
# over. (Compared with the brick tunnel once, while its far end sparkled;
# now that it is filtered too the two change about alike.)
star_change, brick_change = change(stars), change(bricks)
check("star tunnel: change between film frames", star_change, star_change < 0.4, "below 0.4")
print("      %-58s %.3f" % ("(brick tunnel: change between film frames)", brick_change))
for time in planes:
    grey = picture(time)
    rows = grey.mean(axis=1)
    band = len(rows) // 10
    darkest = min(rows[i:i + band].mean() for i in range(len(rows) - band + 1))
    check("planes at %s s: mean brightness" % time, grey.mean(), grey.mean() >= 0.18, ">= 0.18")
    check("planes at %s s: darkest band a tenth of the picture high" % time, darkest,
          darkest >= 0.1, ">= 0.10, no black band")
sys.exit(1 if failures else 0)
EOF
picture_test_result $? "scene looks"
