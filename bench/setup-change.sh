#!/usr/bin/env bash
# Joins of HEVC clips whose parameter sets change: two 60 s 640x360 HEVC +
# AAC sources of other x265 set-ups (other VPS, SPS and PPS), wrapped into
# FLV (CodecID 12) by tests/fixtures/make-codecs.py, joined A, B, A
# - into one FLV by `veltrano-cli join` next to cat of the three files, and
# - into one MP4 by `veltrano-cli convert --profile "MP4 (no re-encoding)"`
#   next to ffmpeg's concat demuxer with stream copy of the source MP4s,
# each as whole processes. Prints the best of 5 runs (wall clock, and user +
# system CPU time) of each and the ratios; both outputs are checked to decode
# without a word.
# usage: setup-change.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
cli=$build_dir/tools/veltrano-cli/veltrano-cli
[[ -x $cli ]] || { echo "$cli is not built" >&2; exit 1; }
for t in ffmpeg python3 /usr/bin/time; do
    command -v $t >/dev/null || { echo "$t is missing" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "encoding two 60 s 640x360 HEVC + AAC sources ..."
common="log-level=error:keyint=50:min-keyint=50:scenecut=0"
for v in a b; do
    params=$common:bframes=2
    [[ $v == b ]] && params=$common:bframes=0:ref=1:sao=0:amp=0:signhide=0
    ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 \
        -f lavfi -i sine=frequency=440:sample_rate=44100 -t 60 -c:v libx265 -preset ultrafast \
        -x265-params "$params" -b:v 1500k -c:a aac -b:a 96k -ac 2 "$work/$v.mp4"
done
python3 - "$here/../tests/fixtures/make-codecs.py" "$work" <<'EOF'
import runpy, sys, types
# The fixture maker's functions, loaded from its file (its name is no module name).
maker = types.SimpleNamespace(**runpy.run_path(sys.argv[1]))
work = sys.argv[2]
for v in "ab":
    s = maker.streams(f"{work}/{v}.mp4")
    video, audio = s["video"], s["audio"]
    shift = maker.shift_of(video, audio)
    maker.write_flv(f"{work}/{v}.flv", maker.video_tags(video, "hevc12", shift),
                    maker.audio_tags(audio, "aac", shift), maker.props(video, audio, 12, 10))
clip = """<ArrNo{i}><ClipType>FlvClip</ClipType><CFLVClip><m_FilePath>{path}</m_FilePath>
<m_FileName>{name}</m_FileName><TrimMgr><Duration>62000</Duration><Start>0</Start><End>62000</End></TrimMgr>
<CropMgr><Rect>AAAAAAAAAAAAAAAAAAAAAA==</Rect></CropMgr><WaterMarkMgr><WaterMarks/></WaterMarkMgr>
<EffectMgr><FlipIndex>0</FlipIndex><DeinterlaceIndex>0</DeinterlaceIndex><Volume>100</Volume>
<Contrast>127</Contrast><Brightness>127</Brightness><EffectName></EffectName></EffectMgr>
<m_Type>FlvClip</m_Type></CFLVClip></ArrNo{i}>"""
clips = "".join(clip.format(i=i, path=f"{work}/{v}.flv", name=f"{v}.flv") for i, v in enumerate("aba"))
open(f"{work}/joined.pvxp", "w").write(f"""<?xml version="1.0" encoding="UTF-8"?>
<stream><meta><VerMajor>0</VerMajor><VerMinor>0</VerMinor><ProjectFormat>PRAVEX</ProjectFormat><Author/><Comment/></meta>
<project><CFLVSequenceManager><ClipNumber>3</ClipNumber><m_FlvSequenceData><ArrNo0><CFLVSequence>
<m_SeqName>A B A</m_SeqName><m_DestinationName>joined</m_DestinationName><m_Track>0</m_Track><m_Album/><m_Title/>
<m_Year/><m_Author/><m_Copyright/><m_Comment/><m_ClipList>{clips}</m_ClipList></CFLVSequence></ArrNo0>
</m_FlvSequenceData></CFLVSequenceManager><ImportedResourceManager><Resources/></ImportedResourceManager>
<TrashResourceManager><ClipNumber>0</ClipNumber><Resources/></TrashResourceManager></project></stream>""")
EOF
printf "file '%s'\n" "$work/a.mp4" "$work/b.mp4" "$work/a.mp4" > "$work/list.txt"
mb=$(( $(cat "$work/a.flv" "$work/b.flv" "$work/a.flv" | wc -c) / 1000000 ))
echo "inputs: $mb MB"
mkdir -p "$work/out"

# Best of 5 runs: "wall_ms cpu_ms" (user + system); the outputs are removed before each run.
best() {
    local best_wall="" best_cpu=""
    for _ in 1 2 3 4 5; do
        rm -f "$work/out"/* "$work/joined.flv" "$work/cat.flv" "$work/ff.mp4"
        /usr/bin/time -o "$work/time" -f "%e %U %S" "$@" > /dev/null 2>&1
        read -r e u s < "$work/time"
        local wall cpu
        wall=$(awk -v e="$e" 'BEGIN { printf "%d", e * 1000 }')
        cpu=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%d", (u + s) * 1000 }')
        if [[ -z $best_wall || $wall -lt $best_wall ]]; then best_wall=$wall; fi
        if [[ -z $best_cpu || $cpu -lt $best_cpu ]]; then best_cpu=$cpu; fi
    done
    echo "$best_wall $best_cpu"
}

read -r join_w join_c < <(best "$cli" join --existing overwrite "$work/joined.flv" "$work/a.flv" "$work/b.flv" "$work/a.flv")
read -r cat_w cat_c < <(best sh -c "cat '$work/a.flv' '$work/b.flv' '$work/a.flv' > '$work/cat.flv'")
read -r remux_w remux_c < <(best "$cli" convert "$work/joined.pvxp" --profile "MP4 (no re-encoding)" --out "$work/out")
read -r ff_w ff_c < <(best ffmpeg -hide_banner -loglevel error -f concat -safe 0 -i "$work/list.txt" -c copy \
    -movflags +faststart -y "$work/ff.mp4")

"$cli" join --existing overwrite "$work/joined.flv" "$work/a.flv" "$work/b.flv" "$work/a.flv" > /dev/null
"$cli" convert "$work/joined.pvxp" --profile "MP4 (no re-encoding)" --out "$work/out" > /dev/null
errors=$(ffmpeg -v error -i "$work/out/joined.mp4" -f null - 2>&1 | head -3)
[[ -z $errors ]] || { echo "the joined MP4 does not decode cleanly: $errors" >&2; exit 1; }

awk -v jw="$join_w" -v jc="$join_c" -v cw="$cat_w" -v cc="$cat_c" -v rw="$remux_w" -v rc="$remux_c" \
    -v fw="$ff_w" -v fc="$ff_c" -v mb="$mb" 'BEGIN {
    printf "%-60s %7d ms wall %7d ms CPU\n", "cat A B A > out.flv (" mb " MB)", cw, cc
    printf "%-60s %7d ms wall %7d ms CPU\n", "veltrano-cli join A B A", jw, jc
    printf "%-60s %7d ms wall %7d ms CPU\n", "ffmpeg -f concat -c copy (the source MP4s)", fw, fc
    printf "%-60s %7d ms wall %7d ms CPU\n", "veltrano-cli convert --profile \"MP4 (no re-encoding)\"", rw, rc
    printf "ratio remux / ffmpeg: %.2f wall, %.2f CPU; join / cat: %.1f wall\n", rw / fw, rc / (fc > 0 ? fc : 1), jw / (cw > 0 ? cw : 1)
}'
