#!/usr/bin/env bash
# Every shader of the show, as the web backend translates it, must compile as
# GLSL ES 3.00 (glslangValidator, the reference compiler). Also checks that
# the translation keeps the file's line numbers: an error planted on a known
# line must be reported on that line.
#   tests/web/shaders_es.sh [WORKDIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-$(mktemp -d)}
mkdir -p "$work"
tool="$work/translate_shader"
g++ -std=c++20 -O1 -Wall -Wextra -Werror -I"$root/src" "$root/tests/web/translate_shader.cpp" \
  "$root/src/platform/web_shader_text.cpp" -o "$tool"

failed=0
for shader in "$root"/content/shaders/*.fs "$root"/content/shaders/*.vs; do
  name=$(basename "$shader")
  case "$name" in *.fs) stage=frag ;; *.vs) stage=vert ;; esac
  "$tool" "$shader" >"$work/$name.$stage"
  if ! grep -q '^#version 300 es$' "$work/$name.$stage"; then
    echo "FAIL $name: no ES version line after translation"; failed=1; continue
  fi
  if out=$(glslangValidator "$work/$name.$stage" 2>&1); then
    echo "ok   $name compiles as GLSL ES 3.00"
  else
    echo "FAIL $name"; echo "$out" | sed 's/^/     /'; failed=1
  fi
done

# The programs as the show links them: each vertex stage's outputs, the
# screen-linear ones carried in pairs, must meet its fragment stage's inputs.
for pair in tunnel.vs:tunnel.fs tunnel.vs:planes.fs projector.vs:projector.fs \
            projector.vs:metaballs.fs projector.vs:screen.fs projector.vs:plasma.fs \
            cube.vs:cube.fs cube.vs:texturedcube.fs; do
  vertex=${pair%%:*} fragment=${pair##*:}
  if out=$(glslangValidator -l "$work/$vertex.vert" "$work/$fragment.frag" 2>&1); then
    echo "ok   $vertex + $fragment link"
  else
    echo "FAIL $vertex + $fragment do not link"; echo "$out" | sed 's/^/     /'; failed=1
  fi
done

# A fault on line 30 of a file whose version line is line 28 (as in
# projector.fs) must be reported as line 30.
{
  for i in $(seq 1 27); do echo "// comment line $i"; done
  echo "#version 130"
  echo "out vec4 colour;"
  echo "void main() { colour = undeclared; }"
} >"$work/planted.fs"
"$tool" "$work/planted.fs" >"$work/planted.frag"
planted=$(glslangValidator "$work/planted.frag" 2>&1 || true)
if grep -q ':30: .*undeclared' <<<"$planted"; then
  echo "ok   compiler messages keep the file's line numbers"
else
  echo "FAIL the planted error is not reported on line 30:"
  sed 's/^/     /' <<<"$planted"
  failed=1
fi
exit $failed
