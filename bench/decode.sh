#!/usr/bin/env bash
# Decoding speed of the stream decoder (BGRA pictures and PCM) next to
# ffmpeg decoding the same file with BGRA conversion, on a 60 s 640x360
# Sorenson H.263 + MP3 FLV generated into a temporary folder (removed
# afterwards). usage: decode.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
tool=$build_dir/bench-tools/decode
if [[ ! -x $tool ]]; then
    echo "decode not built in $build_dir/bench-tools" >&2
    exit 1
fi
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (make deps installs it)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file=$work/decode-60s.flv
ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=44100 -t 60 \
    -c:v flv -q:v 3 -g 250 -c:a libmp3lame -ar 44100 -ac 2 -b:a 128k "$file"
echo "file: $(( $(stat -c %s "$file") / 1000 )) kB, 60 s 640x360 flv1 + MP3"

# Best wall-clock time of 5 runs, in ms.
best_ms() {
    local best=""
    for _ in 1 2 3 4 5; do
        local t0 t1
        t0=$(date +%s%N)
        "$@" > /dev/null 2>&1
        t1=$(date +%s%N)
        local d=$(( (t1 - t0) / 1000 ))
        if [[ -z $best || $d -lt $best ]]; then best=$d; fi
    done
    printf '%d.%01d' $((best / 1000)) $(((best % 1000) / 100))
}

ffmpeg_ms=$(best_ms ffmpeg -nostdin -v error -i "$file" -pix_fmt bgra -f null -)
printf '%-34s %9.1f ms\n' "ffmpeg -pix_fmt bgra -f null" "$ffmpeg_ms"
out=$("$tool" "$file" 5)
echo "$out" | grep -v '^best_ms'
ours=$(echo "$out" | awk '/^best_ms/ { print $2 }')
awk -v a="$ours" -v b="$ffmpeg_ms" 'BEGIN { printf "ratio (ours / ffmpeg): %.2f (target at most 1.2)\n", a / b }'
