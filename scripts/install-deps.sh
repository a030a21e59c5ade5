#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent: packages already installed are skipped, and the package lists
# are refreshed only when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  ffmpeg libavcodec-dev libavformat-dev libavutil-dev libswscale-dev
  libswresample-dev libavfilter-dev
  libtinyxml2-dev qt6-base-dev libsdl2-dev libpango1.0-dev libcairo2-dev
  fonts-dejavu-core libopencore-amrnb-dev locales
  libgtest-dev libgmock-dev libbenchmark-dev
  flvmeta yamdi xvfb time
  clang libclang-rt-14-dev
  desktop-file-utils shared-mime-info appstream help2man
  parallel
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
