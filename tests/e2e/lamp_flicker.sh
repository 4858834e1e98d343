#!/bin/bash
# The lamp flickers without flashing: every pass at 60 a second through the
# fade-in and a second of every scene, the picture's mean relative luminance
# (linear light) makes at most three pairs of opposing changes of a tenth of
# white or more in any second (the general-flash limit), yet changes from
# pass to pass by at least 1 % of its mean on average, so the flicker is
# still seen. The burn-out (129-131 s) is left out: it is the one flash the
# README warns of.
#   bash lamp_flicker.sh BUILD_DIR SOURCE_DIR   (exit 0: every check passes)
set -u
. "$(dirname "$0")/lib/pictures.bash"
picture_test_setup "$@"

# name first-second seconds: the fade-in whole, then a second of each scene.
stretches="fade-in:0:2 star-tunnel:35:1 planes:40:1 brick-tunnel:50:1 metaballs:60:1 cube:70:1
cube-late:72.5:1 textured-cube:80:1 backwards-tunnel:90:1 mandelbrot:100:1 metaballs-again:110:1"
# Pass k of the show runs at exactly k / 60 s; asking for those times (printed
# in full) adds no pass of its own, so the lamp's draws are the show's.
times=$("$python" - $stretches <<'EOF'
import sys
times = []
for stretch in sys.argv[1:]:
    _, first, seconds = stretch.split(":")
    start = round(float(first) * 60)
    times += ["%.17g" % (k / 60) for k in range(start, start + round(float(seconds) * 60))]
print(",".join(times))
EOF
)
if ! "$capture" --content "$source/content" --at "$times" --out "$out" --fps 60 --size 320x240 \
    >"$out/capture.log" 2>&1; then
  echo "capture failed:"; cat "$out/capture.log"; exit 1
fi

"$python" - "$out" $stretches <<'EOF'
import os
import sys

import numpy as np
from PIL import Image

folder, stretches = sys.argv[1], sys.argv[2:]
FLASH = 0.1          # a tenth of white, in linear light
MOST_CHANGES = 6     # three pairs of opposing changes in any second


def luminance(time):
    """Mean relative luminance of the capture at `time`, 0..1 in linear light."""
    rgb = np.asarray(Image.open(os.path.join(folder, "t%.17g.png" % time)).convert("RGB"),
                     dtype=np.float64) / 255.0
    linear = np.where(rgb <= 0.04045, rgb / 12.92, ((rgb + 0.055) / 1.055) ** 2.4)
    return float((linear @ [0.2126, 0.7152, 0.0722]).mean())


def changes(values):
    """Indices where the luminance has come FLASH back from its last extreme:
    each is one change of a flash, the way flash counters find them."""
    found, rising = [], None
    high = low = values[0]
    for i, value in enumerate(values):
        if rising is None:
            high, low = max(high, value), min(low, value)
        elif rising:
            high = max(high, value)
        else:
            low = min(low, value)
        if rising is not False and high - value >= FLASH:
            found.append(i)
            rising, low = False, value
        elif rising is not True and value - low >= FLASH:
            found.append(i)
            rising, high = True, value
    return found


failures = 0
for stretch in stretches:
    name, first, seconds = stretch.split(":")
    start = round(float(first) * 60)
    times = [k / 60 for k in range(start, start + round(float(seconds) * 60))]
    values = [luminance(t) for t in times]
    found = changes(values)
    worst = max(sum(1 for j in found if times[i] <= times[j] < times[i] + 1.0)
                for i in range(len(times)))
    steps = np.abs(np.diff(values))
    spread = steps.mean() / np.mean(values)
    ok = worst <= MOST_CHANGES and (name == "fade-in" or spread >= 0.01)
    failures += not ok
    print("%-4s %-17s changes of a tenth of white in a second: %d at most (limit %d); "
          "largest step %.3f; pass-to-pass spread %.1f %% of the mean %.3f"
          % ("ok" if ok else "FAIL", name, worst, MOST_CHANGES, steps.max(), 100 * spread,
             np.mean(values)))
sys.exit(1 if failures else 0)
EOF
picture_test_result $? "lamp flicker"
