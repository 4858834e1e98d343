#!/usr/bin/env bash
# The show under a real window manager (openbox): the window asks for
# fullscreen and topmost before it is mapped, so it covers the screen with
# no border from its first frame, has the focus, and still ends on Escape; a
# second copy's box opens over it, with the focus, even from a window manager
# that is slow to answer.
# Usage: window_manager.sh BUILD_DIR SOURCE_DIR (re-runs itself under Xvfb).
set -u
build=$(cd "$1" && pwd); source=$(cd "$2" && pwd)
. "$source/tests/e2e/lib/x11.bash"
under_xvfb 1024x768 120 "$0" "$build" "$source"
work=$(mktemp -d); busy=()
trap 'rm -rf "$work"; kill "${wm:-}" "${busy[@]}" 2>/dev/null' EXIT
export SDL_AUDIODRIVER=dummy

# At the lowest priority, so that with the cores busy below it handles a
# request only after those that follow it have arrived.
nice -n 19 openbox >/dev/null 2>&1 &
wm=$!
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
for _ in $(seq 1 100); do wm_running && break; sleep 0.1; done
check "openbox runs" wm_running

(cd "$source/content" && NITRATE_STATS=1 exec "$build/nitrate" 2>"$work/stderr") &
show=$!
id=$(wait_for_window NITRATE 10)
check "the show opens its window" test -n "$id"
for _ in $(seq 1 50); do [ "$(map_state "$id")" = IsViewable ] && break; sleep 0.1; done
sleep 1  # let the window manager settle
state=$(xprop -id "$id" _NET_WM_STATE 2>/dev/null)
check "the window asks for fullscreen and topmost ($state)" \
  grep -q "_NET_WM_STATE_FULLSCREEN, _NET_WM_STATE_ABOVE" <<<"$state"
geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
  /Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h "+" x "+" y}')
# A managed window with a title bar or a frame would sit lower or be smaller.
check "the window covers the screen (got $geometry)" test "$geometry" = "1024x768+0+0"
active_is() {  # active_is ID: the window manager's active window is ID
  local active; active=$(xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | awk '{print $NF}')
  [ -n "$active" ] && [ "$((active))" -eq "$(($1))" ]
}
for _ in $(seq 1 30); do active_is "$id" && break; sleep 0.1; done
check "the window has the focus" active_is "$id"

# Another window takes the focus: the show stays on screen and plays on.
xmessage -name other "another program" &
other_pid=$!
other=$(wait_for_window other 10)
[ -n "$other" ] && xdotool windowactivate "$other" >/dev/null 2>&1
for _ in $(seq 1 30); do active_is "${other:-0}" && break; sleep 0.1; done
check "another window can take the focus" active_is "${other:-0}"
check "the show stays on screen without the focus" test "$(map_state "$id")" = IsViewable
import -window root "$work/a.png"; sleep 0.3; import -window root "$work/b.png"
change=$(compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1 | awk '{print $1}')
check "and keeps playing: the picture moves ($change pixels changed)" test "${change%.*}" -gt 1000
kill "$other_pid" 2>/dev/null

# A second copy: its box must be seen over the topmost show, where the
# user can answer it, and Return then ends that copy with -1. The cores are
# kept busy meanwhile: the window manager then sees the box appear before it
# has given its owner the focus, unless the copy waited for that.
for _ in 1 2 3; do sh -c 'while :; do :; done' & busy+=($!); done
(cd "$source/content" && exec "$build/nitrate" 2>"$work/second") &
second=$!
box=$(wait_for_window Error 20)
check "a second copy shows its box" test -n "$box"
seen=
for _ in $(seq 1 20); do
  sleep 0.5
  geometry=$(xwininfo -id "${box:-0}" 2>/dev/null | awk '/Absolute upper-left X/ {x=$4}
    /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h "+" x "+" y}')
  import -window "${box:-0}" "$work/box.png" 2>/dev/null &&
    import -window root -crop "$geometry" +repage "$work/there.png" 2>/dev/null || continue
  differ=$(compare -metric AE "$work/box.png" "$work/there.png" null: 2>&1 | awk '{print int($1)}')
  [ "$differ" -lt 100 ] && { seen=1; break; }
done
check "above the show, as the screen shows it (box at $geometry, ${differ:-all} pixels differ)" \
  test -n "$seen"
active_is "${box:-0}" || sleep 1
check "with the focus" active_is "${box:-0}"
[ -n "$box" ] && xdotool key Return >/dev/null 2>&1
wait_exit "$second" 5; rc=$?
[ "$rc" -eq 124 ] && [ -n "$box" ] && { dismiss "$box" "$second"; wait_exit "$second" 5; }
check "Return ends the second copy with -1 (got $rc)" test "$rc" -eq 255
kill "${busy[@]}" 2>/dev/null; busy=()
check "and the show plays on" kill -0 "$show"

press Escape "$id"
wait_exit "$show" 3; rc=$?
check "Escape ends the show with 0 (got $rc)" test "$rc" -eq 0
check "the show reports its start-up" grep -q '^startup:' "$work/stderr"
echo "   $(grep -o 'fullscreen=[0-9.]*' "$work/stderr") ms to go fullscreen"

echo "$failures failed"
[ "$failures" -eq 0 ]
