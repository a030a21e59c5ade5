#!/usr/bin/env bash
# Batch throughput: four sequences of a 20 s 640x360 Sorenson H.263 + MP3 FLV
# converted to AVI (MPEG-4 + MP3) with one job at a time, then two.
# usage: batch.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
tool=$build_dir/bench-tools/batch
[[ -x $tool ]] || { echo "batch not built in $build_dir/bench-tools" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (make deps installs it)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=44100 -t 20 \
    -c:v flv -q:v 3 -g 25 -c:a libmp3lame -ar 44100 -ac 2 -b:a 128k "$work/in.flv"
"$tool" "$work/in.flv" "$work"
