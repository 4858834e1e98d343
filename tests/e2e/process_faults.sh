#!/usr/bin/env bash
# The show headless (SDL's off-screen driver, whose swaps never wait for a
# retrace) and under process faults: the loop paces itself with flat memory
# and ends at once on SIGTERM; after kill -9 the next start plays; of two
# copies started at the same instant exactly one plays, twenty times over.
# Usage: process_faults.sh BUILD_DIR SOURCE_DIR
set -u
build=$(cd "$1" && pwd); source=$(cd "$2" && pwd)
. "$source/tests/e2e/lib/x11.bash"  # check, wait_exit
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy DISPLAY=
cd "$source/content"

rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }

# Pacing and SIGTERM: five seconds in, then three more; the passes stay
# near the refresh rate and resident memory does not grow.
NITRATE_STATS=1 "$build/nitrate" 2>"$work/paced" &
pid=$!
sleep 5; early=$(rss_kb $pid)
sleep 3; late=$(rss_kb $pid)
kill -TERM $pid; sent=$(date +%s%N)
wait_exit $pid 5; rc=$?
took=$(( ($(date +%s%N) - sent) / 1000000 ))
rate=$(sed -n 's/.*passes-per-second=\([0-9.]*\).*/\1/p' "$work/paced")
check "SIGTERM ends the show with 0 (got $rc) within 1 s (took $took ms)" \
  test "$rc" -eq 0 -a "$took" -lt 1000
check "passes are paced: $rate a second" awk -v r="${rate:-0}" 'BEGIN { exit !(r > 5 && r <= 66) }'
check "memory is flat: $early kB at 5 s, $late kB at 8 s" \
  test "$early" -gt 0 -a "$late" -lt $(( early + 32768 ))

# kill -9 leaves no guard behind.
for round in 1 2 3 4 5; do
  "$build/nitrate" 2>/dev/null & pid=$!
  sleep 1; kill -KILL $pid; wait $pid 2>/dev/null
  "$build/nitrate" 2>"$work/after-kill" & pid=$!
  sleep 1.5
  alive=no; kill -0 $pid 2>/dev/null && alive=yes
  kill -TERM $pid 2>/dev/null; wait_exit $pid 5 >/dev/null
  check "round $round: the start after kill -9 plays" test $alive = yes
done

# Two copies released at the same instant: exactly one plays, the other is
# refused with its message and -1.
one_plays=0
for round in $(seq 1 20); do
  rm -f "$work/go"
  for copy in a b; do
    (while [ ! -e "$work/go" ]; do :; done; exec "$build/nitrate" 2>"$work/$copy") &
    eval "pid_$copy=\$!"
  done
  touch "$work/go"
  sleep 1.5
  codes=""
  for copy in a b; do
    eval "p=\$pid_$copy"
    if kill -0 "$p" 2>/dev/null; then codes+="playing "; kill -TERM "$p"; wait_exit "$p" 5 >/dev/null
    else wait "$p"; codes+="$? "; fi
  done
  refused=$(cat "$work/a" "$work/b" | grep -c "Error: Bad kind of error, error.")
  if [ "$(echo $codes | tr ' ' '\n' | sort | tr '\n' ' ')" = "255 playing " ] && [ "$refused" -eq 1 ]; then
    one_plays=$((one_plays + 1))
  else
    echo "     round $round: $codes; refusals: $refused"
  fi
done
check "two copies at once: exactly one played in $one_plays of 20" test "$one_plays" -eq 20

echo "$failures failed"
[ "$failures" -eq 0 ]
