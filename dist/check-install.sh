#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that every file lands where a
# Linux desktop looks for it, and that the installed program tells the project's version.
# Usage: check-install.sh BUILD_DIR VERSION APP_ID
set -euo pipefail
build="$1" version="$2" id="$3"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

missing=0
expect() {
  if [ ! -s "$prefix/$1" ]; then
    echo "missing: $1"
    missing=1
  fi
}
for program in veldamar-map veldamar-render veldamar-worldgen; do
  expect "bin/$program"
  expect "share/man/man1/$program.1.gz"
done
for f in readme.txt readmerus.txt readmefr.txt screenshot.png \
         world/bigmap_hi.jpg world/bigmap.jpg world/vdmain.gdb world/routes.gdb; do
  expect "share/veldamar-map/$f"
done
expect "share/applications/$id.desktop"
expect "share/metainfo/$id.metainfo.xml"
for size in 16 22 24 32 48 64 128 256; do
  icon="share/icons/hicolor/${size}x${size}/apps/$id.png"
  expect "$icon"
  # Drawn at its own size: the picture's dimensions are the folder's.
  if [ -s "$prefix/$icon" ]; then
    dims="$(od -An -tu1 -j16 -N8 "$prefix/$icon" | awk '{print $3*256+$4 "x" $7*256+$8}')"
    if [ "$dims" != "${size}x${size}" ]; then
      echo "wrong size: $icon is $dims"
      missing=1
    fi
  fi
done
[ "$missing" = 0 ]

out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/veldamar-map" --version)"
if [ "$out" != "veldamar-map $version" ]; then
  echo "installed veldamar-map --version printed '$out', not 'veldamar-map $version'"
  exit 1
fi
# The entry names the icon by the id, and X11 window managers find it by the window's
# instance name, the program's file name.
entry="$prefix/share/applications/$id.desktop"
grep -q "^Icon=$id\$" "$entry" || { echo "the desktop entry does not name the icon $id"; exit 1; }
grep -q "^StartupWMClass=veldamar-map\$" "$entry" || { echo "the desktop entry does not name the window class"; exit 1; }
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$prefix/share/metainfo/$id.metainfo.xml" ||
  { echo "the metainfo does not launch $id.desktop"; exit 1; }
echo "installed into a temporary prefix: $(cd "$prefix" && find . -type f | wc -l) files, version $version"
