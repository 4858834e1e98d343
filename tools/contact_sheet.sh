#!/usr/bin/env bash
# Writes docs/contact-sheet.jpg: one captured frame from the middle of every
# section of the show, labelled. Usage: tools/contact_sheet.sh [BUILD_DIR]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
# Section midpoints, nudged off film-frame boundaries so each shows an
# ordinary (not first, darker) pass of its film frame.
labels=("white fade-in" "film writing" "presents" "title" "programming" "pictures" "music"
  "definition" "star tunnel" "planes" "meanwhile" "brick tunnel" "dum dee dum" "metaballs"
  "meanwhile" "cube" "gazillion" "textured cube" "look cube" "tunnel back" "mathematics"
  "Mandelbrot" "that was" "metaballs" "greets 1" "greets 2" "the end" "burn-out")
times=(1.03 3.03 6.53 11.53 16.53 21.53 26.53 31.53 36.53 41.53 46.53 51.53 56.53 61.53
  66.53 71.53 76.53 81.53 86.53 91.53 96.53 101.53 106.53 111.53 116.53 121.53 126.53 129.53)
"$build/nitrate-capture" --content "$root/content" --at "$(IFS=,; echo "${times[*]}")" \
  --out "$work" --size 640x480 --fps 60
args=()
for i in "${!times[@]}"; do
  args+=(-label "$((i + 1)) ${labels[$i]} (${times[$i]} s)" "$work/t${times[$i]}.png")
done
montage "${args[@]}" -tile 7x -geometry 320x240+4+4 -background '#111' -fill '#ddd' \
  -pointsize 14 -quality 85 "$root/docs/contact-sheet.jpg"
