#!/usr/bin/env bash
# veltrano-cli maps FFmpeg, Pango/Cairo and SDL2 only when a command needs
# them: --help, info of an FLV, repair and an FLV join open none of them (as
# the dynamic loader itself records what it opens), a conversion opens them
# and still writes its file, and an engine library that is there but cannot
# be loaded stops the program with a message naming it.
# Usage: check-lazy-loading.sh VELTRANO_CLI FIXTURES_DIR
set -euo pipefail
cli="$1" fixtures="$2"
flv="$fixtures/flv1_mp3_160x120.flv"
h264="$fixtures/h264_aac_160x120.flv"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "check-lazy-loading: $*" >&2; exit 1; }
export SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME="$work/config"
heavy='^lib(avcodec|avformat|avutil|swscale|swresample|avfilter|pango|cairo|SDL2)'

# opened NAME COMMAND...: runs the command and prints the shared objects it opened.
opened() {
  local name="$1"; shift
  LD_DEBUG=files LD_DEBUG_OUTPUT="$work/ld-$name" "$@" >"$work/$name.out" 2>&1 \
    || fail "$name failed: $(cat "$work/$name.out")"
  sed -n 's/.*file=\([^ ]*\) \[0\]; *\(needed\|dynamically\).*/\1/p' "$work/ld-$name".* | sort -u
}
light() {   # NAME COMMAND...
  local name="$1" libs
  libs="$(opened "$@")"
  grep -q '^libprojcore\.so' <<<"$libs" || fail "$name: no libprojcore.so in what the loader recorded: $libs"
  if grep -E "$heavy" <<<"$libs"; then fail "$name opened the libraries above"; fi
}

light help "$cli" --help
light info "$cli" info "$flv" "$h264"
light repair "$cli" repair "$h264" --out "$work/repaired"
[ -s "$work/repaired/h264_aac_160x120.flv" ] || fail "repair wrote nothing"
light join "$cli" join "$work/joined.flv" "$flv" "$flv"
[ -s "$work/joined.flv" ] || fail "join wrote nothing"

libs="$(opened convert "$cli" convert "$flv" --out "$work/converted")"
grep -qE '^libavcodec' <<<"$libs" || fail "convert did not open libavcodec: $libs"
video="$(ffprobe -v error -select_streams v -show_entries stream=codec_name -of csv=p=0 \
         "$work/converted/flv1_mp3_160x120.mp4")" || fail "ffprobe cannot read the converted file"
[ "$video" = h264 ] || fail "the converted file's video is \"$video\""

# A libavkit.so beside the engine is the one loaded, before any search path;
# one that cannot be loaded is reported and ends the program, not a call
# into nothing. Reading still works without it.
engine="$(dirname "$(ldd "$cli" | sed -n 's/.*libprojcore\.so => \([^ ]*\).*/\1/p')")"
mkdir "$work/engine"
cp "$engine/libprojcore.so" "$work/engine/"
echo "not a library" >"$work/engine/libavkit.so"
LD_LIBRARY_PATH="$work/engine" "$cli" info "$flv" >/dev/null 2>&1 || fail "info needs libavkit.so"
set +e
LD_LIBRARY_PATH="$work/engine" "$cli" convert "$flv" --out "$work/broken" >"$work/broken.out" 2>&1
status=$?
set -e
[ "$status" = 127 ] || fail "convert without a loadable libavkit.so ended with $status: $(cat "$work/broken.out")"
grep -q "cannot load $work/engine/libavkit.so" "$work/broken.out" \
  || fail "no message naming the library: $(cat "$work/broken.out")"
echo "check-lazy-loading: help, info, repair and join opened none of FFmpeg, Pango, Cairo, SDL2; convert did"
