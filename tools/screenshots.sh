#!/usr/bin/env bash
# Takes the README's screenshots from the real game on a virtual display:
#   bash tools/screenshots.sh [OUT_DIR]
# For every size in ZELK_SHOT_SIZES (default "640x480 1920x1080") it starts
# the game on an Xvfb screen of that size, switches to fullscreen (F11) when
# the size is not the game's 640 x 480 window, and saves one PNG per scene in
# ZELK_SHOT_SCENES (default "menu options play"; also "loading", "start" and
# "credits") as OUT_DIR/SCENE-WxH.png (default OUT_DIR: docs).
# The game runs in a scratch folder with a fresh state file and no sound, so
# the pictures never depend on this machine's saved scores or settings.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs}
sizes=${ZELK_SHOT_SIZES:-640x480 1920x1080}
scenes=${ZELK_SHOT_SCENES:-menu options play}

if [ -z "${ZELK_SHOT_SIZE:-}" ]; then
  bash "$root/tools/install-deps.sh"
  build=${ZELK_BUILD:-$root/build}
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j"$(nproc)" --target zelk
  mkdir -p "$out"
  out=$(cd "$out" && pwd)
  for size in $sizes; do
    echo "== $size =="
    # One display per size: the desktop mode the game goes fullscreen at is
    # the screen's own size.
    ZELK_SHOT_SIZE=$size ZELK_SHOT_GAME=$build/zelk \
      xvfb-run -a -s "-screen 0 ${size}x24 -noreset" bash "$0" "$out"
  done
  exit 0
fi

# ---- inside the virtual display
size=$ZELK_SHOT_SIZE
w=${size%x*}
h=${size#*x}
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

win=
find_window() {
  for _ in $(seq 100); do
    win=$(xdotool search --onlyvisible --name '^(Zelk|GLFW Window)$' 2>/dev/null | head -1 || true)
    [ -n "$win" ] && return 0
    sleep 0.1
  done
  echo "no game window" >&2
  return 1
}
# The game reads keys as held: each one stays down for a few frames.
key() {
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  xdotool keydown "$1"
  sleep "${2:-0.15}"
  xdotool keyup "$1"
  sleep 0.3
}
click_centre() {
  xdotool mousemove --sync $((w / 2)) $((h / 2))
  xdotool mousedown 1
  sleep 0.15
  xdotool mouseup 1
}
shot() {
  import -window root "$out/$1-$size.png"
  echo "$out/$1-$size.png"
}
want() { [[ " $scenes " == *" $1 "* ]]; }

# The loading screen lasts a fraction of a second: grab the screen until its
# clear colour (40, 40, 80) shows, and keep that picture.
catch_loading() {
  for _ in $(seq 60); do
    import -window root "$work/grab.png" 2>/dev/null || continue
    if [ "$(convert "$work/grab.png" -format '%[pixel:p{2,2}]' info:)" = "srgb(40,40,80)" ]; then
      mv "$work/grab.png" "$out/loading-$size.png"
      echo "$out/loading-$size.png"
      return 0
    fi
  done
  echo "loading screen not seen" >&2
}

(cd "$work" && ALSOFT_DRIVERS=null exec "$ZELK_SHOT_GAME" >"$work/log" 2>&1) &
game_pid=$!
find_window
if [ "$size" = 640x480 ]; then
  if want loading; then catch_loading; fi
else
  # Fullscreen at the screen's size; the game reloads its art for it.
  sleep 1
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  xdotool keydown F11
  sleep 0.1
  xdotool keyup F11
  if want loading; then catch_loading; fi
  find_window
fi
sleep 3
# The start screen waits for a click once every asset has loaded.
if want start; then shot start; fi
click_centre
# Reload at the chosen resolution, then the menu slides in.
sleep 3.5
if want menu; then shot menu; fi
if want credits; then
  key n
  sleep 2.5
  shot credits
  key n
  sleep 1.5
fi
if want options; then
  key Right
  sleep 1
  key Return
  sleep 1.5
  shot options
  key Escape
  sleep 1
  key Left
  sleep 1
fi
if want play; then
  key Return
  # A few steps while the first baddie arrives, then a run of flaps, and
  # the picture while the player is still in the air.
  sleep 2
  key Right 0.4
  sleep 2
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  for _ in 1 2 3 4 5; do
    xdotool keydown Up
    sleep 0.1
    xdotool keyup Up
    sleep 0.12
  done
  shot play
fi
