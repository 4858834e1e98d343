#!/bin/bash
# Film has no pixels: every scene section, captured at 1920 x 1080 where one
# scene pixel spans 9 x 9 screen pixels, is enlarged smoothly. The measure:
# the mean step between neighbouring screen pixels, folded by the screen
# position modulo the 9-pixel scene pitch. A picture enlarged by nearest
# texel puts all its steps on one of the nine phases (the squares' edges);
# a smooth one spreads them evenly. The largest phase may be at most 1.25
# times the median phase, across and down.
#   bash scene_smoothness.sh BUILD_DIR SOURCE_DIR   (exit 0: every check passes)
set -u
. "$(dirname "$0")/lib/pictures.bash"
picture_test_setup "$@"

# A moment inside each of the nine scene sections, just after a film frame
# began (its ordinary pass, not its darker first one); first a title card,
# enlarged smoothly from its own 1024 x 768, which any fair measure passes.
scenes="title-card:11.53 star-tunnel:36.53 planes:41.53 brick-tunnel:51.53 metaballs:61.53 cube:71.53
textured-cube:81.53 backwards-tunnel:91.53 mandelbrot:101.53 metaballs-again:111.53"
times=$(for s in $scenes; do printf '%s,' "${s#*:}"; done)
if ! "$capture" --content "$source/content" --at "${times%,}" --out "$out" --fps 16 \
    --size 1920x1080 >"$out/capture.log" 2>&1; then
  echo "capture failed:"; cat "$out/capture.log"; exit 1
fi

"$python" - "$out" $scenes <<'EOF'
import os
import sys

import numpy as np
from PIL import Image

folder, scenes = sys.argv[1], sys.argv[2:]
PITCH = 9            # screen pixels per scene pixel at 1920 x 1080
LIMIT = 1.25


def picture(time):
    """The 4:3 picture's inside (gate, corners and frame line cut away), 0..1 grey."""
    grey = np.asarray(Image.open(os.path.join(folder, "t%s.png" % time)).convert("L"),
                      dtype=np.float64) / 255.0
    height, width = grey.shape
    left = (width - height * 4 // 3) // 2
    return grey[int(height * 0.1):int(height * 0.9),
                left + int(height * 0.13):left + height * 4 // 3 - int(height * 0.13)]


def phase_ratio(steps, axis):
    """Largest over median of the mean step at each position modulo PITCH."""
    means = [np.take(steps, range(p, steps.shape[axis], PITCH), axis=axis).mean()
             for p in range(PITCH)]
    return max(means) / np.median(means)


failures = 0
for scene in scenes:
    name, time = scene.split(":")
    grey = picture(time)
    across = phase_ratio(np.abs(np.diff(grey, axis=1)), 1)
    down = phase_ratio(np.abs(np.diff(grey, axis=0)), 0)
    ok = max(across, down) <= LIMIT
    failures += not ok
    print("%-4s %-17s at %6s s: largest phase over the median %.2f across, %.2f down (limit %.2f)"
          % ("ok" if ok else "FAIL", name, time, across, down, LIMIT))
sys.exit(1 if failures else 0)
EOF
picture_test_result $? "scene smoothness"
