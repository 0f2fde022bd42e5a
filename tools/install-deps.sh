#!/usr/bin/env bash
# Installs the Debian packages the build, the game and the tests need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
PKGS=(
  build-essential cmake pkg-config
  libglfw3-dev libgl-dev libgl1-mesa-dri libglu1-mesa-dev
  libopenal-dev libopenal1
  libstb-dev libvorbis-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev
  xvfb xauth x11-utils xdotool imagemagick
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  # Another package run may hold the lock; wait for it instead of failing.
  lock=(-o DPkg::Lock::Timeout=600)
  $SUDO apt-get "${lock[@]}" update -q
  $SUDO apt-get "${lock[@]}" install -y -q --no-install-recommends "${missing[@]}"
fi
