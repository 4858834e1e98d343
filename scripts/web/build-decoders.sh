#!/usr/bin/env bash
# Builds the content decoders (zlib, libpng, libjpeg-turbo, libogg,
# libvorbis/vorbisfile) for WebAssembly from Debian's own source packages, at
# the versions the desktop build links, so that both decode every image and
# every sample alike. apt-get source checks each file against the .dsc it
# fetched through the signed archive index; nothing else is downloaded.
#
#   scripts/web/build-decoders.sh PREFIX
#
# Installs headers and static libraries under PREFIX (include/, lib/). A
# finished build leaves PREFIX/.built holding the versions; a second run with
# the same versions does nothing. Exits with 77 when the sources cannot be
# fetched (no archive, or not these versions), with 1 when a build fails.
set -euo pipefail
prefix=$(realpath -m "${1:?usage: build-decoders.sh PREFIX}")
here=$(cd "$(dirname "$0")" && pwd)
work="$prefix/src"
jobs=${JOBS:-2}

# Source package=version, as Debian 12's archive holds them.
sources=(
  "zlib=1:1.2.13.dfsg-1"
  "libpng1.6=1.6.39-2+deb12u5"
  "libjpeg-turbo=1:2.1.5-2"
  "libogg=1.3.5-3"
  "libvorbis=1.3.7-1"
)
stamp="$prefix/.built"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "${sources[*]}" ]; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# apt-get source needs the archive's Sources index: add a deb-src entry for
# the suites already configured, once.
ensure_deb_src() {
  if grep -rqs '^\s*Types:.*deb-src\|^\s*deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return
  fi
  echo "Adding deb-src entries for Debian's source packages"
  $sudo tee /etc/apt/sources.list.d/nitrate-deb-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  $sudo apt-get update -qq || cannot_fetch "the archive's Sources index"
}

cannot_fetch() {
  echo "build-decoders: cannot fetch $1 from Debian's archive" >&2
  exit 77
}

fetch() {  # package=version -> unpacked tree in $work/<package>
  local spec=$1 package=${1%%=*}
  rm -rf "${work:?}/$package" "$work/dl-$package"
  mkdir -p "$work/dl-$package"
  # apt downloads as its own unprivileged user where that user may write.
  chmod 777 "$work/dl-$package" 2>/dev/null || true
  (cd "$work/dl-$package" && apt-get source -qq --download-only "$spec" >/dev/null) ||
    cannot_fetch "the source package $spec"
  local dsc
  dsc=$(ls "$work/dl-$package"/*.dsc)
  # Unpacking checks every file's size and checksums against the .dsc. The
  # maintainers' keys are not installed here: the .dsc itself came through
  # the signed archive index, so only that warning is dropped.
  local log="$work/dl-$package/unpack.log"
  if ! dpkg-source --require-strong-checksums -x "$dsc" "$work/$package" >"$log" 2>&1; then
    cat "$log" >&2
    echo "cannot unpack $dsc" >&2
    exit 1
  fi
}

# Each library is built once per version: its stamp names both.
stamps="$prefix/stamps"
done_already() { [ -f "$stamps/$1" ]; }
mark_done() { mkdir -p "$stamps" && touch "$stamps/$1"; }

ensure_deb_src
mkdir -p "$work" "$prefix/include" "$prefix/lib"
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
flags="-O2 -pthread"
cmake_common=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_INSTALL_PREFIX=$prefix"
              -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF)

spec=${sources[0]}
if ! done_already "$spec"; then
  echo "zlib"
  fetch "$spec"
  (cd "$work/zlib" && CFLAGS="$flags" emconfigure ./configure --static --prefix="$prefix" >/dev/null &&
    emmake make -j"$jobs" libz.a >/dev/null && emmake make install >/dev/null)
  mark_done "$spec"
fi

spec=${sources[1]}
if ! done_already "$spec"; then
  echo "libpng"
  fetch "$spec"
  (cd "$work/libpng1.6" && mkdir -p build && cd build &&
    emcmake cmake .. "${cmake_common[@]}" -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
      -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a" >/dev/null &&
    emmake make -j"$jobs" png_static >/dev/null && emmake make install >/dev/null 2>&1 || true)
  [ -f "$prefix/lib/libpng16.a" ] || { echo "libpng did not build" >&2; exit 1; }
  mark_done "$spec"
fi

# The type-size probe misreads wasm32 under emcmake; the sizes are known.
spec=${sources[2]}
if ! done_already "$spec"; then
  echo "libjpeg-turbo"
  fetch "$spec"
  (cd "$work/libjpeg-turbo" && mkdir -p build && cd build &&
    emcmake cmake .. "${cmake_common[@]}" -DENABLE_SHARED=OFF -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
      -DHAVE_SIZE_T=TRUE -DSIZE_T=4 -DHAVE_UNSIGNED_LONG=TRUE -DUNSIGNED_LONG=4 >/dev/null &&
    emmake make -j"$jobs" jpeg-static >/dev/null)
  cp "$work/libjpeg-turbo/build/libjpeg.a" "$prefix/lib/"
  cp "$work/libjpeg-turbo/jpeglib.h" "$work/libjpeg-turbo/jmorecfg.h" "$work/libjpeg-turbo/jerror.h" \
    "$work/libjpeg-turbo/build/jconfig.h" "$prefix/include/"
  mark_done "$spec"
fi

# CMake's type-size checks fail under emcmake here, and the autotools
# config.sub of these releases knows no wasm32: configure is told it builds
# for 32-bit little-endian ARM, which only makes it cross-compile (probing
# sizes by compiling, never running) with emcc. (Not i686: libvorbis would
# then add the x87-only -mno-ieee-fp, which clang refuses.)
autotools_host=(--host=arm-unknown-linux-gnu --build=x86_64-pc-linux-gnu)

spec=${sources[3]}
if ! done_already "$spec"; then
  echo "libogg"
  fetch "$spec"
  (cd "$work/libogg" && CFLAGS="$flags" emconfigure ./configure "${autotools_host[@]}" \
      --disable-shared --prefix="$prefix" >/dev/null &&
    emmake make -j"$jobs" >/dev/null && emmake make install >/dev/null)
  [ -f "$prefix/lib/libogg.a" ] || { echo "libogg did not build" >&2; exit 1; }
  mark_done "$spec"
fi

# The flags libvorbis's configure picks for x86_64, less the x87-only
# -mno-ieee-fp that clang refuses. Debian's own build ends with gcc at -O2
# -ffast-math, whose rounding in the inverse MDCT clang does not copy: the two
# decoders agree to within the last bit or two of a float sample (2^-21), not
# bit for bit, which is what make web-test allows against the desktop's.
vorbis_flags="-O3 -ffast-math -D_REENTRANT -fsigned-char -pthread"

spec=${sources[4]}
if ! done_already "$spec"; then
  echo "libvorbis"
  fetch "$spec"
  (cd "$work/libvorbis" && OGG_CFLAGS="-I$prefix/include" OGG_LIBS="-L$prefix/lib -logg" \
    CFLAGS="$flags" emconfigure ./configure "${autotools_host[@]}" \
      --disable-shared --disable-oggtest --with-ogg="$prefix" --prefix="$prefix" >/dev/null &&
    emmake make -j"$jobs" -C lib CFLAGS="$vorbis_flags" >/dev/null &&
    emmake make -C lib install >/dev/null &&
    emmake make -C include install >/dev/null)
  [ -f "$prefix/lib/libvorbisfile.a" ] || { echo "libvorbis did not build" >&2; exit 1; }
  mark_done "$spec"
fi

for lib in libz.a libpng16.a libjpeg.a libogg.a libvorbis.a libvorbisfile.a; do
  [ -f "$prefix/lib/$lib" ] || { echo "missing $prefix/lib/$lib" >&2; exit 1; }
done
rm -rf "${work:?}"
echo "${sources[*]}" >"$stamp"
echo "decoders built in $prefix"
