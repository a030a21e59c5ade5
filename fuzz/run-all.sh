#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz and runs each for
# SECONDS (default 60), seeded from the fixtures and the kept regressions.
# A crash input lands in fuzz/regressions/<target>-crash-*: keep it there,
# the tagflow tests replay every file of that folder.
set -euo pipefail
SECONDS_EACH=${1:-60}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-fuzz

CC=clang CXX=clang++ cmake -S "$ROOT/fuzz" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j 2

status=0
for target in parser_fuzzer tag_reader_fuzzer layout_fuzzer mp4label_fuzz flvmeta_fuzzer decode_fuzzer repair_fuzzer; do
  corpus=$BUILD/corpus/$target
  mkdir -p "$corpus"
  # Seeds: the head of every FLV fixture (small inputs keep the runs fast),
  # the extended header forms among them.
  for f in "$ROOT"/tests/fixtures/*.flv "$ROOT"/tests/fixtures/codecs/*.flv; do
    head -c 16384 "$f" > "$corpus/seed-$(basename "$f")"
  done
  if [ "$target" = layout_fuzzer ]; then
    # Seeds: the data of the first tags of each codec fixture, as one tag
    # each (a first byte of 3: video, read whole; 2: audio, read whole).
    python3 - "$ROOT/tests/fixtures/codecs" "$corpus" <<'PY'
import os, sys
src, out = sys.argv[1:3]
for name in sorted(os.listdir(src)):
    if not name.endswith(".flv"):
        continue
    b = open(os.path.join(src, name), "rb").read()
    pos, n = 13, 0
    while pos + 11 <= len(b) and n < 12:
        size = int.from_bytes(b[pos + 1:pos + 4], "big")
        if b[pos] in (8, 9):
            lead = b"\x03" if b[pos] == 9 else b"\x02"
            open(os.path.join(out, f"tag-{name}-{n}"), "wb").write(lead + b[pos + 11:pos + 11 + min(size, 4096)])
            n += 1
        pos += 15 + size
PY
  fi
  if [ "$target" = flvmeta_fuzzer ]; then
    # Seeds: the data of each fixture's first tag (its onMetaData).
    for f in "$ROOT"/tests/fixtures/*.flv; do
      size=$(od -An -tu1 -j14 -N3 "$f" | awk '{ print $1 * 65536 + $2 * 256 + $3 }')
      if [ -n "$size" ]; then
        tail -c +25 "$f" | head -c "$size" > "$corpus/meta-$(basename "$f")"
      fi
    done
  fi
  if [ "$target" = decode_fuzzer ]; then
    # Seeds: six bytes of decoder settings, then the head of each FLV fixture.
    for f in "$ROOT"/tests/fixtures/*.flv "$ROOT"/tests/fixtures/codecs/*.flv; do
      { printf '\001\040\040\021\042\005'; head -c 16000 "$f"; } > "$corpus/dec-$(basename "$f")"
    done
  fi
  if [ "$target" = repair_fuzzer ]; then
    # Seeds: the broken recordings, whole where they are small enough.
    for f in "$ROOT"/tests/fixtures/broken/*.flv; do
      head -c 16384 "$f" > "$corpus/broken-$(basename "$f")"
    done
  fi
  if [ "$target" = mp4label_fuzz ]; then
    cp "$ROOT"/mp4label/tests/data/*.mp4 "$ROOT"/mp4label/tests/data/fuzz-regressions/* "$corpus/"
  fi
  for f in "$ROOT"/fuzz/regressions/*; do
    [ "$(basename "$f")" = README.md ] || cp "$f" "$corpus/"
  done
  log=$BUILD/$target.log
  echo "== $target for ${SECONDS_EACH}s"
  if ! "$BUILD/$target" -max_total_time="$SECONDS_EACH" -max_len=16384 -print_final_stats=1 \
        -artifact_prefix="$ROOT/fuzz/regressions/$target-" "$corpus" >"$log" 2>&1; then
    status=1
    tail -40 "$log"
  fi
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$log" || true
done
exit $status
