#!/usr/bin/env bash
# The show on GNOME's compositor: Debian's mutter, headless with one
# 1920 x 1080 virtual monitor and its own XWayland, on a session bus and in a
# runtime folder of its own, with a private PipeWire for its screen cast.
# What a user sees is mutter's screen cast of the monitor, cursor drawn in,
# caught by GStreamer's pipewiresrc; what a user types goes through mutter's
# remote-desktop keyboard and pointer (tests/e2e/lib/mutter_remote.py).
# Through XWayland, as a GNOME session starts it (DISPLAY and WAYLAND_DISPLAY
# both set, SDL's own choice), and through SDL's Wayland driver:
# - one window covers the whole monitor, and the picture changes;
# - the pointer moved over it shows no cursor (on the desktop, it does);
# - a second copy shows its box above the show, and Return answers it;
# - Escape ends the show with 0 within a second, and so does Alt+F4.
# Usage: gnome_desktop.sh BUILD_DIR SOURCE_DIR
# Skipped (exit 77) when mutter or its screen cast cannot start here.
set -u
build=$(cd "$1" && pwd); source=$(cd "$2" && pwd)
. "$source/tests/e2e/lib/x11.bash"
. "$source/tests/e2e/lib/session.bash"
if [ -z "${NITRATE_GNOME_TIMED:-}" ]; then
  NITRATE_GNOME_TIMED=1 exec timeout -s KILL 400 bash "$0" "$@"
fi
work=$(mktemp -d)
keep=${NITRATE_E2E_KEEP:-}
servers=()
cleanup() {
  [ -n "${second:-}" ] && kill -KILL "$second" 2>/dev/null
  [ -n "${show:-}" ] && kill -KILL "$show" 2>/dev/null
  [ -n "${remote_PID:-}" ] && kill "$remote_PID" 2>/dev/null
  [ -n "${session_child:-}" ] && kill "$session_child" 2>/dev/null
  for ((i = ${#servers[@]} - 1; i >= 0; i--)); do stop "${servers[i]}"; done
  stop_session_bus
  [ -n "$keep" ] && cp "$work"/*.png "$work"/*.err "$work"/*.log "$keep"/ 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
monitor=1920x1080

skip() { echo "skipped: $*"; exit 77; }
for tool in mutter pipewire wireplumber gst-launch-1.0 xwininfo convert; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh installs it)"
done
/usr/bin/python3 -c 'from gi.repository import Gio' 2>/dev/null ||
  skip "python3-gi is not installed (scripts/install-deps.sh installs it)"
start_session_bus "$work/bus.log" || skip "no D-Bus session bus can start here: $(tail -n 2 "$work/bus.log")"

export HOME=$work XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config \
  XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY PIPEWIRE_REMOTE PIPEWIRE_RUNTIME_DIR
mkdir -m 700 "$XDG_RUNTIME_DIR"
export SDL_AUDIODRIVER=dummy  # the sound has tests of its own

# until_ok SECONDS COMMAND...: polls COMMAND every 0.1 s until it succeeds.
until_ok() {
  local ticks=$(( $1 * 10 )); shift
  for _ in $(seq 1 "$ticks"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

pipewire >"$work/pipewire.log" 2>&1 &
servers+=($!)
until_ok 10 pw-dump || skip "PipeWire (for mutter's screen cast) cannot start here: $(tail -n 3 "$work/pipewire.log")"
wireplumber >"$work/wireplumber.log" 2>&1 &
servers+=($!)
# mutter runs the command given after -- in the session it made, with its
# X display and XAUTHORITY; they are passed out through a file, with the
# command's own pid, since mutter leaves it running when it goes.
mutter --wayland --headless --virtual-monitor "$monitor" --wayland-display=wayland-show \
  -- bash -c 'echo "$DISPLAY $XAUTHORITY $$" >"$HOME/session.tmp" && mv "$HOME/session.tmp" "$HOME/session"
              exec sleep 1000' >"$work/mutter.log" 2>&1 &
servers+=($!)
until_ok 20 test -s "$work/session" || skip "mutter cannot start here: $(grep -v 'gnome-session' "$work/mutter.log" | tail -n 3)"
read -r xdisplay xauthority session_child <"$work/session"
xwayland=(DISPLAY="$xdisplay" XAUTHORITY="$xauthority")
x() { env "${xwayland[@]}" "$@"; }  # an X client of mutter's XWayland
until_ok 20 x xdpyinfo || skip "mutter's XWayland does not start here: $(tail -n 3 "$work/mutter.log")"

coproc remote { /usr/bin/python3 -u "$source/tests/e2e/lib/mutter_remote.py" Meta-0 2>"$work/remote.log"; }
node=
read -t 20 -r _ node <&"${remote[0]}"
[ -n "$node" ] || skip "mutter's screen cast does not start here: $(tail -n 3 "$work/remote.log")"
# tell COMMAND: one command to the remote-desktop helper; fails on its error.
tell() {
  local answer=
  echo "$*" >&"${remote[1]}" && read -t 10 -r answer <&"${remote[0]}"
  [ "$answer" = ok ] || { echo "   remote desktop: $* -> ${answer:-no answer}"; return 1; }
}
# shot NAME: the monitor as the screen cast shows it, in $work/NAME.png.
shot() {
  timeout 15 gst-launch-1.0 -q pipewiresrc path="$node" num-buffers=1 ! videoconvert ! \
    pngenc ! filesink location="$work/$1.png" && [ -s "$work/$1.png" ]
}
# measure NAME WHAT: one figure of shot NAME:
#   desktop  thousandths of the monitor still showing mutter's blue desktop
#   cursor   bright pixels in the cursor's box at the pointer ($pointer)
#   box      pixels in the light grey of a GTK dialog
measure() {
  /usr/bin/python3 -c '
import sys
import numpy as np
from PIL import Image
rgb = np.asarray(Image.open(sys.argv[1]).convert("RGB")).astype(int)
what, (x, y) = sys.argv[2], map(int, sys.argv[3].split(","))
r, g, b = rgb[..., 0], rgb[..., 1], rgb[..., 2]
if what == "desktop":
    print(int(1000 * ((b - r > 25) & (b > 50)).mean()))
elif what == "cursor":
    print(int((rgb[y : y + 24, x : x + 16].min(axis=2) > 200).sum()))
else:
    print(int(((abs(r - 246) < 6) & (abs(g - 245) < 6) & (abs(b - 244) < 6)).sum()))
' "$work/$1.png" "$2" "$pointer"
}
# box_seen SHOT: the second copy's box is on the monitor in shot SHOT, over
# whatever else is there. SDL's own box (on XWayland) must show in the shot
# as XWayland holds it; zenity's (on Wayland) shows GTK's light grey.
# $boxinfo says what was found.
box_seen() {
  local id geometry area differ
  id=$(x bash -c ". '$source/tests/e2e/lib/x11.bash'; window_id Error")
  if [ -n "$id" ]; then
    geometry=$(x xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4}
      /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h "+" x "+" y}')
    x import -window "$id" "$work/box-itself.png" 2>/dev/null || return 1
    convert "$work/$1.png" -crop "$geometry" +repage "$work/box-there.png"
    area=${geometry%%+*}; area=$(( ${area%x*} * ${area#*x} ))
    differ=$(changed box-itself box-there)
    boxinfo="SDL's X11 box at $geometry, $differ of its $area pixels not on the monitor"
    [ "$differ" -lt $(( area / 20 )) ]
  else
    boxinfo="$(measure "$1" box) pixels of a GTK dialog"
    [ "$(measure "$1" box)" -gt 20000 ]
  fi
}
changed() { compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1 | awk '{print int($1)}'; }
rate() { grep -o 'passes-per-second=[0-9.]*' "$1" | sed 's/^/   /'; }

# The remote keyboard appears with its first key; a key that makes it would
# be lost, so one harmless key goes first. The pointer then rests on the
# left, where the show's picture is the black beyond the film gate.
pointer=100,540
tell key Shift_L && tell pointer "${pointer%,*}" "${pointer#*,}" ||
  skip "mutter's remote desktop does not take input here: $(tail -n 3 "$work/remote.log")"
shot desktop || skip "mutter's screen cast gives no picture here: $(tail -n 3 "$work/remote.log")"
check "mutter shows its desktop ($(measure desktop desktop)/1000 of it blue)" \
  test "$(measure desktop desktop)" -gt 900
check "and the pointer's cursor on it ($(measure desktop cursor) bright pixels)" \
  test "$(measure desktop cursor)" -gt 10
echo "   load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

# start NAME VAR=VALUE...: the show with these settings, stderr in
# $work/NAME.err; sets $show. Another copy holding the instance guard (an
# engineer's show on this machine) is waited out.
start() {
  local name=$1; shift
  for _ in $(seq 1 12); do
    (cd "$source/content" && exec env "$@" NITRATE_STATS=1 "$build/nitrate" 2>"$work/$name.err") &
    show=$!
    sleep 2
    kill -0 "$show" 2>/dev/null && return 0
    grep -q "Bad kind of error" "$work/$name.err" || return 0
    wait "$show"; sleep 5
  done
}
# covering NAME: waits up to 40 s until the show covers the desktop.
covering() {
  for _ in $(seq 1 40); do
    shot "$1" && [ "$(measure "$1" desktop)" -eq 0 ] && return 0
    kill -0 "$show" 2>/dev/null || return 1
    sleep 0.5
  done
  return 1
}
# ends_by KEYS...: types KEYS; the show must end with 0 within a second.
ends_by() {
  local pressed rc took; pressed=$(date +%s.%N)
  tell key "$@"
  wait_exit "$show" 10; rc=$?
  took=$(awk -v p="$pressed" -v n="$(date +%s.%N)" 'BEGIN { printf "%.2f", n - p }')
  show=
  check "$* ends it with 0 within a second (got $rc after $took s)" \
    awk -v rc="$rc" -v t="$took" 'BEGIN { exit !(rc == 0 && t <= 1.0) }'
}

# play NAME WHAT VAR=VALUE...: the whole round on one way of reaching the
# screen (NAME: xwayland or wayland).
play() {
  local name=$1 what=$2; shift 2
  echo "-- $what"
  start "$name" "$@"
  check "the show covers the monitor ($what)" covering "$name-1"
  local windows size
  windows=$(x bash -c ". '$source/tests/e2e/lib/x11.bash'; window_count NITRATE")
  if [ "$name" = xwayland ]; then
    size=$(x bash -c ". '$source/tests/e2e/lib/x11.bash'; xwininfo -id \$(window_id NITRATE)" |
      awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
    check "one window on XWayland ($windows), at the monitor's size ($size)" \
      test "$windows" -eq 1 -a "$size" = "$monitor"
  else
    check "no window on XWayland ($windows)" test "$windows" -eq 0
  fi
  sleep 0.5; shot "$name-2"
  check "the picture changes ($(changed "$name-1" "$name-2") pixels)" test "$(changed "$name-1" "$name-2")" -gt 1000
  # Once the pointer moves over the show, as a user's would, no cursor. Not
  # moved since the show came, the cursor stays until mutter tells the show
  # the pointer is over it, which on SDL's Wayland driver it may not do
  # before a move: shown, not judged.
  echo "   before the pointer moves: $(measure "$name-1" cursor) and $(measure "$name-2" cursor) bright pixels at it"
  tell pointer 300 540 && tell pointer "${pointer%,*}" "${pointer#*,}" && sleep 0.5 && shot "$name-3"
  check "no cursor over it once the pointer moves ($(measure "$name-3" cursor) bright pixels)" \
    test "$(measure "$name-3" cursor)" -le 2

  # A second copy: its box must be seen above the show, and Return ends it.
  (cd "$source/content" && exec env "$@" "$build/nitrate" 2>"$work/$name-second.err") &
  second=$!
  local seen= boxinfo="nothing"
  for _ in $(seq 1 20); do
    shot "$name-box" && box_seen "$name-box" && { seen=1; break; }
    kill -0 "$second" 2>/dev/null || break
    sleep 0.5
  done
  check "a second copy shows its box above the show ($boxinfo)" test -n "$seen"
  check "with its message" grep -q "Bad kind of error, error." "$work/$name-second.err"
  tell key Return
  wait_exit "$second" 5
  local rc=$?
  second=
  check "Return answers it, and it ends with -1 (got $rc)" test "$rc" -eq 255
  check "the show plays on" kill -0 "$show"
  # A user presses Escape once the box has left the screen; under load
  # mutter takes a while to hand the keyboard back from zenity's box.
  local answered gone=
  answered=$(date +%s.%N)
  for _ in $(seq 1 20); do
    shot "$name-after" && ! box_seen "$name-after" && { gone=1; break; }
    sleep 0.25
  done
  if [ -n "$gone" ]; then
    echo "   the box left the screen after $(awk -v p="$answered" -v n="$(date +%s.%N)" \
      'BEGIN { printf "%.2f s", n - p }')"
  else
    echo "   the box was still on the screen after 10 s"
  fi
  tell pointer "${pointer%,*}" "${pointer#*,}"
  ends_by Escape
  rate "$work/$name.err"

  start "$name-close" "$@"
  check "again, covering the monitor" covering "$name-close"
  ends_by Alt_L F4
  rate "$work/$name-close.err"
  echo "   load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
}

play xwayland "XWayland, as a GNOME session starts it" -u SDL_VIDEODRIVER "${xwayland[@]}" WAYLAND_DISPLAY=wayland-show
play wayland "SDL's Wayland driver" -u DISPLAY -u XAUTHORITY WAYLAND_DISPLAY=wayland-show SDL_VIDEODRIVER=wayland
check "it ran on Wayland with llvmpipe" grep -q "^renderer: llvmpipe" "$work/wayland.err"

echo "$failures failed"
[ "$failures" -eq 0 ]
