#!/usr/bin/env bash
# Installs what the build needs, then builds and runs the whole test suite:
# the normal build with its unit and end-to-end tests, the unit tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer, and a fixed fuzz
# run (same seed, same number of runs every time) of every fuzz target.
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
  (cd "$1" && xvfb-run -a -s "$screen" ctest --output-on-failure --timeout 600 -L e2e --repeat until-pass:2)
}

echo "== build (release) =="
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
echo "== tests (release) =="
unit_tests build
echo "== end-to-end tests (release) =="
e2e_tests build

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
