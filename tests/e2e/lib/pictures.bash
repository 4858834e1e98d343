# Helpers for the picture tests over captures. Sourced by the e2e scripts
# with BUILD_DIR and SOURCE_DIR as their arguments.

# picture_test_setup BUILD_DIR SOURCE_DIR: sets capture, python and source,
# checks that they are there, and makes an output folder $out that goes away
# when the script ends (unless picture_test_result keeps it).
picture_test_setup() {
  build=${1:?build dir}
  source=${2:?source dir}
  capture="$build/nitrate-capture"
  python=/usr/bin/python3
  [ -x "$capture" ] || { echo "no capture tool at $capture"; exit 1; }
  "$python" -c "import numpy, PIL" 2>/dev/null || { echo "python3 with numpy and Pillow is missing"; exit 1; }
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
}

# picture_test_result STATUS WHAT: ends the script; on failure keeps the
# captures for a look and says where they are.
picture_test_result() {
  if [ "$1" -ne 0 ]; then
    echo "$2 fail (captures kept in $out)"
    trap - EXIT
    exit 1
  fi
  echo "all $2 pass"
  exit 0
}
