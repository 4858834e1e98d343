#!/usr/bin/env bash
# The music through PipeWire, as Debian 12, Fedora and current Ubuntu play
# it: a private pipewire, wireplumber and pipewire-pulse (runtime, config and
# state in a folder of their own, a session bus of their own) with one null
# sink at the music's rate, the show under a 1920 x 1080 Xvfb, and the sink's
# monitor recorded through pipewire-pulse.
# - SDL's PipeWire driver, then its PulseAudio driver through pipewire-pulse:
#   the stream comes by that protocol, the music's first 20 s arrive as
#   decoded (the first second sample for sample), in order, with no gap over
#   50 ms and nothing replayed; Escape ends the show with 0.
# - No driver named: SDL 2.26 takes its PulseAudio driver, so pipewire-pulse.
# - No driver named and no PulseAudio server to be had: SDL 2.26 alone stops
#   at ALSA; the show goes on to SDL's PipeWire driver, and the music arrives.
# Usage: pipewire_sound.sh BUILD_DIR SOURCE_DIR (re-runs itself under Xvfb).
# Skipped (exit 77) when PipeWire's packages cannot start on this machine.
set -u
build=$(cd "$1" && pwd); source=$(cd "$2" && pwd)
. "$source/tests/e2e/lib/x11.bash"
. "$source/tests/e2e/lib/session.bash"
under_xvfb 1920x1080 420 "$0" "$build" "$source"
work=$(mktemp -d)
keep=${NITRATE_E2E_KEEP:-}
servers=()
cleanup() {
  [ -n "${recorder:-}" ] && kill "$recorder" 2>/dev/null
  [ -n "${show:-}" ] && kill -KILL "$show" 2>/dev/null
  for ((i = ${#servers[@]} - 1; i >= 0; i--)); do stop "${servers[i]}"; done
  stop_session_bus
  [ -n "$keep" ] && cp "$work"/*.f32 "$work"/*.err "$work"/*.log "$keep"/ 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
music=$source/content/music/belvamarch.ogg
rate=$(soxi -r "$music")
seconds=20

skip() { echo "skipped: $*"; exit 77; }
for tool in pipewire wireplumber pipewire-pulse pw-dump pw-metadata pactl parec; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh installs it)"
done
start_session_bus "$work/bus.log" || skip "no D-Bus session bus can start here: $(tail -n 2 "$work/bus.log")"

# Nothing of the user's own sound set-up is read or disturbed. The graph
# runs at the music's rate and the sink takes floats, so nothing between the
# show and the recording converts: what arrives is what the show wrote.
export HOME=$work XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config \
  XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data
unset PIPEWIRE_REMOTE PIPEWIRE_RUNTIME_DIR PULSE_SERVER PULSE_RUNTIME_PATH PULSE_COOKIE
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d"
cat >"$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/show.conf" <<EOF
context.properties = {
    default.clock.rate = $rate
    default.clock.allowed-rates = [ $rate ]
}
context.objects = [
    { factory = adapter
      args = {
          factory.name = support.null-audio-sink
          node.name = show
          node.description = "Show"
          media.class = Audio/Sink
          object.linger = true
          audio.position = [ FL FR ]
          audio.rate = $rate
      }
    }
]
EOF

# until SECONDS COMMAND...: polls COMMAND every 0.1 s until it succeeds.
until_ok() {
  local ticks=$(( $1 * 10 )); shift
  for _ in $(seq 1 "$ticks"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
default_sink_is_show() { timeout 2 pw-metadata -n default 0 default.audio.sink | grep -q '"show"'; }
pulse_on_pipewire() { pactl info | grep -q 'Server Name: PulseAudio (on PipeWire'; }

pipewire >"$work/pipewire.log" 2>&1 &
servers+=($!)
until_ok 10 pw-dump || skip "PipeWire cannot start here: $(tail -n 3 "$work/pipewire.log")"
wireplumber >"$work/wireplumber.log" 2>&1 &
servers+=($!)
until_ok 10 default_sink_is_show ||
  skip "WirePlumber does not take the null sink as the default here: $(tail -n 3 "$work/wireplumber.log")"
pipewire-pulse >"$work/pipewire-pulse.log" 2>&1 &
servers+=($!)
until_ok 10 pulse_on_pipewire || skip "pipewire-pulse cannot start here: $(tail -n 3 "$work/pipewire-pulse.log")"
echo "   $(pactl info | grep -E 'Server Name|Default Sample' | sed 's/^/  /' | tr -d '\n')"
echo "   $(pactl list short sinks | awk '{print $2, $4, $5, $6}')"

# stream_of PID: how process PID plays into PipeWire: the protocol
# (pipewire-pulse, or native for PipeWire's own), the node's latency, its
# application/media name and the nodes it is linked to, as "API LATENCY
# NAME to NODES". Nothing when it has no stream.
stream_of() {
  pw-dump 2>/dev/null | /usr/bin/python3 -c '
import json, sys
pid = sys.argv[1]
objects = json.load(sys.stdin)
props = {o["id"]: (o.get("info") or {}).get("props") or {} for o in objects}
kind = {o["id"]: o["type"].rsplit(":", 1)[-1] for o in objects}
for o in objects:
    node = props[o["id"]]
    if kind[o["id"]] != "Node" or node.get("media.class") != "Stream/Output/Audio":
        continue
    client = props.get(node.get("client.id"), {})
    if str(node.get("application.process.id", client.get("application.process.id"))) != pid:
        continue
    api = node.get("client.api", client.get("client.api", "native"))
    linked = sorted({props[l["info"]["input-node-id"]].get("node.name", "?") for l in objects
                     if kind[l["id"]] == "Link" and l["info"]["output-node-id"] == o["id"]})
    name = node.get("application.name", client.get("application.name", "?"))
    named = "%s/%s" % (name, node.get("media.name", "?"))
    print(api, node.get("node.latency", "-"), named.replace(" ", "_"), "to", ",".join(linked) or "nothing")
    break
' "$1"
}

# play NAME SECONDS VAR=VALUE...: records the sink while the show plays with
# these settings; after SECONDS of its window, Escape. Leaves the recording in
# $work/NAME.f32, the show's stderr in $work/NAME.err, how it played in
# $stream and its exit code in $rc. Another copy holding the instance guard
# is waited out.
play() {
  local name=$1 wanted=$2 shown id=; shift 2
  # pipewire-pulse keeps what it records for a late reader; PipeWire's own
  # pw-record loses it, and a loaded machine then reads as a skipping show.
  # The recorder runs ahead of ordinary work where it may, as the sound
  # server does, so that a starved recorder is less likely to be taken for
  # the show's fault.
  nice -n -15 parec --device=show.monitor --format=float32le --rate="$rate" --channels=2 --raw \
    --latency-msec=20 >"$work/$name.f32" 2>"$work/$name.recorder.log" &
  recorder=$!
  sleep 0.5
  start_show "$work/$name.err" "$@"
  check "the show opens its window ($(xwininfo -id "${id:-0}" 2>/dev/null |
    awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'))" test -n "$id"
  shown=$(date +%s.%N)
  stream=
  for _ in $(seq 1 100); do
    stream=$(stream_of "$show")
    # The node appears a moment before the session manager links it.
    [ -n "$stream" ] && [ "${stream##* }" != nothing ] && break
    sleep 0.1
  done
  # The recorder loses the last second or two it buffered when it is
  # stopped, so the show plays on past the stretch compared.
  sleep "$(awk -v s="$shown" -v n="$(date +%s.%N)" -v w="$wanted" \
    'BEGIN { t = s + w - n; print (t > 0 ? t : 0) }')"
  echo "   load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
  press Escape "$id"
  wait_exit "$show" 3; rc=$?
  show=
  kill "$recorder" 2>/dev/null; wait "$recorder" 2>/dev/null; recorder=
  grep -o 'passes-per-second=[0-9.]*' "$work/$name.err" | sed 's/^/   /'
  grep '^sound:' "$work/$name.err" | sed 's/^/   /'
}

sox "$music" -t f32 -c 2 -r "$rate" "$work/music.f32" trim 0 $((seconds + 8))

# heard NAME SECONDS: the recording holds the music's first SECONDS in order,
# with no gap over 50 ms, and its first second exactly as decoded.
heard() {
  echo "   recorded $(( $(stat -c %s "$work/$1.f32") / 8 )) frames"
  /usr/bin/python3 "$source/tests/e2e/lib/sound_compare.py" "$work/$1.f32" "$work/music.f32" \
    --rate "$rate" --seconds "$2" >"$work/$1.compare" 2>&1
  local compared=$?
  sed 's/^/   /' "$work/$1.compare"
  check "the first $2 s of music arrive in order with no gap over 50 ms" test "$compared" -eq 0
  # The music's first second against the decoded music, placed where it
  # fits best within a few frames of the first-sound estimate: the same
  # samples, so nothing was resampled, mixed or scaled on the way. sox
  # decodes to 16 bits, so half a 16-bit step is the rounding allowed.
  check "its first second arrives sample for sample" /usr/bin/python3 -c '
import sys
import numpy as np
rec = np.fromfile(sys.argv[1], "<f4"); ref = np.fromfile(sys.argv[2], "<f4")
rec = rec[: len(rec) // 2 * 2].reshape(-1, 2); ref = ref.reshape(-1, 2)
n = int(sys.argv[3])
r0 = int(np.nonzero(np.abs(rec).max(axis=1) > 1e-4)[0][0])
m0 = int(np.nonzero(np.abs(ref).max(axis=1) > 1e-4)[0][0])
if len(rec) < r0 + n:
    sys.exit("   the recording ends within the first second of the music")
worst = min(float(np.abs(rec[r0 : r0 + n] - ref[m : m + n]).max())
            for m in range(max(0, m0 - 64), m0 + 65))
print(f"   first {n} frames of music: largest difference {worst:.2e}")
sys.exit(0 if worst <= 2.0 ** -16 else 1)
' "$work/$1.f32" "$work/music.f32" "$rate"
}

for driver in pipewire pulseaudio; do
  echo "-- SDL's $driver driver"
  play "$driver" $((seconds + 5)) SDL_AUDIODRIVER=$driver
  want=native; [ "$driver" = pulseaudio ] && want=pipewire-pulse
  check "it plays into the null sink through $want ($stream)" \
    test "${stream%% *}" = "$want" -a "${stream##* }" = show
  check "the stream is named for the show (${stream:+$(cut -d' ' -f3 <<<"$stream")})" \
    test "$(cut -d' ' -f3 <<<"$stream")" = NITRATE/Music
  check "Escape ends the show with 0 (got $rc)" test "$rc" -eq 0
  check "the show opened its sound output" bash -c "! grep -q 'No sound' '$work/$driver.err'"
  heard "$driver" "$seconds"
done

echo "-- no driver named"
play default 6 -u SDL_AUDIODRIVER
check "SDL 2.26 takes its PulseAudio driver, so pipewire-pulse ($stream)" \
  test "${stream%% *}" = pipewire-pulse -a "${stream##* }" = show
check "Escape ends the show with 0 (got $rc)" test "$rc" -eq 0

echo "-- no driver named, no PulseAudio server for the show"
# As on a PipeWire desktop without pipewire-pulse: the show is pointed at a
# server that is not there (libpulse then spawns no PulseAudio of its own),
# while the recorder still reads through pipewire-pulse.
play alone 10 -u SDL_AUDIODRIVER PULSE_SERVER="unix:$work/no-pulse-here"
check "the show goes on to SDL's PipeWire driver ($stream)" \
  test "${stream%% *}" = native -a "${stream##* }" = show
check "and says so" grep -q "^sound: playing through pipewire" "$work/alone.err"
check "Escape ends the show with 0 (got $rc)" test "$rc" -eq 0
heard alone 5

echo "$failures failed"
[ "$failures" -eq 0 ]
