#!/usr/bin/env bash
# Conversion against the ffmpeg command line, whole processes side by side,
# with the MP4 profile (H.264 at 1200 kbit/s, 4000 kbit/s tolerance, AAC at
# 128 kbit/s, the source's size and rate) and x264's default preset:
#   1. a 60 s 640x360 Sorenson H.263 + MP3 FLV, veltrano-cli convert with its defaults
#   2. a 60 s 1280x720 H.264 + AAC FLV, the same
#   3. the 1280x720 clip mirrored left to right (ffmpeg: -vf hflip)
#   4. the 640x360 clip cropped, mirrored, brightened, with a picture and a
#      text watermark (ffmpeg: the equivalent filter graph)
# Each row prints the best wall time of RUNS runs (default 3) of each side and
# their ratio, the least CPU time (user + system) of each side and its ratio,
# and the peak memory (largest resident set, GNU time's %M) of both and its
# ratio. The machine's load is printed before and after: on a shared machine
# the wall times are only as good as the quiet they had (CPU time suffers less).
# usage: convert.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
tool=$build_dir/bench-tools/convert
cli=$build_dir/tools/veltrano-cli/veltrano-cli
runs=${RUNS:-3}
[[ -x $tool ]] || { echo "convert not built in $build_dir/bench-tools" >&2; exit 1; }
[[ -x $cli ]] || { echo "veltrano-cli not built in $build_dir/tools" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (make deps installs it)" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "GNU time is missing (make deps installs it)" >&2; exit 1; }
fixtures=$(cd "$(dirname "$0")/../tests/fixtures" && pwd)
picture=$fixtures/still_64x48.bmp

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=44100 -t 60 \
    -c:v flv -q:v 3 -g 25 -c:a libmp3lame -ar 44100 -ac 2 -b:a 128k "$work/sd.flv"
ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=1280x720:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=44100 -t 60 \
    -c:v libx264 -preset veryfast -b:v 3000k -g 50 -pix_fmt yuv420p -c:a aac -b:a 128k -ar 44100 -ac 2 "$work/hd.flv"

# "SECONDS KILOBYTES CPU": the best wall time, the largest peak memory and
# the least CPU seconds of RUNS runs.
measure() {
    local best="" peak=0 cpu=""
    for ((i = 0; i < runs; i++)); do
        local t0 t1 kb c
        t0=$(date +%s%N)
        /usr/bin/time -o "$work/rss" -f "%M %U %S" "$@" > /dev/null 2> "$work/err" || { cat "$work/err" >&2; exit 1; }
        t1=$(date +%s%N)
        read -r kb c <<< "$(tail -n 1 "$work/rss" | awk '{ print $1, $2 + $3 }')"
        local ms=$(( (t1 - t0) / 1000000 ))
        if [[ -z $best || $ms -lt $best ]]; then best=$ms; fi
        if (( kb > peak )); then peak=$kb; fi
        if [[ -z $cpu ]] || awk -v a="$c" -v b="$cpu" 'BEGIN { exit !(a < b) }'; then cpu=$c; fi
    done
    awk -v ms="$best" -v kb="$peak" -v c="$cpu" 'BEGIN { printf "%.3f %d %.2f", ms / 1000, kb, c }'
}

profile=(-c:v libx264 -b:v 1200k -bt 4000k -pix_fmt yuv420p -c:a aac -b:a 128k)
graph="[0:v]crop=576:324:32:18,scale=640:360,hflip,eq=brightness=0.13[v];"
graph+="[1:v]scale=32:24[m];[v][m]overlay=(W-w)/2:(H-h)/2,"
graph+="drawtext=text=Veltrano:fontsize=16:fontcolor=white:x=(w-tw)/2:y=(h-th)/2[out]"

echo "load before: $(uptime)"
rows=()
row() {   # NAME GOAL -- ffmpeg command -- engine command
    local name=$1 goal=$2
    shift 3
    local ff=() engine=()
    while [[ $1 != -- ]]; do ff+=("$1"); shift; done
    shift
    engine=("$@")
    local f e
    f=$(measure "${ff[@]}")
    e=$(measure "${engine[@]}")
    rows+=("$name|$goal|$f|$e")
}
row "640x360 Sorenson+MP3, veltrano-cli defaults" 1.00 -- \
    ffmpeg -hide_banner -y -i "$work/sd.flv" "${profile[@]}" "$work/ff.mp4" -- \
    "$cli" convert --existing overwrite --out "$work/cli" "$work/sd.flv"
row "1280x720 H.264+AAC, veltrano-cli defaults" 1.00 -- \
    ffmpeg -hide_banner -y -i "$work/hd.flv" "${profile[@]}" "$work/ff.mp4" -- \
    "$cli" convert --existing overwrite --out "$work/cli" "$work/hd.flv"
row "1280x720 mirrored" 1.05 -- \
    ffmpeg -hide_banner -y -i "$work/hd.flv" -vf hflip "${profile[@]}" "$work/ff.mp4" -- \
    "$tool" "$work/hd.flv" "$work/engine.mp4" --flip
row "640x360 crop+flip+brightness+2 watermarks" 1.10 -- \
    ffmpeg -hide_banner -y -i "$work/sd.flv" -loop 1 -i "$picture" -filter_complex "$graph" \
        -map "[out]" -map 0:a -shortest "${profile[@]}" "$work/ff.mp4" -- \
    "$tool" "$work/sd.flv" "$work/engine.mp4" --edits "$picture"
echo "load after:  $(uptime)"

printf "%-44s %8s %8s %6s %5s   %8s %8s %6s   %9s %9s %6s\n" case "ffmpeg" "ours" ratio goal \
    "ff cpu" "our cpu" ratio "ffmpeg MB" "ours MB" ratio
for r in "${rows[@]}"; do
    IFS='|' read -r name goal f e <<< "$r"
    read -r fs fk fc <<< "$f"
    read -r es ek ec <<< "$e"
    awk -v n="$name" -v g="$goal" -v fs="$fs" -v es="$es" -v fk="$fk" -v ek="$ek" -v fc="$fc" -v ec="$ec" 'BEGIN {
        printf "%-44s %7.2fs %7.2fs %6.2f %5s   %7.2fs %7.2fs %6.2f   %9.1f %9.1f %6.2f\n", n, fs, es, es / fs, g,
            fc, ec, ec / fc, fk / 1024, ek / 1024, ek / fk
    }'
done
echo "(best of $runs runs each; peak memory goal: ratio <= 1.00)"
