#!/usr/bin/env bash
# Builds the Windows release of Zelk on Debian and packs it:
#   bash tools/package-windows.sh   ->  dist/zelk-windows-x64.zip
# The zip holds one folder, zelk-windows-x64/, with zelk.exe, OpenAL32.dll,
# data/, README.txt and the licences of the libraries inside. Steps: the
# Debian packages (tools/install-deps.sh), the Windows dependencies built
# from source (tools/windows/deps.sh, cached in build-win-deps/), the cross
# build of the game (build-win/), then the folder and the zip in dist/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash tools/install-deps.sh

jobs=${ZELK_JOBS:-$(nproc)}
deps=${ZELK_WIN_DEPS:-$root/build-win-deps}
prefix=$deps/prefix
ZELK_WIN_DEPS=$deps ZELK_JOBS=$jobs bash tools/windows/deps.sh all

echo "== cross build (Windows x64) =="
# pkg-config looks only at the Windows libraries, never at the build
# machine's own.
PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig cmake -S . -B build-win \
  -DCMAKE_TOOLCHAIN_FILE="$root/tools/windows/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release -DZELK_BENCH=OFF >/dev/null
cmake --build build-win -j"$jobs" --target zelk

echo "== package =="
name=zelk-windows-x64
stage=dist/$name
rm -rf "$stage" "dist/$name.zip"
mkdir -p "$stage/licenses"
cp build-win/zelk.exe "$stage/"
cp "$prefix/bin/OpenAL32.dll" "$stage/"
cp -r data "$stage/data"
# Windows users read text files with CR LF line ends.
sed 's/$/\r/' tools/windows/README.txt >"$stage/README.txt"
lic() { sed 's/\r$//; s/$/\r/' "$1" >"$stage/licenses/$2"; }
lic "$prefix/share/licenses/GLFW/LICENSE.md" GLFW.txt
lic "$prefix/share/licenses/OpenAL-Soft/COPYING.txt" OpenAL-Soft.txt
lic "$prefix/share/licenses/OpenAL-Soft/BSD-3Clause.txt" OpenAL-Soft-BSD-3Clause.txt
lic "$prefix/share/licenses/OpenAL-Soft/LICENSE-pffft.txt" OpenAL-Soft-pffft.txt
lic "$prefix/share/licenses/OpenAL-Soft/fmt-LICENSE.txt" OpenAL-Soft-fmt.txt
lic /usr/share/doc/mingw-w64-common/copyright MinGW-w64-runtime.txt

# The same sources give the same zip: fixed times (the last commit's),
# sorted entries, no extra attributes.
stamp=$(git log -1 --format=%ct 2>/dev/null || echo 946684800)
find "$stage" -exec touch -h -d "@$stamp" {} +
(cd dist && find "$name" -print | LC_ALL=C sort | TZ=UTC zip -q -X -9 -@ "$name.zip")
size=$(stat -c %s "dist/$name.zip")
echo "dist/$name.zip: $size bytes ($(( (size + 524288) / 1048576 )) MB)"
