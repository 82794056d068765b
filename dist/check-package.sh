#!/usr/bin/env bash
# Builds the Debian package with cpack and checks that it declares what the program needs
# to start on a desktop: the Qt libraries, the JPEG library and Qt's platform plugins.
# Usage: check-package.sh BUILD_DIR
set -euo pipefail
build="$1"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb="$(ls "$out"/*.deb)"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "$(basename "$deb"): Depends: $depends"
status=0
for need in libqt6widgets6 libqt6gui6 libjpeg62-turbo qt6-qpa-plugins; do
  case "$depends" in
    *"$need"*) ;;
    *) echo "not declared: $need"; status=1 ;;
  esac
done
contents="$(dpkg-deb -c "$deb")"
for f in usr/bin/veldamar-map usr/share/applications/org.veldamar.map.desktop usr/share/veldamar-map/world/vdmain.gdb; do
  grep -q "\./$f\$" <<<"$contents" || { echo "the package holds no $f"; status=1; }
done
exit $status
