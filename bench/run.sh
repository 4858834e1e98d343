#!/usr/bin/env bash
# make bench: the show under Xvfb at 1920 x 1080 on this machine's renderer,
# played RUNS times (default 3). For each run: the time from exec to the first
# presented frame, the main loop's passes per second over a stretch of the
# show, the slowest pass and the peak resident memory, and the machine's floor
# in the same run: the cheapest full-window pass (one texel fetch a pixel and
# a swap, bench/floor_main.cpp) at the same size, with the show's rate without
# pacing as a fraction of it, so that a figure means the same on a busier or
# a faster day. Then the median of each.
# Usage: bench/run.sh BUILD_DIR [SECONDS] [SIZE]
set -eu
build=$(cd "${1:-build}" && pwd)
seconds=${2:-40}
size=${3:-1920x1080}
runs=${RUNS:-3}
source=$(cd "$(dirname "$0")/.." && pwd)
. "$source/tests/e2e/lib/x11.bash"
under_xvfb "$size" $(( (seconds + 70) * runs + 120 )) "$0" "$build" "$seconds" "$size"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

# median: the middle of the numbers on standard input (the lower middle of an even count).
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

cd "$source/content"
for run in $(seq 1 "$runs"); do
  started=$(date +%s%N)
  NITRATE_STATS=1 SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} \
    /usr/bin/time -f "peak-rss-kb=%M" -o "$work/time" "$build/nitrate" 2>"$work/stderr" &
  show=$!
  id=$(wait_for_window NITRATE 20)
  sleep "$seconds"
  press Escape "$id" || true  # the show may have ended by itself
  wait "$show" || true

  stats=$(grep '^stats:' "$work/stderr")
  first=$(sed -n 's/.*first-present-unix-ns=\([0-9]*\).*/\1/p' <<<"$stats")
  [ "$run" = 1 ] && {
    echo "renderer:          $(sed -n 's/^renderer: //p' "$work/stderr")"
    echo "screen:            $size, $(nproc) cores, $runs runs of the first ${seconds} s of the show"
  }
  echo "run $run:"
  echo "  first frame:       $(( (first - started) / 1000000 )) ms after exec" | tee -a "$work/first"
  echo "  passes per second: $(sed -n 's/.* passes-per-second=\([0-9.]*\).*/\1/p' <<<"$stats")" | tee -a "$work/passes"
  # Where the swap cannot wait for the retrace (Xvfb), the show paces itself
  # to the display's rate; this is the rate it could run without those waits.
  echo "  without pacing:    $(sed -n 's/.*unpaced-rate=\([0-9.]*\).*/\1/p' <<<"$stats") passes per second" | tee -a "$work/unpaced"
  echo "  start-up steps:    $(grep '^startup:' "$work/stderr" | sed 's/^startup: //') (ms; + marks totals over all texture uploads, made in the first passes of the show)"
  floor=$("$build/bench/nitrate-floor" 5 | sed -n 's/.*passes-per-second=\([0-9.]*\).*/\1/p')
  unpaced=$(tail -n 1 "$work/unpaced" | awk '{print $3}')
  echo "  floor:             $floor passes per second (one texel fetch a pixel, same size)" | tee -a "$work/floor"
  echo "  of the floor:      $(awk -v s="$unpaced" -v f="$floor" 'BEGIN { printf "%.3f", (f > 0 ? s / f : 0) }')" | tee -a "$work/fraction"
  echo "  slowest pass:      $(sed -n 's/.*slowest-pass-ms=\([0-9.]*\).*/\1/p' <<<"$stats") ms" | tee -a "$work/slowest"
  echo "  peak memory:       $(( $(sed -n 's/peak-rss-kb=//p' "$work/time") / 1024 )) MB" | tee -a "$work/memory"
  echo "  load average:      $(cut -d' ' -f1-3 /proc/loadavg)"
done
echo "median of $runs runs:"
echo "  first frame:       $(awk '{print $3}' "$work/first" | median) ms"
echo "  passes per second: $(awk '{print $4}' "$work/passes" | median)"
echo "  without pacing:    $(awk '{print $3}' "$work/unpaced" | median) passes per second"
echo "  floor:             $(awk '{print $2}' "$work/floor" | median) passes per second"
echo "  of the floor:      $(awk '{print $4}' "$work/fraction" | median)"
echo "  slowest pass:      $(awk '{print $3}' "$work/slowest" | median) ms"
echo "  peak memory:       $(awk '{print $3}' "$work/memory" | median) MB"
