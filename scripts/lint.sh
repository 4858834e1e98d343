#!/usr/bin/env bash
# make lint: clang-format in check mode and clang-tidy (.clang-format,
# .clang-tidy) over the C++ of src/ and tools/. Exits non-zero on any
# finding; each one is printed with its file and line.
# Usage: scripts/lint.sh BUILD_DIR [JOBS]   (BUILD_DIR holds compile_commands.json)
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
jobs=${2:-2}

# Debian's unversioned names may point at another release, whose formatter
# breaks lines differently; the versioned 14 is the one the tree was formatted with.
pick() { command -v "$1-14" || command -v "$1" || { echo "lint: $1 not installed" >&2; exit 2; }; }
format=$(pick clang-format)
tidy=$(pick clang-tidy)
[ -f "$build/compile_commands.json" ] ||
  { echo "lint: no $build/compile_commands.json (configure the build first)" >&2; exit 2; }

# The web backend's files hold JavaScript in EM_JS and EM_ASM blocks, which
# the C++ formatter would break ("=>" becomes "= >"); they are formatted by hand.
javascript=(src/platform/web_audio.cpp src/platform/web_gl.cpp src/platform/web_window.cpp)
mapfile -t sources < <(find src tools \( -name '*.cpp' -o -name '*.h' \) | sort |
  grep -v -x -F "${javascript[@]/#/-e}")
status=0

"$format" --dry-run -Werror --style=file "${sources[@]}" || status=1

# clang-tidy sees the translation units the build compiles, each once (a
# source built into two targets has two entries), and through them the headers.
mapfile -t units < <(python3 - "$build/compile_commands.json" "$PWD" <<'PY'
import json, os, sys
root = sys.argv[2]
seen = set()
for entry in json.load(open(sys.argv[1])):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    rel = os.path.relpath(path, root)
    if rel.split(os.sep)[0] in ("src", "tools") and path not in seen:
        seen.add(path)
        print(path)
PY
)
[ ${#units[@]} -gt 0 ] || { echo "lint: no src/ or tools/ sources in $build/compile_commands.json" >&2; exit 2; }
# clang-tidy's tallies of what it left out of headers go; the findings stay.
printf '%s\n' "${units[@]}" | xargs -P "$jobs" -n 4 "$tidy" -p "$build" --quiet 2>&1 |
  grep -v -e ' warnings\? generated\.$' -e '^Suppressed ' -e '^Use -header-filter' -e '^Use -system-headers'
[ "${PIPESTATUS[1]}" -eq 0 ] || status=1

if [ "$status" -eq 0 ]; then
  echo "lint: ${#sources[@]} files formatted, ${#units[@]} translation units clean"
else
  echo "lint: findings above" >&2
fi
exit "$status"
