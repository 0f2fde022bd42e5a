#!/usr/bin/env bash
# Records what the game plays through OpenAL Soft's wave backend and reports
# its levels:
#   bash tools/record-mix.sh [SECONDS] [OUT.wav]
#   bash tools/record-mix.sh --analyse FILE.wav
# Starts the real game on a virtual display, starts a game from the title
# menu and leaves it alone (ZELK_RECORD_INPUT=random instead flaps and steers
# at random, for a busier mix) for SECONDS (default 330), recording OpenAL's
# output mix (32-bit float, so nothing is clipped by the file itself; OpenAL
# clamps its mix to full scale). Prints the peak and RMS levels, the number
# of samples at full scale and the one-second windows that hold any.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-330}
out=${2:-/tmp/zelk-mix.wav}
input=${ZELK_RECORD_INPUT:-none}

# Levels of a recording: peak and RMS, samples at full scale, and the
# one-second windows that hold any (OpenAL clamps its mix at full scale).
analyse() {
  sox "$1" -n stats 2>&1 | grep -E "Pk lev dB|RMS lev dB|RMS Pk dB|Length s"
  local total windows="" count=0 s top
  total=$(sox "$1" -n stats 2>&1 | awk '/Length s/ {print int($3)}')
  for ((s = 0; s < total; s++)); do
    top=$(sox "$1" -n trim "$s" 1 stat 2>&1 | awk '/Maximum amplitude/ {print ($3 >= 0.99997) ? 1 : 0}')
    if [ "$top" = 1 ]; then
      windows="$windows $s"
      count=$((count + 1))
    fi
  done
  echo "one-second windows reaching full scale: $count${windows:+ (at s:$windows)}"
}

if [ "${1:-}" = --analyse ]; then
  analyse "$2"
  exit 0
fi

if [ -z "${ZELK_RECORD_INNER:-}" ]; then
  bash "$root/tools/install-deps.sh"
  if ! command -v sox >/dev/null; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends sox
  fi
  build=${ZELK_BUILD:-$root/build}
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j"$(nproc)" --target zelk
  mkdir -p "$(dirname "$out")"
  ZELK_RECORD_INNER=1 ZELK_RECORD_GAME=$build/zelk \
    xvfb-run -a -s "-screen 0 640x480x24 -noreset" bash "$0" "$seconds" "$out"
  echo "== $out ($input input, $seconds s)"
  analyse "$out"
  exit 0
fi

# ---- inside the virtual display
work=$(mktemp -d)
game_pid=
cleanup() {
  if [ -n "$game_pid" ]; then
    kill "$game_pid" 2>/dev/null || true
    wait "$game_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
ln -s "$root/data" "$work/data"
printf '[general]\ndrivers=wave\n[wave]\nfile=%s\n' "$out" >"$work/alsoft.conf"

(cd "$work" && ALSOFT_CONF="$work/alsoft.conf" exec "$ZELK_RECORD_GAME" >"$work/log" 2>&1) &
game_pid=$!
win=
for _ in $(seq 100); do
  win=$(xdotool search --onlyvisible --name '^Zelk$' 2>/dev/null | head -1 || true)
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { echo "no game window" >&2; exit 1; }
key() {
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  xdotool keydown "$1"
  sleep "${2:-0.15}"
  xdotool keyup "$1"
}
sleep 3
xdotool mousemove --sync 320 240 mousedown 1
sleep 0.15
xdotool mouseup 1
sleep 3
key Return
start=$(date +%s)
if [ "$input" = random ]; then
  keys=(Up Up Up Left Right Up Left Right)
  while [ $(($(date +%s) - start)) -lt "$seconds" ]; do
    key "${keys[RANDOM % ${#keys[@]}]}" "0.$((RANDOM % 3 + 1))"
    sleep "0.$((RANDOM % 5))"
    # After a game over the menu comes back: start the next game.
    key Return 0.1
  done
else
  sleep "$seconds"
fi
