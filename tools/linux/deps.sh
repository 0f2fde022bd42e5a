#!/usr/bin/env bash
# Builds the private libraries of the portable Linux archive, inside the
# Debian 11 build system (tools/linux/chroot.sh build; tools/package-linux.sh
# runs this there), from the same pinned upstream archives as the Windows
# build (tools/windows/deps.sh fetches and checks them):
#   - GLFW 3.3.8, shared, X11 (it runs on Wayland desktops through
#     XWayland), libglfw.so.3;
#   - OpenAL Soft 1.24.2, shared, libopenal.so.1, with its C++ runtime
#     inside and none of that runtime's symbols exported; it loads ALSA's or
#     PulseAudio's library itself when the game starts, so the program runs
#     (silently) where neither is installed.
# Usage (inside the chroot): deps.sh DOWNLOADS PREFIX
# A part whose stamp matches its archive and recipe is not built again.
set -euo pipefail
downloads=$1
prefix=$2
jobs=${ZELK_JOBS:-2}

GLFW_ARCHIVE=glfw3_3.3.8.orig.tar.gz
OPENAL_ARCHIVE=openal-soft_1.24.2.orig.tar.gz
# Raise when the way a part is built changes, so that caches rebuild it.
RECIPE=2

say() { echo "linux-deps: $*"; }
die() {
  echo "linux-deps: error: $*" >&2
  exit 1
}

work=/var/tmp/zelk-deps
stamp_of() { echo "$(sha256sum "$downloads/$1" | cut -d' ' -f1) $RECIPE"; }
stamp_ok() { [ -f "$prefix/.stamp-$1" ] && [ "$(cat "$prefix/.stamp-$1")" = "$2" ]; }

build() {
  local name=$1 archive=$2
  shift 2
  local src=$work/src/$name bld=$work/build/$name
  rm -rf "$src" "$bld"
  mkdir -p "$src" "$bld"
  tar -xzf "$downloads/$archive" -C "$src" --strip-components=1 || die "archive $archive could not be unpacked"
  [ "$name" != openal-soft ] || prepare_openal "$src"
  cmake -S "$src" -B "$bld" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_INSTALL_LIBDIR=lib "$@" >"$bld.configure.log" 2>&1 ||
    die "configuring $name failed (see $bld.configure.log)"
  cmake --build "$bld" -j"$jobs" >"$bld.build.log" 2>&1 || die "building $name failed (see $bld.build.log)"
  cmake --install "$bld" >"$bld.install.log" 2>&1 || die "installing $name failed (see $bld.install.log)"
}

build_glfw() {
  local id
  id=$(stamp_of "$GLFW_ARCHIVE")
  stamp_ok glfw "$id" && return 0
  say "building GLFW 3.3.8 (shared, X11)"
  build glfw "$GLFW_ARCHIVE" -DBUILD_SHARED_LIBS=ON -DGLFW_USE_WAYLAND=OFF \
    -DGLFW_BUILD_EXAMPLES=OFF -DGLFW_BUILD_TESTS=OFF -DGLFW_BUILD_DOCS=OFF -DGLFW_INSTALL=ON
  mkdir -p "$prefix/share/licenses"
  cp "$work/src/glfw/LICENSE.md" "$prefix/share/licenses/GLFW.txt"
  echo "$id" >"$prefix/.stamp-glfw"
}

# OpenAL Soft asks for C17 where the compiler has it, a value CMake knows
# only from 3.21 on; Debian 11's 3.18 stops at it. C11 does as well: the
# library is all C++ (its one C file is a utility this build leaves out).
prepare_openal() {
  sed -i 's/^\(    C_STANDARD\) 17)$/\1 11)/' "$1/CMakeLists.txt"
  grep -q '^    C_STANDARD 11)$' "$1/CMakeLists.txt" || die "OpenAL Soft's CMakeLists.txt no longer asks for C17 as expected"
}

build_openal() {
  local id
  id=$(stamp_of "$OPENAL_ARCHIVE")
  stamp_ok openal "$id" && return 0
  say "building OpenAL Soft 1.24.2 (shared; ALSA and PulseAudio output)"
  local pulse=/opt/pulse/usr
  build openal-soft "$OPENAL_ARCHIVE" -DLIBTYPE=SHARED \
    -DCMAKE_SHARED_LINKER_FLAGS="-static-libstdc++ -static-libgcc -Wl,--exclude-libs,ALL" \
    -DALSOFT_UTILS=OFF -DALSOFT_EXAMPLES=OFF -DALSOFT_TESTS=OFF \
    -DALSOFT_INSTALL_CONFIG=OFF -DALSOFT_INSTALL_HRTF_DATA=OFF -DALSOFT_INSTALL_AMBDEC_PRESETS=OFF \
    -DALSOFT_INSTALL_EXAMPLES=OFF -DALSOFT_INSTALL_UTILS=OFF -DALSOFT_UPDATE_BUILD_VERSION=OFF \
    -DALSOFT_DLOPEN=ON -DALSOFT_REQUIRE_ALSA=ON -DALSOFT_REQUIRE_PULSEAUDIO=ON \
    -DPULSEAUDIO_INCLUDE_DIR=$pulse/include -DPULSEAUDIO_LIBRARY=$pulse/lib/x86_64-linux-gnu/libpulse.so \
    -DALSOFT_BACKEND_PIPEWIRE=OFF -DALSOFT_BACKEND_JACK=OFF -DALSOFT_BACKEND_PORTAUDIO=OFF \
    -DALSOFT_BACKEND_SDL2=OFF -DALSOFT_BACKEND_SDL3=OFF -DALSOFT_RTKIT=OFF
  local s=$work/src/openal-soft lic=$prefix/share/licenses
  mkdir -p "$lic"
  cp "$s/COPYING" "$lic/OpenAL-Soft.txt"
  cp "$s/BSD-3Clause" "$lic/OpenAL-Soft-BSD-3Clause.txt"
  cp "$s/LICENSE-pffft" "$lic/OpenAL-Soft-pffft.txt"
  local fmt
  for fmt in "$s"/fmt-*/LICENSE; do [ -f "$fmt" ] && cp "$fmt" "$lic/OpenAL-Soft-fmt.txt"; done
  echo "$id" >"$prefix/.stamp-openal"
}

mkdir -p "$prefix"
build_glfw
build_openal
say "ready in $prefix"
