#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need,
# asking apt only for what is missing. Run as root (or with sudo available).
# With the argument "desktop" it installs only what the desktop tests need
# (PipeWire, mutter: make desktop-test), with "web" only what the web build
# and its tests need (emscripten, chromium: scripts/web/packages.txt); make
# run and make test need neither.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libx11-dev libstb-dev libgl-dev libgl1-mesa-dri libegl-mesa0
  libgtest-dev
  libvorbis-dev libpng-dev libjpeg-dev zlib1g-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev
  clang libclang-rt-dev clang-format clang-tidy
  xvfb xauth xdotool imagemagick x11-utils openbox
  pulseaudio pulseaudio-utils weston xwayland
  sox libsox-fmt-all
  python3 python3-pil python3-numpy
  fonts-yanone-kaffeesatz fonts-oldstandard fonts-dejavu-core
)
lists=(scripts/content-packages.txt scripts/music-packages.txt)
case "${1:-}" in
  desktop) packages=() lists=(scripts/desktop-packages.txt) ;;
  web) packages=() lists=(scripts/web/packages.txt) ;;
esac
for list in "${lists[@]}"; do
  [ -f "$list" ] && while read -r name; do
    [ -n "$name" ] && packages+=("$name")
  done < <(grep -v '^\s*#' "$list")
done

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
