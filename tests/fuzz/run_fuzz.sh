#!/usr/bin/env bash
# Builds the sound decoder fuzzer with clang (libFuzzer + AddressSanitizer +
# UndefinedBehaviorSanitizer) on its own, outside CMake, and runs it over the
# committed seed corpus for a bounded time.
#   tests/fuzz/run_fuzz.sh SECONDS [BUILD_DIR]
# Exit status: 0 when the time ran out without a finding, non-zero otherwise.
# New inputs go to BUILD_DIR/corpus; a crashing input to BUILD_DIR/crash-*.
set -euo pipefail

seconds="${1:?usage: run_fuzz.sh SECONDS [BUILD_DIR]}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${2:-${TMPDIR:-/tmp}/zelk-fuzz}"
mkdir -p "$build/obj" "$build/corpus"

CC="${CC:-clang}"
CXX="${CXX:-clang++}"
san="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cxxflags="-std=c++17 -g -O1 -I$root $san"

# The bundled Vorbis decoder converts out-of-range floats to int while it
# sizes a codebook from a damaged header (x86 gives INT_MIN, and the header
# is then rejected or the table bounded by its own size); that one check is
# left out for the decoder, every other one stays on.
"$CC" -g -O1 $san -fno-sanitize=float-cast-overflow -w -c "$root/audio/stb_vorbis_impl.c" \
  -o "$build/obj/stb_vorbis_impl.o"
for src in audio/hx_audio_decode.cpp runtime/hx_string.cpp runtime/hx_gc.cpp runtime/hx_error.cpp \
           host/hx_platform_posix.cpp \
           tests/fuzz/fuzz_audio_decode.cpp; do
  "$CXX" $cxxflags -c "$root/$src" -o "$build/obj/$(basename "$src" .cpp).o"
done
"$CXX" -fsanitize=fuzzer,address,undefined "$build"/obj/*.o -lm -o "$build/fuzz_audio_decode"

cd "$build"
# The first corpus folder receives what the fuzzer finds; the committed
# seeds are only read.
./fuzz_audio_decode -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
  -print_final_stats=1 "$build/corpus" "$here/corpus"
