#!/usr/bin/env bash
# Installs what is missing, builds, and makes the Debian package with CPack:
# build/package/pylonet_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
cpack --config build/CPackConfig.cmake -B build/package
ls build/package/*.deb
