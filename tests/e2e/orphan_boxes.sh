#!/usr/bin/env bash
# A refused second copy killed while its message box is up takes the box
# with it, whether it is killed with SIGTERM or SIGKILL; the first copy plays
# on. Usage: orphan_boxes.sh BUILD_DIR SOURCE_DIR (re-runs itself under Xvfb).
set -u
build=$(cd "$1" && pwd); source=$(cd "$2" && pwd)
. "$source/tests/e2e/lib/x11.bash"
under_xvfb 800x600 180 "$0" "$build" "$source"
export SDL_AUDIODRIVER=dummy
cd "$source/content"

"$build/nitrate" 2>/dev/null & first=$!
check "the first copy opens its window" test -n "$(wait_for_window NITRATE 20)"
for round in 1 2 3 4 5 6; do
  signal=TERM; [ $((round % 2)) -eq 0 ] && signal=KILL
  "$build/nitrate" 2>/dev/null & second=$!
  box=$(wait_for_window Error 20)
  check "round $round: the refused copy shows its box" test -n "$box"
  kill -$signal $second; wait $second 2>/dev/null
  gone=no
  for _ in $(seq 1 20); do
    [ "$(window_count Error)" -eq 0 ] && { gone=yes; break; }
    sleep 0.05
  done
  check "round $round: SIG$signal to the refused copy takes its box within 1 s" test $gone = yes
done
check "the first copy plays on" kill -0 $first
kill -TERM $first; wait_exit $first 5 >/dev/null

echo "$failures failed"
[ "$failures" -eq 0 ]
