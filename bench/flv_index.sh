#!/usr/bin/env bash
# Indexing speed of the tag reader next to cat, flvmeta --check and ffprobe's
# packet walk, on a ~200 MB Sorenson H.263 + MP3 FLV generated into a
# temporary folder (removed afterwards). usage: flv_index.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
tool=$build_dir/bench-tools/flv_index
if [[ ! -x $tool ]]; then
    echo "flv_index not built in $build_dir/bench-tools" >&2
    exit 1
fi
for t in ffmpeg ffprobe flvmeta; do
    command -v $t >/dev/null || { echo "$t is missing (make deps installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file=$work/big.flv
echo "generating a ~200 MB FLV (flv1 640x360 + MP3) ..."
ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=44100 -t 1800 -fs 200M \
    -c:v flv -q:v 2 -g 250 -c:a libmp3lame -ar 44100 -ac 2 -b:a 128k "$file"
size=$(stat -c %s "$file")
echo "file: $((size / 1000000)) MB"
cat "$file" > /dev/null   # into the page cache

# Best wall-clock time of 5 runs, in ms.
best_ms() {
    local best=""
    for _ in 1 2 3 4 5; do
        local t0 t1
        t0=$(date +%s%N)
        "$@" > /dev/null 2>&1 || true
        t1=$(date +%s%N)
        local d=$(( (t1 - t0) / 1000 ))
        if [[ -z $best || $d -lt $best ]]; then best=$d; fi
    done
    printf '%d.%01d' $((best / 1000)) $(((best % 1000) / 100))
}

report() {   # name, ms
    awk -v n="$1" -v ms="$2" -v mb="$((size / 1000000))" \
        'BEGIN { printf "%-34s %9.1f ms  %7.0f MB/s\n", n, ms, mb / (ms / 1000) }'
}

report "cat FILE > /dev/null" "$(best_ms sh -c "cat '$file' > /dev/null")"
report "flvmeta --check FILE" "$(best_ms flvmeta --check "$file")"
ffprobe_ms=$(best_ms sh -c "ffprobe -v error -show_packets '$file' > /dev/null")
report "ffprobe -show_packets" "$ffprobe_ms"
"$tool" "$file" 7
