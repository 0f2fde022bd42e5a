#!/usr/bin/env bash
# The browser tests in Debian's Chromium (headless), driven by puppeteer-core
# (tests/web/setup.sh). Needs dist/web from tools/build-web.sh.
#   bash tests/web/run.sh [node --test options]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/setup.sh"
cd "$here"
exec node --test --test-concurrency=1 "$@" zelk.test.mjs
