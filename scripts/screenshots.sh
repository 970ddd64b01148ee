#!/usr/bin/env bash
# Renders the main window, the panels and the graphs offscreen into docs/img/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
QT_QPA_PLATFORM=offscreen build/tools/screenshots/pylonet-screenshots docs/img "$@"
