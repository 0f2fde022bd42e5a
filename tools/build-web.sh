#!/usr/bin/env bash
# Builds Zelk for the browser with Debian's Emscripten:
#   bash tools/build-web.sh   ->  dist/web/
# dist/web/ holds the page (index.html, from tools/web/), zelk.js and
# zelk.wasm (the game), zelk.data (the data folder, packed), the service
# worker that keeps them for offline play (sw.js), the web app manifest
# (manifest.json) and the icons. The page and the worker carry the build's
# name, made from the content of all the files (tools/web/stamp.sh). Serve
# the folder over HTTP, for example
#   cd dist/web && python3 -m http.server
# and play at http://127.0.0.1:8000.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh web

jobs=${ZELK_JOBS:-$(nproc)}
# Debian's Emscripten runs its JavaScript optimiser with Debian's acorn.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

echo "== web build (Emscripten $(emcc --version | sed -n 1p | sed 's/.*) //;s/ .*//')) =="
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-web -j"$jobs" --target zelk

echo "== web page =="
out=dist/web
rm -rf "$out"
mkdir -p "$out"
cp build-web/zelk.js build-web/zelk.wasm build-web/zelk.data "$out/"
cp tools/web/manifest.json "$out/"
cp data/icons/zelk-64.png "$out/favicon.png"
mkdir -p "$out/icons"
cp data/icons/zelk-192.png data/icons/zelk-512.png data/icons/zelk-maskable-512.png "$out/icons/"
build=$(bash tools/web/stamp.sh "$out")
echo "build $build"

limit=$((6 * 1024 * 1024))
total=0
for f in $(cd "$out" && find . -type f | sort); do
  size=$(stat -c %s "$out/$f")
  total=$((total + size))
  printf '%-24s %10d bytes\n' "${f#./}" "$size"
done
printf '%-24s %10d bytes (%d.%02d MB; the page must stay under 6 MB)\n' "$out" "$total" \
  $((total / 1048576)) $((total * 100 / 1048576 % 100))
if [ "$total" -ge "$limit" ]; then
  echo "build-web.sh: $out is $total bytes, over 6 MB" >&2
  exit 1
fi
