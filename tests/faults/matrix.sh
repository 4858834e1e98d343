#!/usr/bin/env bash
# The fault matrix: every content file damaged every way (damage.py), the
# show run headless on each, and each run checked: refused with the file's
# documented message and -1, or playing normally (alive after PLAY_SECONDS,
# then 0 on SIGTERM); never a crash, a sanitizer report or a hang. Runs
# MATRIX_JOBS cases at a time (default 2), each show in its own network
# namespace. Prints one line per run and a table of outcomes by file kind
# and damage. Usage: matrix.sh NITRATE SOURCE_DIR [FILE_FILTER]
set -u
program=$(realpath "$1"); source=$(cd "$2" && pwd); filter=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy DISPLAY=
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
refuse_limit=${REFUSE_SECONDS:-2}   # start to exit, for a refused file
play_seconds=${PLAY_SECONDS:-4}
jobs=${MATRIX_JOBS:-2}
python=/usr/bin/python3; [ -x $python ] || python=python3

# pattern_for FILE: the caption (and text) its failure shows, as a pattern.
pattern_for() {
  case $1 in
    images/*) echo "^$1: " ;;
    # A shader cut so that it still compiles (without main, say) fails
    # when the program is linked: the linker's log under its own caption.
    shaders/*) echo "^$1: |^Program Error: " ;;
    3d/cube.obj) echo "^3d/cube.obj: Could not open" ;;
    music/*) echo "^Error: Sound error\." ;;
  esac
}

# Each run in its own network namespace where that is allowed, so that the
# single-instance guard (an abstract socket) never meets another show's,
# including the other case running beside it.
isolate=""; unshare -n true 2>/dev/null && isolate="unshare -n"
if [ -z "$isolate" ] && [ "$jobs" -gt 1 ]; then
  echo "matrix: no network namespaces here, so one case at a time"; jobs=1
fi

# run_case NUMBER FILE DAMAGE: one show on a copy of the content with FILE
# damaged; writes the run's line and its table row to $work/NUMBER.line and
# $work/NUMBER.row.
run_case() {
  local number=$1 file=$2 damage=$3
  local dir=$work/case$number
  # Links to the pristine files, but a private copy of the damaged one.
  cp -al "$source/content" "$dir/content" 2>/dev/null ||
    { rm -rf "$dir/content"; cp -r "$source/content" "$dir/content"; }
  rm "$dir/content/$file"; cp "$source/content/$file" "$dir/content/$file"
  $python "$here/damage.py" "$damage" "$dir/content/$file"
  local start pid outcome ms rc message
  start=$(date +%s%N)
  (cd "$dir/content" && exec $isolate "$program" 2>"$dir/stderr") &
  pid=$!
  while kill -0 $pid 2>/dev/null; do
    [ $(( $(date +%s%N) - start )) -ge $((play_seconds * 1000000000)) ] && break
    sleep 0.02
  done
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  if kill -0 $pid 2>/dev/null; then
    kill -TERM $pid
    for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.05; done
    if kill -0 $pid 2>/dev/null; then kill -KILL $pid; wait $pid; outcome="HANG after SIGTERM"
    else
      wait $pid; rc=$?
      message=$(grep -m1 -E "$(pattern_for "$file")" "$dir/stderr")
      if [ $rc -eq 0 ]; then outcome="plays"
        # A damaged mesh plays with the stage empty or partial; stderr says
        # why, and an empty or foreign file must not play in silence.
        if [ "$file" = 3d/cube.obj ]; then
          local reason; reason=$(grep -m1 "^3d/cube.obj: " "$dir/stderr")
          if [ -n "$reason" ]; then outcome="plays, says: ${reason#3d/cube.obj: }"
          elif [ "$damage" = empty ] || [ "$damage" = garbage ]; then
            outcome="SILENT play of a mesh without triangles"
          fi
        fi
      elif [ $rc -eq 255 ] && [ -n "$message" ]; then outcome="SLOW refusal (> $ms ms): ${message#*: }"
      else outcome="BAD exit $rc after SIGTERM"; fi
    fi
  else
    wait $pid; rc=$?
    message=$(grep -m1 -E "$(pattern_for "$file")" "$dir/stderr")
    if [ $rc -eq 255 ] && [ -n "$message" ] && [ $ms -le $((refuse_limit * 1000)) ]; then
      outcome="refused: ${message#*: }"
    elif [ $rc -eq 255 ] && [ -n "$message" ]; then
      outcome="SLOW refusal ($ms ms): ${message#*: }"
    else
      outcome="BAD exit $rc: $(grep -v '^startup:\|^stats:' "$dir/stderr" | head -1)"
    fi
  fi
  if grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$dir/stderr"; then
    outcome="SANITIZER $(grep -m1 -E 'ERROR: |runtime error:' "$dir/stderr")"
  fi
  local kind=${file%%/*}; [ "$kind" = 3d ] && kind=mesh
  # Long decoder texts are cut for the table; the full line is printed.
  printf '%-26s %-10s %5d ms  %s\n' "$file" "$damage" "$ms" "$outcome" >"$work/$number.line"
  printf '%s\t%s\t%s\n' "$kind" "$damage" "$(echo "$outcome" | cut -c1-48)" >"$work/$number.row"
  rm -rf "$dir"
}

cd "$source/content"
files=$(find images music 3d shaders -type f | sort | grep -- "$filter")
runs=0 printed=0
# print_done: the lines of the finished runs, in the matrix's order.
print_done() {
  while [ $printed -lt $runs ] && [ -f "$work/$printed.row" ]; do
    cat "$work/$printed.line"; printed=$((printed + 1))
  done
}
for file in $files; do
  damages="missing empty cut50 cut90 flip3 garbage pad100m"
  case $file in images/*) damages+=" claim16384 claim65535" ;; esac
  for damage in $damages; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
    mkdir "$work/case$runs"
    run_case $runs "$file" "$damage" &
    runs=$((runs + 1))
    print_done
  done
done
wait
print_done

echo
echo "outcomes by file kind and damage (count x outcome):"
cat "$work"/*.row | sort | uniq -c | sed 's/^ *\([0-9]*\) /\1\t/' |
  awk -F'\t' '{ printf "  %-8s %-10s %3d x %s\n", $2, $3, $1, $4 }'
bad=$(cat "$work"/*.row | cut -f3 | grep -cv '^refused:\|^plays$\|^plays, says: ')
echo "$runs runs, $bad not refused in time or played"
[ "$runs" -gt 0 ] && [ "$bad" -eq 0 ]
