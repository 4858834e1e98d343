#!/usr/bin/env bash
# The show on a Wayland desktop: Debian's weston, each instance in a private
# runtime directory.
# - Headless backend (no seat: no keyboard, no pointer) with XWayland: the
#   window covers the compositor's output, plays, and SIGTERM ends it with 0.
#   No key can arrive there, and an XTest key makes Xwayland 22.1 crash.
# - The same compositor for SDL's own Wayland driver: refused with a reason
#   and -1 (SDL 2.26 crashes on a compositor without a seat).
# - The X11 backend nested in Xvfb, which gives weston a real seat: through
#   XWayland and through SDL's Wayland driver the show covers the output,
#   plays, and Escape typed into the compositor ends it with 0; through
#   XWayland a second copy's box shows over the show and Return answers it.
# Usage: wayland_desktop.sh BUILD_DIR SOURCE_DIR (re-runs itself under Xvfb).
# Skipped (exit 77) when weston cannot start here at all.
set -u
build=$(cd "$1" && pwd); source=$(cd "$2" && pwd)
. "$source/tests/e2e/lib/x11.bash"
under_xvfb 1280x1024 200 "$0" "$build" "$source"
work=$(mktemp -d)
compositors=()
cleanup() {
  [ -n "${show:-}" ] && kill -KILL "$show" 2>/dev/null
  for pid in "${compositors[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
export SDL_AUDIODRIVER=dummy
xvfb=$DISPLAY
size=1024x768  # the compositor's output, smaller than the Xvfb screen

# start_weston NAME BACKEND-ARGS...: starts weston with XWayland in its own
# runtime directory $work/NAME; sets $runtime and $xwayland (the X display).
# Fails when the compositor does not come up within 10 s.
start_weston() {
  local name=$1; shift
  runtime=$work/$name; xwayland=
  mkdir -m 700 "$runtime"
  XDG_RUNTIME_DIR=$runtime weston "$@" --xwayland --socket=wayland-show --idle-time=0 \
    --width=${size%x*} --height=${size#*x} --log="$runtime/weston.log" 2>/dev/null &
  compositors+=($!)
  for _ in $(seq 1 100); do
    xwayland=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$runtime/weston.log" 2>/dev/null)
    [ -n "$xwayland" ] && [ -S "$runtime/wayland-show" ] && return 0
    sleep 0.1
  done
  return 1
}

# start_show VAR=VALUE...: the show with these settings, stderr in
# $work/stderr; sets $show.
start_show() {
  (cd "$source/content" && exec env "$@" NITRATE_STATS=1 "$build/nitrate" 2>"$work/stderr") &
  show=$!
}

# rate: the last show's passes per second, from its own figures.
rate() { grep -o 'passes-per-second=[0-9.]*' "$work/stderr" | sed 's/^/   /'; }

# wait_exit_keep PID SECONDS: as wait_exit, but a process still running is
# left running (124).
wait_exit_keep() {
  for _ in $(seq 1 $(( $2 * 10 ))); do
    kill -0 "$1" 2>/dev/null || { wait "$1"; return $?; }
    sleep 0.1
  done
  return 124
}

# geometry ID: WxH+X+Y of an X window.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h "+" x "+" y}'
}

# changed A B: how many pixels differ between two pictures.
changed() { compare -metric AE "$1" "$2" null: 2>&1 | awk '{print int($1)}'; }

# moving ID: the picture in window ID changes within 0.5 s (it plays).
moving() {
  import -window "$1" "$work/a.png" && sleep 0.5 && import -window "$1" "$work/b.png" &&
    [ "$(changed "$work/a.png" "$work/b.png")" -gt 1000 ]
}

if ! start_weston headless --backend=headless-backend.so; then
  echo "skipped: weston's headless backend cannot start here: $(tail -n 3 "$runtime/weston.log" 2>/dev/null)"
  exit 77
fi

echo "-- headless weston, XWayland on $xwayland"
start_show DISPLAY="$xwayland" SDL_VIDEODRIVER=x11 XDG_RUNTIME_DIR="$runtime"
export DISPLAY=$xwayland
id=$(wait_for_window NITRATE 30)
check "the show opens its window on XWayland" test -n "$id"
for _ in $(seq 1 50); do [ "$(map_state "$id")" = IsViewable ] && break; sleep 0.1; done
sleep 1
check "the window covers the output ($(geometry "$id"))" test "$(geometry "$id")" = "$size+0+0"
check "the compositor made it fullscreen" grep -q _NET_WM_STATE_FULLSCREEN <<<"$(xprop -id "$id" _NET_WM_STATE)"
check "it plays: the picture moves" moving "$id"
kill -TERM "$show"
wait_exit "$show" 3; rc=$?
check "SIGTERM ends it with 0 (got $rc)" test "$rc" -eq 0
rate
x_up() { xdpyinfo -display "$1" >/dev/null 2>&1; }
check "the X server stayed up" x_up "$xwayland"
export DISPLAY=$xvfb

echo "-- headless weston, SDL's Wayland driver"
start_show -u DISPLAY SDL_VIDEODRIVER=wayland XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=wayland-show
wait_exit_keep "$show" 10; rc=$?
if [ "$rc" -eq 124 ]; then
  # Where zenity is installed (mutter brings it), SDL shows the box through
  # it, and with no seat nobody can answer it: it is closed here instead.
  boxes=$(pgrep -P "$show")
  echo "   the refusal's box is up (zenity: pid ${boxes:-none}); closing it"
  [ -n "$boxes" ] && kill $boxes
  wait_exit "$show" 10; rc=$?
fi
check "a compositor without a seat is refused with -1 (got $rc)" test "$rc" -eq 255
check "and the reason is given" grep -q "offers no seat" "$work/stderr"
check "with the start-up message" grep -qx "Error: Bad kind of error, error." "$work/stderr"

if ! start_weston nested --backend=x11-backend.so --use-pixman; then
  echo "FAIL weston's X11 backend does not start: $(tail -n 3 "$runtime/weston.log")"
  exit 1
fi
output=
for _ in $(seq 1 100); do
  output=$(xwininfo -root -tree | awk '/"Weston Compositor - screen0"/ { print $1; exit }')
  [ -n "$output" ] && break; sleep 0.1
done
if [ -z "$output" ]; then
  echo "FAIL weston's X11 backend shows no output window"; exit 1
fi
seat() { XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=wayland-show weston-info 2>/dev/null | grep -q "'wl_seat'"; }
check "weston runs nested in Xvfb, with a seat" seat
sleep 1
import -window "$output" "$work/desktop.png"

# escape_ends WHAT: types Escape into the compositor's window; the show must
# end with 0. On a loaded machine a pass can take a second under the
# software renderer, hence the margin; the time taken is printed.
escape_ends() {
  local pressed; pressed=$(date +%s.%N)
  press Escape "$output"
  wait_exit "$show" 10; rc=$?
  check "$1: Escape ends it with 0 (got $rc after $(awk -v p="$pressed" -v n="$(date +%s.%N)" \
    'BEGIN { printf "%.2f", n - p }') s)" test "$rc" -eq 0
  rate
}

echo "-- nested weston, XWayland on $xwayland"
start_show DISPLAY="$xwayland" SDL_VIDEODRIVER=x11 XDG_RUNTIME_DIR="$runtime"
id=$(DISPLAY=$xwayland wait_for_window NITRATE 30)
check "the show opens its window on XWayland" test -n "$id"
sleep 1.5
check "the window covers the output ($(DISPLAY=$xwayland geometry "$id"))" \
  test "$(DISPLAY=$xwayland geometry "$id")" = "$size+0+0"
check "it plays: the output moves" moving "$output"
# A second copy: its box must show on the output over the topmost show (the
# box's own picture where XWayland says it is), and Return answers it.
(cd "$source/content" && exec env DISPLAY="$xwayland" SDL_VIDEODRIVER=x11 \
  XDG_RUNTIME_DIR="$runtime" "$build/nitrate" 2>"$work/second") &
second=$!
box=$(DISPLAY=$xwayland wait_for_window Error 20)
seen= differ=all
for _ in $(seq 1 20); do
  [ -n "$box" ] || break
  sleep 0.5
  where=$(DISPLAY=$xwayland geometry "$box")
  DISPLAY=$xwayland import -window "$box" "$work/box.png" 2>/dev/null &&
    import -window "$output" "$work/now.png" 2>/dev/null || continue
  convert "$work/now.png" -crop "$where" +repage "$work/there.png"
  differ=$(changed "$work/box.png" "$work/there.png")
  [ "$differ" -lt 1000 ] && { seen=1; break; }
done
check "a second copy's box shows over it (at ${where:-nowhere}, $differ pixels differ)" test -n "$seen"
press Return "$output"
wait_exit "$second" 5; rc=$?
check "Return answers it, and that copy ends with -1 (got $rc)" test "$rc" -eq 255
# weston gives the keyboard back to no one when the box goes: a user clicks
# on the show first.
xdotool mousemove --window "$output" 200 200 click 1 >/dev/null 2>&1
escape_ends "XWayland"

echo "-- nested weston, SDL's Wayland driver"
start_show -u DISPLAY SDL_VIDEODRIVER=wayland XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=wayland-show
# No X window to find: wait until the desktop's panel is covered.
covered() {  # the top strip (weston's panel) no longer shows the desktop
  local strip="${size%x*}x40+0+0"
  import -window "$output" "$work/now.png" &&
    convert "$work/now.png" -crop "$strip" +repage "$work/top.png" &&
    convert "$work/desktop.png" -crop "$strip" +repage "$work/desktop-top.png" &&
    [ "$(changed "$work/top.png" "$work/desktop-top.png")" -gt $((${size%x*} * 30)) ]
}
for _ in $(seq 1 90); do covered && break; kill -0 "$show" 2>/dev/null || break; sleep 0.5; done
check "the show covers the desktop, panel included" covered
check "it plays: the output moves" moving "$output"
escape_ends "Wayland"
check "it ran on Wayland with llvmpipe" grep -q "^renderer: llvmpipe" "$work/stderr"

echo "$failures failed"
[ "$failures" -eq 0 ]
