#!/usr/bin/env bash
# The video export's failures: each gives one line on stderr naming the
# cause, its exit code, and nothing at the target name (nor a leftover
# temporary file beside it). A full disk is a 1 MB tmpfs when we may mount
# one, else a file-size limit; an interrupt comes while the file is written.
#   bash video_failures.sh BUILD_DIR SOURCE_DIR   (exit 0: every case passes)
set -u
build=$(cd "$1" && pwd); source=$(cd "$2" && pwd)
capture="$build/nitrate-capture"
work=$(mktemp -d)
mounted=()
cleanup() {
  for m in "${mounted[@]}"; do umount "$m" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy DISPLAY=
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
one_line_with() { [ "$(wc -l <"$work/err")" -eq 1 ] && grep -qF -- "$1" "$work/err"; }
no_temporary() {
  [ -z "$(find "$(dirname "$1")" -maxdepth 1 -name ".$(basename "$1").*.part" 2>/dev/null)" ]
}
nothing_at() {  # the target and no temporary file beside it
  [ ! -e "$1" ] && no_temporary "$1"
}
# expect NAME EXIT MESSAGE TARGET [capture arguments after the target...]
expect() {
  local name=$1 code=$2 message=$3 target=$4; shift 4
  (cd "$source/content" && exec "$capture" --video "$target" --size 320x240 --fps 30 "$@") \
    2>"$work/err" >/dev/null
  local got=$?
  check "$name: exit $code (got $got)" test "$got" -eq "$code"
  check "$name: one line naming the cause: $(head -c 120 "$work/err")" one_line_with "$message"
  if [ -L "$target" ]; then  # a link to something else stays as it was
    check "$name: the link and no temporary file" test "$(readlink "$target")" = "$link_to"
    no_temporary "$target" || { echo "FAIL $name: temporary file left"; failures=$((failures + 1)); }
  else
    check "$name: nothing at the target" nothing_at "$target"
  fi
}

expect "unknown extension" 1 "unknown video type" "$work/show.avi" --until 1
expect "no extension" 1 "unknown video type" "$work/show" --until 1
expect "odd size" 1 "even width and height" "$work/show.mp4" --until 1 --size 321x240
expect "size beyond 8192" 1 "16 to 8192" "$work/show.mp4" --until 1 --size 9000x240
expect "size that is not WxH" 1 "--size takes" "$work/show.mp4" --until 1 --size big
# Beyond every H.264 level: refused before start-up, so at once.
start=$(date +%s%N)
expect "size no level allows" 1 "no H.264 level allows it" "$work/show.mp4" --until 1 --size 8192x8192
check "size no level allows: refused within a second" \
  test $(( ($(date +%s%N) - start) / 1000000 )) -lt 1000
expect "rate no level allows" 1 "no H.264 level allows it" "$work/show.mp4" --until 1 \
  --size 7680x4320 --fps 240
expect "missing folder" 1 "No such file or directory" "$work/none/show.mp4" --until 1
expect "folder that is a file" 1 "Not a directory" "$work/err/show.mp4" --until 1
link_to=/dev/full
ln -s $link_to "$work/device.mp4"
expect "target that is a device" 1 "not a regular file" "$work/device.mp4" --until 1
check "the device is still a device" test -c /dev/full
rm "$work/device.mp4"

mkdir "$work/readonly" "$work/full"
if mount -t tmpfs -o size=1M tmpfs "$work/full" 2>/dev/null; then
  mounted+=("$work/full")
  expect "full disk (1 MB tmpfs)" 1 "No space left on device" "$work/full/show.mp4" --until 12 --size 640x480
else
  # No mount allowed: the file-size limit fails the writes the same way.
  (ulimit -f 1024; trap '' XFSZ; expect "full disk (file-size limit)" 1 "File too large" \
    "$work/full/show.mp4" --until 12 --size 640x480; exit $failures)
  failures=$?
fi
if mount -t tmpfs -o ro tmpfs "$work/readonly" 2>/dev/null; then
  mounted+=("$work/readonly")
  expect "read-only folder" 1 "Read-only file system" "$work/readonly/show.mkv" --until 1
elif [ "$(id -u)" -ne 0 ]; then
  chmod 555 "$work/readonly"
  expect "unwritable folder" 1 "Permission denied" "$work/readonly/show.mkv" --until 1
fi

# A missing music file: the show's own message and start-up exit code.
cp -r "$source/content" "$work/content"
rm "$work/content/music/belvamarch.ogg"
(cd "$work/content" && exec "$capture" --video "$work/show.mp4" --size 320x240 --until 1) \
  2>"$work/err" >/dev/null
got=$?
check "missing music: exit 255 (got $got)" test "$got" -eq 255
check "missing music: Sound error." grep -qF "Sound error." "$work/err"
check "missing music: nothing at the target" nothing_at "$work/show.mp4"

# Music that runs out early (the file cut at 100 kB, the music ending at
# 6.1 s of the show): a one-line warning naming the file and the time, and
# the export goes on as the show would; with --strict nothing is written.
head -c 100000 "$source/content/music/belvamarch.ogg" >"$work/content/music/belvamarch.ogg"
(cd "$work/content" && exec "$capture" --video "$work/cut.mp4" --size 320x240 --fps 30 --until 8) \
  2>"$work/err" >/dev/null
got=$?
check "cut music: exit 0 (got $got)" test "$got" -eq 0
check "cut music: one warning naming the file and the time: $(grep warning "$work/err")" \
  test "$(grep -c 'warning: music/belvamarch.ogg runs out at 6.1 s' "$work/err")" -eq 1
check "cut music: the file is written" test -s "$work/cut.mp4"
expect_in() {  # the cut music's content folder
  (cd "$work/content" && exec "$capture" --video "$2" --size 320x240 --fps 30 --until 8 --strict) \
    2>"$work/err" >/dev/null
  got=$?
  check "$1: exit 1 (got $got)" test "$got" -eq 1
  check "$1: one line: $(head -c 120 "$work/err")" one_line_with "runs out at 6.1 s"
  check "$1: nothing at the target" nothing_at "$2"
}
expect_in "cut music with --strict" "$work/strict.mp4"
# Music that lasts past the end of a shorter export: no warning.
(cd "$work/content" && exec "$capture" --video "$work/early.mp4" --size 320x240 --fps 30 --until 6) \
  2>"$work/err" >/dev/null
check "cut music, export ending before it runs out: no warning" \
  test "$(grep -c warning "$work/err")" -eq 0

# Interrupted while writing: exit 130, the temporary file gone, an older
# file at the target left as it was.
echo "older" >"$work/kept.mp4"
(cd "$source/content" && exec "$capture" --video "$work/kept.mp4" --size 320x240 --fps 30) \
  2>"$work/err" >/dev/null &
pid=$!
for _ in $(seq 1 100); do
  [ -n "$(find "$work" -maxdepth 1 -name '.kept.mp4.*.part' -size +1k)" ] && break
  sleep 0.1
done
check "interrupt: the export had begun writing" \
  test -n "$(find "$work" -maxdepth 1 -name '.kept.mp4.*.part')"
kill -INT $pid
wait $pid
got=$?
check "interrupt: exit 130 (got $got)" test "$got" -eq 130
check "interrupt: one line: $(cat "$work/err")" one_line_with "interrupted"
check "interrupt: the older file is untouched" test "$(cat "$work/kept.mp4")" = older
rm "$work/kept.mp4"
check "interrupt: no temporary file left" nothing_at "$work/kept.mp4"

echo "$failures failed"
[ "$failures" -eq 0 ]
