#!/usr/bin/env bash
# veltrano-mirror end to end: eight FLV files in a small tree, two workers on
# this machine. The first run is killed part-way, all of it at once (as a
# power cut would); the second goes on from there. Every output must then be
# whole and decodable, no temporary file may be left, and the results must
# hold exactly one "finished" line per file. A third run finds nothing to do;
# a file added later is converted alone by a fourth. A mirror inside its own
# source is refused.
# Usage: check-mirror.sh VELTRANO-CLI VELTRANO-MIRROR FIXTURES-DIR
set -euo pipefail
cli="$1" mirror="$2" fixtures="$3"

fail() { echo "check-mirror: $*" >&2; exit 1; }
for tool in parallel ffprobe python3 setsid; do
  command -v "$tool" >/dev/null || fail "$tool is missing (make deps installs it)"
done

scratch="$(mktemp -d)"
session=""
# parallel gives each job a process group of its own, so the whole session
# the first run was started in is what gets killed.
kill_session() {
  local pids
  pids="$(ps -s "$session" -o pid= 2>/dev/null || true)"
  if [ -n "$pids" ]; then kill -KILL $pids 2>/dev/null || true; fi
}
cleanup() {
  if [ -n "$session" ]; then kill_session; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$scratch/config" HOME="$scratch/home" SDL_AUDIODRIVER=dummy

# Names with spaces and quotes, folders at several depths, an upper-case
# extension, and a file that is not FLV.
src="$scratch/source tree" dst="$scratch/mirror"
mkdir -p "$src/2019/jan" "$src/2019/feb" "$src/talks and 'quotes'"
cp "$fixtures/flv1_mp3_320x240.flv" "$src/top.flv"
cp "$fixtures/flv1_mp3_640x360.flv" "$src/2019/jan/a.flv"
cp "$fixtures/h264_aac_160x120.flv" "$src/2019/jan/b.FLV"
cp "$fixtures/flv1_mp3_640x360.flv" "$src/2019/feb/c.flv"
cp "$fixtures/flv1_mp3_320x240.flv" "$src/2019/feb/d.flv"
cp "$fixtures/h264_aac_160x120.flv" "$src/talks and 'quotes'/e.flv"
cp "$fixtures/flv1_mp3_640x360.flv" "$src/talks and 'quotes'/f g.flv"
cp "$fixtures/flv1_mp3_160x120.flv" "$src/talks and 'quotes'/h.flv"
echo "not a video" >"$src/notes.txt"

results="$dst/.veltrano-mirror/results"
outputs() { find "$dst" -path "$dst/.veltrano-mirror" -prune -o -type f -name '*.mp4' -print | wc -l; }
temporaries() { find "$dst" -name '.veltrano-part-*' | wc -l; }
finished_lines() { cat "$results"/*.jsonl 2>/dev/null | grep -c '"state":"finished"' || true; }

# Run 1, through parallel's --sshlogin form (":" is this machine, reached
# without ssh), killed once a file is done and another is being written.
# setsid: the run gets a session of its own, all of which is then killed.
setsid "$mirror" --sshlogin 2/: --cli "$cli" "$src" "$dst" -- --size 640x360 >"$scratch/run1.log" 2>&1 &
session=$!
for ((i = 0; i < 1200; i++)); do
  if [ "$(finished_lines)" -ge 1 ] && [ "$(temporaries)" -ge 1 ]; then break; fi
  kill -0 "$session" 2>/dev/null || break
  sleep 0.1
done
kill_session
wait "$session" 2>/dev/null || true
for ((i = 0; i < 100; i++)); do
  [ -n "$(ps -s "$session" -o pid= 2>/dev/null)" ] || break
  sleep 0.1
done
session=""
done_first="$(outputs)"
[ "$done_first" -lt 8 ] || fail "the first run ended before it could be killed: $(cat "$scratch/run1.log")"
echo "check-mirror: killed with $done_first of 8 outputs done and $(temporaries) being written"

# Run 2: the same command with two local job slots goes on where run 1 stopped.
"$mirror" -j 2 --cli "$cli" "$src" "$dst" -- --size 640x360 >"$scratch/run2.log" 2>&1 \
  || fail "the resumed run failed: $(cat "$scratch/run2.log")"

[ "$(outputs)" -eq 8 ] || fail "$(outputs) outputs instead of 8: $(find "$dst" -type f)"
[ "$(temporaries)" -eq 0 ] || fail "temporary files left: $(find "$dst" -name '.veltrano-part-*')"
while IFS= read -r -d '' input; do
  rel="${input#"$src"/}"
  out="$dst/${rel%.*}.mp4"
  [ -f "$out" ] || fail "no output for $rel"
  # Every picture decoded: a cut file would end early or not open at all.
  probe="$(ffprobe -v error -count_frames -select_streams v:0 \
           -show_entries stream=width,height,nb_read_frames:format=duration -of default=nw=1 "$out" 2>&1)" \
    || fail "ffprobe cannot read $out: $probe"
  grep -q '^width=640$' <<<"$probe" && grep -q '^height=360$' <<<"$probe" || fail "$out is not 640x360: $probe"
  want="$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$input")"
  got="$(sed -n 's/^duration=//p' <<<"$probe")"
  frames="$(sed -n 's/^nb_read_frames=//p' <<<"$probe")"
  python3 -c "import sys; w, g, f = map(float, sys.argv[1:]); sys.exit(not (abs(w - g) < 0.3 and f >= 10 * (w - 0.3)))" \
    "$want" "$got" "$frames" || fail "$out is cut short: $got s, $frames pictures of $want s"
done < <(find "$src" -type f -iname '*.flv' -print0)

# The results of both runs: whole JSON lines, one "finished" per file; the
# rest only what an interruption leaves: "stopped", or "skipped" for a file
# whose job had finished but was not yet in the job log. A job killed between
# naming its whole output and writing its line leaves no "finished" line;
# its file is then known only by the "skipped" of the run after.
check_results() {
  python3 - "$src" "$results" "$@" <<'EOF'
import glob, json, os, sys
src, results, extra = sys.argv[1], sys.argv[2], sys.argv[3:]
inputs = set()
for root, _, files in os.walk(src):
    inputs |= {os.path.join(root, f) for f in files if f.lower().endswith(".flv")}
finished, skipped = {}, set()
for path in glob.glob(os.path.join(results, "*.jsonl")):
    for n, line in enumerate(open(path, encoding="utf-8"), 1):
        o = json.loads(line)   # a line cut or mixed with another fails here
        for key in ("input", "output", "profile", "state", "seconds", "error"):
            assert key in o, f"{path}:{n} has no {key}: {line}"
        assert o["input"] in inputs, f"{path}:{n}: unknown input {o['input']}"
        if o["state"] == "finished":
            assert os.path.isfile(o["output"]), f"{path}:{n}: no {o['output']}"
            finished[o["input"]] = finished.get(o["input"], 0) + 1
        else:
            assert o["state"] in ("stopped", "skipped"), f"{path}:{n}: {line}"
            if o["state"] == "skipped":
                skipped.add(o["input"])
missing = sorted(inputs - set(finished) - skipped)
twice = sorted(i for i, n in finished.items() if n != 1)
assert not missing and not twice, f"no finished line for {missing}; more than one for {twice}"
print(f"check-mirror: {len(finished)} finished lines, {len(inputs - set(finished))} files known by a skipped line only")
EOF
}
check_results || fail "the results are not one finished line per file"

# Run 3: nothing left to do; the job log keeps veltrano-cli from even starting.
before="$(cat "$results"/*.jsonl | wc -l)"
"$mirror" -j 2 --cli "$cli" "$src" "$dst" -- --size 640x360 >"$scratch/run3.log" 2>&1 \
  || fail "the run with nothing to do failed: $(cat "$scratch/run3.log")"
[ "$(cat "$results"/*.jsonl | wc -l)" -eq "$before" ] || fail "the run with nothing to do converted again"

# Run 4: a new file changes the job list, so a new job log is begun; the
# outputs already there are skipped, the new file is converted.
cp "$fixtures/flv1_mp3_160x120.flv" "$src/2019/jan/0-new.flv"
"$mirror" -j 2 --cli "$cli" "$src" "$dst" -- --size 640x360 >"$scratch/run4.log" 2>&1 \
  || fail "the run after a new file failed: $(cat "$scratch/run4.log")"
[ -f "$dst/2019/jan/0-new.mp4" ] || fail "the new file was not converted: $(cat "$scratch/run4.log")"
[ "$(outputs)" -eq 9 ] || fail "$(outputs) outputs instead of 9"
check_results || fail "after a new file, the results are not one finished line per file"
# A mirror inside its own source would be read as input by the next run.
status=0
"$mirror" --cli "$cli" "$src" "$src/2019/mirror" >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] && [ ! -e "$src/2019/mirror" ] || fail "a mirror inside its source was not refused ($status)"
echo "check-mirror: 8 files converted by two workers, resumed after a kill; a new file converted alone"
