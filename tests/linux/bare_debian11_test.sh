#!/usr/bin/env bash
# The portable archive on a bare Debian 11: a minimal bullseye system
# (tools/linux/chroot.sh bare) with only the C library, GL with Mesa's
# drivers, ALSA's library and the X11 client libraries every desktop has,
# and no GLFW or OpenAL. The archive is unpacked inside it and its game
# started there from an empty folder, on this machine's X display (its
# socket bound into the system): the title menu is drawn, Enter starts a
# game, the finished game's scores land in the folder it was started from,
# and F4 quits with status 0. No sound device exists there: the game plays
# silently.
#   tests/linux/bare_debian11_test.sh      (needs root and an X display)
set -euo pipefail
. "$(dirname "$0")/lib.sh"

[ "$(id -u)" = 0 ] || fail "needs root (chroot, bind mounts)"
[ -n "${DISPLAY:-}" ] || fail "needs an X display"
bare=$(bash "$src/tools/linux/chroot.sh" bare)

for p in glfw openal; do
  [ -z "$(find "$bare/usr/lib" "$bare/lib" -name "lib$p*" 2>/dev/null)" ] || fail "the bare system holds lib$p"
done
pass "the bare system has no GLFW and no OpenAL"

# The system's own folders for this run; mounts and folders go at exit,
# whatever happens.
inside=$(mktemp -d "$bare/tmp/zelk-bare-XXXXXX")
MOUNTS=()
bare_cleanup() {
  cleanup
  local i
  for ((i = ${#MOUNTS[@]} - 1; i >= 0; i--)); do
    umount "${MOUNTS[i]}" 2>/dev/null || umount -l "${MOUNTS[i]}" 2>/dev/null || true
  done
  # Only once nothing is mounted below it.
  if ! grep -q " $inside" /proc/mounts; then rm -rf "$inside"; fi
}
trap bare_cleanup EXIT
# mount_in OPTIONS... TARGET: mounts and remembers TARGET for the clean-up.
mount_in() {
  mkdir -p "${*: -1}"
  mount "$@" && MOUNTS+=("${*: -1}")
}
mount_in -t proc proc "$bare/proc"
# The client finds the display by its socket in /tmp/.X11-unix.
mkdir -p "$bare/tmp/.X11-unix"
mount_in --bind /tmp/.X11-unix "$bare/tmp/.X11-unix"

unpack "$inside"
mkdir "$inside/play" "$inside/home"
[ -z "${XAUTHORITY:-}" ] || cp "$XAUTHORITY" "$inside/Xauthority"
rel=${inside#"$bare"}

start_cmd "$inside" chroot "$bare" /usr/bin/env -i PATH=/usr/bin:/bin HOME="$rel/home" LANG=C.UTF-8 \
  DISPLAY="$DISPLAY" XAUTHORITY="$rel/Xauthority" \
  sh -c "cd '$rel/play' && exec '$rel/$NAME/zelk'"
wait_title
play_a_game "$inside/play"
quit_game
[ -z "$(ls -A "$inside/home")" ] || fail "the game wrote into HOME: $(ls -A "$inside/home")"
pass "the archive's game plays on a bare Debian 11"
echo "bare Debian 11 checks passed"
