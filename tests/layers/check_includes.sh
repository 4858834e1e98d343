#!/usr/bin/env bash
# The folders of src/ are layers, each including only itself and those below
# it. Prints every include that runs back up, and exits 1 when there is one.
# Usage: check_includes.sh SRC_DIR
set -u
src=${1:?usage: check_includes.sh SRC_DIR}
# Bottom first. Folders on one line share a layer and may include each other.
layers=(platform common "resources audio" demo app)

rank_of() {  # the layer index of a folder, or nothing for an unknown one
  local i
  for i in "${!layers[@]}"; do
    for folder in ${layers[$i]}; do
      [ "$folder" = "$1" ] && { echo "$i"; return; }
    done
  done
}

faults=0
for dir in "$src"/*/; do
  from=$(basename "$dir")
  from_rank=$(rank_of "$from")
  if [ -z "$from_rank" ]; then
    echo "src/$from: a folder that belongs to no layer"; faults=$((faults + 1)); continue
  fi
  while IFS=: read -r file line text; do
    to=$(sed -E 's/^#include "([a-z_]+)\/.*/\1/' <<<"$text")
    to_rank=$(rank_of "$to")
    if [ -z "$to_rank" ] || [ "$to_rank" -gt "$from_rank" ]; then
      echo "${file#"$src"/}:$line: $from includes $to, which is above it"
      faults=$((faults + 1))
    fi
  done < <(grep -rnE '^#include "[a-z_]+/' "$dir")
done
[ "$faults" -eq 0 ] || { echo "$faults include(s) run back up the layers"; exit 1; }
