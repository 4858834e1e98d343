#!/usr/bin/env bash
# The figures behind --share: the whole show at 1280 x 720, 30/s and at
# 1920 x 1080, 60/s exported with --share, and its first 20 s with the
# default settings, each measured by video-measure (BUILD_DIR/video-measure,
# from video_measure.cpp): file size, mean and peak one-second bitrate, the level
# and its buffer, PSNR against PNG captures of a title card and a scene, and
# the grain kept in the blacks. Writes side-by-side crops of the grain
# (captured, default, --share) into OUT_DIR. Heavy: two whole exports, run
# at low priority.
#   tools/capture/video_share_bench.sh BUILD_DIR [OUT_DIR]
set -eu
build=$(cd "${1:?build dir}" && pwd)
out=$(mkdir -p "${2:-$build/video-share}" && cd "${2:-$build/video-share}" && pwd)
tools=$(cd "$(dirname "$0")" && pwd)
cd "$tools/../../content"
capture="$build/nitrate-capture"
measure="$build/video-measure"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy DISPLAY=

[ -x "$measure" ] || { echo "no $measure: build the project first"; exit 1; }

card=7 scene=40.5  # a title card; the planes scene
for run in "1280x720 30" "1920x1080 60"; do
  read -r size fps <<<"$run"
  label="${size##*x}p$fps"
  mkdir -p "$out/png-$label"
  nice -n 15 "$capture" --at "$card,$scene" --out "$out/png-$label" --size "$size" --fps "$fps"
  for mode in default share; do
    args=(--until 20) pictures=("$card=$out/png-$label/t$card.png")
    [ "$mode" = share ] && args=(--share) pictures+=("$scene=$out/png-$label/t$scene.png")
    /usr/bin/time -f "%e" -o "$out/time" nice -n 15 "$capture" --video "$out/$mode-$label.mp4" \
      --size "$size" --fps "$fps" "${args[@]}" 2>"$out/log" || { cat "$out/log"; exit 1; }
    echo "== $mode $size $fps/s ${args[*]}: exported in $(cat "$out/time") s (load $(cut -d' ' -f1 /proc/loadavg))"
    tail -n 1 "$out/log" | sed 's/^/    /'
    mkdir -p "$out/$mode-$label"
    "$measure" "$out/$mode-$label.mp4" "$fps" "${pictures[@]}" --dump "$out/$mode-$label"
  done
  # The grain in the blacks of the card, twice enlarged: as it is, and
  # four times brighter below, where the grain and any blotches show.
  w=${size%x*} h=${size#*x}
  crop="$((w / 5))x$((h / 5))+$((w * 13 / 100))+$((h / 10))"
  crops=()
  for brighter in 0 1; do
    for source in "png-$label" "default-$label" "share-$label"; do
      level=()
      [ "$brighter" = 1 ] && level=(-level 0%,25%)
      convert "$out/$source/t$card.png" -crop "$crop" +repage -scale 200% "${level[@]}" \
        "$out/crop-$source-$brighter.png"
      crops+=("$out/crop-$source-$brighter.png")
    done
  done
  montage "${crops[@]}" -tile 3x -geometry +4+4 "$out/grain-$label.png"
done
ls -l "$out"/*.mp4
