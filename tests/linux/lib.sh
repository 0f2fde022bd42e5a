# Shared steps of the portable archive's checks (tests/linux/*_test.sh):
# unpack dist/zelk-linux-x64.tar.gz, start its game with any command (on
# this system or inside another system's root), play into a game with real
# X key presses and look at the pixels. Builds on tests/desktop/lib.sh
# (fail, pass, scratch, grab, wait_title, quit_game).
# Needs DISPLAY (Xvfb), xdotool and ImageMagick for the playing steps.

src=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$src/tests/desktop/lib.sh"

ARCHIVE=$(realpath -m "${ZELK_LINUX_ARCHIVE:-$src/dist/zelk-linux-x64.tar.gz}")
NAME=zelk-linux-x64

# unpack DIR: unpacks the archive into DIR, where it must make exactly one
# folder, $NAME.
unpack() {
  [ -f "$ARCHIVE" ] || fail "no archive at $ARCHIVE (bash tools/package-linux.sh makes it)"
  local top
  top=$(tar -tzf "$ARCHIVE" | cut -d/ -f1 | sort -u | tr '\n' ' ')
  [ "$top" = "$NAME " ] || fail "the archive's top level is '$top', not one folder $NAME"
  (cd "$1" && tar -xzf "$ARCHIVE")
}

# start_cmd LOGDIR CMD...: starts CMD (which starts the game) with its
# output in LOGDIR/out.txt and err.txt; sets GAME_PID and WINDOW and gives
# the window the focus (nothing else does without a window manager).
start_cmd() {
  LOGS=$1
  shift
  "$@" >"$LOGS/out.txt" 2>"$LOGS/err.txt" &
  GAME_PID=$!
  WINDOW=
  for _ in $(seq 1 300); do
    WINDOW=$(xdotool search --onlyvisible --name '^Zelk$' 2>/dev/null | head -1 || true)
    [ -n "$WINDOW" ] && break
    kill -0 "$GAME_PID" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$WINDOW" ] || fail "no game window; stdout: $(cat "$LOGS/out.txt"); stderr: $(cat "$LOGS/err.txt")"
  xdotool windowfocus --sync "$WINDOW" 2>/dev/null || true
}

# key NAME [SECONDS]: a real key press, held long enough for a frame to see
# it down, to the game's window.
key() {
  xdotool windowfocus --sync "$WINDOW" 2>/dev/null || true
  xdotool keydown "$1"
  sleep "${2:-0.35}"
  xdotool keyup "$1"
  sleep 0.25
}

# changed A.png B.png: how many pixels differ.
changed() {
  compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1 || true
}

# play_a_game FOLDER: from the title menu (already drawn), Enter starts a
# game: the picture changes far more than the title's own drifting stars
# change it. Then the game is quit from its pause box, which ends it through
# the game-over panel and keeps the score: the state file appears in FOLDER,
# the folder the game was started from, as with every Linux build.
play_a_game() {
  local folder=$1 a=$LOGS/title-a.png b=$LOGS/title-b.png g=$LOGS/game.png
  grab "$a" || fail "no picture of the title menu"
  sleep 0.5
  grab "$b" || fail "no picture of the title menu"
  local idle played
  idle=$(changed "$a" "$b")
  key Return
  sleep 1
  grab "$g" || fail "no picture of the game"
  played=$(changed "$b" "$g")
  # ZELK_LINUX_SHOTS=FOLDER keeps both pictures, to look at.
  if [ -n "${ZELK_LINUX_SHOTS:-}" ]; then
    mkdir -p "$ZELK_LINUX_SHOTS" && cp "$b" "$ZELK_LINUX_SHOTS/title.png" && cp "$g" "$ZELK_LINUX_SHOTS/game.png"
  fi
  [ "$played" -gt 20000 ] && [ "$played" -gt $((idle * 4)) ] ||
    fail "Enter did not start a game: $played pixels changed (the title alone changes $idle)"
  pass "Enter starts a game ($played pixels changed; the title alone changes $idle)"
  [ ! -e "$folder/.quollstate" ] || fail "state saved before anything asked for it"
  key Escape          # pause
  sleep 0.6
  key Left            # highlight quit
  key Return          # quit: the game-over panel, then the title menu
  for _ in $(seq 1 100); do
    [ -s "$folder/.quollstate" ] && break
    sleep 0.3
  done
  [ -s "$folder/.quollstate" ] || fail "the finished game left no .quollstate in $folder"
  pass "the finished game's scores are kept in $folder/.quollstate"
}
