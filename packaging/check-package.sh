#!/usr/bin/env bash
# Builds the Debian package with CPack into OUTDIR and checks that it holds
# exactly the programs, their manual pages, the desktop entry, the AppStream
# metadata, the icons, the copyright file and the changelog; that it depends
# on no -dev package; that its changelog is of this version; and, where
# lintian is installed, that lintian finds no error and no warning.
# Usage: check-package.sh CPackConfig.cmake OUTDIR VERSION
set -euo pipefail
config=$1
out=$2
version=$3
rm -rf "$out"
cpack --config "$config" -B "$out" >"$out.log" 2>&1 || { cat "$out.log"; exit 1; }
deb=$(ls "$out"/*.deb)

expected=$(cat <<'LIST'
./usr/bin/pylonet
./usr/bin/pylonet-sim
./usr/share/applications/pylonet.desktop
./usr/share/doc/pylonet/changelog.gz
./usr/share/doc/pylonet/copyright
./usr/share/icons/hicolor/128x128/apps/pylonet.png
./usr/share/icons/hicolor/16x16/apps/pylonet.png
./usr/share/icons/hicolor/24x24/apps/pylonet.png
./usr/share/icons/hicolor/256x256/apps/pylonet.png
./usr/share/icons/hicolor/32x32/apps/pylonet.png
./usr/share/icons/hicolor/48x48/apps/pylonet.png
./usr/share/icons/hicolor/64x64/apps/pylonet.png
./usr/share/icons/hicolor/scalable/apps/pylonet.svg
./usr/share/man/man1/pylonet-sim.1.gz
./usr/share/man/man1/pylonet.1.gz
./usr/share/metainfo/pylonet.metainfo.xml
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

# The changelog's newest entry is this version: a release without its entry is not packaged.
newest=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/pylonet/changelog.gz | gzip -dc | head -1)
if [[ "$newest" != "pylonet ($version) "* ]]; then
  echo "the changelog's newest entry is not $version: $newest"
  exit 1
fi

if command -v lintian >/dev/null; then
  # Errors and warnings fail; informational tags are shown and pass.
  lintian --info --fail-on error,warning "$deb"
else
  echo "lintian is not installed: the package was not checked with it"
fi
echo "$deb: $(wc -l <<<"$files") files, dependencies are runtime packages"
