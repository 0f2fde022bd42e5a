#!/usr/bin/env bash
# Makes, once, the Debian 11 (bullseye) systems of the portable Linux build
# and prints the folder of the one asked for:
#   tools/linux/chroot.sh build   the compilers and headers the archive is
#                                 built with (glibc 2.31, g++ 10, cmake 3.18)
#   tools/linux/chroot.sh bare    a bare player's system for the tests: the C
#                                 library, GL with Mesa's drivers, ALSA's
#                                 library and the X11 client libraries, but
#                                 no GLFW and no OpenAL
# Both come from debootstrap (minbase) from the mirror of the machine's own
# apt sources; the packages it downloads are kept in one cache that both
# share. Everything lives under build-linux/chroots/ or $ZELK_LINUX_CHROOT
# (a folder outside the clone can be reused by several clones). A finished
# system carries a stamp of its recipe; with a matching stamp nothing is
# done, so a second run takes a moment.
#
# Bullseye is closed (11.11 is its last point release), so its main archive
# no longer changes; the versions the build depends on are checked anyway,
# so that a different compiler or C library is an error, not a surprise.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
base=${ZELK_LINUX_CHROOT:-$root/build-linux/chroots}
SUITE=bullseye

say() { echo "linux-chroot: $*" >&2; }
die() {
  echo "linux-chroot: error: $*" >&2
  exit 1
}
. "$root/tools/debian-mirror.sh"

# What each system holds, beyond minbase.
BUILD_PACKAGES=(g++ make cmake pkg-config libgl-dev libx11-dev libxrandr-dev libxinerama-dev
  libxcursor-dev libxi-dev libxxf86vm-dev libasound2-dev)
BARE_PACKAGES=(libgl1 libgl1-mesa-dri libasound2 libx11-6 libxrandr2 libxinerama1 libxcursor1
  libxi6 libxxf86vm1)

# The versions the build is known to work with (bullseye 11.11).
BUILD_PINS=(libc6=2.31-13+deb11u11 g++-10=10.2.1-6 binutils=2.35.2-2 cmake=3.18.4-2+deb11u1)
BARE_PINS=(libc6=2.31-13+deb11u11)

# The PulseAudio headers, for OpenAL Soft's PulseAudio output (it loads the
# library itself when the game starts, so only the headers are needed; the
# package is unpacked, not installed, which keeps GLib's headers and their
# dependencies out of the system).
PULSE_DEB=libpulse-dev_14.2-2_amd64.deb
PULSE_POOL=pool/main/p/pulseaudio
PULSE_SHA256=371d2218a1f30b77f22d3781c2956b876a75d11e5ef7c3e2e7485fe5f52b9862

# Raise when a system's recipe changes, so that caches make it again.
RECIPE=1

recipe_of() {
  case "$1" in
    build) echo "$RECIPE $SUITE ${BUILD_PACKAGES[*]} ${BUILD_PINS[*]} $PULSE_SHA256" ;;
    bare) echo "$RECIPE $SUITE ${BARE_PACKAGES[*]} ${BARE_PINS[*]}" ;;
  esac
}

check_pins() {
  local dir=$1 pin pkg want have
  shift
  for pin in "$@"; do
    pkg=${pin%%=*} want=${pin#*=}
    have=$(chroot "$dir" dpkg-query -W -f='${Version}' "$pkg" 2>/dev/null || true)
    [ "$have" = "$want" ] || die "$pkg in the $SUITE system is '${have:-missing}', the build expects $want"
  done
}

make_system() {
  local what=$1 dir=$base/$1
  local packages
  if [ "$what" = build ]; then packages=("${BUILD_PACKAGES[@]}"); else packages=("${BARE_PACKAGES[@]}"); fi
  command -v debootstrap >/dev/null || die "debootstrap missing; install it (tools/install-deps.sh)"
  [ "$(id -u)" = 0 ] || die "making the $SUITE system needs root (debootstrap, chroot)"
  find_mirror
  local ring=()
  [ -z "$keyring" ] || ring=(--keyring="$keyring")
  rm -rf "$dir" "$dir.new"
  mkdir -p "$base/debs"
  say "making the $what system ($SUITE from $mirror); the log is $dir.log"
  local t0=$SECONDS
  local IFS=,
  debootstrap --variant=minbase --arch=amd64 "${ring[@]}" --cache-dir="$base/debs" \
    --include="${packages[*]}" "$SUITE" "$dir.new" "$mirror" >"$dir.log" 2>&1 ||
    die "debootstrap of the $what system failed (see $dir.log)"
  unset IFS
  # Nothing inside runs services or needs the downloaded packages again.
  rm -rf "$dir.new/var/cache/apt/archives/"*.deb "$dir.new/usr/share/doc" "$dir.new/usr/share/man" \
    "$dir.new/usr/share/locale" "$dir.new/var/lib/apt/lists/"*_Packages 2>/dev/null || true
  if [ "$what" = build ]; then
    check_pins "$dir.new" "${BUILD_PINS[@]}"
    local deb=$base/debs/$PULSE_DEB
    if [ ! -f "$deb" ] || [ "$(sha256sum "$deb" | cut -d' ' -f1)" != "$PULSE_SHA256" ]; then
      rm -f "$deb"
      /usr/lib/apt/apt-helper -o APT::Sandbox::User=root -q download-file "$mirror/$PULSE_POOL/$PULSE_DEB" \
        "$deb.part" >"$dir.log.pulse" 2>&1 || die "download of $PULSE_DEB failed (see $dir.log.pulse)"
      [ "$(sha256sum "$deb.part" | cut -d' ' -f1)" = "$PULSE_SHA256" ] || {
        rm -f "$deb.part"
        die "checksum of $PULSE_DEB is wrong; refusing to use it"
      }
      mv -f "$deb.part" "$deb"
    fi
    mkdir -p "$dir.new/opt/pulse"
    dpkg-deb -x "$deb" "$dir.new/opt/pulse"
  else
    check_pins "$dir.new" "${BARE_PINS[@]}"
  fi
  recipe_of "$what" >"$dir.new/.zelk-recipe"
  mv "$dir.new" "$dir"
  say "the $what system is ready in $((SECONDS - t0)) s ($(du -sh "$dir" | cut -f1))"
}

what=${1:-build}
case "$what" in
  build | bare) ;;
  *) die "unknown system '$what' (build or bare)" ;;
esac
dir=$base/$what
# One maker at a time for each system (clones may share the folder).
mkdir -p "$base"
exec 9>"$base/.lock-$what"
flock 9
if [ ! -f "$dir/.zelk-recipe" ] || [ "$(cat "$dir/.zelk-recipe")" != "$(recipe_of "$what")" ]; then
  make_system "$what"
fi
echo "$dir"
