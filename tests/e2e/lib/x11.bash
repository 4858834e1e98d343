# Helpers for driving the real program under Xvfb. Sourced by the e2e scripts.
# Windows are found through xwininfo: without a window manager, xdotool's
# own search is unreliable here.

# under_xvfb SIZE SECONDS SCRIPT ARGS...: unless this already runs inside it,
# re-runs SCRIPT with ARGS in an Xvfb screen of SIZE (WxH), killed after
# SECONDS, and never returns. The server gets -noreset: by default it resets
# when its last client leaves, and a program connecting during that reset
# finds no display (about one start in forty, measured).
under_xvfb() {
  [ -n "${NITRATE_UNDER_XVFB:-}" ] && return 0
  local size=$1 seconds=$2; shift 2
  NITRATE_UNDER_XVFB=1 exec timeout -s KILL "$seconds" \
    xvfb-run -a -s "-screen 0 ${size}x24 -noreset" bash "$@"
}

# window_id NAME: the id of the first window titled exactly NAME, or nothing.
window_id() {
  xwininfo -root -tree 2>/dev/null | awk -v want="\"$1\":" '$2 == want { print $1; exit }'
}

# window_count NAME: how many windows are titled exactly NAME.
window_count() {
  xwininfo -root -tree 2>/dev/null | awk -v want="\"$1\":" '$2 == want { n++ } END { print n + 0 }'
}

# map_state ID: IsViewable, IsUnMapped or IsUnviewable.
map_state() {
  xwininfo -id "$1" 2>/dev/null | awk '/Map State/ { print $3 }'
}

# wait_for_window NAME SECONDS: waits until a window titled NAME exists;
# prints its id. Fails when it does not appear in time.
wait_for_window() {
  local name=$1 ticks=$(( $2 * 10 )) id
  for _ in $(seq 1 "$ticks"); do
    id=$(window_id "$name")
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  return 1
}

# press KEY ID: raises and focuses the window, puts the pointer over it (SDL
# takes keys only then) and presses KEY.
press() {
  xdotool windowraise "$2" >/dev/null 2>&1
  xdotool windowfocus "$2" >/dev/null 2>&1
  xdotool mousemove --window "$2" 20 20 >/dev/null 2>&1
  xdotool key "$1" >/dev/null 2>&1
}

# dismiss BOX PID: presses Return on a message box until its process has
# gone on (a box that has only just appeared may miss the first press).
dismiss() {
  for _ in $(seq 1 20); do
    [ -n "$(xwininfo -id "$1" 2>/dev/null)" ] || return 0
    kill -0 "$2" 2>/dev/null || return 0
    press Return "$1"
    sleep 0.25
  done
}

# wait_exit PID SECONDS: waits for PID to end; its exit code, or 124 when it
# was still running (it is then killed).
wait_exit() {
  local pid=$1 ticks=$(( $2 * 10 ))
  for _ in $(seq 1 "$ticks"); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      return $?
    fi
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 124
}

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

# start_show ERRFILE [VAR=VALUE...]: starts "$build/nitrate" in
# "$source/content" with these settings and NITRATE_STATS=1, its stderr into
# ERRFILE; sets $show (its pid) and $id (its window, empty when none came).
# Another copy holding the instance guard is waited out, a minute at most.
start_show() {
  local err=$1; shift
  for _ in $(seq 1 12); do
    (cd "$source/content" && exec env "$@" NITRATE_STATS=1 "$build/nitrate" 2>"$err") &
    show=$!
    id=$(wait_for_window NITRATE 20)
    [ -n "$id" ] && return 0
    wait_exit "$show" 10 >/dev/null
    grep -q "Bad kind of error" "$err" || return 1
    sleep 5
  done
  return 1
}
