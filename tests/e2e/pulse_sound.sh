#!/usr/bin/env bash
# The music through a real sound server: a private PulseAudio with one null
# sink, the show under a 1920 x 1080 Xvfb (the renderer busy on every core)
# on SDL's pulseaudio driver, and the sink's monitor recorded over the show's
# first 25 s. The music's first 20 s in the recording must be the music as
# decoded directly (sox), in order, with no gap over 50 ms; Escape
# then ends the show with 0. Skipped (exit 77) only when no PulseAudio
# server can be started on this machine.
# Usage: pulse_sound.sh BUILD_DIR SOURCE_DIR (re-runs itself under Xvfb).
set -u
build=$(cd "$1" && pwd); source=$(cd "$2" && pwd)
. "$source/tests/e2e/lib/x11.bash"
under_xvfb 1920x1080 150 "$0" "$build" "$source"
work=$(mktemp -d)
keep=${NITRATE_E2E_KEEP:-}
cleanup() {
  [ -n "${recorder:-}" ] && kill "$recorder" 2>/dev/null
  [ -n "${show:-}" ] && kill -KILL "$show" 2>/dev/null
  [ -n "${server:-}" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  [ -n "$keep" ] && cp "$work"/*.f32 "$work"/stderr "$keep"/ 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
music=$source/content/music/belvamarch.ogg
rate=$(soxi -r "$music")
seconds=20

# The server's runtime, state and socket stay in $work: nothing of the
# user's own sound set-up is read or disturbed. Root is allowed to run a
# per-user server (it warns); the null sink takes the show's own float format
# and rate, so nothing between the show and the recording converts.
export HOME=$work XDG_RUNTIME_DIR=$work PULSE_RUNTIME_PATH=$work/pulse \
  PULSE_STATE_PATH=$work/state PULSE_SERVER=unix:$work/pulse.sock
unset PULSE_COOKIE
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disallow-exit \
  --log-target=file:"$work/server.log" \
  --load="module-null-sink sink_name=show format=float32le rate=$rate channels=2" \
  --load="module-native-protocol-unix socket=$work/pulse.sock auth-anonymous=1" &
server=$!
for _ in $(seq 1 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
if ! pactl info >/dev/null 2>&1; then
  echo "skipped: PulseAudio cannot start here: $(tail -n 3 "$work/server.log" 2>/dev/null)"
  exit 77
fi
echo "   $(pactl list short sinks | awk '{print $2, $4, $5, $6}')"
# Gaps come from a starved client or server: the machine's load goes with
# the figures.
echo "   load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

parec --device=show.monitor --format=float32le --rate="$rate" --channels=2 --raw \
  --latency-msec=20 >"$work/recording.f32" 2>"$work/parec.err" &
recorder=$!
sleep 0.5

# The show; another copy holding the instance guard is waited out.
start_show "$work/stderr" SDL_AUDIODRIVER=pulseaudio
check "the show opens its window" test -n "$id"
shown=$(date +%s.%N)
check "the show plays into PulseAudio" \
  timeout 10 bash -c 'until pactl list short sink-inputs | grep -q .; do sleep 0.1; done'
# The recorder loses the last second or two it buffered when it is stopped,
# so the show plays on well past the stretch compared.
sleep "$(awk -v s="$shown" -v n="$(date +%s.%N)" -v w=$((seconds + 5)) \
  'BEGIN { t = s + w - n; print (t > 0 ? t : 0) }')"
press Escape "$id"
wait_exit "$show" 3; rc=$?
check "Escape ends the show with 0 (got $rc)" test "$rc" -eq 0
check "the show opened its sound output" bash -c "! grep -q 'No sound' '$work/stderr'"
kill "$recorder" 2>/dev/null; wait "$recorder" 2>/dev/null; recorder=

# What the server heard against the music decoded on its own.
sox "$music" -t f32 -c 2 -r "$rate" "$work/music.f32" trim 0 $((seconds + 8))
echo "   recorded $(( $(stat -c %s "$work/recording.f32") / 8 )) frames"
/usr/bin/python3 "$source/tests/e2e/lib/sound_compare.py" "$work/recording.f32" \
  "$work/music.f32" --rate "$rate" --seconds "$seconds" >"$work/compare" 2>&1
compared=$?
sed 's/^/   /' "$work/compare"
check "the first $seconds s of music arrive in order with no gap over 50 ms" test "$compared" -eq 0
grep -o 'passes-per-second=[0-9.]*' "$work/stderr" | sed 's/^/   /'

echo "$failures failed"
[ "$failures" -eq 0 ]
