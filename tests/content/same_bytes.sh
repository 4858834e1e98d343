#!/usr/bin/env bash
# make content writes the same bytes: regenerates the images, the mesh and the
# music into a temporary folder and compares every file with content/ (none
# missing, none extra, none different). The images and the music are made side
# by side, one core each; together they take about 35 s of CPU.
# Usage: same_bytes.sh BUILD_DIR SOURCE_DIR
set -u
build=${1:?usage: same_bytes.sh BUILD_DIR SOURCE_DIR} source=${2:?usage: same_bytes.sh BUILD_DIR SOURCE_DIR}
python=/usr/bin/python3  # Debian's, with its Pillow and NumPy: the bytes depend on them
out=$(mktemp -d); trap 'rm -rf "$out"' EXIT
start=$SECONDS

"$python" "$source/tools/make_images.py" --out "$out/images" >"$out/images.log" 2>&1 &
images=$!
mkdir -p "$out/music"
"$build/tools/music/make-music" "$out/music/belvamarch.ogg" >"$out/music.log" 2>&1 &
music=$!
"$python" "$source/tools/make_mesh.py" --out "$out/3d" >"$out/mesh.log" 2>&1
mesh_rc=$?
wait $images; images_rc=$?
wait $music; music_rc=$?

failed=0
for part in images:$images_rc mesh:$mesh_rc music:$music_rc; do
  if [ "${part#*:}" != 0 ]; then
    echo "${part%%:*} generator failed (exit ${part#*:}):"; cat "$out/${part%%:*}.log"; failed=1
  fi
done
[ $failed = 0 ] || exit 1

# diff -r names each file that differs or is only on one side.
for folder in images 3d music; do
  diff -r "$source/content/$folder" "$out/$folder" || failed=1
done
if [ $failed != 0 ]; then
  echo "content/ is not what make content writes: run make content and commit the result,"
  echo "or find what made the generators' output change"
  exit 1
fi
count=$(find "$out/images" "$out/3d" "$out/music" -type f | wc -l)
echo "make content rewrote all $count files byte for byte in $((SECONDS - start)) s"
