#!/usr/bin/env bash
# Preview playback at real time: CPU share of one core and presentation
# jitter against the audio clock, on a 640x360 flv1 + MP3 file made here
# (20 s; not committed).
set -euo pipefail
build_dir=$(cd "${1:?usage: preview.sh BUILD_DIR}" && pwd)
tool="$build_dir/bench-tools/preview"
[[ -x "$tool" ]] || { echo "preview tool not built ($tool)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -v error -f lavfi -i testsrc2=size=640x360:rate=25 -f lavfi -i sine=frequency=440:sample_rate=22050 \
  -t 20 -c:v flv1 -b:v 800k -g 25 -c:a libmp3lame -ac 2 -b:a 64k "$work/preview.flv"
SDL_AUDIODRIVER=dummy "$tool" "$work/preview.flv"
echo "targets: at most 25 % of one core, jitter (stddev) under one frame (40 ms)"
