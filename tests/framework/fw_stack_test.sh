#!/usr/bin/env bash
# Process tests of the framework test app under a real X server:
#   fw_stack_test.sh CASE APP WM_CLOSE
# Runs the app in an empty working directory, drives it with real X input
# (xdotool) and a window-manager close request, and checks its log and exit
# status.
set -u
case_name=$1 app=$2 wm_close=$3
dir=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; rm -rf "$dir"' EXIT
out=$dir/out.txt
cd "$dir"
FW_APP_CASE=$case_name "$app" >"$out" 2>"$dir/err.txt" </dev/null &
pid=$!

fail() {
  echo "FAIL ($case_name): $*"
  echo "--- stdout"; cat "$out"
  echo "--- stderr"; cat "$dir/err.txt"
  exit 1
}
# Waits (up to 15 s) until the log holds a line matching the pattern.
wait_for() {
  for _ in $(seq 1 300); do
    grep -q -- "$1" "$out" && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  grep -q -- "$1" "$out" || fail "no line matching '$1'"
}
expect_line() { grep -qx -- "$1" "$out" || fail "missing line '$1'"; }
reject_line() { ! grep -q -- "$1" "$out" || fail "unexpected line '$1'"; }
# Waits for the app to end and checks its exit status.
expect_exit() {
  for _ in $(seq 1 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill -0 "$pid" 2>/dev/null && fail "app still running"
  wait "$pid"
  local status=$?
  [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
}
window() {
  local w
  w=$(timeout 10 xdotool search --sync --onlyvisible --name '^Zelk$' 2>/dev/null | head -n1)
  [ -n "$w" ] || fail "no window titled Zelk"
  echo "$w"
}
# Without a window manager the window has to be given the focus, or the
# host keeps the game suspended.
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; }

case $case_name in
  create_render_sound)
    win=$(window); focus "$win"
    wait_for '^ready$'
    grep -q '^create 640x480 sound=ok modes=[1-9]' "$out" || fail "create line"
    expect_line "pixel rect=255,0,0 clear=20,40,60"
    expect_line "sound playing"
    "$wm_close" "$win"
    expect_exit 0
    ;;
  keys)
    win=$(window); focus "$win"
    wait_for '^ready$'
    xdotool key --delay 80 a
    wait_for '^char 97$'
    expect_line "hit 65 x1"
    xdotool mousemove --window "$win" 50 60 click 1
    wait_for '^hit 384 x1$'
    expect_line "hit 1 x1"
    xdotool key F4
    wait_for '^hit 115 x1$'
    "$wm_close" "$win"
    expect_exit 0
    ;;
  close_when_down)
    win=$(window); focus "$win"
    wait_for '^close-key-down$'
    "$wm_close" "$win"
    expect_exit 0
    ;;
  back_key)
    win=$(window); focus "$win"
    wait_for '^back$'
    expect_exit 0
    reject_line after-back
    ;;
  second_app)
    expect_exit 255
    expect_line "Quoll Runtime Error : App has already been created"
    reject_line '^create'
    ;;
  suspend_resume)
    win=$(window); focus "$win"
    expect_exit 0
    # The app is told before audio pauses; audio plays again before the app hears of it.
    grep -A3 -x 'suspend:playing' "$out" | tr '\n' ' ' | grep -q 'suspend:playing after-suspend:paused resume:playing after-resume:playing' ||
      fail "suspend/resume order"
    ;;
  *)
    fail "unknown case"
    ;;
esac
echo "PASS ($case_name)"
