#!/usr/bin/env bash
# A uniform name that its program does not list stops the build, in every
# build type, with an error that shows the name. The same file with a listed
# name must compile, so that the refusal is the name's and not the set-up's.
# Usage: unlisted_uniform.sh CXX SRC_DIR
set -u
cxx=${1:?usage: unlisted_uniform.sh CXX SRC_DIR} src=${2:?usage: unlisted_uniform.sh CXX SRC_DIR}
source_file=$(dirname "$0")/unlisted_uniform.cpp

compile() {  # compile UNIFORM_NAME [FLAGS...]: the compiler's output and status
  "$cxx" -std=c++20 -Wall -Wextra -fsyntax-only -I "$src" -DUNIFORM_NAME="\"$1\"" "${@:2}" \
    "$source_file" 2>&1
}

if ! out=$(compile ts); then
  echo "a listed uniform does not compile:"; echo "$out"; exit 1
fi
for build_type in -O0 "-O2 -DNDEBUG"; do
  # shellcheck disable=SC2086  # the build type's flags, split on purpose
  if out=$(compile tz $build_type); then
    echo "an unlisted uniform compiled ($build_type)"; exit 1
  fi
  if ! grep -q '"tz"' <<<"$out"; then
    echo "the error does not show the unlisted name ($build_type):"; echo "$out"; exit 1
  fi
done
echo "an unlisted uniform stops the build and is named"
