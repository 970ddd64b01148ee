#!/usr/bin/env bash
# Installs what is missing, builds, starts the crate simulator on 127.0.0.1
# and opens Pylonet against it. The simulator stops when Pylonet ends.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
sim=build/src/sim/pylonet-sim
app=build/src/app/pylonet
if [ ! -x "$app" ]; then
  exec "$sim" "$@"
fi
"$sim" "$@" &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true' EXIT
sleep 0.5
"$app"
