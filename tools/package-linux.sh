#!/usr/bin/env bash
# Builds the portable Linux release of Zelk and packs it:
#   bash tools/package-linux.sh   ->  dist/zelk-linux-x64.tar.gz
# The archive holds one folder, zelk-linux-x64/, with the program zelk, its
# own GLFW and OpenAL Soft in lib/ (found through RUNPATH $ORIGIN/lib),
# data/, README.txt, the licences in licenses/ and install-desktop-entry.sh
# (the menu entry and icons for the current user). It runs on any x86-64
# desktop distribution with glibc 2.31 or newer (2020 on): everything is
# built in a Debian 11 system (tools/linux/chroot.sh), with the C++ runtime
# linked in, so that only the C library, GL, X11 and the sound libraries
# come from the player's system.
# Steps: the Debian packages (tools/install-deps.sh), the Debian 11 build
# system (made once with debootstrap), the pinned GLFW and OpenAL Soft
# archives (downloaded and checked by tools/windows/deps.sh fetch, the same
# ones the Windows build uses), the libraries and the game built in that
# system (tools/linux/deps.sh), then the folder and the archive in dist/.
# The systems, the archives and both builds are cached under
# build-linux/chroots/ (or $ZELK_LINUX_CHROOT), so a second run takes
# seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# debootstrap and chroot need root.
[ "$(id -u)" = 0 ] || { echo "package-linux: run as root (sudo bash tools/package-linux.sh): the Debian 11 build system needs debootstrap and chroot" >&2; exit 1; }
bash tools/install-deps.sh

jobs=${ZELK_JOBS:-$(nproc)}
base=${ZELK_LINUX_CHROOT:-$root/build-linux/chroots}
export ZELK_LINUX_CHROOT=$base
# One build at a time in the build system (clones may share it).
mkdir -p "$base"
exec 9>"$base/.lock-package"
flock 9
t0=$SECONDS

sys=$(bash tools/linux/chroot.sh build)

# Runs a command inside the build system, with a clean environment.
in_sys() {
  chroot "$sys" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    SOURCE_DATE_EPOCH="$stamp" ZELK_JOBS="$jobs" "$@"
}
stamp=$(git log -1 --format=%ct 2>/dev/null || echo 946684800)

echo "== GLFW and OpenAL Soft (Debian 11) =="
# The archives: from the Windows build's download cache when it holds them,
# else downloaded; either way checked against their pinned SHA-256.
fetch=$base/fetch
mkdir -p "$fetch/downloads"
seed=${ZELK_WIN_DEPS:-$root/build-win-deps}/downloads
for a in glfw3_3.3.8.orig.tar.gz openal-soft_1.24.2.orig.tar.gz; do
  if [ -f "$seed/$a" ] && [ ! -f "$fetch/downloads/$a" ]; then cp "$seed/$a" "$fetch/downloads/$a"; fi
done
ZELK_WIN_DEPS=$fetch bash tools/windows/deps.sh fetch >/dev/null
mkdir -p "$sys/zelk/downloads"
cp -p "$fetch/downloads/"*.tar.gz "$sys/zelk/downloads/"
cp tools/linux/deps.sh "$sys/zelk/deps.sh"
in_sys bash /zelk/deps.sh /zelk/downloads /opt/zelk-deps

echo "== portable build (Debian 11, glibc 2.31) =="
# The sources as they are in this checkout (committed or not), with their
# times, so that make rebuilds only what changed.
rm -rf "$sys/zelk/src"
mkdir -p "$sys/zelk/src"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard -- . ':!data' ':!tests' ':!bench' ':!docs' |
    xargs -0 -I{} sh -c '[ -e "$1" ] && printf "%s\0" "$1"' _ {} |
    tar -c --null -T - -f - | tar -x -C "$sys/zelk/src"
else
  tar -c --exclude='./build*' --exclude=./dist --exclude=./data --exclude=./tests --exclude=./bench \
    --exclude=./docs --exclude=./.git -f - . | tar -x -C "$sys/zelk/src"
fi
# stb's headers, the ones the other builds use (libstb-dev of this machine).
[ -f /usr/include/stb/stb_vorbis.h ] || { echo "package-linux: stb headers missing (/usr/include/stb); install libstb-dev" >&2; exit 1; }
mkdir -p "$sys/zelk/stb"
rm -rf "$sys/zelk/stb/stb"
cp -a /usr/include/stb "$sys/zelk/stb/stb"
in_sys cmake -S /zelk/src -B /zelk/build -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
  -DZELK_TESTS=OFF -DZELK_BENCH=OFF -DZELK_PORTABLE=ON -DZELK_PORTABLE_DEPS=/opt/zelk-deps \
  -DZELK_PORTABLE_STB=/zelk/stb >/dev/null
in_sys cmake --build /zelk/build -j"$jobs" --target zelk

echo "== package =="
name=zelk-linux-x64
stage=dist/$name
rm -rf "$stage" "dist/$name.tar.gz"
mkdir -p "$stage/lib" "$stage/licenses"
deps=$sys/opt/zelk-deps
# Stripped, the program and its libraries under their run-time names.
strip --strip-all -o "$stage/zelk" "$sys/zelk/build/zelk"
strip --strip-unneeded -o "$stage/lib/libglfw.so.3" "$(readlink -f "$deps/lib/libglfw.so.3")"
strip --strip-unneeded -o "$stage/lib/libopenal.so.1" "$(readlink -f "$deps/lib/libopenal.so.1")"
chmod 755 "$stage/zelk"
chmod 644 "$stage/lib/"*
cp -r data "$stage/data"
cp tools/linux/README.txt "$stage/README.txt"
cp "$deps/share/licenses/"*.txt "$stage/licenses/"
# The C++ runtime and libgcc linked into the program: GCC's runtime
# library exception, from the build system's compiler package.
gcc_doc=$sys/usr/share/doc/gcc-10-base/copyright
if [ ! -f "$gcc_doc" ]; then
  gcc_doc=$base/gcc-10-base.copyright
  if [ ! -f "$gcc_doc" ]; then
    x=$(mktemp -d)
    dpkg-deb -x "$(ls "$base"/debs/gcc-10-base_*.deb | head -1)" "$x"
    cp "$x/usr/share/doc/gcc-10-base/copyright" "$gcc_doc"
    rm -rf "$x"
  fi
fi
cp "$gcc_doc" "$stage/licenses/GCC-runtime.txt"
# The menu entry's template goes inside the script, which needs nothing
# else from this checkout.
awk -v entry=tools/desktop/zelk.desktop.in '
  /^@DESKTOP_ENTRY@$/ { while ((getline line < entry) > 0) print line; next }
  { print }
' tools/linux/install-desktop-entry.sh >"$stage/install-desktop-entry.sh"
chmod 755 "$stage/install-desktop-entry.sh"

# The same sources give the same archive: fixed times (the last commit's),
# sorted entries, no owner names.
find "$stage" -exec touch -h -d "@$stamp" {} +
tar -C dist --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$stamp" -cf - "$name" |
  gzip -9n >"dist/$name.tar.gz"
rm -rf "$stage"
size=$(stat -c %s "dist/$name.tar.gz")
echo "dist/$name.tar.gz: $size bytes ($(((size + 524288) / 1048576)) MB), made in $((SECONDS - t0)) s"
