#!/usr/bin/python3
"""The image generators' own geometry: what the projector and the screen zoom assume of
the pictures. The byte comparison cannot catch a fault here once the faulty images have
been regenerated and committed; these checks can. Run with Debian's python3."""

import os
import sys
import unittest

import numpy as np
from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))

from images import cards, common, film, textures  # noqa: E402


class PackedNeighbours(unittest.TestCase):
    def test_green_is_the_right_neighbour_and_blue_the_one_below(self):
        grey = np.arange(6 * 4, dtype=np.uint8).reshape(6, 4) * 10
        packed = np.asarray(common.pack_neighbours(Image.fromarray(grey, "L")))
        self.assertTrue((packed[:, :, 0] == grey).all())
        self.assertTrue((packed[:, :-1, 1] == grey[:, 1:]).all())
        self.assertTrue((packed[:-1, :, 2] == grey[1:, :]).all())
        # The edges repeat their last texel, as the projector's clamp would.
        self.assertTrue((packed[:, -1, 1] == grey[:, -1]).all())
        self.assertTrue((packed[-1, :, 2] == grey[-1, :]).all())

        # Bands of three rows: the last row of each band keeps its own value below.
        banded = np.asarray(common.pack_neighbours(Image.fromarray(grey, "L"), band_height=3))
        self.assertTrue((banded[[2, 5], :, 2] == grey[[2, 5], :]).all())
        self.assertTrue((banded[[0, 1, 3, 4], :, 2] == grey[[1, 2, 4, 5], :]).all())


class DamageOverlays(unittest.TestCase):
    def test_a_mark_across_an_edge_comes_back_on_the_far_sides(self):
        overlay = film.Overlay(seed=1)
        size = overlay.size
        overlay.speck(2.0, 3.0, 6.0, 1.0)
        dark = np.asarray(overlay.dark)
        for y, x in ((3, 2), (3, size - 1), (size - 1, 2), (size - 1, size - 1)):
            self.assertGreater(dark[y, x], 0, (y, x))
        self.assertEqual(dark[size // 2, size // 2], 0)
        self.assertEqual(np.asarray(overlay.light).max(), 0)

    def test_each_kind_of_damage_decodes_as_the_projector_reads_it(self):
        # projector.fs: a byte v/255 below 64 blocks 0.9 - 3.6 v of the light, from 192 up
        # prints 3.4 v - 2.55 white, and between is grain 2 v - 0.5.
        step = np.linspace(0.0, 1.0, 41)
        none = np.zeros_like(step)
        light = film.overlay_code(0.1 + 0.75 * step, none, none + 0.5) / 255.0
        dark = film.overlay_code(none, 0.1 + 0.8 * step, none + 0.5) / 255.0
        grain = film.overlay_code(none, none, step) / 255.0
        self.assertTrue((light >= 192 / 255.0).all() and (dark < 64 / 255.0).all())
        self.assertTrue(((grain >= 64 / 255.0) & (grain < 192 / 255.0)).all())
        np.testing.assert_allclose(3.4 * light - 2.55, 0.1 + 0.75 * step, atol=3.4 / 510)
        np.testing.assert_allclose(0.9 - 3.6 * dark, 0.1 + 0.8 * step, atol=3.6 / 510)
        np.testing.assert_allclose(2 * grain - 0.5, step, atol=2.0 / 255)
        # Where both kinds meet, the stronger one wins.
        both = film.overlay_code(np.array([0.6, 0.3]), np.array([0.3, 0.6]), np.array([0.5, 0.5]))
        self.assertGreaterEqual(both[0], 192)
        self.assertLess(both[1], 64)


class MandelbrotView(unittest.TestCase):
    def test_the_zoom_ends_on_its_target_and_the_whole_set_fits(self):
        # The screen zoom closes in on texture coordinate (0.5, 0.75).
        self.assertEqual(textures.mandelbrot_point(0.5, 0.75), textures.ZOOM_TARGET)
        # The real axis runs down the image and the imaginary one across it.
        origin = textures.mandelbrot_point(0.5, 0.5)
        self.assertGreater(textures.mandelbrot_point(0.5, 0.6).real, origin.real)
        self.assertEqual(textures.mandelbrot_point(0.5, 0.6).imag, origin.imag)
        self.assertGreater(textures.mandelbrot_point(0.6, 0.5).imag, origin.imag)
        # The set spans -2 to about 0.471 on the real axis and about +-1.123 across.
        for c in (complex(-2.0, 0.0), complex(0.471, 0.0), complex(-0.2, 1.123),
                  complex(-0.2, -1.123)):
            v = (c.real - textures.ZOOM_TARGET.real) / textures.VIEW_SPAN + 0.75
            u = (c.imag - textures.ZOOM_TARGET.imag) / textures.VIEW_SPAN + 0.5
            self.assertTrue(0.0 < u < 1.0 and 0.0 < v < 1.0, c)
            self.assertAlmostEqual(textures.mandelbrot_point(u, v), c)


class CardLines(unittest.TestCase):
    def test_balanced_lines_keep_the_words_fit_and_use_no_more_lines_than_needed(self):
        words = "a march for the flicker house played by the pit orchestra of the old palace"

        def width(line):
            return cards._line_width(line, "serif", 40, 0.0)

        for max_width in (300, 500, 900, 2000):
            lines = cards.balanced_lines(words, "serif", 40, 0.0, max_width)
            self.assertEqual(" ".join(lines), words)
            for line in lines:
                self.assertLessEqual(width(line), max_width, line)
            # Filling each line as far as it goes needs the fewest lines there are.
            greedy = [[]]
            for word in words.split():
                if greedy[-1] and width(" ".join(greedy[-1] + [word])) > max_width:
                    greedy.append([])
                greedy[-1].append(word)
            self.assertEqual(len(lines), len(greedy), max_width)


if __name__ == "__main__":
    unittest.main()
