#!/usr/bin/env bash
# Repair speed as whole processes, side by side on one large broken
# recording: `veltrano-cli repair` (both passes, the metadata written first,
# the temporary file and its rename included) against `flvmeta --update`
# (which only rewrites the metadata) and `cat` to a file. The recording is
# a 10 s H.264 + AAC clip (640x360 at 2 Mbit/s, tags the size a live
# recorder writes) repeated up to SIZE_MB (default 1000), with a timestamp
# jump of an hour every 100 copies and a run of zeros in the middle,
# generated into a temporary folder and removed afterwards.
# usage: repair.sh BUILD_DIR [SIZE_MB]
set -euo pipefail
build_dir=$(cd "${1:?usage: $0 BUILD_DIR [SIZE_MB]}" && pwd)
size_mb=${2:-1000}
cli=$build_dir/tools/veltrano-cli/veltrano-cli
root=$(cd "$(dirname "$0")/.." && pwd)
[[ -x $cli ]] || { echo "veltrano-cli not built in $build_dir" >&2; exit 1; }
command -v flvmeta >/dev/null || { echo "flvmeta is missing (make deps installs it)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "generating a ${size_mb} MB broken recording ..."
ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 \
    -f lavfi -i sine=sample_rate=44100 -t 10 -c:v libx264 -preset veryfast -b:v 2M -g 50 \
    -c:a aac -b:a 128k "$work/clip.flv"
python3 - "$work/clip.flv" "$work/big.flv" "$size_mb" "$root/bench" <<'PY'
import sys
src, dst, mb = sys.argv[1], sys.argv[2], int(sys.argv[3])
sys.path.insert(0, sys.argv[4])
from flvtags import STEP_MS, read_tags, split, tag
header, tags = read_tags(src)
first, media = split(tags)
with open(dst, "wb") as out:
    out.write(header)
    out.write(b"".join(tag(*t) for t in first))
    base, n, written, zeroed = STEP_MS, 1, out.tell(), False
    while written < mb * 1000000:
        if n % 100 == 0:
            base += 3600000          # a jump of an hour
        chunk = bytearray(b"".join(tag(t[0], t[1] + base, t[2]) for t in media))
        if not zeroed and written >= mb * 500000:
            chunk[1000:9000] = bytes(8000)   # a run of zeros, half way
            zeroed = True
        out.write(chunk)
        written += len(chunk)
        base += STEP_MS
        n += 1
PY
bytes=$(stat -c %s "$work/big.flv")
echo "input: $((bytes / 1000000)) MB"

# Best wall-clock time of 3 runs in ms; outputs are removed before each run.
best_ms() {
    local best=""
    for _ in 1 2 3; do
        rm -rf "$work/out" "$work/copy.flv" "$work/meta.flv"
        mkdir -p "$work/out"
        sync
        local t0 t1
        t0=$(date +%s%N)
        "$@" > /dev/null 2>&1
        t1=$(date +%s%N)
        local ms=$(((t1 - t0) / 1000000))
        if [[ -z $best || $ms -lt $best ]]; then best=$ms; fi
    done
    echo "$best"
}
repair=$(best_ms "$cli" repair "$work/big.flv" --out "$work/out")
flvmeta_ms=$(best_ms flvmeta --update "$work/big.flv" "$work/meta.flv")
cat_ms=$(best_ms sh -c "cat '$work/big.flv' > '$work/copy.flv'")
"$cli" repair "$work/big.flv" --out "$work/out" --json > "$work/report.json" 2> /dev/null || true
echo "report: $(head -c 300 "$work/report.json") ..."
echo "repair ${repair} ms, flvmeta --update ${flvmeta_ms} ms, cat ${cat_ms} ms"
awk -v r="$repair" -v f="$flvmeta_ms" -v c="$cat_ms" 'BEGIN {
    printf "repair / flvmeta --update = %.2f (at most 1)\n", r / f
    printf "repair / cat              = %.2f (at most 1.5)\n", r / c
}'
