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
echo "dist/$deb"
