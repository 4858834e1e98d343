#!/usr/bin/python3
"""sound_compare.py on made-up recordings: a few short gaps a sound server put in must
pass, music played twice or skipped must not. Run with Debian's python3."""

import os
import subprocess
import sys
import tempfile
import unittest

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
RATE = 8000
SECONDS = 6


def music():
    """Noise shaped like music: nothing repeats, so every window has one place."""
    rng = np.random.default_rng(7)
    left = rng.uniform(-0.5, 0.5, RATE * (SECONDS + 2)).astype(np.float32)
    return np.stack([left, np.roll(left, 3)], axis=1)


def compare(recording, reference):
    with tempfile.TemporaryDirectory() as work:
        rec, ref = os.path.join(work, "rec.f32"), os.path.join(work, "ref.f32")
        recording.astype("<f4").tofile(rec)
        reference.astype("<f4").tofile(ref)
        done = subprocess.run([sys.executable, os.path.join(HERE, "sound_compare.py"), rec, ref,
                               "--rate", str(RATE), "--seconds", str(SECONDS - 1)],
                              capture_output=True, text=True, check=False)
        return done.returncode, done.stdout


def played(reference, cuts):
    """The reference after 2048 silent frames, changed at each (frame, kind, length):
    'gap' puts silence in and delays the rest, 'replay' plays the frames before it
    again, 'skip' leaves frames out."""
    parts, at = [np.zeros((2048, 2), np.float32)], 0
    for frame, kind, length in cuts:
        parts.append(reference[at:frame])
        at = frame
        if kind == "gap":
            parts.append(np.zeros((length, 2), np.float32))
        elif kind == "replay":
            parts.append(reference[frame - length : frame])
        else:
            at += length
    parts.append(reference[at:])
    return np.concatenate(parts)


class Comparison(unittest.TestCase):
    def test_short_gaps_each_cut_under_a_silent_block_pass(self):
        ref = music()
        # 120-frame gaps hold at most one whole 64-frame block of silence: each hides
        # up to two blocks' worth from the count, and three of them more than two.
        code, out = compare(played(ref, [(5000, "gap", 120), (15030, "gap", 120),
                                         (30070, "gap", 120)]), ref)
        self.assertEqual(code, 0, out)
        self.assertIn("gaps in the music: 3", out)

    def test_short_gaps_close_together_pass(self):
        ref = music()
        # Three gaps within two windows of each other: one step of the lag.
        code, out = compare(played(ref, [(12000, "gap", 120), (12700, "gap", 120),
                                         (13400, "gap", 120)]), ref)
        self.assertEqual(code, 0, out)

    def test_music_played_twice_fails_as_repeated(self):
        ref = music()
        code, out = compare(played(ref, [(12000, "replay", 1000)]), ref)
        self.assertEqual(code, 1, out)
        self.assertIn("music repeated", out)

    def test_a_replay_beside_a_gap_is_not_excused_by_it(self):
        ref = music()
        code, out = compare(played(ref, [(12000, "gap", 400), (22000, "replay", 600)]), ref)
        self.assertEqual(code, 1, out)
        self.assertIn("music repeated", out)

    def test_skipped_music_fails(self):
        ref = music()
        code, out = compare(played(ref, [(12000, "skip", 1000)]), ref)
        self.assertEqual(code, 1, out)
        self.assertIn("music skipped", out)

    def test_a_long_gap_fails(self):
        ref = music()
        code, out = compare(played(ref, [(12000, "gap", RATE // 10)]), ref)
        self.assertEqual(code, 1, out)
        self.assertRegex(out, r"FAIL a gap of 9\d\.\d ms")


if __name__ == "__main__":
    unittest.main()
