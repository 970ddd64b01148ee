#!/usr/bin/env bash
# Builds the Debian package with CPack into OUTDIR and checks that it holds
# exactly the two programs, the desktop entry and the icons, and that it
# depends on no -dev package.  Usage: check-package.sh CPackConfig.cmake OUTDIR
set -euo pipefail
config=$1
out=$2
rm -rf "$out"
cpack --config "$config" -B "$out" >"$out.log" 2>&1 || { cat "$out.log"; exit 1; }
deb=$(ls "$out"/*.deb)

expected=$(cat <<'LIST'
./usr/bin/pylonet
./usr/bin/pylonet-sim
./usr/share/applications/pylonet.desktop
./usr/share/icons/hicolor/128x128/apps/pylonet.png
./usr/share/icons/hicolor/16x16/apps/pylonet.png
./usr/share/icons/hicolor/24x24/apps/pylonet.png
./usr/share/icons/hicolor/256x256/apps/pylonet.png
./usr/share/icons/hicolor/32x32/apps/pylonet.png
./usr/share/icons/hicolor/48x48/apps/pylonet.png
./usr/share/icons/hicolor/64x64/apps/pylonet.png
LIST
)
files=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort)
if [ "$files" != "$expected" ]; then
  echo "unexpected file list in $deb:"
  diff <(echo "$expected") <(echo "$files") || true
  exit 1
fi

depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6sql6 libqt6sql6-sqlite libqcustomplot2.1-qt6 fonts-dejavu-core; do
  grep -qw "$p" <<<"$depends" || { echo "missing dependency $p"; exit 1; }
done
if grep -q -- '-dev' <<<"$depends"; then
  echo "depends on a -dev package"
  exit 1
fi
echo "$deb: $(wc -l <<<"$files") files, dependencies are runtime packages"
