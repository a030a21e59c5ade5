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
python3 - "$work/clip.flv" "$work/big.flv" "$size_mb" <<'PY'
import struct, sys
src, dst, mb = sys.argv[1], sys.argv[2], int(sys.argv[3])
b = open(src, "rb").read()
pos, tags = 13, []
while pos + 11 <= len(b):
    size = int.from_bytes(b[pos + 1:pos + 4], "big")
    ts = int.from_bytes(b[pos + 4:pos + 7], "big") | b[pos + 7] << 24
    tags.append((b[pos], ts, b[pos + 11:pos + 11 + size]))
    pos += 15 + size
first = [t for t in tags if t[0] != 18]
media = [t for t in first if not (len(t[2]) > 1 and t[2][1] == 0)]
def tag(tt, ts, d):
    ts &= 0xFFFFFFFF
    return bytes([tt]) + len(d).to_bytes(3, "big") + (ts & 0xFFFFFF).to_bytes(3, "big") + bytes([ts >> 24, 0, 0, 0]) + d + struct.pack(">I", 11 + len(d))
with open(dst, "wb") as out:
    out.write(b[:13])
    out.write(b"".join(tag(*t) for t in first))
    step = 10080   # the clip's length and a little more: no overlap between copies
    base, n, written = step, 1, len(b)
    while written < mb * 1000000:
        if n % 100 == 0:
            base += 3600000          # a jump of an hour
        chunk = bytearray(b"".join(tag(t[0], t[1] + base, t[2]) for t in media))
        if n == 500:
            chunk[1000:9000] = bytes(8000)   # a run of zeros
        out.write(chunk)
        written += len(chunk)
        base += step
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
"$cli" repair "$work/big.flv" --out "$work/out" --json > "$work/report.json" || true
echo "report: $(head -c 300 "$work/report.json") ..."
echo "repair ${repair} ms, flvmeta --update ${flvmeta_ms} ms, cat ${cat_ms} ms"
awk -v r="$repair" -v f="$flvmeta_ms" -v c="$cat_ms" 'BEGIN {
    printf "repair / flvmeta --update = %.2f (at most 1)\n", r / f
    printf "repair / cat              = %.2f (at most 1.5)\n", r / c
}'
