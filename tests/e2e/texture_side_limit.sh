#!/bin/bash
# A picture wider than the OpenGL driver's largest texture side is refused at
# start-up with its path and the sizes, instead of playing as an empty
# texture; a driver that takes it plays it. The driver's limit is set by a
# small preloaded library that answers GL_MAX_TEXTURE_SIZE with the number
# in NITRATE_TEST_MAX_TEXTURE_SIZE and passes every other query through.
#   bash texture_side_limit.sh BUILD_DIR SOURCE_DIR   (exit 0: every check passes)
set -u
. "$(dirname "$0")/lib/pictures.bash"
picture_test_setup "$@"

cat >"$out/limit.c" <<'CEOF'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
void glGetIntegerv(unsigned int name, int* value) {
  static void (*real)(unsigned int, int*);
  if (!real) real = (void (*)(unsigned int, int*))dlsym(RTLD_NEXT, "glGetIntegerv");
  real(name, value);
  const char* limit = getenv("NITRATE_TEST_MAX_TEXTURE_SIZE");
  if (name == 0x0D33 && limit) *value = atoi(limit); /* GL_MAX_TEXTURE_SIZE */
}
CEOF
cc -shared -fPIC -o "$out/limit.so" "$out/limit.c" -ldl || { echo "cannot build the limit library"; exit 1; }

# The content with the film gate swapped for a picture 4100 pixels wide; the
# gate is checked before the film-writing reel, which is 8192 high itself.
mkdir -p "$out/content"
cp -r "$source/content/." "$out/content/"
"$python" -c 'import sys; from PIL import Image; Image.new("RGB", (4100, 8), (12, 12, 12)).save(sys.argv[1], quality=90)' \
  "$out/content/images/frame.jpg"

failures=0
check() {  # check WHAT COMMAND...
  if "${@:2}"; then echo "ok    $1"; else echo "FAIL  $1"; failures=$((failures + 1)); fi
}
start_with_limit() {  # start_with_limit LIMIT: one early frame; sets rc, the log in $out/LIMIT.log
  NITRATE_TEST_MAX_TEXTURE_SIZE=$1 LD_PRELOAD="$out/limit.so" SDL_VIDEODRIVER=offscreen \
    DISPLAY= SDL_AUDIODRIVER=dummy "$capture" --content "$out/content" --out "$out/shots$1" \
    --size 320x240 --fps 8 --at 0.5 >"$out/$1.log" 2>&1
  rc=$?
}

start_with_limit 4096
check "driver limit 4096: start-up fails with exit code -1 (got $rc)" test "$rc" -eq 255
message="images/frame.jpg: image too large: 4100 x 8 pixels (this OpenGL driver takes at most 4096 on a side)"
check "driver limit 4096: says '$message'" grep -qF "$message" "$out/4096.log"
check "driver limit 4096: no picture written" test ! -e "$out/shots4096/t0.5.png"

start_with_limit 8192
check "driver limit 8192: the same content plays (got $rc)" test "$rc" -eq 0
check "driver limit 8192: its picture is written" test -s "$out/shots8192/t0.5.png"
check "driver limit 8192: nothing refused" bash -c "! grep -q 'too large' '$out/8192.log'"

[ "$failures" -eq 0 ] || sed 's/^/     log: /' "$out"/*.log
picture_test_result "$failures" "texture side limit checks"
