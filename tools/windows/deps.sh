#!/usr/bin/env bash
# Builds the Windows dependencies of Zelk from their upstream sources, as
# Debian's source archive carries them, with the MinGW-w64 cross compiler:
#   - GLFW 3.3.8, a static library (bookworm's source package glfw3,
#     fetched with apt-get source through a deb-src entry of our own);
#   - OpenAL Soft 1.24.2 as OpenAL32.dll (the upstream archive of trixie's
#     source package openal-soft, from the pool of the same mirror);
#   - GoogleTest for the Windows unit tests, from libgtest-dev's sources;
#   - stb's headers from libstb-dev, as on Linux.
# The mirror is the one the machine's own apt sources use for Debian
# (ZELK_DEBIAN_MIRROR overrides it). Every archive's SHA-256 is pinned
# below and checked before anything is unpacked.
#
# Everything lands under build-win-deps/ (or $ZELK_WIN_DEPS): downloads/,
# src/, build/ and prefix/, the folder the cross build takes its headers,
# libraries and the DLL from. A part whose stamp matches is not fetched or
# built again, so a second run takes a moment.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
deps=${ZELK_WIN_DEPS:-$root/build-win-deps}
prefix=$deps/prefix
toolchain=$root/tools/windows/mingw-w64-x86_64.cmake
jobs=${ZELK_JOBS:-$(nproc)}

GLFW_VERSION=3.3.8
GLFW_DEBIAN_VERSION=3.3.8-1
GLFW_SUITE=bookworm
GLFW_ARCHIVE=glfw3_3.3.8.orig.tar.gz
GLFW_SHA256=f30f42e05f11e5fc62483e513b0488d5bceeab7d9c5da0ffe2252ad81816c713

OPENAL_VERSION=1.24.2
OPENAL_ARCHIVE=openal-soft_1.24.2.orig.tar.gz
OPENAL_POOL=pool/main/o/openal-soft
OPENAL_SHA256=7efd383d70508587fbc146e4c508771a2235a5fc8ae05bf6fe721c20a348bd7c

# Raise when the way a part is built changes, so that caches rebuild it.
RECIPE=2

say() { echo "windows-deps: $*"; }
die() {
  echo "windows-deps: error: $*" >&2
  exit 1
}

sha256_of() { sha256sum "$1" | cut -d' ' -f1; }

# debian_mirror and find_mirror (sets mirror and keyring).
. "$root/tools/debian-mirror.sh"

# Whether the archive in downloads/ is there and has the pinned checksum. A
# damaged copy is removed so that it is fetched again.
cached_ok() {
  local file=$deps/downloads/$1 sha=$2
  [ -f "$file" ] || return 1
  [ "$(sha256_of "$file")" = "$sha" ] && return 0
  say "cached $1 does not match its checksum; fetching it again"
  rm -f "$file"
  return 1
}

# Moves a fresh download into downloads/ after checking it.
accept_download() {
  local got=$1 name=$2 sha=$3
  [ -s "$got" ] || die "download of $name failed: the file is missing or empty"
  local have
  have=$(sha256_of "$got")
  if [ "$have" != "$sha" ]; then
    rm -f "$got"
    die "checksum of $name is wrong (SHA-256 $have, expected $sha); refusing to build from it"
  fi
  mv -f "$got" "$deps/downloads/$name"
}

# GLFW: the source package from bookworm, through apt-get source with a
# private apt configuration (its own deb-src entry, lists and cache), so the
# machine's apt setup is left as it is.
fetch_glfw() {
  cached_ok "$GLFW_ARCHIVE" "$GLFW_SHA256" && return 0
  find_mirror
  local apt=$deps/apt
  rm -rf "$apt"
  mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/get"
  : >"$apt/sources.list"
  {
    echo "Types: deb-src"
    echo "URIs: $mirror"
    echo "Suites: $GLFW_SUITE"
    echo "Components: main"
    [ -z "$keyring" ] || echo "Signed-By: $keyring"
  } >"$apt/sources.list.d/zelk-src.sources"
  local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
    -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "Dir::State::status=/dev/null"
    -o Debug::NoLocking=1 -o Acquire::Languages=none -o APT::Sandbox::User=root -q)
  say "fetching the source of glfw3 $GLFW_DEBIAN_VERSION from $mirror ($GLFW_SUITE)"
  apt-get "${opts[@]}" update >"$apt/update.log" 2>&1 ||
    die "download of $GLFW_ARCHIVE failed: apt-get update of the deb-src entry for $mirror $GLFW_SUITE failed (see $apt/update.log)"
  (cd "$apt/get" && apt-get "${opts[@]}" source --download-only "glfw3=$GLFW_DEBIAN_VERSION") >"$apt/source.log" 2>&1 ||
    die "download of $GLFW_ARCHIVE failed: apt-get source glfw3=$GLFW_DEBIAN_VERSION failed (see $apt/source.log)"
  accept_download "$apt/get/$GLFW_ARCHIVE" "$GLFW_ARCHIVE" "$GLFW_SHA256"
}

# OpenAL Soft: the upstream archive from the pool of the same mirror.
fetch_openal() {
  cached_ok "$OPENAL_ARCHIVE" "$OPENAL_SHA256" && return 0
  find_mirror
  local url=$mirror/$OPENAL_POOL/$OPENAL_ARCHIVE part=$deps/downloads/.partial
  mkdir -p "$part"
  rm -f "$part/$OPENAL_ARCHIVE"
  say "fetching $url"
  # apt's own downloader: it follows the machine's apt proxy settings.
  /usr/lib/apt/apt-helper -o APT::Sandbox::User=root -q download-file "$url" "$part/$OPENAL_ARCHIVE" \
    >"$part/$OPENAL_ARCHIVE.log" 2>&1 || {
    rm -f "$part/$OPENAL_ARCHIVE"
    die "download of $OPENAL_ARCHIVE failed from $url ($(tail -n 1 "$part/$OPENAL_ARCHIVE.log"))"
  }
  accept_download "$part/$OPENAL_ARCHIVE" "$OPENAL_ARCHIVE" "$OPENAL_SHA256"
}

# Unpacks a checked archive into src/<dir>, replacing an older unpack.
unpack() {
  local name=$1 dir=$2
  rm -rf "${deps:?}/src/$dir"
  mkdir -p "$deps/src/$dir"
  tar -xzf "$deps/downloads/$name" -C "$deps/src/$dir" --strip-components=1 ||
    die "archive $name could not be unpacked"
}

stamp_ok() { [ -f "$prefix/.stamp-$1" ] && [ "$(cat "$prefix/.stamp-$1")" = "$2" ]; }

cross_cmake() {
  local src=$1 bld=$2
  shift 2
  rm -rf "$bld"
  cmake -S "$src" -B "$bld" -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$bld.configure.log" 2>&1 ||
    die "configuring $(basename "$src") failed (see $bld.configure.log)"
  cmake --build "$bld" -j"$jobs" >"$bld.build.log" 2>&1 || die "building $(basename "$src") failed (see $bld.build.log)"
  cmake --install "$bld" >"$bld.install.log" 2>&1 || die "installing $(basename "$src") failed (see $bld.install.log)"
}

toolchain_id() { sha256_of "$toolchain" | cut -c1-16; }

build_glfw() {
  local id="$GLFW_SHA256 $RECIPE $(toolchain_id)"
  stamp_ok glfw "$id" && return 0
  fetch_glfw
  say "building GLFW $GLFW_VERSION (static)"
  unpack "$GLFW_ARCHIVE" glfw
  mkdir -p "$deps/build"
  cross_cmake "$deps/src/glfw" "$deps/build/glfw" -DBUILD_SHARED_LIBS=OFF \
    -DGLFW_BUILD_EXAMPLES=OFF -DGLFW_BUILD_TESTS=OFF -DGLFW_BUILD_DOCS=OFF -DGLFW_INSTALL=ON
  mkdir -p "$prefix/share/licenses/GLFW"
  cp "$deps/src/glfw/LICENSE.md" "$prefix/share/licenses/GLFW/LICENSE.md"
  echo "$id" >"$prefix/.stamp-glfw"
}

build_openal() {
  local id="$OPENAL_SHA256 $RECIPE $(toolchain_id)"
  stamp_ok openal "$id" && return 0
  fetch_openal
  say "building OpenAL Soft $OPENAL_VERSION (OpenAL32.dll)"
  unpack "$OPENAL_ARCHIVE" openal-soft
  mkdir -p "$deps/build"
  # The DLL carries its own C/C++ runtimes, so that it needs nothing but
  # Windows itself beside zelk.exe.
  # Stripped and without a link time stamp: the same source gives the same DLL.
  cross_cmake "$deps/src/openal-soft" "$deps/build/openal-soft" -DLIBTYPE=SHARED \
    -DCMAKE_SHARED_LINKER_FLAGS="-s -Wl,--no-insert-timestamp" \
    -DALSOFT_UTILS=OFF -DALSOFT_EXAMPLES=OFF -DALSOFT_TESTS=OFF \
    -DALSOFT_INSTALL_CONFIG=OFF -DALSOFT_INSTALL_HRTF_DATA=OFF -DALSOFT_INSTALL_AMBDEC_PRESETS=OFF \
    -DALSOFT_INSTALL_EXAMPLES=OFF -DALSOFT_INSTALL_UTILS=OFF -DALSOFT_UPDATE_BUILD_VERSION=OFF \
    -DALSOFT_STATIC_LIBGCC=ON -DALSOFT_STATIC_STDCXX=ON -DALSOFT_STATIC_WINPTHREAD=ON \
    -DALSOFT_BACKEND_PIPEWIRE=OFF -DALSOFT_BACKEND_PULSEAUDIO=OFF -DALSOFT_BACKEND_JACK=OFF \
    -DALSOFT_BACKEND_PORTAUDIO=OFF -DALSOFT_BACKEND_SDL2=OFF -DALSOFT_BACKEND_SDL3=OFF
  [ -f "$prefix/bin/OpenAL32.dll" ] || die "building OpenAL Soft gave no OpenAL32.dll"
  local lic=$prefix/share/licenses/OpenAL-Soft s=$deps/src/openal-soft
  mkdir -p "$lic"
  cp "$s/COPYING" "$lic/COPYING.txt"
  cp "$s/BSD-3Clause" "$lic/BSD-3Clause.txt"
  cp "$s/LICENSE-pffft" "$lic/LICENSE-pffft.txt"
  local fmt
  for fmt in "$s"/fmt-*/LICENSE; do [ -f "$fmt" ] && cp "$fmt" "$lic/fmt-LICENSE.txt"; done
  echo "$id" >"$prefix/.stamp-openal"
}

# GoogleTest from Debian's libgtest-dev sources (not a download).
build_gtest() {
  local src=/usr/src/googletest
  [ -f "$src/CMakeLists.txt" ] || die "GoogleTest sources missing ($src); install libgtest-dev"
  local id
  id="$(dpkg-query -W -f='${Version}' libgtest-dev 2>/dev/null) $RECIPE $(toolchain_id)"
  stamp_ok gtest "$id" && return 0
  say "building GoogleTest for Windows"
  mkdir -p "$deps/build"
  cross_cmake "$src" "$deps/build/googletest" -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -Dgtest_force_shared_crt=ON
  echo "$id" >"$prefix/.stamp-gtest"
}

# stb: the same headers the Linux build uses.
link_stb() {
  [ -f /usr/include/stb/stb_image.h ] || die "stb headers missing (/usr/include/stb); install libstb-dev"
  mkdir -p "$prefix/include"
  ln -sfn /usr/include/stb "$prefix/include/stb"
}

mkdir -p "$deps/downloads" "$prefix"
what=${1:-all}
case "$what" in
  fetch)
    fetch_openal
    fetch_glfw
    ;;
  # The checked GLFW archive only (tools/wayland/glfw-wayland.sh builds it
  # for Wayland).
  fetch-glfw) fetch_glfw ;;
  all | game)
    # Both archives are checked before anything is built.
    stamp_ok openal "$OPENAL_SHA256 $RECIPE $(toolchain_id)" || fetch_openal
    stamp_ok glfw "$GLFW_SHA256 $RECIPE $(toolchain_id)" || fetch_glfw
    link_stb
    build_glfw
    build_openal
    [ "$what" = game ] || build_gtest
    ;;
  *) die "unknown part '$what' (fetch, fetch-glfw, game or all)" ;;
esac
say "ready in $prefix"
