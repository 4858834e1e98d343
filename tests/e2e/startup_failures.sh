#!/usr/bin/env bash
# Start-up failures, end to end: each broken content file gives its message
# box (caption and text) and exit code -1, with the show's window not on
# screen while the box is up, and nothing left running.
# Usage: startup_failures.sh BUILD_DIR SOURCE_DIR (re-runs itself under Xvfb).
set -u
build=$(cd "$1" && pwd); source=$(cd "$2" && pwd)
. "$source/tests/e2e/lib/x11.bash"
under_xvfb 800x600 300 "$0" "$build" "$source"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

# expect_failure LABEL CAPTION TEXT SETUP: copies the content, applies SETUP
# inside the copy, runs the show, dismisses the box and checks the outcome.
expect_failure() {
  local label=$1 caption=$2 text=$3 setup=$4
  rm -rf "$work/content"; cp -r "$source/content" "$work/content"
  (cd "$work/content" && eval "$setup")
  (cd "$work/content" && exec "$build/nitrate" 2>"$work/stderr") &
  local pid=$! box state rc failed_before=$failures
  box=$(wait_for_window "$caption" 20)
  check "$label: a box titled '$caption' appears" test -n "$box"
  state=IsUnMapped
  local show; show=$(window_id NITRATE)
  [ -n "$show" ] && state=$(map_state "$show")
  check "$label: the show's window is not shown" test "$state" != IsViewable
  [ -n "$box" ] && dismiss "$box" "$pid"
  wait_exit "$pid" 10; rc=$?
  check "$label: exit code -1 (got $rc)" test "$rc" -eq 255
  check "$label: stderr says '$caption: $text'" grep -qF "$caption: $text" "$work/stderr"
  check "$label: no window is left behind" test "$(window_count "$caption")" -eq 0
  [ "$failures" -eq "$failed_before" ] || sed 's/^/     stderr: /' "$work/stderr"
}

expect_failure "missing shader" "shaders/plasma.fs" "Could not open" "rm shaders/plasma.fs"
# Fragment sources are read first, in list order.
expect_failure "two missing shaders" "shaders/screen.fs" "Could not open" \
  "rm shaders/screen.fs shaders/tunnel.vs"
expect_failure "shader that does not compile" "shaders/tunnel.fs" "0:1(1): error" \
  "echo 'this is not GLSL' > shaders/tunnel.fs"
expect_failure "missing image" "images/f2.png" "File error." "rm images/f2.png"
expect_failure "image with text contents" "images/brick.png" "unknown image type" \
  "echo 'just some text' > images/brick.png"
expect_failure "missing mesh" "3d/cube.obj" "Could not open" "rm 3d/cube.obj"
# A file cut short is refused by the header check, before the window.
expect_failure "image cut short" "images/f3.png" "PNG file ends early" \
  "head -c 33 images/f3.png > f3 && mv f3 images/f3.png"
# A whole PNG whose picture data is damaged fails its checksums when it is
# read, before the window opens, and gives the decoder's reason (which fault
# it finds depends on the bytes that the damage meets).
expect_failure "image with a damaged body" "images/f3.png" "IDAT: " \
  "printf U | dd of=images/f3.png bs=1 seek=200 conv=notrunc 2>/dev/null"
# JPEG picture data has no checksum: its damage is found by running the data
# through the entropy decoder when the file is read, before the window opens.
damage_jpeg='import sys; p=sys.argv[1]; d=bytearray(open(p,"rb").read()); d[len(d)//2:len(d)//2+2]=b"\xff\x55"; open(p,"wb").write(d)'
expect_failure "JPEG with damaged picture data" "images/present.jpg" \
  "Corrupt JPEG data: premature end of data segment" "python3 -c '$damage_jpeg' images/present.jpg"
# Sizes beyond what the show can hold are refused from the header, before a
# pixel is decoded, with the reason.
big_png='import struct,sys,zlib; w=h=int(sys.argv[1]); ihdr=b"IHDR"+struct.pack(">IIBBBBB",w,h,8,2,0,0,0); sys.stdout.buffer.write(b"\x89PNG\r\n\x1a\n"+struct.pack(">I",13)+ihdr+struct.pack(">I",zlib.crc32(ihdr)))'
expect_failure "image claiming 65535 x 65535" "images/stars.png" "image too large: 65535 x 65535" \
  "python3 -c '$big_png' 65535 > images/stars.png"
expect_failure "image of 9000 x 9000 pixels" "images/mandelbrot.png" "image too large: 9000 x 9000" \
  "python3 -c '$big_png' 9000 > images/mandelbrot.png"

# With no display named, a refusal is on stderr alone: no box program is
# started to find that out (SDL would run zenity, a quarter of a second).
rm -rf "$work/content"; cp -r "$source/content" "$work/content"; rm "$work/content/images/f2.png"
mkdir "$work/bin"
printf '#!/bin/sh\ntouch "%s/zenity-ran"\nexit 1\n' "$work" >"$work/bin/zenity"
chmod +x "$work/bin/zenity"
(cd "$work/content" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u WAYLAND_SOCKET \
  PATH="$work/bin:$PATH" SDL_VIDEODRIVER=offscreen "$build/nitrate" 2>"$work/stderr") &
wait_exit $! 10; rc=$?
check "no display: exit code -1 (got $rc)" test "$rc" -eq 255
check "no display: stderr says 'images/f2.png: File error.'" \
  grep -qF "images/f2.png: File error." "$work/stderr"
check "no display: no box program was started" test ! -e "$work/zenity-ran"

echo "$failures failed"
[ "$failures" -eq 0 ]
