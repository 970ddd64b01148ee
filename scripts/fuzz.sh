#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang into build-fuzz/ and
# runs each in turn, for SECONDS each (default 60) or until RUNS executions,
# whichever comes first:
#   scripts/fuzz.sh [--time SECONDS] [--runs RUNS] [fuzz_frames fuzz_server fuzz_client]
# Each starts from its seed corpus in tests/fuzz/corpus/<target>, which stays as
# it is; what a run finds goes to build-fuzz/corpus/<target>, a crash to
# build-fuzz/crashes/, the run's output to build-fuzz/<target>.log.
#
# The targets are built with the address and undefined-behaviour sanitizers;
# undefined behaviour counts as a crash. Their sanitizer defaults
# (tests/fuzz/sanitizer_defaults.cpp) keep a run's memory flat, about 190 MB;
# a run that still grows past 1 GB stops as a finding.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
runs=-1
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --time) seconds="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_frames fuzz_server fuzz_client)
fi

# clang and its libFuzzer runtime: only fuzzing needs them.
scripts/install-deps.sh clang libclang-rt-14-dev

BUILD_TARGETS="${targets[*]}" scripts/build.sh build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DPYLONET_FUZZ=ON

mkdir -p build-fuzz/crashes
status=0
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  echo "== $t: up to $seconds s or $runs runs"
  if ! build-fuzz/tests/fuzz/"$t" -max_total_time="$seconds" -runs="$runs" -print_final_stats=1 -rss_limit_mb=1024 \
      -artifact_prefix=build-fuzz/crashes/"$t"- "build-fuzz/corpus/$t" "tests/fuzz/corpus/$t" \
      >"build-fuzz/$t.log" 2>&1; then
    status=1
    echo "$t FAILED; see build-fuzz/$t.log and build-fuzz/crashes/" >&2
  fi
  grep -E "^(Done|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)" "build-fuzz/$t.log" || tail -5 "build-fuzz/$t.log"
done
exit $status
