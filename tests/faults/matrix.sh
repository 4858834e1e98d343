#!/usr/bin/env bash
# The fault matrix: every content file damaged every way (damage.py), the
# show run headless on each, and each run checked: refused with the file's
# documented message and -1, or playing normally (alive after PLAY_SECONDS,
# then 0 on SIGTERM); never a crash, a sanitizer report or a hang. Prints
# one line per run and a table of outcomes by file kind and damage.
# Usage: matrix.sh NITRATE SOURCE_DIR [FILE_FILTER]  (e.g. an ASan build)
set -u
program=$(realpath "$1"); source=$(cd "$2" && pwd); filter=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy DISPLAY=
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
refuse_limit=${REFUSE_SECONDS:-2}   # start to exit, for a refused file
play_seconds=${PLAY_SECONDS:-4}

# caption_for FILE: the caption (and text) its failure shows, as a pattern.
pattern_for() {
  case $1 in
    images/*) echo "^$1: " ;;
    shaders/*) echo "^$1: " ;;
    3d/cube.obj) echo "^3d/cube.obj: Could not open" ;;
    music/*) echo "^Error: Sound error\." ;;
  esac
}

# Each run in its own network namespace where that is allowed, so that the
# single-instance guard (an abstract socket) never meets another show's.
isolate=""; unshare -n true 2>/dev/null && isolate="unshare -n"
cd "$source/content"
files=$(find images music 3d shaders -type f | sort | grep -- "$filter")
results=$work/results; : >"$results"; bad=0; runs=0
for file in $files; do
  damages="missing empty cut50 cut90 flip3 garbage pad100m"
  case $file in images/*) damages+=" claim16384 claim65535" ;; esac
  for damage in $damages; do
    rm -rf "$work/content"; cp -r "$source/content" "$work/content"
    python3 "$here/damage.py" "$damage" "$work/content/$file"
    start=$(date +%s%N)
    (cd "$work/content" && exec $isolate "$program" 2>"$work/stderr") &
    pid=$!
    outcome=""
    while kill -0 $pid 2>/dev/null; do
      [ $(( $(date +%s%N) - start )) -ge $((play_seconds * 1000000000)) ] && break
      sleep 0.02
    done
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    if kill -0 $pid 2>/dev/null; then
      kill -TERM $pid; wait_start=$(date +%s%N)
      for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.05; done
      if kill -0 $pid 2>/dev/null; then kill -KILL $pid; wait $pid; outcome="HANG after SIGTERM"
      else
        wait $pid; rc=$?
        message=$(grep -m1 -E "$(pattern_for "$file")" "$work/stderr")
        if [ $rc -eq 0 ]; then outcome="plays"
        elif [ $rc -eq 255 ] && [ -n "$message" ]; then outcome="SLOW refusal (> $ms ms): ${message#*: }"
        else outcome="BAD exit $rc after SIGTERM"; fi
      fi
    else
      wait $pid; rc=$?
      message=$(grep -m1 -E "$(pattern_for "$file")" "$work/stderr")
      if [ $rc -eq 255 ] && [ -n "$message" ] && [ $ms -le $((refuse_limit * 1000)) ]; then
        outcome="refused: ${message#*: }"
      elif [ $rc -eq 255 ] && [ -n "$message" ]; then
        outcome="SLOW refusal ($ms ms): ${message#*: }"
      else
        outcome="BAD exit $rc: $(grep -v '^startup:\|^stats:' "$work/stderr" | head -1)"
      fi
    fi
    if grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$work/stderr"; then
      outcome="SANITIZER $(grep -m1 -E 'ERROR: |runtime error:' "$work/stderr")"
    fi
    runs=$((runs + 1))
    case $outcome in refused:*|plays) ;; *) bad=$((bad + 1)) ;; esac
    kind=${file%%/*}; [ "$kind" = 3d ] && kind=mesh
    # Long decoder texts are cut for the table; the full line is above.
    printf '%-26s %-10s %5d ms  %s\n' "$file" "$damage" "$ms" "$outcome"
    printf '%s\t%s\t%s\n' "$kind" "$damage" "$(echo "$outcome" | cut -c1-48)" >>"$results"
  done
done

echo
echo "outcomes by file kind and damage (count x outcome):"
sort "$results" | uniq -c | sed 's/^ *\([0-9]*\) /\1\t/' |
  awk -F'\t' '{ printf "  %-8s %-10s %3d x %s\n", $2, $3, $1, $4 }'
echo "$runs runs, $bad not refused in time or played"
[ $bad -eq 0 ]
