#!/usr/bin/env bash
# Speed of the outputs for today's players: a 10 s 640x360 Sorenson H.263 +
# MP3 FLV converted with each of the WebM, MP4 HEVC/AV1, MKV and GIF profiles
# by veltrano-cli (whole process, profile defaults) and by the ffmpeg command
# line with the same encoders, settings and key frame interval; prints both
# times (best of two) and their ratio.
# usage: outputs.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
cli=$build_dir/tools/veltrano-cli/veltrano-cli
[[ -x $cli ]] || { echo "veltrano-cli not built in $build_dir" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (make deps installs it)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=44100 -t 10 \
    -c:v flv -q:v 3 -g 25 -c:a libmp3lame -ar 44100 -ac 2 -b:a 128k "$work/in.flv"
export SVT_LOG=1   # SVT-AV1's configuration dump, as the engine keeps it quiet

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

opus=(-c:a libopus -b:a 96k -ar 48000 -ac 2)
aac=(-c:a aac -b:a 128k -ar 44100 -ac 2)
gif="scale=320:240,fps=10,split[a][b];[a]palettegen=stats_mode=full[p];"
gif+="[b][p]paletteuse=dither=bayer:bayer_scale=5:diff_mode=rectangle"
# profile | output | the ffmpeg command line's encoding options
rows=(
    "2001|webm|-c:v libvpx-vp9 -b:v 800k -deadline good -cpu-used 4 -row-mt 1 -g 125 ${opus[*]}"
    "103|mp4|-c:v libx265 -preset fast -x265-params log-level=error -b:v 800k -tag:v hvc1 -g 125 ${aac[*]}"
    "104|mp4|-c:v libsvtav1 -preset 8 -b:v 700k -g 125 ${opus[*]}"
    "2002|webm|-c:v libsvtav1 -preset 8 -b:v 700k -g 125 ${opus[*]}"
    "2101|mkv|-c:v libx264 -b:v 1200k -bt 4000k -g 12 -pix_fmt yuv420p ${aac[*]}"
    "2201|gif|-an -vf $gif"
)
printf "%-8s %-6s %10s %10s %7s\n" profile file "ffmpeg s" "cli s" ratio
for row in "${rows[@]}"; do
    IFS='|' read -r profile ext options <<< "$row"
    # shellcheck disable=SC2086
    ff=$(best_wall ffmpeg -hide_banner -y -i "$work/in.flv" $options "$work/ff.$ext")
    ours=$(best_wall "$cli" convert --existing overwrite --profile "$profile" --out "$work/cli" "$work/in.flv")
    awk -v p="$profile" -v e="$ext" -v f="$ff" -v c="$ours" \
        'BEGIN { printf "%-8s %-6s %10.2f %10.2f %7.2f\n", p, e, f, c, c / f }'
done
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
