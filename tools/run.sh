#!/usr/bin/env bash
# Installs what the build needs, builds Zelk and starts it from the
# repository root (the game reads ./data/ and keeps ./.quollstate there).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZELK_TESTS=OFF -DZELK_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target zelk
exec ./build/zelk
