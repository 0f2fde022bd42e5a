#!/usr/bin/env bash
# The browser tests: Debian's Chromium (headless) and puppeteer-core, the
# version pinned in package-lock.json, installed here with npm ci (it
# brings no browser of its own). Needs dist/web from tools/build-web.sh.
#   bash tests/web/run.sh [node --test options]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/../../tools/install-deps.sh" web-test
cd "$here"
npm ci --no-audit --no-fund --loglevel=error
exec node --test --test-concurrency=1 "$@" zelk.test.mjs
