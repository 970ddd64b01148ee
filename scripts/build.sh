#!/usr/bin/env bash
# Configures and builds (two jobs: the machines have two cores).
#   scripts/build.sh [DIR [CMAKE-OPTION...]]   DIR defaults to build/; the options go to cmake,
#   and BUILD_TARGETS, when set, limits the build to those targets.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
[ $# -gt 0 ] && shift
scripts/install-deps.sh
# A compiler cache, where there is one, shared by every checkout of the project on the machine.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
# shellcheck disable=SC2086 # the targets are words
cmake --build "$dir" -j2 ${BUILD_TARGETS:+--target $BUILD_TARGETS}
