#!/usr/bin/env bash
# make check: the unit and GL tests and the fuzz replays under ASan+UBSan
# (LeakSanitizer on, the GL driver suppressed), the music and image-queue
# threads under TSan, a headless capture of the whole show under ASan+UBSan,
# the fault matrix and Escape at random moments on the release build, and
# each fuzz target for FUZZ_SECONDS (default 30). One clang build serves the
# ASan tests and the fuzzers; the TSan build runs at the lowest priority
# while the matrix and Escape mostly wait. Prints each step's wall and CPU
# time and ends with "check: N passed, N failed"; exits non-zero when any
# step failed. Usage: check.sh [JOBS]
set -u
source=$(cd "$(dirname "$0")/../.." && pwd)
jobs=${1:-2}
asan=$source/build-asan tsan=$source/build-tsan release=$source/${BUILD:-build}
fuzz_seconds=${FUZZ_SECONDS:-30}
fuzz_targets=(obj_reader image_decoder vorbis_decoder whole_file)
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$source/tests/sanitizers/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
logs=$(mktemp -d); trap 'rm -rf "$logs"' EXIT
passed=() failed=() summary=()

# tenths TIMES_FILE: user + sys in `times` output (the shell and its
# children), in tenths of a second.
tenths() {
  awk '{ split($0, t, /[ms]+/); sum += t[1] * 60 + t[2] + t[3] * 60 + t[4] }
    END { printf "%d\n", sum * 10 }' "$1"
}

# record NAME STATUS WALL CPU_TENTHS: one step's outcome for the summary.
record() {
  local line
  line=$(printf '%-46s %-6s %5d s wall %7.1f s CPU' "$1" "$2" "$3" "$(echo "$4" | awk '{ print $1 / 10 }')")
  summary+=("$line")
  if [ "$2" = ok ]; then passed+=("$1"); echo "== $1: ok in $3 s"
  else failed+=("$1"); echo "== $1: FAILED after $3 s"; fi
}

# Each step runs in a subshell that notes its own CPU time when it ends.
step() {  # step NAME COMMAND...
  local name=$1 start=$SECONDS status=ok; shift
  echo "== $name"
  ( "$@"; rc=$?; times >"$logs/step.cpu"; exit $rc ) || status=FAILED
  record "$name" $status $((SECONDS - start)) "$(tenths "$logs/step.cpu")"
}

# step_behind NAME COMMAND...: starts a step at the lowest priority, its
# output kept until step_join NAME prints it and records the result.
declare -A behind_pid behind_start
step_behind() {
  local name=$1; shift
  echo "== $name (at the lowest priority, beside the next steps)"
  behind_start[$name]=$SECONDS
  ( renice -n 19 -p $BASHPID >/dev/null; "$@"; echo $? >"$logs/$name.rc"
    times >"$logs/$name.cpu" ) >"$logs/$name.log" 2>&1 &
  behind_pid[$name]=$!
}
step_join() {  # step_join NAME
  local name=$1 rc cpu
  wait "${behind_pid[$name]}"
  cat "$logs/$name.log"
  rc=$(cat "$logs/$name.rc" 2>/dev/null || echo 1)
  cpu=$(tenths "$logs/$name.cpu" 2>/dev/null || echo 0)
  record "$name" "$([ "$rc" = 0 ] && echo ok || echo FAILED)" $((SECONDS - behind_start[$name])) "$cpu"
}

configure_and_build() {  # DIR SANITIZER TARGETS...
  local dir=$1 sanitizer=$2; shift 2
  local extra=()
  # The ASan build is clang's, so that it also makes the libFuzzer targets.
  if [ "$sanitizer" != thread ]; then
    extra=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DNITRATE_FUZZ=ON)
  fi
  # Its builds hold the code to a clean build: any warning stops them.
  cmake -S "$source" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNITRATE_WERROR=ON \
    -DNITRATE_SANITIZE="$sanitizer" "${extra[@]}" >/dev/null &&
    cmake --build "$dir" -j"$jobs" $(printf -- '--target %s ' "$@") >/dev/null
}

asan_tests() {
  (cd "$asan" && ctest -R '^(unit|integration|gl|fuzz_.*)$' --output-on-failure -j"$jobs")
}

# The music stream's refill thread, the audio device and the image queue.
tsan_tests() {
  (cd "$tsan" && DISPLAY= SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
    setarch "$(uname -m)" -R ./tests/nitrate-thread-tests \
    --gtest_filter='Music*:March*:ImageQueue*:VorbisDecoder*')
}

# Every film frame of the show (16 a second), each picture in the projector.
capture_whole_show() {
  local out; out=$(mktemp -d)
  (cd "$source/content" && DISPLAY= SDL_AUDIODRIVER=dummy \
    "$asan/nitrate-capture" --at 65,130.9 --out "$out" --fps 16 >"$out/log" 2>&1)
  local rc=$?
  local ok=0
  [ $rc -eq 0 ] && [ -s "$out/t130.9.png" ] || { echo "capture: exit $rc"; ok=1; }
  if grep -E "ERROR: |runtime error:" "$out/log"; then ok=1; fi
  rm -rf "$out"
  return $ok
}

# Two fuzzers at a time, one a core, each for its full time.
fuzz_all() {
  local pids=() target found=0
  for target in "${fuzz_targets[@]}"; do
    [ ${#pids[@]} -ge "$jobs" ] && { wait "${pids[0]}" || found=1; pids=("${pids[@]:1}"); }
    bash "$source/tests/fuzz/run.sh" "$asan" "$fuzz_seconds" "$target" >"$logs/fuzz-$target" 2>&1 &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || found=1; done
  for target in "${fuzz_targets[@]}"; do cat "$logs/fuzz-$target"; done
  return $found
}

fuzz_programs=()
for target in "${fuzz_targets[@]}"; do
  fuzz_programs+=("nitrate-fuzz-$target" "nitrate-fuzz-$target-replay")
done
step "ASan+UBSan build with the fuzzers (clang)" configure_and_build "$asan" address,undefined \
  nitrate-capture nitrate-unit-tests nitrate-integration-tests nitrate-gl-tests "${fuzz_programs[@]}"
step "unit, GL and fuzz replays under ASan+UBSan" asan_tests
step "whole show captured under ASan+UBSan" capture_whole_show
step_behind "TSan build" configure_and_build "$tsan" thread nitrate-thread-tests
# The matrix runs the release build, so that the two-second limit on a
# refusal means what users see; the fuzzers and replays above cover the
# same readers under the sanitizers.
step "fault matrix" env PLAY_SECONDS=3 REFUSE_SECONDS=2 MATRIX_JOBS="$jobs" \
  bash "$source/tests/faults/matrix.sh" "$release/nitrate" "$source" "${MATRIX_FILTER:-}"
step "Escape at 30 random moments" bash "$source/tests/faults/escape.sh" "$release/nitrate" "$source"
step_join "TSan build"
step "music and image threads under TSan" tsan_tests
step "fuzz targets, $fuzz_seconds s each" fuzz_all

echo
echo "check steps (wall time; CPU time is user + sys of the step's processes):"
printf '  %s\n' "${summary[@]}"
[ ${#failed[@]} -gt 0 ] && printf 'check failed: %s\n' "${failed[@]}"
echo "check: ${#passed[@]} passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
