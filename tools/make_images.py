#!/usr/bin/python3
"""Writes all 24 images of the show into content/images/: the 15 title cards, the
handwriting reel, the film gate, four dust and scratch overlays, bricks, stars and the
Mandelbrot set. Run from anywhere with Debian's python3 (PIL and numpy from Debian).

Output is deterministic: fixed seeds, no metadata, fixed JPEG settings, so a rerun
gives byte-identical files. Exits non-zero with a message if a font or folder is missing.
--out DIR writes the images into DIR instead (the content check compares them there)."""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from images import cards, common, film, textures, writing  # noqa: E402

STEPS = [
    ("title cards", cards.make_cards),
    ("handwriting reel", writing.make_filmwriting),
    ("film gate", film.make_frame),
    ("dust and scratches", film.make_overlays),
    ("bricks", textures.make_brick),
    ("stars", textures.make_stars),
    ("Mandelbrot set", textures.make_mandelbrot),
]


def main():
    parser = argparse.ArgumentParser(description="Writes the show's 24 images.")
    parser.add_argument("--out", metavar="DIR", help="folder to write into (default content/images)")
    args = parser.parse_args()
    if args.out:
        common.set_output_dir(args.out)
    for label, step in STEPS:
        started = time.time()
        step()
        print("make_images: %-20s %5.1f s" % (label, time.time() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
