# The music end to end: the real program under Xvfb with SDL's disk audio
# driver, whose raw float stereo output must be paused silence, exactly one
# half-buffer (16384 frames) of silence, then the decoder's samples bit for
# bit; and a missing, a non-Vorbis and an absurd-rate music file must each
# end start-up with "Sound error." and exit code -1 (255).
# Usage: bash music_disk_output.sh BUILD_DIR SOURCE_DIR
set -u
build=$(realpath "$1")
source=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Inside Xvfb: runs the show for about $1 seconds, answering any message box
# (its title is "Error") with Return, then presses Escape; SDL sees keys only
# under the pointer. The box runs in a child that shares the instance guard,
# so a stuck show is killed with its whole process group.
cat >"$work/drive.sh" <<'DRIVE'
set -m
"$NITRATE" 2>"$WORK/stderr" & show=$!
for tick in $(seq 1 $(( $1 * 4 ))); do
  box=$(xwininfo -root -tree | awk '/"Error": \(\)/ { print $1; exit }')
  [ -n "$box" ] && xdotool mousemove --window "$box" 20 20 key Return
  kill -0 $show 2>/dev/null || break
  sleep 0.25
done
if kill -0 $show 2>/dev/null; then
  xdotool mousemove 10 10 key Escape
  for tick in $(seq 1 12); do kill -0 $show 2>/dev/null && sleep 0.25; done
  kill -KILL -- -$show 2>/dev/null
fi
wait $show
echo $? >"$WORK/rc"
DRIVE

# Runs the show in $1 (a content directory) for about $2 seconds. Sets $rc
# and leaves stderr in $work/stderr and the device output in $work/out.raw.
# Another copy of the show running on this machine is waited out.
run_show() {
  local content=$1 seconds=$2 attempt
  for attempt in $(seq 1 12); do
    rm -f "$work/out.raw" "$work/stderr" "$work/rc"
    (cd "$content" && NITRATE="$build/nitrate" WORK="$work" SDL_AUDIODRIVER=disk \
      SDL_DISKAUDIOFILE="$work/out.raw" timeout -s KILL 90 \
      xvfb-run -a -s "-screen 0 640x480x24 -noreset" bash "$work/drive.sh" "$seconds")
    rc=$(cat "$work/rc" 2>/dev/null || echo none)
    grep -q "Bad kind of error" "$work/stderr" 2>/dev/null || return 0
    sleep 5
  done
  fail "another copy of the show kept running; could not start"
}

# Playing: a few seconds of the real march.
run_show "$source/content" 4
[ "$rc" = 0 ] || fail "playing the show: exit code $rc, stderr: $(cat "$work/stderr")"
if [ -s "$work/out.raw" ]; then
  NITRATE_MUSIC_RAW="$work/out.raw" NITRATE_MUSIC_OGG="$source/content/music/belvamarch.ogg" \
    "$build/tests/nitrate-unit-tests" --gtest_filter='MusicDiskOutput.*' >"$work/compare" 2>&1 ||
    fail "device output differs: $(grep -v '^\[' "$work/compare")"
  grep -q 'frames equal the decoder' "$work/compare" || fail "comparison did not run"
  grep 'frames equal' "$work/compare"
else
  fail "the disk audio driver wrote nothing"
fi

# Broken music files: the other content stays, the music is replaced.
broken="$work/content"
mkdir -p "$broken/music"
for dir in shaders images 3d; do ln -s "$source/content/$dir" "$broken/$dir"; done
march="$broken/music/belvamarch.ogg"
for case in missing text low-rate; do
  rm -f "$march"
  case $case in
    text) printf 'This is not an Ogg Vorbis stream.\n' >"$march" ;;
    low-rate) sox -n -r 4000 -c 2 "$march" synth 1 sine 440 || fail "sox made no file" ;;
  esac
  run_show "$broken" 10
  [ "$rc" = 255 ] || fail "$case music: exit code $rc, expected 255"
  grep -qx "Error: Sound error." "$work/stderr" || fail "$case music: stderr $(cat "$work/stderr")"
  [ -e "$work/out.raw" ] && fail "$case music: a sound device was opened"
done

[ $failed = 0 ] && echo "music end to end: all passed"
exit $failed
