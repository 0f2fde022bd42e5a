#!/usr/bin/env bash
# Installs the Debian packages the build, the game and the tests need.
# Safe to run again: apt-get skips what is already there.
#   bash tools/install-deps.sh            the desktop build, its tests, Windows
#   bash tools/install-deps.sh web        the browser build (tools/build-web.sh)
#   bash tools/install-deps.sh web-test   the browser tests (tests/web/)
set -euo pipefail
group=${1:-desktop}
PKGS=(
  build-essential cmake pkg-config
  libglfw3-dev libgl-dev libgl1-mesa-dri libglu1-mesa-dev
  libopenal-dev libopenal1
  libstb-dev libvorbis-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev
  xvfb xauth x11-utils x11-xkb-utils xkb-data xdotool imagemagick
  dpkg-dev desktop-file-utils appstream
  # benchmarks only: the SDL2 renderer the peer benchmark compares with
  libsdl2-dev
)
# The audio device's recovery test: a PulseAudio server of its own with
# null sinks, recorded with parec.
PKGS+=(pulseaudio pulseaudio-utils)
# Windows build (tools/package-windows.sh) and its tests under Wine.
PKGS+=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine64 wine zip unzip
  # the installer (dist/zelk-setup-x64.exe)
  nsis
)
# Scaled displays: xrdb for the X11 test's Xft.dpi, weston and what GLFW's
# Wayland backend builds from (tools/wayland/glfw-wayland.sh) for the
# Wayland test.
PKGS+=(
  x11-xserver-utils weston extra-cmake-modules libwayland-dev libxkbcommon-dev wayland-protocols libegl-dev
)
# The portable Linux archive (tools/package-linux.sh): its Debian 11 build
# system, and the PulseAudio server its tests play through.
PKGS+=(debootstrap pulseaudio pulseaudio-utils)
case "$group" in
  desktop) ;;
  # Emscripten (Debian's runs its JavaScript tools with node-acorn).
  web) PKGS=(cmake make emscripten node-acorn libstb-dev) ;;
  # The browser the tests drive, headless, and npm for their one package
  # (npm comes with Node.js on some machines, as its own package on others).
  web-test)
    PKGS=(chromium python3)
    command -v npm >/dev/null || PKGS+=(npm)
    ;;
  *)
    echo "install-deps.sh: unknown group '$group' (desktop, web or web-test)" >&2
    exit 2
    ;;
esac
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
