#!/usr/bin/env bash
# Takes the README's browser pictures (docs/web-*.png) from the real page in
# headless Chromium; builds the page first when dist/web has none.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
[ -f "$root/dist/web/zelk.wasm" ] || bash "$root/tools/build-web.sh"
bash "$root/tests/web/setup.sh"
exec node "$root/tools/web/screenshots.mjs"
