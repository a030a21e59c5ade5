#!/usr/bin/env bash
# Remux speed: a 60 s 1280x720 H.264 + AAC FLV made into an MP4 without
# re-encoding by `veltrano-cli convert --profile "MP4 (no re-encoding)"` next
# to `ffmpeg -c copy -movflags +faststart`, both as whole processes (start,
# examination, temporary file and its rename included), and cat of the file
# for scale. Prints the best of 5 runs of each and the ratio veltrano / ffmpeg.
# Then a cut of the same file from 31.5 s (mid-GOP: key frames every 2 s) to
# 50 s by the remux alone (bench-tools/remux_cut): exact (the pictures up to
# the next key frame coded again) and from the key frame before. Last, the
# file eight times over (looped without re-encoding): the remux's time next to
# ffmpeg's and cat's, and its peak anonymous memory for both lengths (the
# FLV reader maps the file, so the resident file pages grow with it; what the
# remux allocates should not).
# usage: remux.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
cli=$build_dir/tools/veltrano-cli/veltrano-cli
cut=$build_dir/bench-tools/remux_cut
for tool in "$cli" "$cut"; do
    [[ -x $tool ]] || { echo "$tool is not built" >&2; exit 1; }
done
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (make deps installs it)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "generating a 60 s 1280x720 H.264 + AAC FLV ..."
ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=1280x720:rate=30 \
    -f lavfi -i sine=frequency=440:sample_rate=44100 -t 60 \
    -c:v libx264 -preset veryfast -b:v 3M -g 60 -bf 2 -c:a aac -b:a 128k -ac 2 "$work/in.flv"
mb=$(( $(wc -c < "$work/in.flv") / 1000000 ))
echo "input: $mb MB"
mkdir -p "$work/out"

# Best wall-clock time of 5 runs in µs; the outputs are removed before each run.
best_us() {
    local best=""
    for _ in 1 2 3 4 5; do
        rm -f "$work/out"/* "$work/ff.mp4" "$work/cat.flv" "$work/cut.mp4"
        local t0 t1
        t0=$(date +%s%N)
        "$@" > /dev/null 2>&1
        t1=$(date +%s%N)
        local d=$(( (t1 - t0) / 1000 ))
        if [[ -z $best || $d -lt $best ]]; then best=$d; fi
    done
    echo "$best"
}

cat_us=$(best_us sh -c "cat '$work/in.flv' > '$work/cat.flv'")
ffmpeg_us=$(best_us ffmpeg -hide_banner -loglevel error -i "$work/in.flv" -c copy -movflags +faststart -y "$work/ff.mp4")
cli_us=$(best_us "$cli" convert --profile "MP4 (no re-encoding)" --out "$work/out" "$work/in.flv")
"$cli" convert --profile "MP4 (no re-encoding)" --out "$work/out" "$work/in.flv" > /dev/null
out="$work/out/in.mp4"
[[ -s $out ]] || { echo "veltrano-cli wrote no $out" >&2; exit 1; }
errors=$(ffmpeg -v error -i "$out" -f null - 2>&1 | head -3)
[[ -z $errors ]] || { echo "the remuxed file does not decode cleanly: $errors" >&2; exit 1; }

exact_us=$(best_us "$cut" exact "$work/cut.mp4" "$work/in.flv" 31500 50000)
key_us=$(best_us "$cut" key "$work/cut.mp4" "$work/in.flv" 31500 50000)
"$cut" exact "$work/cut.mp4" "$work/in.flv" 31500 50000 > /dev/null
errors=$(ffmpeg -v error -i "$work/cut.mp4" -f null - 2>&1 | head -3)
[[ -z $errors ]] || { echo "the exact cut does not decode cleanly: $errors" >&2; exit 1; }

awk -v c="$cat_us" -v f="$ffmpeg_us" -v v="$cli_us" -v mb="$mb" 'BEGIN {
    printf "%-52s %8.1f ms  %6.0f MB/s\n", "cat in.flv > out", c / 1000, mb / (c / 1e6)
    printf "%-52s %8.1f ms  %6.0f MB/s\n", "ffmpeg -c copy -movflags +faststart", f / 1000, mb / (f / 1e6)
    printf "%-52s %8.1f ms  %6.0f MB/s\n", "veltrano-cli convert --profile \"MP4 (no re-encoding)\"", v / 1000, mb / (v / 1e6)
    printf "ratio veltrano-cli / ffmpeg: %.2f\n", v / f
}'
# Peak anonymous memory (KB) of a command, sampled from /proc while it runs.
peak_anon_kb() {
    "$@" > /dev/null 2>&1 &
    local pid=$! peak=0 now
    while kill -0 $pid 2>/dev/null; do
        now=$(awk '/RssAnon/ {print $2}' /proc/$pid/status 2>/dev/null || true)
        [[ -n $now && $now -gt $peak ]] && peak=$now
        sleep 0.01
    done
    wait $pid || true
    echo "$peak"
}
ffmpeg -hide_banner -loglevel error -stream_loop 7 -i "$work/in.flv" -c copy -y "$work/long.flv"
long_mb=$(( $(wc -c < "$work/long.flv") / 1000000 ))
long_us=$(best_us "$cut" key "$work/cut.mp4" "$work/long.flv" 0 4000000000)
long_ff_us=$(best_us ffmpeg -hide_banner -loglevel error -i "$work/long.flv" -c copy -movflags +faststart -y "$work/ff.mp4")
long_cat_us=$(best_us sh -c "cat '$work/long.flv' > '$work/cat.flv'")
short_kb=$(peak_anon_kb "$cut" key "$work/cut.mp4" "$work/in.flv" 0 4000000000)
long_kb=$(peak_anon_kb "$cut" key "$work/cut.mp4" "$work/long.flv" 0 4000000000)

awk -v e="$exact_us" -v k="$key_us" 'BEGIN {
    printf "%-52s %8.1f ms\n", "cut 31.5 s to 50 s, exact (one GOP coded again)", e / 1000
    printf "%-52s %8.1f ms\n", "cut 31.5 s to 50 s, from the key frame before", k / 1000
}'
awk -v l="$long_us" -v f="$long_ff_us" -v c="$long_cat_us" -v mb="$long_mb" -v s="$short_kb" -v g="$long_kb" 'BEGIN {
    printf "%d MB file (8 x): remux %.1f ms, ffmpeg -c copy %.1f ms, cat %.1f ms (remux / cat %.1f)\n", mb, l / 1000, f / 1000, c / 1000, l / c
    printf "peak anonymous memory of the remux: %d KB for 1 x, %d KB for 8 x\n", s, g
}'
