#!/usr/bin/env bash
# Runs a test program on a private X server: starts Xvfb on a free display number, runs
# the program there with the xcb platform, and stops the server again whatever happens.
# Exits 77 (skipped) when there is no Xvfb.
set -euo pipefail
program="$1"
shift
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "Xvfb not found: X11 tests skipped"
  exit 77
fi
tmp="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
mkfifo "$tmp/ready"
# With -displayfd the server chooses a free display number itself and writes it to the
# descriptor once it accepts connections, so no number is guessed and nothing sleeps.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/ready" >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
display=""
read -r -t 60 display <"$tmp/ready" || true
if [ -z "$display" ]; then
  echo "Xvfb did not start:"
  cat "$tmp/xvfb.log"
  exit 1
fi
status=0
env -u WAYLAND_DISPLAY DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$program" "$@" || status=$?
exit "$status"
