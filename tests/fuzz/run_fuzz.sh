#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehavior-
# Sanitizer, a CMake build of their own) and runs them over their committed
# corpora:
#   fuzz_audio_decode  the WAV and Ogg Vorbis decoders   corpus/
#   fuzz_image_decode  the PNG loader with its caps      corpus-image/
#   fuzz_state_load    the game's load of its state file corpus-state/
#
#   tests/fuzz/run_fuzz.sh ci                    every target, fixed seed and number of runs
#   tests/fuzz/run_fuzz.sh time SECONDS [TARGET...]  each target for SECONDS
#   tests/fuzz/run_fuzz.sh runs COUNT [TARGET...]    each target for COUNT executions
#
# "ci" repeats: every committed input (the regression inputs among them)
# runs first, then seed 1's mutations for a fixed number of runs, with new
# inputs going to a folder emptied first. Leak checks are off there: libFuzzer
# re-runs an input for them when a background thread happened to allocate,
# which shifts the mutations from run to run. "time" and "runs" are for
# longer searches, leak checks on: what they find is kept in
# BUILD/found-TARGET and read again by the next search.
# BUILD is $ZELK_FUZZ_BUILD, by default ${TMPDIR:-/tmp}/zelk-fuzz.
# Exit status: 0 when no target found anything, non-zero otherwise; a
# crashing input is written to BUILD/crash-TARGET-*.
set -euo pipefail

mode="${1:-}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${ZELK_FUZZ_BUILD:-${TMPDIR:-/tmp}/zelk-fuzz}"
all=(fuzz_audio_decode fuzz_image_decode fuzz_state_load)

usage() {
  sed -n '9,11p' "$0" >&2  # the usage lines above
  exit 2
}

corpus_of() {
  case "$1" in
    fuzz_audio_decode) echo "$here/corpus" ;;
    fuzz_image_decode) echo "$here/corpus-image" ;;
    fuzz_state_load) echo "$here/corpus-state" ;;
    *) echo "unknown target $1" >&2; exit 2 ;;
  esac
}

# Longest input per target: whole short sounds, small images, state files
# (the real one is about 130 bytes; the reader stops at 64 KiB).
max_len_of() {
  case "$1" in
    fuzz_audio_decode) echo 16384 ;;
    fuzz_image_decode) echo 16384 ;;
    fuzz_state_load) echo 4096 ;;
  esac
}

# Executions per target in CI (each about a minute on one core of the CI
# machine, under the sanitizers).
ci_runs_of() {
  case "$1" in
    fuzz_audio_decode) echo 20000 ;;
    fuzz_image_decode) echo 500000 ;;
    fuzz_state_load) echo 100000 ;;
  esac
}

case "$mode" in
  ci) targets=("${all[@]}") ;;
  time | runs)
    [ $# -ge 2 ] || usage
    amount="$2"
    shift 2
    targets=("$@")
    [ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
    ;;
  *) usage ;;
esac

echo "== building the fuzz targets in $build =="
CC="${CC:-clang}" CXX="${CXX:-clang++}" cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZELK_FUZZ=ON -DZELK_SANITIZE=ON -DZELK_TESTS=OFF -DZELK_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >/dev/null

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
status=0
for t in "${targets[@]}"; do
  corpus="$(corpus_of "$t")"
  if [ "$mode" = ci ]; then
    found="$build/ci-$t"
    rm -rf "$found"
    limit=(-seed=1 -runs="$(ci_runs_of "$t")" -detect_leaks=0)
  else
    found="$build/found-$t"
    if [ "$mode" = time ]; then limit=(-max_total_time="$amount"); else limit=(-runs="$amount"); fi
  fi
  mkdir -p "$found"
  echo "== $t (${limit[*]}) =="
  # The first folder receives new inputs; the committed corpus is only read.
  # Standard output is closed: the game's loader prints its log lines there.
  set +e
  "$build/tests/fuzz/$t" "${limit[@]}" -max_len="$(max_len_of "$t")" -timeout=20 -rss_limit_mb=2048 \
    -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$build/crash-$t-" "$found" "$corpus" 2>&1 |
    grep -E '^(Done [0-9]+ runs|stat::(number_of_executed_units|new_units_added|peak_rss_mb)|==[0-9]+== ?ERROR|SUMMARY|.*runtime error|Test unit written)'
  rc=${PIPESTATUS[0]}
  set -e
  if [ "$rc" -ne 0 ]; then
    echo "$t: finding (exit status $rc), input in $build/crash-$t-*"
    status=1
  fi
done
exit $status
