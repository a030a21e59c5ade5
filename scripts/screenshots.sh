#!/bin/bash
# Screenshots of the desktop program for the README: the demo project open
# in the main window, on a virtual X display, grabbed with ffmpeg.
#   scripts/screenshots.sh [build directory] [output folder]
set -euo pipefail
BUILD=${1:-build}
OUT=${2:-docs/screenshots}
SIZE=1280x800
DISPLAY_NUMBER=:${SCREENSHOT_DISPLAY:-97}

WORK=$(mktemp -d)
"$BUILD/tools/veltrano-demo" "$WORK/demo.pvxp" > /dev/null
mkdir -p "$OUT"

# Settings of its own, so the user's are neither read nor written.
export XDG_CONFIG_HOME="$WORK/config" SDL_AUDIODRIVER=dummy
Xvfb "$DISPLAY_NUMBER" -screen 0 "${SIZE}x24" -nolisten tcp > /dev/null 2>&1 &
XVFB=$!
APP=
cleanup() {
  [ -n "$APP" ] && kill "$APP" 2> /dev/null || true
  kill "$XVFB" 2> /dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
sleep 1

# Without a window manager the window takes the geometry it is given.
DISPLAY=$DISPLAY_NUMBER "$BUILD/veltrano/veltrano" -geometry "$SIZE+0+0" "$WORK/demo.pvxp" > /dev/null 2>&1 &
APP=$!
sleep 5
ffmpeg -loglevel error -y -f x11grab -video_size "$SIZE" -i "$DISPLAY_NUMBER" -frames:v 1 "$OUT/main-window.png"
echo "Wrote $OUT/main-window.png"
