#!/usr/bin/env bash
# The portable archive on this Debian 12 machine, which has its own GLFW
# and OpenAL Soft installed: unpacked into a folder whose name holds a
# space and started from an empty folder elsewhere, the game uses the
# archive's libraries, not the system's; it plays its sound through a real
# PulseAudio server (OpenAL Soft loads libpulse itself); the title menu is
# drawn, Enter starts a game, the scores land in the folder it was started
# from, and F4 quits with status 0.
#   tests/linux/debian12_test.sh      (needs an X display and pulseaudio)
set -euo pipefail
. "$(dirname "$0")/lib.sh"

[ -n "${DISPLAY:-}" ] || fail "needs an X display"
command -v pulseaudio >/dev/null && command -v pactl >/dev/null || fail "needs pulseaudio and pactl"
dir=$(scratch)
mkdir "$dir/unpacked here" "$dir/play" "$dir/pulse" "$dir/home"
unpack "$dir/unpacked here"
game="$dir/unpacked here/$NAME/zelk"

# A PulseAudio server of this test's own, with a null sink (and a home of
# its own for its cookie).
export HOME=$dir/home
export XDG_RUNTIME_DIR=$dir/pulse PULSE_RUNTIME_PATH=$dir/pulse
export PULSE_SERVER=unix:$dir/pulse/native
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
  -L "module-native-protocol-unix socket=$dir/pulse/native auth-anonymous=1" \
  -L "module-null-sink sink_name=zelk_test" >"$dir/pulse.log" 2>&1 &
PULSE_PID=$!
pulse_cleanup() {
  cleanup
  kill "$PULSE_PID" 2>/dev/null || true
}
trap pulse_cleanup EXIT
for _ in $(seq 1 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
pactl info >/dev/null 2>&1 || fail "the test's PulseAudio did not start: $(cat "$dir/pulse.log")"

start_cmd "$dir" sh -c 'cd "$1" && exec "$2"' _ "$dir/play" "$game"
maps=$(cat "/proc/$GAME_PID/maps")
for l in libglfw.so.3 libopenal.so.1; do
  echo "$maps" | grep -q "$dir/unpacked here/$NAME/lib/$l" || fail "the game did not load the archive's $l"
done
! echo "$maps" | grep -q -e '/usr/lib/x86_64-linux-gnu/libglfw' -e '/usr/lib/x86_64-linux-gnu/libopenal' ||
  fail "the game loaded the system's GLFW or OpenAL"
pass "GLFW and OpenAL Soft come from the archive, not from the system"
for _ in $(seq 1 50); do
  pactl list sink-inputs 2>/dev/null | grep -q 'application.process.binary = "zelk"' && break
  sleep 0.2
done
pactl list sink-inputs | grep -q 'application.process.binary = "zelk"' ||
  fail "the game has no stream on the PulseAudio server; clients: $(pactl list short clients)"
pass "the game plays through PulseAudio"

wait_title
play_a_game "$dir/play"
quit_game
echo "Debian 12 checks passed"
