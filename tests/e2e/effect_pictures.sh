#!/bin/bash
# The scene sections through the real projector: for each effect section, the
# picture in the middle of it has structure (not a flat fill), differs from
# the picture two film frames later (adjacent request times can repeat a
# film frame in the capture tool), and differs from the card shown before it.
# One capture run at 320 x 240 covers every time.
#   bash effect_pictures.sh BUILD_DIR SOURCE_DIR   (exit 0: all pictures pass)
set -u
build=${1:?build dir}
source=${2:?source dir}
capture="$build/nitrate-capture"
for tool in convert compare; do
  command -v $tool >/dev/null || { echo "ImageMagick's $tool is missing"; exit 1; }
done
[ -x "$capture" ] || { echo "no capture tool at $capture"; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# name, middle of the section, whether it moves, the card before it. The
# zoom slows as it deepens (its scale follows the square root of its
# progress) and its shading is soft, so it is taken a second before its
# middle, where two film frames still move it clearly past the grain.
sections=(
  "star-tunnel 36.5 moves 31.5"
  "planes 41.5 moves 31.5"
  "brick-tunnel 51.5 moves 46.5"
  "metaballs 61.5 moves 56.5"
  "cube 71.5 moves 66.5"
  "textured-cube 81.5 moves 76.5"
  "swaying-tunnel 91.5 moves 86.5"
  "mandelbrot-zoom 100.5 moves 96.5"
  "metaballs-again 111.5 moves 106.5"
)
times=""
for entry in "${sections[@]}"; do
  read -r name middle moves card <<<"$entry"
  next=$(awk "BEGIN { print $middle + 0.125 }")
  cardNext=$(awk "BEGIN { print $card + 0.125 }")
  times="$times,$middle,$next,$card,$cardNext"
done
times=$(tr ',' '\n' <<<"${times#,}" | sort -n -u | paste -sd,)

if ! "$capture" --content "$source/content" --at "$times" --out "$out" --fps 16 --size 320x240 \
    >"$out/capture.log" 2>&1; then
  echo "capture failed:"; cat "$out/capture.log"; exit 1
fi

# The picture area: the 4:3 gate without its rounded corners and frame line.
crop="240x176+40+32"
spread() { convert "$1" -crop $crop -colorspace Gray -format "%[fx:standard_deviation]" info:; }
# Mean absolute difference of two pictures' picture areas, 0 to 1, each
# stretched to its full range first so the lamp's flicker does not count.
difference() {
  convert \( "$1" -crop $crop +repage -colorspace Gray -auto-level \) \
    \( "$2" -crop $crop +repage -colorspace Gray -auto-level \) \
    -compose difference -composite -format "%[fx:mean]" info:
}

failures=0
check() {  # description, value, comparison, threshold
  if awk "BEGIN { exit !($2 $3 $4) }"; then
    printf "ok    %-44s %s\n" "$1" "$2"
  else
    printf "FAIL  %-44s %s (wanted %s %s)\n" "$1" "$2" "$3" "$4"
    failures=$((failures + 1))
  fi
}

for entry in "${sections[@]}"; do
  read -r name middle moves card <<<"$entry"
  next=$(awk "BEGIN { print $middle + 0.125 }")
  picture="$out/t$middle.png"
  cardNext=$(awk "BEGIN { print $card + 0.125 }")
  for file in "$picture" "$out/t$next.png" "$out/t$card.png" "$out/t$cardNext.png"; do
    [ -f "$file" ] || { echo "FAIL  $name: $(basename "$file") was not written"; failures=$((failures + 1)); continue 2; }
  done
  check "$name has structure (grey deviation)" "$(spread "$picture")" ">" 0.05
  # Grain, scratches and weave differ between any two film frames: the still
  # card's two frames measure them, and a moving scene must beat that clearly.
  still=$(difference "$out/t$card.png" "$out/t$cardNext.png")
  [ "$moves" = moves ] && check "$name moves over two film frames (still: $still)" \
    "$(difference "$picture" "$out/t$next.png")" ">" "$(awk "BEGIN { print 1.5 * $still + 0.005 }")"
  check "$name differs from the card before it" "$(difference "$picture" "$out/t$card.png")" ">" 0.06
done

if [ $failures -ne 0 ]; then
  echo "$failures picture checks failed (captures kept in $out)"
  trap - EXIT
  exit 1
fi
echo "all effect pictures pass"
