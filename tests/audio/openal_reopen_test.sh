#!/usr/bin/env bash
# The audio device's recovery test once more, on OpenAL Soft 1.24.2, the
# version the Windows build ships: it reopens a lost device in place
# (alcReopenDeviceSOFT), where Debian's 1.19 gets a new device and context.
# The library is built natively from the pinned source that
# tools/windows/deps.sh checked and unpacked, with the PulseAudio backend
# only (a few minutes once; kept in build-openal-native/ until that source
# changes), and the test of the given build folder runs on it through
# LD_LIBRARY_PATH.
#   bash tests/audio/openal_reopen_test.sh build
# (Run by hand for now; not yet part of tools/test.sh.)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-build}" && pwd)
deps=${ZELK_WIN_DEPS:-$root/build-win-deps}
src=$deps/src/openal-soft
stamp=$deps/prefix/.stamp-openal
out=$root/build-openal-native
[ -f "$src/CMakeLists.txt" ] && [ -f "$stamp" ] || {
  echo "openal_reopen_test: no checked OpenAL Soft source in $src (tools/windows/deps.sh unpacks it)" >&2
  exit 1
}
if [ ! -f "$out/.stamp" ] || [ "$(cat "$out/.stamp")" != "$(cat "$stamp")" ] || [ ! -e "$out/libopenal.so.1" ]; then
  rm -rf "$out"
  mkdir -p "$out"
  off=()
  for b in ALSA OSS PIPEWIRE SNDIO PORTAUDIO JACK SDL2 SDL3 WAVE; do off+=("-DALSOFT_BACKEND_$b=OFF"); done
  cmake -S "$src" -B "$out" -DCMAKE_BUILD_TYPE=Release -DALSOFT_UTILS=OFF -DALSOFT_EXAMPLES=OFF \
    -DALSOFT_TESTS=OFF -DALSOFT_NO_CONFIG_UTIL=ON -DALSOFT_REQUIRE_PULSEAUDIO=ON "${off[@]}" \
    >"$out/configure.log" 2>&1 || { tail -n 20 "$out/configure.log" >&2; exit 1; }
  cmake --build "$out" -j"$(nproc)" --target OpenAL >"$out/build.log" 2>&1 ||
    { tail -n 20 "$out/build.log" >&2; exit 1; }
  cp "$stamp" "$out/.stamp"
fi
# The test fails unless the device is reopened in place.
cd "$build"
ZELK_EXPECT_REOPEN_IN_PLACE=1 LD_LIBRARY_PATH="$out" \
  ctest --output-on-failure --timeout 120 -R '^audio\.PulseAudio/'
