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
echo "== GLFW with its Wayland backend (for the scaled Wayland test) =="
# A private shared build from the pinned archive; the X11 libglfw3 stays
# installed. With it, the Wayland end-to-end test must run, not skip.
bash tools/wayland/glfw-wayland.sh
export ZELK_WAYLAND_REQUIRED=1
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

# ---- Linux, any distribution: the portable archive ----
# tools/package-linux.sh builds dist/zelk-linux-x64.tar.gz in a Debian 11
# system made with debootstrap (cached in build-linux/chroots/, or
# $ZELK_LINUX_CHROOT); the checks look at its files and symbol versions,
# play it on a bare Debian 11 and on this machine, and add and remove its
# menu entry. ZELK_SKIP_LINUX_PORTABLE=1 skips the stage for a quick local
# run; CI always runs it.
if [ "${ZELK_SKIP_LINUX_PORTABLE:-0}" = 1 ] && [ "${CI:-}" != true ]; then
  echo "== portable Linux stage skipped (ZELK_SKIP_LINUX_PORTABLE=1) =="
else
  linux_start=$(date +%s)
  echo "== portable Linux archive (Debian 11 build system) =="
  bash tools/package-linux.sh
  echo "== portable Linux archive: files, symbol versions, menu entry =="
  bash tests/linux/archive_test.sh
  bash tests/linux/desktop_entry_test.sh
  echo "== portable Linux archive played on a bare Debian 11 and on this system =="
  xvfb-run -a -s "$screen" bash tests/linux/bare_debian11_test.sh
  xvfb-run -a -s "$screen" bash tests/linux/debian12_test.sh
  echo "== portable Linux stage took $(($(date +%s) - linux_start)) s =="
fi

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
