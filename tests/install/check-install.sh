#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR with prefix /usr and checks what
# landed there: both programs answer --version without a display, the
# installed veltrano-cli reads the installed profile file (not the source
# tree's) and converts a file, and the desktop entry, MIME type and AppStream
# metadata pass their validators.
# Usage: check-install.sh BUILD_DIR FIXTURE.flv VERSION [MANPAGES 0|1]
set -euo pipefail
build="$1" fixture="$2" version="$3" manpages="${4:-0}"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

DESTDIR="$scratch/root" cmake --install "$build" --prefix /usr --component Runtime >/dev/null
root="$scratch/root/usr"

for f in bin/veltrano bin/veltrano-cli lib/veltrano/libprojcore.so share/veltrano/CustomFormats.xml \
         share/veltrano/languages/en.xml share/veltrano/help/help.html share/applications/veltrano.desktop \
         share/mime/packages/veltrano.xml share/metainfo/org.tarvolen.Veltrano.metainfo.xml \
         share/icons/hicolor/scalable/apps/veltrano.svg; do
  [ -f "$root/$f" ] || fail "$f was not installed"
done
for size in 16 22 24 32 48 64 128 256; do
  grep -q "PNG image data, $size x $size" <<<"$(file "$root/share/icons/hicolor/${size}x${size}/apps/veltrano.png")" \
    || fail "the ${size}x${size} icon is missing or not that size"
done

# The programs reach their libraries through their own place, never the build tree.
for program in veltrano veltrano-cli; do
  runpath="$(readelf -d "$root/bin/$program" | sed -n 's/.*R\(UN\)\?PATH.*\[\(.*\)\]/\2/p')"
  [ "$runpath" = '$ORIGIN/../lib/veltrano' ] || fail "$program's RPATH is \"$runpath\""
done
grep -q "libprojcore.so => $root/bin/../lib/veltrano/libprojcore.so" <<<"$(ldd "$root/bin/veltrano-cli")" \
  || fail "veltrano-cli does not load the installed libprojcore.so"

# No display and no platform plugin: --version and --help answer before Qt starts.
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/veltrano" --version)" = "veltrano $version" ] \
  || fail "veltrano --version"
grep -q "^Usage: veltrano" <<<"$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/veltrano" --help)" \
  || fail "veltrano --help"
[ "$("$root/bin/veltrano-cli" --version)" = "veltrano-cli $version" ] || fail "veltrano-cli --version"
[ "$("$root/bin/veltrano-mirror" --version)" = "veltrano-mirror $version" ] || fail "veltrano-mirror --version"

# A marked caption in the installed profile file shows which file was read.
sed -i 's/Caption="MP4 video (H.264 + AAC)"/Caption="Installed MP4 profile"/' "$root/share/veltrano/CustomFormats.xml"
export XDG_CONFIG_HOME="$scratch/config" HOME="$scratch/home" SDL_AUDIODRIVER=dummy
profiles="$("$root/bin/veltrano-cli" profiles)"
grep -q "101  Installed MP4 profile" <<<"$profiles" || fail "the installed profile file was not read: $profiles"
grep -q "^from $root/share/veltrano/CustomFormats.xml$" <<<"$profiles" || fail "profiles read from elsewhere: $profiles"

LD_DEBUG=files LD_DEBUG_OUTPUT="$scratch/ld" \
  "$root/bin/veltrano-cli" convert "$fixture" --profile "Installed MP4 profile" --out "$scratch/out" >/dev/null \
  || fail "the installed veltrano-cli could not convert $fixture"
# Loaded on its first call (no NEEDED entry), the engine's encoding library
# comes from the engine's own folder.
if ! readelf -d "$root/lib/veltrano/libprojcore.so" | grep -q 'NEEDED.*libavkit'; then
  grep -q "file=$root/bin/../lib/veltrano/libavkit.so \[0\]; *dynamically loaded" "$scratch"/ld.* \
    || fail "the installed engine did not load libavkit.so from its own folder: $(grep 'file=.*avkit' "$scratch"/ld.*)"
fi
out="$scratch/out/$(basename "$fixture" .flv).mp4"
[ -s "$out" ] || fail "no $out"

# The installed veltrano-mirror finds the installed veltrano-cli on PATH.
command -v parallel >/dev/null || fail "GNU parallel is missing (make deps installs it)"
mkdir -p "$scratch/tree/sub" && cp "$fixture" "$scratch/tree/sub/"
PATH="$root/bin:$PATH" "$root/bin/veltrano-mirror" -j 1 "$scratch/tree" "$scratch/mirror" -- --profile 101 \
  >/dev/null 2>&1 || fail "the installed veltrano-mirror failed"
[ -s "$scratch/mirror/sub/$(basename "$fixture" .flv).mp4" ] || fail "veltrano-mirror made no output"

desktop-file-validate "$root/share/applications/veltrano.desktop" || fail "the desktop entry is not valid"

mkdir -p "$scratch/mime/packages"
cp "$root/share/mime/packages/veltrano.xml" "$scratch/mime/packages/"
errors="$(XDG_DATA_DIRS="$scratch" update-mime-database "$scratch/mime" 2>&1)" || fail "update-mime-database: $errors"
[ -z "$errors" ] || fail "update-mime-database: $errors"
grep -q '^application/x-veltrano-project:\*\.pvxp$' "$scratch/mime/globs" || fail "no *.pvxp glob"
grep -q 'stream application/x-veltrano-project' "$scratch/mime/XMLnamespaces" || fail "no <stream> root element rule"

# Completion: commands, options read from --help, profile identifiers from the installed program.
complete_words() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _veltrano_cli; echo "${COMPREPLY[*]}"' \
        _ "$root/share/bash-completion/completions/veltrano-cli" "$@"
}
[ "$(complete_words "$root/bin/veltrano-cli" pro)" = "profiles" ] || fail "completion of a command"
[ "$(complete_words "$root/bin/veltrano-cli" convert --exi)" = "--existing" ] || fail "completion of an option"
grep -qw 101 <<<"$(complete_words "$root/bin/veltrano-cli" convert --profile 10)" || fail "completion of a profile"

if [ "$manpages" = 1 ]; then
  for program in veltrano veltrano-cli veltrano-mirror; do
    page="$(gzip -dc "$root/share/man/man1/$program.1.gz")" || fail "no manual page for $program"
    grep -qF -- '\-\-version' <<<"$page" || fail "$program(1) lacks the options of $program --help"
  done
fi

appstreamcli validate --no-net "$root/share/metainfo/org.tarvolen.Veltrano.metainfo.xml" >/dev/null \
  || fail "the AppStream metadata is not valid: $(appstreamcli validate --no-net "$root/share/metainfo/org.tarvolen.Veltrano.metainfo.xml")"
echo "check-install: all installed files in place and valid"
