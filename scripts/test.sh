#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite headless.
#   scripts/test.sh [ctest options]
#   scripts/test.sh --sanitize [ctest options]   the same suite built with the
#       address and undefined-behaviour sanitizers, in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
if [ "${1:-}" = "--sanitize" ]; then
  shift
  scripts/build.sh build-sanitize -DPYLONET_SANITIZE=ON
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
  exec ctest --test-dir build-sanitize --output-on-failure -j2 "$@"
fi
scripts/build.sh
ctest --test-dir build --output-on-failure -j2 "$@"
