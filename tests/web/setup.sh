#!/usr/bin/env bash
# What the browser tests, the web benchmark and the web screenshots drive the
# page with: Debian's Chromium and npm (tools/install-deps.sh web-test), and
# puppeteer-core at the version pinned in package-lock.json, installed with
# npm ci (it brings no browser of its own).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/../../tools/install-deps.sh" web-test
cd "$here"
npm ci --no-audit --no-fund --loglevel=error
