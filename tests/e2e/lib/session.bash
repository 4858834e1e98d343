# A private D-Bus session bus for the desktop parts a test starts (sound
# servers, compositors), so none of them meets the user's own session.
# Sourced by the desktop scripts.

# start_session_bus LOG: starts a session bus of its own; exports
# DBUS_SESSION_BUS_ADDRESS and sets session_bus (its pid; stop_session_bus
# ends it). Fails, with the reason in LOG, when dbus-daemon cannot start.
start_session_bus() {
  local out
  command -v dbus-daemon >/dev/null || { echo "dbus-daemon is not installed" >"$1"; return 1; }
  out=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 2>"$1") || return 1
  DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$out")
  session_bus=$(sed -n 2p <<<"$out")
  export DBUS_SESSION_BUS_ADDRESS
  [ -n "$DBUS_SESSION_BUS_ADDRESS" ] && [ -n "$session_bus" ]
}

# stop_session_bus: ends the bus start_session_bus started, if any.
stop_session_bus() {
  [ -n "${session_bus:-}" ] && kill "$session_bus" 2>/dev/null
  session_bus=
}

# stop PID: asks PID to end, and ends it after 5 s (a compositor or sound
# server, asked, may never go).
stop() {
  kill "$1" 2>/dev/null || return 0
  for _ in $(seq 1 50); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}
