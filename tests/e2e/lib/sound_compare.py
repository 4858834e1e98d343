# Compares a recording of the show's sound with the music decoded directly.
# Both are raw float32 stereo at the same rate. The recording is cut into
# windows; each window is found in the music by cross-correlation near where
# the previous one was found. Checks that every window is found, in order
# (the lag between recording and music never shrinks: nothing skipped; at
# each gap it grows only by the silence recorded there: nothing repeated),
# and that no stretch of silence longer than --max-gap-ms stands where the
# music has sound. A window that is not the music due there is looked for in
# the whole music, so a replay of old samples (a late refill) is named as such.
# Usage: sound_compare.py RECORDING REFERENCE --rate R --seconds S
# Prints its figures; exit code 0 when every check holds, 1 otherwise.
import argparse
import sys

import numpy as np

WINDOW = 2048          # frames per window: 46 ms at 44100 Hz
SEARCH = 4096          # frames either side of the expected place
SOUND = 1e-4           # a sample above this is sound, not digital silence
SILENT_BLOCK = 64      # frames: silence is measured in blocks this long
WOBBLE = 16            # frames a correlation peak may move in periodic music


def mono(path):
    data = np.fromfile(path, dtype="<f4")
    data = data[: len(data) // 2 * 2].reshape(-1, 2)
    return data.mean(axis=1).astype(np.float64)


def best_match(window, reference, start):
    """Offset into reference (>= start) where window fits best, and the
    normalised correlation there."""
    segment = reference[start : start + len(window) + 2 * SEARCH]
    if len(segment) < len(window):
        return None, 0.0
    size = 1 << int(np.ceil(np.log2(len(segment) + len(window))))
    corr = np.fft.irfft(np.fft.rfft(segment, size) * np.conj(np.fft.rfft(window, size)), size)
    corr = corr[: len(segment) - len(window) + 1]
    energy = np.convolve(segment**2, np.ones(len(window)), mode="valid")
    norm = corr / np.sqrt(np.maximum(energy, 1e-20) * max(np.dot(window, window), 1e-20))
    at = int(np.argmax(norm))
    return start + at, float(norm[at])


def global_match(window, reference, cache={}):
    """Offset into the whole reference where window fits best, and the
    normalised correlation there. The reference's transform and running
    energy are computed once."""
    if cache.get("reference") is not reference:
        size = 1 << int(np.ceil(np.log2(len(reference) + len(window))))
        running = np.concatenate(([0.0], np.cumsum(reference**2)))
        cache.update(reference=reference, size=size, spectrum=np.fft.rfft(reference, size),
                     energy=running[len(window) :] - running[: -len(window)])
    size = cache["size"]
    corr = np.fft.irfft(cache["spectrum"] * np.conj(np.fft.rfft(window, size)), size)
    corr = corr[: len(reference) - len(window) + 1]
    norm = corr / np.sqrt(np.maximum(cache["energy"], 1e-20) * max(np.dot(window, window), 1e-20))
    at = int(np.argmax(norm))
    return at, float(norm[at])


def silent_runs(signal, begin, end):
    """(start, length) in frames of each run of whole silent blocks in
    signal[begin:end]."""
    count = (end - begin) // SILENT_BLOCK
    blocks = np.abs(signal[begin : begin + count * SILENT_BLOCK]).reshape(count, SILENT_BLOCK)
    quiet = blocks.max(axis=1) < SOUND
    runs, run_start = [], None
    for i, q in enumerate(np.append(quiet, False)):
        if q and run_start is None:
            run_start = i
        elif not q and run_start is not None:
            runs.append((begin + run_start * SILENT_BLOCK, (i - run_start) * SILENT_BLOCK))
            run_start = None
    return runs


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("recording")
    parser.add_argument("reference")
    parser.add_argument("--rate", type=int, required=True)
    parser.add_argument("--seconds", type=float, required=True,
                        help="how much of the music must have arrived")
    parser.add_argument("--max-gap-ms", type=float, default=50.0)
    parser.add_argument("--min-correlation", type=float, default=0.9)
    args = parser.parse_args()
    rec, ref = mono(args.recording), mono(args.reference)
    failures = []

    rec_sound = np.nonzero(np.abs(rec) > SOUND)[0]
    ref_sound = np.nonzero(np.abs(ref) > SOUND)[0]
    if len(rec_sound) == 0:
        print("FAIL the recording is silent")
        return 1
    # First alignment: the first sound of each, refined by correlation.
    first_lag = int(rec_sound[0] - ref_sound[0])
    offset, score = best_match(rec[rec_sound[0] : rec_sound[0] + WINDOW], ref,
                               max(0, int(ref_sound[0]) - SEARCH))
    if offset is None or score < args.min_correlation:
        print(f"FAIL the first sound is not the music's beginning (correlation {score:.3f})")
        return 1
    lag = int(rec_sound[0]) - offset
    print(f"music starts at recording frame {rec_sound[0]}, lag {lag} frames "
          f"(first-sound estimate {first_lag})")

    # Window by window over the wanted stretch of music.
    wanted_end = int(ref_sound[0]) + int(args.seconds * args.rate)
    pos = int(rec_sound[0])
    matches, worst_score, unmatched = [(pos, lag)], 1.0, []
    while pos + WINDOW <= len(rec) and pos - lag < wanted_end:
        window = rec[pos : pos + WINDOW]
        if np.abs(window).max() >= SOUND:
            offset, score = best_match(window, ref, max(0, pos - lag - SEARCH))
            if offset is None:
                break
            if score >= args.min_correlation:
                if pos - offset < lag - WOBBLE:
                    failures.append(f"music skipped: lag fell from {lag} to {pos - offset} "
                                    f"at frame {pos}")
                lag = pos - offset
                matches.append((pos, lag))
                worst_score = min(worst_score, score)
            elif not silent_runs(rec, pos, pos + WINDOW):
                # A window cut by a short gap matches worse; one without any
                # silence must be the music.
                unmatched.append((pos, score))
        pos += WINDOW
    # The silence after the recording's last sound is the show having ended
    # (or the music having stopped): it is not a gap, and no music arrived in it.
    pos = min(pos, int(rec_sound[-1]) + 1)
    reached = pos - lag - int(ref_sound[0])
    grown = lag - matches[0][1]
    print(f"windows matched: {len(matches) - 1}, worst correlation {worst_score:.4f}, "
          f"lag grew by {grown} frames, music covered {reached / args.rate:.2f} s")
    if reached < args.seconds * args.rate - WINDOW:
        failures.append(f"only {reached / args.rate:.2f} s of music arrived, "
                        f"{args.seconds:.2f} s wanted")
    for at, score in unmatched[:5]:
        # Where the window came from, if from anywhere in the music: a refill
        # that comes too late lets the device play the loop's old contents.
        lag_then = [l for p, l in matches if p <= at][-1]
        source, source_score = global_match(rec[at : at + WINDOW], ref)
        if source_score >= args.min_correlation:
            failures.append(f"window at frame {at} plays the music from "
                            f"{at - lag_then - source} frames earlier than due")
        else:
            failures.append(f"window at frame {at} is not the music (correlation {score:.3f})")

    # Silence inside the music: each run of silent blocks in the recording
    # where the music, at the same place, has sound.
    def lag_at(frame):
        return [l for p, l in matches if p <= frame][-1]
    runs = silent_runs(rec, int(rec_sound[0]), pos)
    gaps = []
    for start, length in runs:
        music = ref[max(0, start - lag_at(start)) : max(0, start - lag_at(start)) + length]
        if len(music) and np.abs(music).max() >= SOUND:
            gaps.append(length)
    longest = max(gaps, default=0) * 1000.0 / args.rate
    # A server that found a stream late plays silence and drops what comes
    # too late, so the lag grows by less than the silence put in.
    dropped = max(0, sum(gaps) - grown)
    print(f"gaps in the music: {len(gaps)}, longest {longest:.1f} ms, "
          f"total {sum(gaps) * 1000.0 / args.rate:.1f} ms, "
          f"music dropped {dropped * 1000.0 / args.rate:.1f} ms")
    if longest > args.max_gap_ms:
        failures.append(f"a gap of {longest:.1f} ms (more than {args.max_gap_ms:.0f} ms)")
    # The lag grows only by silence put in; growing more means music repeated.
    # Silence is counted in whole blocks, so each gap may hide up to two
    # blocks' worth at its edges (all of it, when shorter than that): each
    # step of the lag is weighed against the silence around it alone, with
    # that allowance for each gap there (one, where none was long enough to
    # be counted).
    for (p0, l0), (p1, l1) in zip(matches, matches[1:]):
        there = [n for s, n in runs if p0 <= s < p1 + WINDOW]
        silence = sum(there)
        if l1 - l0 > silence + 2 * SILENT_BLOCK * max(1, len(there)):
            failures.append(f"music repeated: lag grew by {l1 - l0} frames between frames "
                            f"{p0} and {p1 + WINDOW}, silence there only {silence}")

    if grown == 0:
        n = min(len(rec) - int(rec_sound[0]), args.rate)
        start = int(rec_sound[0])
        diff = np.abs(rec[start : start + n] - ref[start - lag : start - lag + n]).max()
        print(f"largest difference from the decoded music over its first second: {diff:.2e}")

    for f in failures:
        print("FAIL " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
