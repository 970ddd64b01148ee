#!/usr/bin/env bash
# Installs what is missing, builds, makes the Debian package with CPack
# (build/package/pylonet_<version>_<arch>.deb) and checks it with lintian,
# which it installs first when it can (as root).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
cpack --config build/CPackConfig.cmake -B build/package
deb=$(ls build/package/*.deb)
echo "$deb"
if scripts/install-deps.sh lintian; then
  lintian --info --fail-on error,warning "$deb"
else
  echo "lintian is not installed: the package was not checked" >&2
fi
