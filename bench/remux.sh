#!/usr/bin/env bash
# Remux speed: a 60 s 1280x720 H.264 + AAC FLV made into an MP4 and an MKV
# without re-encoding by `veltrano-cli convert --profile "MP4 (no
# re-encoding)"` / "MKV (no re-encoding)" next to `ffmpeg -c copy` (MP4 with
# -movflags +faststart), all as whole processes (start, examination,
# temporary file and its rename included), and cat of the file for scale.
# Then a cut of the same file from 31.5 s (mid-GOP: key frames every 2 s) to
# 50 s by the remux alone (bench-tools/remux_cut): exact (the pictures up to
# the next key frame coded again) and from the key frame before. Last, the
# file looped LONG_TIMES times without re-encoding (default 8; 43 makes about
# 1 GB): the same four commands and cat on it, the MP4 copy by the remux
# alone (without the program's examination of the file, so its plan reads
# the tag headers itself), the program's examination alone, and the peak
# memory of the copies for both lengths: resident in all and anonymous (what
# the copy allocates), neither of which should grow with the file beyond
# MP4's index.
#
# The commands of one comparison run alternately, 5 rounds; each prints its
# best wall time and its best CPU time (user + system), so a busy machine
# shows in the wall times more than in the CPU times.
# usage: remux.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
long_times=${LONG_TIMES:-8}
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
mkdir -p "$work/out"

# The command of a comparison on INPUT, by name, into the array cmd.
command_of() {
    local in=$2
    case $1 in
        cat) cmd=(sh -c "cat '$in' > '$work/cat.flv'") ;;
        ffmpeg-mp4) cmd=(ffmpeg -hide_banner -loglevel error -i "$in" -c copy -movflags +faststart -y "$work/ff.mp4") ;;
        veltrano-mp4) cmd=("$cli" convert --profile "MP4 (no re-encoding)" --out "$work/out" "$in") ;;
        ffmpeg-mkv) cmd=(ffmpeg -hide_banner -loglevel error -i "$in" -c copy -y "$work/ff.mkv") ;;
        veltrano-mkv) cmd=("$cli" convert --profile "MKV (no re-encoding)" --out "$work/out" "$in") ;;
        cut-exact) cmd=("$cut" exact "$work/cut.mp4" "$in" 31500 50000) ;;
        cut-key) cmd=("$cut" key "$work/cut.mp4" "$in" 31500 50000) ;;
        copy-mp4) cmd=("$cut" key "$work/cut.mp4" "$in" 0 4000000000) ;;
        examine) cmd=("$cli" info "$in") ;;
    esac
}
run() {
    local cmd
    command_of "$1" "$2"
    "${cmd[@]}"
}

# compare INPUT NAME...: 5 rounds of the named commands in turn; sets
# wall_ms[NAME] and cpu_ms[NAME] to the best of each.
declare -A wall_ms cpu_ms
compare() {
    local in=$1 name
    shift
    for name in "$@"; do wall_ms[$name]=""; cpu_ms[$name]=""; done
    for _ in 1 2 3 4 5; do
        for name in "$@"; do
            rm -f "$work/out"/* "$work/ff.mp4" "$work/ff.mkv" "$work/cat.flv" "$work/cut.mp4"
            local cmd t0 t1 u s w c
            command_of "$name" "$in"
            t0=$(date +%s%N)
            /usr/bin/time -f "%U %S" -o "$work/time" "${cmd[@]}" > /dev/null 2>&1 ||
                { echo "$name failed on $in" >&2; exit 1; }
            t1=$(date +%s%N)
            read -r u s < <(tail -1 "$work/time")
            w=$(( (t1 - t0) / 1000000 ))
            c=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%d", (u + s) * 1000 }')
            if [[ -z ${wall_ms[$name]} || $w -lt ${wall_ms[$name]} ]]; then wall_ms[$name]=$w; fi
            if [[ -z ${cpu_ms[$name]} || $c -lt ${cpu_ms[$name]} ]]; then cpu_ms[$name]=$c; fi
        done
    done
}

line() {   # NAME LABEL MB
    awk -v w="${wall_ms[$1]}" -v c="${cpu_ms[$1]}" -v l="$2" -v mb="$3" 'BEGIN {
        printf "  %-44s wall %7d ms  cpu %7d ms  %6.0f MB/s\n", l, w, c, mb / (w > 0 ? w / 1000 : 0.001)
    }'
}

ratios() {   # each copy against ffmpeg and cat, wall and cpu (CPU times are in 10 ms steps)
    awk -v vm="${wall_ms[veltrano-mp4]}" -v fm="${wall_ms[ffmpeg-mp4]}" -v vk="${wall_ms[veltrano-mkv]}" \
        -v fk="${wall_ms[ffmpeg-mkv]}" -v c="${wall_ms[cat]}" -v cvm="${cpu_ms[veltrano-mp4]}" \
        -v cfm="${cpu_ms[ffmpeg-mp4]}" -v cvk="${cpu_ms[veltrano-mkv]}" -v cfk="${cpu_ms[ffmpeg-mkv]}" \
        -v cc="${cpu_ms[cat]}" 'BEGIN {
        if (cc < 10) cc = 10
        printf "  ratio veltrano / ffmpeg: MP4 %.2f (cpu %.2f), MKV %.2f (cpu %.2f)\n", vm / fm, cvm / cfm, vk / fk, cvk / cfk
        printf "  ratio veltrano / cat:    MP4 %.2f (cpu %.2f), MKV %.2f (cpu %.2f)\n", vm / c, cvm / cc, vk / c, cvk / cc
    }'
}

report() {   # INPUT TITLE
    local mb=$(( $(wc -c < "$1") / 1000000 ))
    echo "$2 ($mb MB), best of 5 ($(uptime | sed 's/.*load/load/')):"
    line cat "cat in.flv > out" "$mb"
    line ffmpeg-mp4 "ffmpeg -c copy -movflags +faststart (MP4)" "$mb"
    line veltrano-mp4 "veltrano-cli MP4 (no re-encoding)" "$mb"
    line ffmpeg-mkv "ffmpeg -c copy (MKV)" "$mb"
    line veltrano-mkv "veltrano-cli MKV (no re-encoding)" "$mb"
    ratios
}

copies=(cat ffmpeg-mp4 veltrano-mp4 ffmpeg-mkv veltrano-mkv)
compare "$work/in.flv" "${copies[@]}"
report "$work/in.flv" "60 s file"

for container in mp4 mkv; do
    rm -f "$work/out"/*
    run "veltrano-$container" "$work/in.flv" > /dev/null
    out="$work/out/in.$container"
    [[ -s $out ]] || { echo "veltrano-cli wrote no $out" >&2; exit 1; }
    errors=$(ffmpeg -v error -i "$out" -f null - 2>&1 | head -3)
    [[ -z $errors ]] || { echo "the remuxed $container does not decode cleanly: $errors" >&2; exit 1; }
done

compare "$work/in.flv" cut-exact cut-key
run cut-exact "$work/in.flv" > /dev/null
errors=$(ffmpeg -v error -i "$work/cut.mp4" -f null - 2>&1 | head -3)
[[ -z $errors ]] || { echo "the exact cut does not decode cleanly: $errors" >&2; exit 1; }
printf "  %-44s wall %7d ms  cpu %7d ms\n" "cut 31.5 s to 50 s, exact (one GOP coded again)" \
    "${wall_ms[cut-exact]}" "${cpu_ms[cut-exact]}"
printf "  %-44s wall %7d ms  cpu %7d ms\n" "cut 31.5 s to 50 s, from the key frame before" \
    "${wall_ms[cut-key]}" "${cpu_ms[cut-key]}"

ffmpeg -hide_banner -loglevel error -stream_loop $((long_times - 1)) -i "$work/in.flv" -c copy -y "$work/long.flv"
compare "$work/long.flv" "${copies[@]}" copy-mp4 examine
report "$work/long.flv" "the file $long_times times over"
# The MP4 copy by the remux alone, without the program's start and its
# examination of the file (which reads every tag's header).
line copy-mp4 "the MP4 copy alone (bench-tools/remux_cut)" $(( $(wc -c < "$work/long.flv") / 1000000 ))
awk -v w="${wall_ms[copy-mp4]}" -v c="${wall_ms[cat]}" -v cw="${cpu_ms[copy-mp4]}" -v cc="${cpu_ms[cat]}" \
    'BEGIN { if (cc < 10) cc = 10; printf "  ratio copy alone / cat:  %.2f (cpu %.2f)\n", w / c, cw / cc }'
# The program's start and its examination of the file alone (veltrano-cli
# info), which the whole MP4 copy above pays before the copy: the copy's
# plan walks the tags the examination kept rather than reading them again.
line examine "veltrano-cli info (start and examination)" $(( $(wc -c < "$work/long.flv") / 1000000 ))

# Peak memory (KB) of a copy: resident (VmHWM) and anonymous (RssAnon,
# sampled from /proc while it runs).
peak_kb() {   # NAME INPUT
    rm -f "$work/out"/*
    local cmd
    command_of "$1" "$2"
    "${cmd[@]}" > /dev/null 2>&1 &
    local pid=$! anon=0 hwm=0 now
    while kill -0 $pid 2>/dev/null; do
        read -r now < <(awk '/RssAnon/ {print $2}' /proc/$pid/status 2>/dev/null || true) || true
        [[ -n ${now:-} && $now -gt $anon ]] && anon=$now
        read -r now < <(awk '/VmHWM/ {print $2}' /proc/$pid/status 2>/dev/null || true) || true
        [[ -n ${now:-} && $now -gt $hwm ]] && hwm=$now
        sleep 0.01
    done
    wait $pid || true
    echo "$hwm $anon"
}
echo "peak memory (resident / anonymous KB), the file once and $long_times times over:"
for container in mp4 mkv; do
    read -r h1 a1 < <(peak_kb "veltrano-$container" "$work/in.flv")
    read -r h8 a8 < <(peak_kb "veltrano-$container" "$work/long.flv")
    printf "  veltrano-cli %s: %d / %d  and  %d / %d\n" "$container" "$h1" "$a1" "$h8" "$a8"
done
