#!/usr/bin/env bash
# Installs what the build needs, then builds and runs the whole test suite:
# the normal build with its unit and end-to-end tests, the unit tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer, a fixed fuzz run
# (same seed, same number of runs every time) of every fuzz target, the
# Windows build: cross-built, packaged, its unit tests and the unpacked
# package played under Wine (ZELK_SKIP_WINDOWS=1 skips that stage for a
# quick local run; CI always runs it), and the web build played in headless
# Chromium (ZELK_SKIP_WEB=1 skips it likewise).
# Tests that open windows run on a virtual X display (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

jobs=$(nproc)
# -noreset: without it the server resets whenever its last client leaves,
# and a game started at that moment cannot connect.
screen="-screen 0 1280x1024x24 -noreset"

# Unit and device tests run in parallel; the end-to-end tests (label e2e)
# drive real windows with X input and focus, so they run one at a time with
# no other window on their display. They depend on a real X server's timing,
# so a failed one gets one more try.
unit_tests() {
  (cd "$1" && xvfb-run -a -s "$screen" ctest --output-on-failure --timeout 600 -j"$jobs" -LE e2e)
}
e2e_tests() {
  (cd "$1" && xvfb-run -a -s "$screen" ctest --output-on-failure --timeout 600 -L e2e -LE windows --repeat until-pass:2)
}

echo "== build (release) =="
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
echo "== tests (release) =="
unit_tests build
echo "== end-to-end tests (release) =="
e2e_tests build

echo "== install and package (desktop) =="
# cmake --install into a fresh prefix, and the .deb from tools/package-deb.sh
# unpacked with dpkg -x: each started from an empty folder on a display of
# its own, where it must show the title menu and carry its window icon.
xvfb-run -a -s "$screen" bash tests/desktop/install_test.sh build
xvfb-run -a -s "$screen" bash tests/desktop/deb_test.sh

echo "== build (address + undefined behaviour sanitizers) =="
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZELK_SANITIZE=ON -DZELK_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
echo "== tests (sanitizers) =="
# Mesa and GLFW keep allocations until exit; leaks are not what this run checks.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
unit_tests build-asan

echo "== fuzz (sound decoders, image loader, state file load) =="
ZELK_FUZZ_BUILD="$PWD/build-fuzz" bash tests/fuzz/run_fuzz.sh ci

# ---- Windows: the cross build, the package, and both under Wine ----
if [ "${ZELK_SKIP_WINDOWS:-0}" = 1 ] && [ "${CI:-}" != true ]; then
  echo "== Windows stage skipped (ZELK_SKIP_WINDOWS=1) =="
else
  windows_start=$(date +%s)
  echo "== Windows package (MinGW-w64 cross build) =="
  bash tools/package-windows.sh
  echo "== Windows unit tests (under Wine) =="
  cmake --build build-win -j"$jobs"
  (cd build-win && xvfb-run -a -s "$screen" ctest --output-on-failure --timeout 600 -j"$jobs")
  echo "== Windows package end to end (under Wine) =="
  # The tests unpack dist/zelk-windows-x64.zip; here a missing zip or Wine
  # is a failure, not a skip.
  (cd build && ZELK_WINDOWS_REQUIRED=1 xvfb-run -a -s "$screen" \
    ctest --output-on-failure --timeout 600 -L windows --repeat until-pass:2)
  echo "== Windows stage took $(($(date +%s) - windows_start)) s =="
fi

# ---- Web: the Emscripten build and the page in headless Chromium ----
if [ "${ZELK_SKIP_WEB:-0}" = 1 ] && [ "${CI:-}" != true ]; then
  echo "== Web stage skipped (ZELK_SKIP_WEB=1) =="
else
  web_start=$(date +%s)
  echo "== Web build (Emscripten) =="
  bash tools/build-web.sh
  echo "== Web tests (headless Chromium) =="
  bash tests/web/run.sh
  echo "== Web stage took $(($(date +%s) - web_start)) s =="
fi
