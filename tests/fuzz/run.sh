#!/usr/bin/env bash
# Runs each libFuzzer target for SECONDS (at the lowest priority), seeded
# from the content files, and keeps every crashing input under
# tests/fuzz/regressions/<target>/ for make test to replay. Prints the
# executions per target; exits non-zero when any target found a crash.
# Usage: run.sh FUZZ_BUILD_DIR SECONDS [TARGET...]
set -u
build=$(cd "$1" && pwd); seconds=$2; shift 2
source=$(cd "$(dirname "$0")/../.." && pwd)
targets=("$@"); [ ${#targets[@]} -eq 0 ] && targets=(obj_reader image_decoder vorbis_decoder whole_file)
content=$source/content

# seed TARGET DIR: small inputs made from the content, so that every run of
# the target is quick; the whole files are in make test's replay.
seed() {
  local dir=$2
  mkdir -p "$dir"
  case $1 in
    obj_reader|whole_file) cp "$content/3d/cube.obj" "$dir/" ;;
    vorbis_decoder) head -c 16384 "$content/music/belvamarch.ogg" >"$dir/march-head.ogg" ;;
    image_decoder)
      cp "$content/images/brick.png" "$content/images/f3.png" "$dir/"
      local small=(-resize 48x36\!)
      convert "$content/images/frame.jpg" "${small[@]}" "$dir/baseline.jpg"
      convert "$content/images/frame.jpg" "${small[@]}" -interlace JPEG "$dir/progressive.jpg"
      convert "$content/images/frame.jpg" "${small[@]}" -colorspace Gray "$dir/grey.jpg"
      convert "$content/images/frame.jpg" "${small[@]}" -colorspace CMYK "$dir/cmyk.jpg"
      convert "$content/images/stars.png" "${small[@]}" -interlace PNG "$dir/interlaced.png"
      convert "$content/images/stars.png" "${small[@]}" -depth 16 "$dir/deep.png"
      convert "$content/images/stars.png" "${small[@]}" -colors 16 "PNG8:$dir/palette.png"
      convert "$content/images/f1.png" "${small[@]}" "$dir/alpha.png"
      ;;
  esac
}

found=0
for target in "${targets[@]}"; do
  program=$build/tests/fuzz/nitrate-fuzz-$target
  corpus=$build/fuzz-corpus/$target; seeds=$build/fuzz-seeds/$target
  mkdir -p "$corpus" "$source/tests/fuzz/regressions/$target"
  [ -d "$seeds" ] || seed "$target" "$seeds"
  before=$(ls "$source/tests/fuzz/regressions/$target" | wc -l)
  nice -n 19 "$program" -max_total_time="$seconds" -rss_limit_mb=3072 -timeout=10 \
    -artifact_prefix="$source/tests/fuzz/regressions/$target/" -print_final_stats=1 \
    "$corpus" "$seeds" >"$build/fuzz-$target.log" 2>&1
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/fuzz-$target.log")
  after=$(ls "$source/tests/fuzz/regressions/$target" | wc -l)
  echo "fuzz $target: ${runs:-?} executions in $seconds s, $((after - before)) new crashing inputs"
  [ "$after" -gt "$before" ] && { found=1; grep -m3 -A12 "ERROR\|==ERROR\|runtime error\|Assertion" "$build/fuzz-$target.log"; }
done
exit $found
