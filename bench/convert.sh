#!/usr/bin/env bash
# Conversion speed: a 60 s 640x360 Sorenson H.263 + MP3 FLV converted to MP4
# (H.264 + AAC, x264's default preset, 1600 kbit/s video, 128 kbit/s sound,
# the encoders' own thread counts) by the engine and by the ffmpeg command
# line; then the same with a crop, a mirror, a brightness change, a picture
# and a text watermark against ffmpeg with the equivalent filter graph; then
# veltrano-cli with its defaults (the first profile, MP4 H.264 + AAC at
# 1200 kbit/s, two jobs allowed) as a whole process against the ffmpeg
# command line doing that encode.
# usage: convert.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
tool=$build_dir/bench-tools/convert
[[ -x $tool ]] || { echo "convert not built in $build_dir/bench-tools" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (make deps installs it)" >&2; exit 1; }
fixtures=$(cd "$(dirname "$0")/../tests/fixtures" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=44100 -t 60 \
    -c:v flv -q:v 3 -g 25 -c:a libmp3lame -ar 44100 -ac 2 -b:a 128k "$work/in.flv"
picture=$fixtures/still_64x48.bmp

# Wall seconds of a command (the best of two runs).
best_wall() {
    local best=""
    for _ in 1 2; do
        local t0 t1
        t0=$(date +%s%N)
        "$@" > /dev/null 2>&1
        t1=$(date +%s%N)
        local d=$(( (t1 - t0) / 1000000 ))
        if [[ -z $best || $d -lt $best ]]; then best=$d; fi
    done
    awk -v ms="$best" 'BEGIN { printf "%.3f", ms / 1000 }'
}

encode=(-c:v libx264 -b:v 1600k -bt 4000k -pix_fmt yuv420p -c:a aac -b:a 128k -ar 44100 -ac 2)
ffmpeg_plain=$(best_wall ffmpeg -hide_banner -y -i "$work/in.flv" "${encode[@]}" "$work/ff.mp4")
engine_plain=$(best_wall "$tool" "$work/in.flv" "$work/engine.mp4")
graph="[0:v]crop=576:324:32:18,scale=640:360,hflip,eq=brightness=0.13[v];"
graph+="[1:v]scale=32:24[m];[v][m]overlay=(W-w)/2:(H-h)/2,"
graph+="drawtext=text=Veltrano:fontsize=16:fontcolor=white:x=(w-tw)/2:y=(h-th)/2[out]"
ffmpeg_edit=$(best_wall ffmpeg -hide_banner -y -i "$work/in.flv" -loop 1 -i "$picture" \
    -filter_complex "$graph" -map "[out]" -map 0:a -shortest "${encode[@]}" "$work/ff-edit.mp4")
engine_edit=$(best_wall "$tool" "$work/in.flv" "$work/engine-edit.mp4" --edits "$picture")
ffmpeg_default=$(best_wall ffmpeg -hide_banner -y -i "$work/in.flv" -c:v libx264 -b:v 1200k -bt 4000k \
    -pix_fmt yuv420p -c:a aac -b:a 128k "$work/ff-default.mp4")
cli_default=$(best_wall "$build_dir/tools/veltrano-cli/veltrano-cli" convert --existing overwrite \
    --out "$work/cli" "$work/in.flv")

awk -v fp="$ffmpeg_plain" -v ep="$engine_plain" -v fe="$ffmpeg_edit" -v ee="$engine_edit" \
    -v fd="$ffmpeg_default" -v cd="$cli_default" 'BEGIN {
    printf "%-44s %7.2f s\n", "ffmpeg CLI, plain", fp
    printf "%-44s %7.2f s\n", "engine, plain", ep
    printf "%-44s %7.2f s\n", "ffmpeg CLI, crop+hflip+eq+overlay+drawtext", fe
    printf "%-44s %7.2f s\n", "engine, crop+flip+brightness+two watermarks", ee
    printf "%-44s %7.2f s\n", "ffmpeg CLI, encode of the default profile", fd
    printf "%-44s %7.2f s\n", "veltrano-cli convert, defaults", cd
    printf "engine / ffmpeg: plain %.2f (target <= 1.10), edited %.2f (target <= 1.25)\n", ep / fp, ee / fe
    printf "veltrano-cli / ffmpeg, one file with the defaults: %.2f (target <= 1.10)\n", cd / fd
}'
