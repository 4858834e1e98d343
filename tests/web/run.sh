#!/usr/bin/env bash
# The web tests (make web-test): the shaders as GLSL ES 3.00, then the page in
# headless chromium beside the desktop capture tool.
#   tests/web/run.sh WEB_BUILD DESKTOP_BUILD
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
web=$(realpath "${1:-build-web}")
desktop=$(realpath "${2:-build}")
work=$(mktemp -d /tmp/nitrate-web-test.XXXXXX)
status=0
echo "== shaders as GLSL ES 3.00"
"$here/shaders_es.sh" "$work/shaders" || status=1
echo "== the page in headless chromium"
# What the sound device is handed at the start of the music, from the
# desktop's decoder and from the web build's (run by node), to compare with
# what the page's sound worklet plays.
root=$(cd "$here/../.." && pwd)
sources=("$here/music_checksum.cpp" "$root/src/audio/vorbis_decoder.cpp"
         "$root/src/audio/music_refill.cpp" "$root/src/platform/posix_whole_file.cpp")
# shellcheck disable=SC2046
g++ -std=c++20 -O2 -Wall -Wextra -Werror -I"$root/src" "${sources[@]}" \
  $(pkg-config --cflags --libs vorbisfile) -o "$work/music_checksum" || status=1
deps="$web/deps"
NODE_PATH=${NODE_PATH:-/usr/share/nodejs} em++ -std=c++20 -O2 -Wall -Wextra -Werror -pthread \
  -I"$root/src" -I"$deps/include" "${sources[@]}" "$deps/lib/libvorbisfile.a" \
  "$deps/lib/libvorbis.a" "$deps/lib/libogg.a" -sNODERAWFS=1 -sINITIAL_MEMORY=64MB \
  -sENVIRONMENT=node -o "$work/music_checksum.js" || status=1
nice -n 10 /usr/bin/python3 "$here/web_test.py" "$web" "$desktop" "$work/browser" \
  "$work/music_checksum" "$work/music_checksum.js" || status=1
echo "(pictures and files in $work)"
exit $status
