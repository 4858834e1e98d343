#!/usr/bin/env bash
# The video export's speed on this machine: the whole show at 1920 x 1080,
# 60 passes a second, rendered alone (read back and converted, written to a
# raw YUV file, no encoding), encoded alone (from that raw file, no
# rendering) and both together; then 1280 x 720 at 30, and the peak memory
# at 3840 x 2160 over the first seconds. Prints the load average beside the
# figures, since other work on the machine slows every one of them.
#   tools/capture/video_bench.sh BUILD_DIR [OUT_DIR] [4K_SECONDS]
set -eu
build=$(cd "${1:?build dir}" && pwd)
out=$(mkdir -p "${2:-$build/video-bench}" && cd "${2:-$build/video-bench}" && pwd)
seconds4k=${3:-5}
cd "$(dirname "$0")/../../content"
capture="$build/nitrate-capture"
raw="$out/show-1080p.yuv"
trap 'rm -f "$raw"' EXIT

run() {  # run LABEL ARGS...: the tool's summary, wall time, peak memory, load before and after
  local label=$1; shift
  local before; before=$(cut -d' ' -f1 /proc/loadavg)
  /usr/bin/time -f "%e %M" -o "$out/time" "$capture" "$@" 2>"$out/log" || { cat "$out/log"; exit 1; }
  read -r wall kilobytes <"$out/time"
  printf "%-34s %8.1f s  %6.0f MB  load %s -> %s\n" "$label" "$wall" "$((kilobytes / 1024))" \
    "$before" "$(cut -d' ' -f1 /proc/loadavg)"
  tail -n 1 "$out/log" | sed 's/^/    /'
}

echo "video export benchmark, $(nproc) cores"
run "1080p60 render alone (+raw file)" --video "$out/x.mp4" --stage render --raw "$raw"
run "1080p60 encode alone (from raw)" --video "$out/encoded-1080p.mp4" --stage encode --raw "$raw"
rm -f "$raw"
run "1080p60 total" --video "$out/show-1080p.mp4"
cmp -s "$out/encoded-1080p.mp4" "$out/show-1080p.mp4" && echo "    the two stages made the same file as the whole export"
run "720p30 total" --video "$out/show-720p.mp4" --size 1280x720 --fps 30
run "2160p60 first ${seconds4k} s" --video "$out/show-2160p.mp4" --size 3840x2160 --until "$seconds4k"
ls -l "$out"/*.mp4
