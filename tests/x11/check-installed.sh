#!/usr/bin/env bash
# Installs the build into a temporary prefix, takes the write bits off its program and
# sample folders (as a system installation has them), and runs the installed-program tests
# of tst_x11 on a private X server. Exits 77 (skipped) when there is no Xvfb.
# Usage: check-installed.sh BUILD_DIR TST_X11
set -euo pipefail
build="$1" tests="$2"
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "Xvfb not found: installed-program tests skipped"
  exit 77
fi
prefix="$(mktemp -d)"
trap 'chmod -R u+w "$prefix"; rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
chmod -R a-w "$prefix/bin" "$prefix/share/veldamar-map"
VDM_INSTALLED_PREFIX="$prefix" "$(dirname "$0")/run-on-xvfb.sh" "$tests" --gtest_filter='InstalledProgram.*'
