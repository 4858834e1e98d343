#!/usr/bin/env bash
# The real show under Xvfb: it covers the screen, shows the right card at a
# known time, refuses a second copy, and ends at once on Escape with code 0.
# Usage: show.sh BUILD_DIR SOURCE_DIR (re-runs itself under Xvfb).
set -u
build=$(cd "$1" && pwd); source=$(cd "$2" && pwd)
. "$source/tests/e2e/lib/x11.bash"
under_xvfb 1280x720 240 "$0" "$build" "$source"
work=${NITRATE_E2E_KEEP:-$(mktemp -d)}; [ -z "${NITRATE_E2E_KEEP:-}" ] && trap 'rm -rf "$work"' EXIT; mkdir -p "$work"
export SDL_AUDIODRIVER=dummy

# Reference pictures of the 4-9 s card and its neighbours, from the capture tool.
"$build/nitrate-capture" --content "$source/content" --at 3.5,6.5,11.5 --out "$work" \
  --size 1280x720 --fps 16 >/dev/null 2>&1
check "capture tool wrote the reference pictures" test -f "$work/t6.5.png" -a -f "$work/t11.5.png"

(cd "$source/content" && exec "$build/nitrate" 2>"$work/stderr") &
show=$!
id=$(wait_for_window NITRATE 10)
check "the show opens its window" test -n "$id"
for _ in $(seq 1 50); do [ "$(map_state "$id")" = IsViewable ] && break; sleep 0.1; done
shown=$(date +%s.%N)  # the show clock starts right after the window is shown
geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
  /Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h "+" x "+" y}')
check "the window covers the screen (got $geometry)" test "$geometry" = "1280x720+0+0"

# Six and a half seconds into the show: the "presents" card.
sleep "$(awk -v s="$shown" -v now="$(date +%s.%N)" 'BEGIN { w = s + 6.5 - now; print (w > 0 ? w : 0) }')"
import -window root "$work/screen.png"
similarity() {  # lower is closer: RMSE of the greyscale pictures at a quarter size
  compare -metric RMSE \( "$1" -colorspace Gray -resize 320x180\! \) \
    \( "$2" -colorspace Gray -resize 320x180\! \) null: 2>&1 | awk '{print $1}'
}
right=$(similarity "$work/screen.png" "$work/t6.5.png")
before=$(similarity "$work/screen.png" "$work/t3.5.png")
after=$(similarity "$work/screen.png" "$work/t11.5.png")
check "the screen shows the 4-9 s card ($right vs $before and $after)" \
  awk -v r="$right" -v a="$before" -v b="$after" 'BEGIN { exit !(r < a && r < b) }'

# A second copy is refused before it makes a window.
(cd "$source/content" && exec "$build/nitrate" 2>"$work/second") &
second=$!
box=$(wait_for_window Error 10)
check "the second copy shows a box" test -n "$box"
check "the second copy makes no window" test "$(window_count NITRATE)" -eq 1
[ -n "$box" ] && dismiss "$box" "$second"
wait_exit "$second" 10; rc=$?
check "the second copy exits with -1 (got $rc)" test "$rc" -eq 255
check "the second copy says why" grep -qF "Error: Bad kind of error, error." "$work/second"

# Escape ends the show at once with exit code 0.
press Escape "$id"
wait_exit "$show" 2; rc=$?
check "Escape ends the show with 0 (got $rc)" test "$rc" -eq 0
check "the show wrote nothing to stderr" test ! -s "$work/stderr"

echo "$failures failed"
[ "$failures" -eq 0 ]
