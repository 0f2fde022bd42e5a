#!/usr/bin/env bash
# Size and speed of the web build in headless Chromium (bench/web/web_bench.mjs).
#   bash bench/web/run.sh [--loads N] [--seconds S]
# Uses dist/web (bash tools/build-web.sh) and the browser tests' packages.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
[ -f "$root/dist/web/zelk.wasm" ] || bash "$root/tools/build-web.sh"
bash "$root/tests/web/setup.sh"
exec node "$root/bench/web/web_bench.mjs" "$@"
