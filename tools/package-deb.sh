#!/usr/bin/env bash
# Builds the Debian package of the game: dist/zelk_<version>_<arch>.deb,
# installing under /usr (the game finds /usr/share/zelk/data from
# /usr/bin/zelk). Uses its own build folder, build-deb/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DZELK_TESTS=OFF -DZELK_BENCH=OFF >/dev/null
cmake --build build-deb -j"$(nproc)" --target zelk
mkdir -p dist
(cd build-deb && cpack -G DEB -B "$PWD/../dist/.cpack" >/dev/null)
version=$(sed -n 's/^CPACK_PACKAGE_VERSION:.*=//p' build-deb/CMakeCache.txt)
[ -n "$version" ] || version=$(grep -o 'CPACK_PACKAGE_VERSION "[^"]*"' build-deb/CPackConfig.cmake | cut -d'"' -f2)
arch=$(dpkg --print-architecture)
deb="zelk_${version}_${arch}.deb"
mv -f "dist/.cpack/$deb" "dist/$deb"
rm -rf dist/.cpack
# GLFW comes from Debian built for X11 (libglfw3) or for Wayland
# (libglfw3-wayland, which conflicts with it); the game runs on either, so
# the dependency dpkg-shlibdeps found accepts both, with the same version.
root=dist/.deb-root
rm -rf "$root"
dpkg-deb -R "dist/$deb" "$root"
sed -i -E '/^Depends:/ s/(^|[ ,])libglfw3( \([^)]*\))?(,|$)/\1libglfw3\2 | libglfw3-wayland\2\3/' "$root/DEBIAN/control"
grep -q '^Depends:.*libglfw3-wayland' "$root/DEBIAN/control" || {
  echo "package-deb: the package's Depends names no libglfw3: $(grep '^Depends:' "$root/DEBIAN/control")" >&2
  exit 1
}
dpkg-deb --root-owner-group --build "$root" "dist/$deb" >/dev/null
rm -rf "$root"
echo "dist/$deb"
