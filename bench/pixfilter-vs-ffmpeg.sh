#!/usr/bin/env bash
# pixfilter's effects next to the nearest ffmpeg filters on 1280x720 frames,
# one core each, in megapixels per second.
#
# pixfilter: the pixfilter_bench binary (BUILD_DIR/bench), pinned to one core.
# ffmpeg: user CPU time of 100 testsrc2 frames through the filter, minus the
# same run through the null filter, so that making the frames is not counted.
# Each filter is fed frames in a format it takes directly (bgra where it can),
# so no conversion is counted either. Best of three runs.
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
bench="$1/bench/pixfilter_bench"
if [[ ! -x "$bench" ]]; then
    echo "$bench is not built" >&2
    exit 1
fi
if ! command -v ffmpeg > /dev/null; then
    echo "ffmpeg is missing (make deps installs it)" >&2
    exit 1
fi

frames=100
size=1280x720
pixels=$((1280 * 720 * frames))
pin=()
if command -v taskset > /dev/null; then pin=(taskset -c 0); fi

# pixfilter: name -> Mpx/s from the benchmark's CSV (the "px/s" column).
declare -A ours
while IFS=, read -r name value; do
    ours[$name]=$value
done < <("${pin[@]}" "$bench" --benchmark_format=csv 2> /dev/null | awk -F, '
    NR == 1 { for (i = 1; i <= NF; i++) if ($i == "\"px/s\"") col = i; next }
    col { gsub(/"/, "", $1); printf "%s,%.0f\n", $1, $col / 1e6 }')

# Best user time in seconds of three runs of one filter on frames of one format.
user_time() {
    local format=$1 filter=$2 best="" t
    for _ in 1 2 3; do
        t=$("${pin[@]}" ffmpeg -hide_banner -nostdin -threads 1 -filter_threads 1 -benchmark \
                -f lavfi -i "testsrc2=size=$size:rate=25,format=$format" -frames:v "$frames" \
                -vf "$filter" -f null - 2>&1 | sed -n 's/.*bench: utime=\([0-9.]*\)s.*/\1/p')
        if [[ -z "$t" ]]; then
            echo "ffmpeg failed on $filter" >&2
            return 1
        fi
        if [[ -z "$best" ]] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
    done
    echo "$best"
}

declare -A baseline
theirs() {
    local format=$1 filter=$2
    [[ -n "${baseline[$format]:-}" ]] || baseline[$format]=$(user_time "$format" null)
    local t
    t=$(user_time "$format" "$filter") || { echo "n/a"; return; }
    awk -v t="$t" -v b="${baseline[$format]}" -v p="$pixels" \
        'BEGIN { d = t - b; if (d <= 0.001) print ">" int(p / 0.001 / 1e6); else printf "%.0f\n", p / d / 1e6 }'
}

lut="if(lt(val,128),255-val,val)"
relief="0 0 0 0 1 0 0 0 -1"
# effect (benchmark label) | format | ffmpeg filter
comparisons=(
    "BlackAndWhite|yuv444p|hue=s=0"
    "Blur|gbrp|boxblur=1:1"
    "Coloryawp|gbrp|noise=alls=64:allf=u"
    "Emboss|gbrp|convolution=$relief:$relief:$relief:$relief:1:1:1:1:128:128:128:128"
    "Engrave|gbrp|convolution=$relief:$relief:$relief:$relief:1:1:1:1:128:128:128:128"
    "Exposal|bgra|lutrgb=r='$lut':g='$lut':b='$lut'"
    "InvertColor|bgra|negate"
    "Mirror/0|bgra|hflip"
    "Mirror/1|bgra|vflip"
    "Purple|bgra|colorchannelmixer=rr=0.5:rg=0.5:gg=0.5:gb=0.5:bb=0.75:bg=0.25"
    "Rotate/90|bgra|transpose=1"
    "Rotate/180|bgra|hflip,vflip"
    "Saltyawp|yuv444p|noise=c0s=64:c0f=u"
    "Sharpen|yuv444p|unsharp=3:3:1:3:3:1"
    "Spooky|bgra|colorchannelmixer=gr=0.5:gg=0.5:br=0.5:bb=0.5"
)

printf '| %-13s | %14s | %14s | %-30s | %12s |\n' effect "in place Mpx/s" "buffered Mpx/s" "ffmpeg filter (format)" "ffmpeg Mpx/s"
printf '|%s|%s|%s|%s|%s|\n' "---------------" "----------------" "----------------" "--------------------------------" "--------------"
for row in "${comparisons[@]}"; do
    IFS='|' read -r effect format filter <<< "$row"
    short=${filter%%=*}
    [[ "$filter" == *"="* ]] && short="$short=${filter#*=}"
    (( ${#short} > 20 )) && short="${short:0:17}..."
    printf '| %-13s | %14s | %14s | %-30s | %12s |\n' "$effect" "${ours[InPlace/$effect]:-n/a}" \
        "${ours[ToBuffer/$effect]:-n/a}" "$short ($format)" "$(theirs "$format" "$filter")"
done
