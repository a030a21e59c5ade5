#!/usr/bin/env bash
# Renders the program's icon (veltrano/resources/icons/veltrano.svg) into the
# PNG sizes the desktop's icon theme looks for. The PNGs are committed; run
# this again after editing the SVG.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)/veltrano/resources/icons"
for size in 16 22 24 32 48 64 128 256; do
  ffmpeg -nostdin -loglevel error -y -c:v librsvg -width "$size" -height "$size" \
    -i "$here/veltrano.svg" -frames:v 1 -pix_fmt rgba "$here/hicolor/veltrano-$size.png"
done
