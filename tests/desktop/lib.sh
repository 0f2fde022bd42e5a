# Shared steps of the install and package checks: start a game executable
# from an empty folder on the X display, wait for its title menu, look at
# its window icon, and quit it with F4 as a player would.
# Needs DISPLAY (Xvfb), xdotool, xprop and ImageMagick.

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

# A fresh empty folder, removed at exit.
scratch() {
  local d
  d=$(mktemp -d /tmp/zelk-desktop-XXXXXX)
  CLEANUP+=("$d")
  echo "$d"
}
CLEANUP=()
GAME_PID=
cleanup() {
  [ -n "$GAME_PID" ] && kill -9 "$GAME_PID" 2>/dev/null
  for d in "${CLEANUP[@]}"; do rm -rf "$d"; done
}
trap cleanup EXIT

# start_game EXE FOLDER [VAR=VALUE ...]: starts EXE with FOLDER as working
# folder (output in FOLDER/../out.txt and err.txt, so FOLDER stays as the
# game leaves it); sets GAME_PID and WINDOW.
start_game() {
  local exe=$1 folder=$2
  shift 2
  LOGS=$(dirname "$folder")
  (cd "$folder" && exec env ALSOFT_DRIVERS=null "$@" "$exe" >"$LOGS/out.txt" 2>"$LOGS/err.txt") &
  GAME_PID=$!
  WINDOW=
  for _ in $(seq 1 200); do
    WINDOW=$(xdotool search --onlyvisible --name '^Zelk$' 2>/dev/null | head -1 || true)
    [ -n "$WINDOW" ] && break
    kill -0 "$GAME_PID" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$WINDOW" ] || fail "no game window from $exe; stderr: $(cat "$LOGS/err.txt")"
  # Without a window manager nothing gives the window the focus, and the
  # game pauses while it has none.
  xdotool windowfocus --sync "$WINDOW" 2>/dev/null || true
}

# The window's pixels as a PNG file.
grab() {
  local geo crop
  geo=$(xdotool getwindowgeometry --shell "$WINDOW")
  crop=$(echo "$geo" | awk -F= '/^WIDTH/{w=$2}/^HEIGHT/{h=$2}/^X=/{x=$2}/^Y=/{y=$2}END{print w "x" h "+" x "+" y}')
  timeout 20 import -window root -crop "$crop" +repage "$1" 2>/dev/null
}

# Waits up to 60 s for the title menu: the loading screen's colour
# (40, 40, 80) is gone and the window shows a full picture.
wait_title() {
  local shot=$LOGS/shot.png colours=0 loading
  for _ in $(seq 1 120); do
    if grab "$shot"; then
      colours=$(identify -format '%k' "$shot" 2>/dev/null || echo 0)
      loading=$(convert "$shot" txt:- | grep -ci '#282850' || true)
      if [ "$colours" -gt 300 ] && [ "$loading" -eq 0 ]; then
        cp "$shot" "${ZELK_DESKTOP_SHOTS:-/dev/null}" 2>/dev/null || true
        pass "title menu drawn ($colours colours)"
        return 0
      fi
    fi
    sleep 0.5
  done
  cp "$shot" /tmp/zelk-desktop-failed.png 2>/dev/null || true
  fail "no title menu after 60 s ($colours colours; picture kept in /tmp/zelk-desktop-failed.png)"
}

# expect_icon yes|no: whether the window carries _NET_WM_ICON pictures.
expect_icon() {
  local icon
  icon=$(xprop -id "$WINDOW" _NET_WM_ICON 2>/dev/null | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ' || true)
  if [ "$1" = yes ]; then
    for s in 16 32 48 64 128; do
      echo "$icon" | grep -q "Icon ($s x $s)" || fail "window icon lacks $s x $s (has: $icon)"
    done
    pass "window icon: $icon"
  else
    [ -z "$icon" ] || fail "window has an icon although none was found: $icon"
    pass "no window icon"
  fi
  xprop -id "$WINDOW" WM_CLASS | grep -q '"zelk", "Zelk"' || fail "WM_CLASS is $(xprop -id "$WINDOW" WM_CLASS)"
}

# Quits with F4 (held for a few frames) and expects status 0.
quit_game() {
  xdotool windowfocus --sync "$WINDOW" 2>/dev/null || true
  xdotool keydown F4; sleep 0.3; xdotool keyup F4
  for _ in $(seq 1 100); do
    kill -0 "$GAME_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$GAME_PID" 2>/dev/null && fail "F4 did not end the game"
  local status=0
  wait "$GAME_PID" || status=$?
  GAME_PID=
  [ "$status" -eq 0 ] || fail "game ended with status $status; stderr: $(cat "$LOGS/err.txt")"
  pass "F4 quits with status 0"
}
