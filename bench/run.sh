#!/usr/bin/env bash
# make bench: the show under Xvfb at 1920 x 1080 on this machine's renderer.
# Prints the time from exec to the first presented frame, the main loop's
# passes per second over a stretch of the show, the slowest pass, and the
# peak resident memory.  Usage: bench/run.sh BUILD_DIR [SECONDS] [SIZE]
set -eu
build=$(cd "${1:-build}" && pwd)
seconds=${2:-40}
size=${3:-1920x1080}
source=$(cd "$(dirname "$0")/.." && pwd)
. "$source/tests/e2e/lib/x11.bash"
under_xvfb "$size" $((seconds + 300)) "$0" "$build" "$seconds" "$size"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

cd "$source/content"
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
echo "renderer:          $(glxinfo -B 2>/dev/null | awk -F': ' '/OpenGL renderer/ {print $2}')"
echo "screen:            $size, $(nproc) cores"
echo "first frame:       $(( (first - started) / 1000000 )) ms after exec"
echo "passes per second: $(sed -n 's/.*passes-per-second=\([0-9.]*\).*/\1/p' <<<"$stats") over the first ${seconds} s of the show"
echo "start-up steps:    $(grep '^startup:' "$work/stderr" | sed 's/^startup: //') (ms; + marks totals over all texture uploads, made in the first passes of the show)"
echo "slowest pass:      $(sed -n 's/.*slowest-pass-ms=\([0-9.]*\).*/\1/p' <<<"$stats") ms"
echo "peak memory:       $(( $(sed -n 's/peak-rss-kb=//p' "$work/time") / 1024 )) MB"
