#!/usr/bin/env bash
# Joining speed of the flvbind output (metadata rewrite with its key-frame
# index included) next to cat of the same files into one file and ffmpeg's
# concat demuxer with stream copy, on three ~180 MB Sorenson H.263 + MP3 FLV
# files generated into a temporary folder (removed afterwards): the library
# alone, and `veltrano-cli join` as a whole process (start, examination,
# temporary file and its rename included).
# usage: flvbind.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
tool=$build_dir/bench-tools/flvbind_tool
if [[ ! -x $tool ]]; then
    echo "flvbind_tool not built in $build_dir/bench-tools" >&2
    exit 1
fi
for t in ffmpeg flvmeta; do
    command -v $t >/dev/null || { echo "$t is missing (make deps installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "generating three ~180 MB FLV files (flv1 640x360 + MP3) ..."
for i in 1 2 3; do
    ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 \
        -f lavfi -i sine=frequency=$((330 + 110 * i)):sample_rate=44100 -t 1800 -fs 180M \
        -c:v flv -q:v 2 -g 250 -c:a libmp3lame -ar 44100 -ac 2 -b:a 128k "$work/in$i.flv"
done
inputs=("$work/in1.flv" "$work/in2.flv" "$work/in3.flv")
for f in "${inputs[@]}"; do printf "file '%s'\n" "$f"; done > "$work/list.txt"
total=$(cat "${inputs[@]}" | wc -c)
echo "inputs: $((total / 1000000)) MB"

# Best wall-clock time of 5 runs in ms; the output is removed before each run.
best_ms() {
    local best=""
    for _ in 1 2 3 4 5; do
        rm -f "$work/out.flv"
        local t0 t1
        t0=$(date +%s%N)
        "$@" > /dev/null 2>&1
        t1=$(date +%s%N)
        local d=$(( (t1 - t0) / 1000 ))
        if [[ -z $best || $d -lt $best ]]; then best=$d; fi
    done
    echo "$best"
}

cat_us=$(best_ms sh -c "cat '${inputs[0]}' '${inputs[1]}' '${inputs[2]}' > '$work/out.flv'")
ffmpeg_us=$(best_ms ffmpeg -hide_banner -loglevel error -f concat -safe 0 -i "$work/list.txt" \
    -c copy -y "$work/out.flv")
bind_us=$(best_ms "$tool" "$work/out.flv" "${inputs[@]}")
cli=$build_dir/tools/veltrano-cli/veltrano-cli
cli_us=$(best_ms "$cli" join --existing overwrite "$work/out.flv" "${inputs[@]}")
"$tool" "$work/out.flv" "${inputs[@]}" > /dev/null
check=$(flvmeta --check "$work/out.flv" | tail -1)

awk -v c="$cat_us" -v f="$ffmpeg_us" -v b="$bind_us" -v v="$cli_us" -v mb="$((total / 1000000))" 'BEGIN {
    printf "%-40s %9.1f ms  %6.0f MB/s\n", "cat A B C > out", c / 1000, mb / (c / 1e6)
    printf "%-40s %9.1f ms  %6.0f MB/s\n", "ffmpeg -f concat -c copy", f / 1000, mb / (f / 1e6)
    printf "%-40s %9.1f ms  %6.0f MB/s\n", "flvbind (with metadata and key index)", b / 1000, mb / (b / 1e6)
    printf "%-40s %9.1f ms  %6.0f MB/s\n", "veltrano-cli join (whole process)", v / 1000, mb / (v / 1e6)
    printf "flvbind / cat = %.2f (target <= 1.3), flvbind / ffmpeg concat = %.2f (target <= 1.0)\n", b / c, b / f
    printf "veltrano-cli join / cat = %.2f (target <= 1.3)\n", v / c
}'
echo "flvmeta --check on the joined file: $check"

# The same whole-process join on files of small tags (H.264 + AAC at a low
# rate, about 630 bytes a tag, as live recordings of small pictures have
# them): a 10 s clip repeated without re-encoding into three ~150 MB files.
echo "generating three ~150 MB FLV files of small tags (H.264 + AAC 320x180) ..."
ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=320x180:rate=30 -f lavfi -i sine=sample_rate=44100 \
    -t 10 -c:v libx264 -preset veryfast -b:v 300k -g 60 -bf 2 -c:a aac -b:a 64k "$work/clip.flv"
for i in 1 2 3; do python3 "$here/flvtags.py" repeat "$work/clip.flv" "$work/small$i.flv" 150; done
small=("$work/small1.flv" "$work/small2.flv" "$work/small3.flv")
small_cat_us=$(best_ms sh -c "cat '${small[0]}' '${small[1]}' '${small[2]}' > '$work/out.flv'")
small_cli_us=$(best_ms "$cli" join --existing overwrite "$work/out.flv" "${small[@]}")
awk -v c="$small_cat_us" -v v="$small_cli_us" 'BEGIN {
    printf "%-40s %9.1f ms\n", "small tags: cat A B C > out", c / 1000
    printf "%-40s %9.1f ms\n", "small tags: veltrano-cli join", v / 1000
    printf "small tags: veltrano-cli join / cat = %.2f (target <= 1.3)\n", v / c
}'
