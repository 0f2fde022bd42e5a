#!/usr/bin/env bash
# Installs what the build needs, then builds and runs the whole test suite:
# the normal build, the same unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a bounded fuzz run of the sound decoders.
# Tests that open windows run on a virtual X display (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

jobs=$(nproc)
export ALSOFT_DRIVERS=null

echo "== build (release) =="
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
echo "== tests (release) =="
(cd build && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j"$jobs")

echo "== build (address + undefined behaviour sanitizers) =="
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZELK_SANITIZE=ON -DZELK_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
echo "== tests (sanitizers) =="
# Mesa and GLFW keep allocations until exit; leaks are not what this run checks.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j"$jobs" -LE no_sanitize)

if [ -x tests/fuzz/run_fuzz.sh ]; then
  echo "== fuzz (sound decoders) =="
  bash tests/fuzz/run_fuzz.sh "${ZELK_FUZZ_SECONDS:-60}"
fi
