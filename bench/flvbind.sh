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

# Each side runs 5 times, the sides taking turns so that a busy machine
# weighs on all of them alike; the best wall-clock time and the best CPU time
# (user + system) of each, in ms. The output is removed before each run.
declare -A wall cpu
measure() {   # NAME... -- then the commands, one per NAME, as strings
    local names=() cmds=() i
    while [[ $1 != -- ]]; do names+=("$1"); shift; done
    shift
    cmds=("$@")
    for _ in 1 2 3 4 5; do
        for i in "${!names[@]}"; do
            rm -f "$work/out.flv"
            local t
            /usr/bin/time -o "$work/time.txt" -f '%e %U %S' sh -c "${cmds[$i]}" > /dev/null 2>&1
            t=$(tail -1 "$work/time.txt")
            local w c
            w=$(awk '{printf "%d", $1 * 1000}' <<< "$t")
            c=$(awk '{printf "%d", ($2 + $3) * 1000}' <<< "$t")
            local n=${names[$i]}
            if [[ -z ${wall[$n]:-} || $w -lt ${wall[$n]} ]]; then wall[$n]=$w; fi
            if [[ -z ${cpu[$n]:-} || $c -lt ${cpu[$n]} ]]; then cpu[$n]=$c; fi
        done
    done
}
report() {   # LABEL MB CAT FFMPEG CLI [LIB]
    local label=$1 mb=$2; shift 2
    for n in "$@"; do
        awk -v n="$label $n" -v w="${wall[$n]}" -v c="${cpu[$n]}" -v mb="$mb" \
            'BEGIN { printf "%-34s wall %7d ms  cpu %7d ms  %6.0f MB/s\n", n, w, c, mb / (w / 1000) }'
    done
    awk -v l="$label" -v wc="${wall[$3]}" -v cc="${cpu[$3]}" -v wt="${wall[$1]}" -v ct="${cpu[$1]}" \
        -v wf="${wall[$2]}" -v cf="${cpu[$2]}" 'BEGIN {
        printf "%s: veltrano-cli join / cat = %.2f wall, %.2f cpu (target <= 1.3)\n", l, wc / wt, cc / ct
        printf "%s: veltrano-cli join / ffmpeg concat = %.2f wall, %.2f cpu\n", l, wc / wf, cc / cf
    }'
}

cli=$build_dir/tools/veltrano-cli/veltrano-cli
concat() { echo "ffmpeg -hide_banner -loglevel error -f concat -safe 0 -i '$1' -c copy -y '$work/out.flv'"; }
echo "load: $(uptime)"
measure big_cat big_ffmpeg big_cli big_lib -- \
    "cat '${inputs[0]}' '${inputs[1]}' '${inputs[2]}' > '$work/out.flv'" \
    "$(concat "$work/list.txt")" \
    "'$cli' join --existing overwrite '$work/out.flv' '${inputs[0]}' '${inputs[1]}' '${inputs[2]}'" \
    "'$tool' '$work/out.flv' '${inputs[0]}' '${inputs[1]}' '${inputs[2]}'"
"$tool" "$work/out.flv" "${inputs[@]}" > /dev/null
check=$(flvmeta --check "$work/out.flv" | tail -1)
report "Sorenson+MP3" "$((total / 1000000))" big_cat big_ffmpeg big_cli big_lib
echo "flvmeta --check on the joined file: $check"

# The same whole-process join on files of small tags (H.264 + AAC at a low
# rate, about 630 bytes a tag, as live recordings of small pictures have
# them): a 10 s clip repeated without re-encoding into three ~150 MB files.
echo "generating three ~150 MB FLV files of small tags (H.264 + AAC 320x180) ..."
ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=320x180:rate=30 -f lavfi -i sine=sample_rate=44100 \
    -t 10 -c:v libx264 -preset veryfast -b:v 300k -g 60 -bf 2 -c:a aac -b:a 64k "$work/clip.flv"
for i in 1 2 3; do python3 "$here/flvtags.py" repeat "$work/clip.flv" "$work/small$i.flv" 150; done
small=("$work/small1.flv" "$work/small2.flv" "$work/small3.flv")
for f in "${small[@]}"; do printf "file '%s'\n" "$f"; done > "$work/small.txt"
small_total=$(cat "${small[@]}" | wc -c)
echo "load: $(uptime)"
measure small_cat small_ffmpeg small_cli -- \
    "cat '${small[0]}' '${small[1]}' '${small[2]}' > '$work/out.flv'" \
    "$(concat "$work/small.txt")" \
    "'$cli' join --existing overwrite '$work/out.flv' '${small[0]}' '${small[1]}' '${small[2]}'"
report "H.264+AAC small tags" "$((small_total / 1000000))" small_cat small_ffmpeg small_cli
