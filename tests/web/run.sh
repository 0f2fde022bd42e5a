#!/usr/bin/env bash
# The browser tests in Debian's Chromium (headless), driven by puppeteer-core
# (tests/web/setup.sh): every *.test.mjs here, one after another. Needs
# dist/web from tools/build-web.sh.
#   bash tests/web/run.sh [node --test options]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/setup.sh"
cd "$here"
shopt -s nullglob
tests=(*.test.mjs)
exec node --test --test-concurrency=1 "$@" "${tests[@]}"
