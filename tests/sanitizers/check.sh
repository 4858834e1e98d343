#!/usr/bin/env bash
# make check: the unit and GL tests and the fuzz replays under ASan+UBSan
# (LeakSanitizer on, the GL driver suppressed), the music and image-queue
# threads under TSan, a headless capture of the whole show under ASan+UBSan,
# the fault matrix and Escape at random moments on the release build, and
# each fuzz target for FUZZ_SECONDS (default 30). Prints each step's time;
# exits non-zero when any step failed. Usage: check.sh [JOBS]
set -u
source=$(cd "$(dirname "$0")/../.." && pwd)
jobs=${1:-2}
asan=$source/build-asan tsan=$source/build-tsan release=$source/${BUILD:-build}
fuzz_seconds=${FUZZ_SECONDS:-30}
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$source/tests/sanitizers/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
failed=()

step() {  # step NAME COMMAND...
  local name=$1 start=$SECONDS; shift
  echo "== $name"
  if "$@"; then echo "== $name: ok in $((SECONDS - start)) s"
  else echo "== $name: FAILED after $((SECONDS - start)) s"; failed+=("$name"); fi
}

configure_and_build() {  # DIR SANITIZER TARGETS...
  local dir=$1 sanitizer=$2; shift 2
  cmake -S "$source" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNITRATE_SANITIZE="$sanitizer" \
    >/dev/null && cmake --build "$dir" -j"$jobs" $(printf -- '--target %s ' "$@") >/dev/null
}

asan_tests() {
  (cd "$asan" && ctest -R '^(unit|integration|gl|fuzz_.*)$' --output-on-failure -j"$jobs")
}

# The music stream's refill thread, the audio device and the image queue.
tsan_tests() {
  (cd "$tsan" && setarch "$(uname -m)" -R ./tests/nitrate-unit-tests \
    --gtest_filter='Music*:March*:ImageQueue*:VorbisDecoder*' &&
    DISPLAY= SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
    setarch "$(uname -m)" -R ./tests/nitrate-integration-tests --gtest_filter='Music*')
}

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

step "ASan+UBSan build" configure_and_build "$asan" address,undefined nitrate nitrate-capture \
  nitrate-unit-tests nitrate-integration-tests nitrate-gl-tests nitrate-fuzz-obj_reader nitrate-fuzz-image_decoder \
  nitrate-fuzz-vorbis_decoder nitrate-fuzz-whole_file
step "unit, GL and fuzz replays under ASan+UBSan" asan_tests
step "whole show captured under ASan+UBSan" capture_whole_show
# The matrix runs the release build, so that the two-second limit on a
# refusal means what users see; the fuzzers and replays above cover the
# same readers under the sanitizers.
step "fault matrix" env PLAY_SECONDS=3 REFUSE_SECONDS=2 \
  bash "$source/tests/faults/matrix.sh" "$release/nitrate" "$source"
step "Escape at 30 random moments" bash "$source/tests/faults/escape.sh" "$release/nitrate" "$source"
step "TSan build" configure_and_build "$tsan" thread nitrate-unit-tests \
  nitrate-integration-tests
step "music and image threads under TSan" tsan_tests
step "fuzz targets, $fuzz_seconds s each" make -C "$source" --no-print-directory fuzz \
  FUZZ_SECONDS="$fuzz_seconds"

if [ ${#failed[@]} -gt 0 ]; then
  printf 'check failed: %s\n' "${failed[@]}"
  exit 1
fi
echo "check: all passed"
