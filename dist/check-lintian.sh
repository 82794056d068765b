#!/usr/bin/env bash
# Builds the Debian package with cpack and has lintian check it: no error and no warning
# may remain (an accepted one would be overridden in the package, with its reason).
# Without lintian the check is skipped (exit 77); scripts/install-deps installs it.
# Usage: check-lintian.sh BUILD_DIR
set -euo pipefail
build="$1"
if ! command -v lintian >/dev/null 2>&1; then
  echo "lintian is not installed (scripts/install-deps installs it): the package was not checked"
  exit 77
fi
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb="$(ls "$out"/*.deb)"
# Every tag is printed, the informational ones too, so a reader sees what lintian said;
# lintian itself fails on an error or a warning (or when it cannot check the file).
status=0
lintian --display-info --tag-display-limit 0 --fail-on error,warning "$deb" || status=$?
if [ "$status" != 0 ]; then
  echo "lintian reports errors or warnings on $(basename "$deb") (status $status)"
  exit 1
fi
echo "lintian: $(basename "$deb") has no error and no warning"
