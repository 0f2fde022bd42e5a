#!/usr/bin/env bash
# Builds the Windows release of Zelk on Debian and packs it:
#   bash tools/package-windows.sh   ->  dist/zelk-windows-x64.zip
#                                       dist/zelk-setup-x64.exe
# The zip holds one folder, zelk-windows-x64/, with zelk.exe, OpenAL32.dll,
# data/, README.txt and the licences of the libraries inside: the portable
# copy. The installer (tools/windows/zelk.nsi, made with Debian's makensis)
# installs the same files for the current user. Steps: the Debian packages
# (tools/install-deps.sh), the Windows dependencies built from source
# (tools/windows/deps.sh, cached in build-win-deps/), the cross build of the
# game (build-win/), then the folder, the zip and the installer in dist/.
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

echo "== installer =="
# makensis and its 64-bit stubs come from Debian's nsis package: nothing is
# downloaded here. NSIS 3 is needed for 64-bit installers.
command -v makensis >/dev/null || { echo "package-windows: makensis is missing (Debian package nsis)" >&2; exit 1; }
nsis_version=$(makensis -VERSION)
case "$nsis_version" in
  v3.*) ;;
  *) echo "package-windows: makensis $nsis_version is too old (3.x needed)" >&2; exit 1 ;;
esac
[ -f /usr/share/nsis/Stubs/lzma_solid-amd64-unicode ] ||
  { echo "package-windows: makensis has no amd64-unicode stubs" >&2; exit 1; }
setup=dist/zelk-setup-x64.exe
work=build-win/installer
rm -rf "$work" "$setup"
mkdir -p "$work"
version=$(sed -n 's/^#define ZELK_VERSION_TEXT "\(.*\)"$/\1/p' build-win/zelk_rc.h)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "package-windows: no version in build-win/zelk_rc.h" >&2; exit 1; }
# One File line per file, and for the uninstaller one Delete line per file
# and then the folders deepest first: it removes exactly what was installed.
# Sorted, so that the same files give the same installer.
(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$work/files.txt"
if grep -q '["$`]' "$work/files.txt"; then
  echo "package-windows: a file name holds a character the installer script cannot carry" >&2
  exit 1
fi
win() { printf '%s' "$1" | tr / '\\'; }
{
  dir=-
  while IFS= read -r f; do
    d=$(dirname "$f")
    if [ "$d" != "$dir" ]; then
      dir=$d
      if [ "$d" = . ]; then echo 'SetOutPath "$INSTDIR"'; else echo "SetOutPath \"\$INSTDIR\\$(win "$d")\""; fi
    fi
    echo "File \"$root/$stage/$f\""
  done <"$work/files.txt"
} >"$work/files.nsh"
{
  while IFS= read -r f; do echo "Delete \"\$INSTDIR\\$(win "$f")\""; done <"$work/files.txt"
  (cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||' | LC_ALL=C sort -r) |
    while IFS= read -r d; do echo "RMDir \"\$INSTDIR\\$(win "$d")\""; done
} >"$work/unfiles.nsh"
bytes=$(cd "$stage" && find . -type f -printf '%s\n' | awk '{s += $1} END {print s}')
SOURCE_DATE_EPOCH=$stamp makensis -V2 -NOCD \
  -DVERSION="$version" -DSTAGE="$root/$stage" -DFILES="$root/$work/files.nsh" \
  -DUNFILES="$root/$work/unfiles.nsh" -DSIZE_KB=$(( (bytes + 1023) / 1024 )) \
  -DICON="$root/data/icons/zelk.ico" -DOUTFILE="$root/$setup" tools/windows/zelk.nsi
touch -d "@$stamp" "$setup"
size=$(stat -c %s "$setup")
echo "$setup: $size bytes ($(( (size + 524288) / 1048576 )) MB, makensis $nsis_version)"
