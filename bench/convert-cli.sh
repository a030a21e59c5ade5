#!/usr/bin/env bash
# One file converted with veltrano-cli's defaults (the first profile, MP4
# H.264 + AAC, two jobs allowed) as a whole process, next to the ffmpeg
# command line doing the same encode: a 60 s 640x360 Sorenson H.263 + MP3 FLV.
# usage: convert-cli.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
cli=$build_dir/tools/veltrano-cli/veltrano-cli
[[ -x $cli ]] || { echo "veltrano-cli not built in $build_dir" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (make deps installs it)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=44100 -t 60 \
    -c:v flv -q:v 3 -g 25 -c:a libmp3lame -ar 44100 -ac 2 -b:a 128k "$work/in.flv"

# Best wall seconds of three runs.
best_wall() {
    local best=""
    for _ in 1 2 3; do
        rm -rf "$work/out" "$work/ff.mp4"
        local t0 t1
        t0=$(date +%s%N)
        "$@" > /dev/null 2>&1
        t1=$(date +%s%N)
        local d=$(( (t1 - t0) / 1000000 ))
        if [[ -z $best || $d -lt $best ]]; then best=$d; fi
    done
    awk -v ms="$best" 'BEGIN { printf "%.3f", ms / 1000 }'
}

# The default profile's encode: 1200 kbit/s video (4000 tolerance), AAC 128 kbit/s.
ffmpeg_s=$(best_wall ffmpeg -hide_banner -y -i "$work/in.flv" -c:v libx264 -b:v 1200k -bt 4000k \
    -pix_fmt yuv420p -c:a aac -b:a 128k "$work/ff.mp4")
cli_s=$(best_wall "$cli" convert --out "$work/out" "$work/in.flv")
awk -v f="$ffmpeg_s" -v c="$cli_s" 'BEGIN {
    printf "%-44s %7.2f s\n", "ffmpeg CLI", f
    printf "%-44s %7.2f s\n", "veltrano-cli convert (defaults)", c
    printf "veltrano-cli / ffmpeg = %.2f (target <= 1.10)\n", c / f
}'
