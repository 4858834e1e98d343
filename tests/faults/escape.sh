#!/usr/bin/env bash
# Escape at ROUNDS (default 30) random moments in the first 6 s after the
# window is up: the show must exit with 0 within 1 s every time.
# Usage: escape.sh NITRATE SOURCE_DIR (re-runs itself under Xvfb).
set -u
program=$(realpath "$1"); source=$(cd "$2" && pwd)
. "$source/tests/e2e/lib/x11.bash"
under_xvfb 800x600 600 "$0" "$program" "$source"
export SDL_AUDIODRIVER=dummy
rounds=${ROUNDS:-30}
cd "$source/content"
RANDOM=11  # the same moments on every run
good=0 worst=0
for round in $(seq 1 "$rounds"); do
  wait_ms=$((RANDOM % 6000))
  "$program" 2>/dev/null & pid=$!
  id=$(wait_for_window NITRATE 20)
  for _ in $(seq 1 50); do [ -n "$id" ] && [ "$(map_state "$id")" = IsViewable ] && break; sleep 0.1; done
  sleep "$(awk -v m=$wait_ms 'BEGIN { print m / 1000 }')"
  press Escape "$id"; pressed=$(date +%s%N)
  rc=124
  while [ $(( $(date +%s%N) - pressed )) -lt 1000000000 ]; do
    kill -0 $pid 2>/dev/null || { wait $pid; rc=$?; break; }
    sleep 0.01
  done
  took=$(( ($(date +%s%N) - pressed) / 1000000 ))
  [ $took -gt $worst ] && worst=$took
  if [ $rc -eq 0 ]; then good=$((good + 1))
  else
    echo "     round $round: Escape at $wait_ms ms, exit $rc after $took ms"
    kill -KILL $pid 2>/dev/null; wait $pid 2>/dev/null
  fi
done
check "Escape ended the show with 0 within 1 s in $good of $rounds (slowest $worst ms)" \
  test $good -eq "$rounds"
[ "$failures" -eq 0 ]
