#!/usr/bin/env bash
# Builds GLFW 3.3.8 with its Wayland backend as a shared library in a
# private folder, for the Wayland test; the machine's libglfw3 (X11) stays
# installed and the game runs on this build through LD_LIBRARY_PATH:
#   bash tools/wayland/glfw-wayland.sh   ->  build-glfw-wayland/lib/libglfw.so.3
# The source is the pinned archive the Windows build uses, fetched and
# checked by tools/windows/deps.sh (fetch-glfw) into its downloads folder
# (build-win-deps/, or $ZELK_WIN_DEPS), so it is fetched once for both. A
# build whose stamp matches is not made again.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
deps=${ZELK_WIN_DEPS:-$root/build-win-deps}
out=${ZELK_WAYLAND_GLFW:-$root/build-glfw-wayland}
jobs=${ZELK_JOBS:-$(nproc)}
RECIPE=1  # raise when the way the library is built changes

say() { echo "glfw-wayland: $*"; }
die() {
  echo "glfw-wayland: error: $*" >&2
  exit 1
}

# The archive and its checksum, as the Windows dependency script pins them.
pin() { sed -n "s/^$1=//p" "$root/tools/windows/deps.sh" | head -n 1; }
archive=$(pin GLFW_ARCHIVE)
sha=$(pin GLFW_SHA256)
[ -n "$archive" ] && [ -n "$sha" ] || die "no GLFW pin found in tools/windows/deps.sh"

id="$sha $RECIPE"
if [ -f "$out/.stamp" ] && [ "$(cat "$out/.stamp")" = "$id" ] && [ -e "$out/lib/libglfw.so.3" ]; then
  say "ready in $out/lib"
  exit 0
fi

ZELK_WIN_DEPS=$deps bash "$root/tools/windows/deps.sh" fetch-glfw >/dev/null
file=$deps/downloads/$archive
[ "$(sha256sum "$file" | cut -d' ' -f1)" = "$sha" ] || die "checksum of $file is wrong; refusing to build from it"

rm -rf "$out"
mkdir -p "$out/src" "$out/lib"
tar -xzf "$file" -C "$out/src" --strip-components=1 || die "archive $archive could not be unpacked"
say "building GLFW (Wayland, shared) in $out"
cmake -S "$out/src" -B "$out/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DGLFW_USE_WAYLAND=ON \
  -DGLFW_BUILD_EXAMPLES=OFF -DGLFW_BUILD_TESTS=OFF -DGLFW_BUILD_DOCS=OFF -DGLFW_INSTALL=OFF \
  >"$out/configure.log" 2>&1 || die "configuring failed (see $out/configure.log)"
cmake --build "$out/build" -j"$jobs" >"$out/build.log" 2>&1 || die "building failed (see $out/build.log)"
cp -a "$out/build/src"/libglfw.so* "$out/lib/"
soname=$(objdump -p "$out/lib/libglfw.so.3" | awk '/SONAME/ {print $2}')
[ "$soname" = libglfw.so.3 ] || die "the library's soname is '$soname', not libglfw.so.3"
echo "$id" >"$out/.stamp"
say "ready in $out/lib"
