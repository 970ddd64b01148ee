#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, and any further
# ones named as arguments (scripts/fuzz.sh asks for clang so). Does nothing
# when they are all present; as a non-root user it prints the command to run.
set -euo pipefail

# Qt SVG only for the build-time icon tool, which writes the scalable icon.
packages=(
  g++ cmake ninja-build
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libqt6sql6-sqlite
  libqcustomplot-dev libqcustomplot2.1-qt6
  fonts-dejavu-core
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

cmd="apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run as root:  sudo sh -c '$cmd'" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
sh -c "$cmd"
