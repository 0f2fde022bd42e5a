#!/usr/bin/env bash
# `cmake --install` into a fresh prefix: the files a desktop expects, a
# valid desktop entry and metainfo, and the installed game started from an
# empty folder shows its title menu with its window icon. Then the same
# executable beside a data folder of its own (no icons, broken pad
# mappings), and alone with no data at all.
#   tests/desktop/install_test.sh BUILD_DIR      (needs an X display)
set -euo pipefail
build=$(cd "${1:?usage: install_test.sh BUILD_DIR}" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
. "$src/tests/desktop/lib.sh"

root=$(scratch)
prefix="$root/prefix with space"
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/zelk share/zelk/data/brio_font.png share/zelk/data/icons/zelk-16.png \
         share/applications/zelk.desktop share/metainfo/zelk.metainfo.xml; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
[ -x "$prefix/bin/zelk" ] || fail "bin/zelk is not executable"
for s in 16 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${s}x${s}/apps/zelk.png"
  [ "$(identify -format '%wx%h' "$icon")" = "${s}x${s}" ] || fail "$icon is not ${s}x${s}"
done
pass "installed files"

entry="$prefix/share/applications/zelk.desktop"
desktop-file-validate "$entry" || fail "desktop entry does not validate"
grep -qx 'Categories=Game;ArcadeGame;' "$entry" || fail "categories"
grep -qx "Exec=$prefix/bin/zelk" "$entry" || fail "Exec does not name the installed game: $(grep Exec "$entry")"
pass "desktop entry validates"

# The component id is the desktop file's name, so AppStream's advice to
# use a reverse-domain id is the one remark allowed.
meta="$prefix/share/metainfo/zelk.metainfo.xml"
report=$(appstreamcli validate --no-net --no-color "$meta" 2>&1 || true)
remarks=$(echo "$report" | grep -E '^[EW]:' | grep -v 'cid-desktopapp-is-not-rdns' || true)
[ -z "$remarks" ] || fail "metainfo: $remarks"
grep -q '<screenshot type="default">' "$meta" && grep -q '<image>https://' "$meta" || fail "metainfo has no screenshot"
grep -q '<launchable type="desktop-id">zelk.desktop</launchable>' "$meta" || fail "metainfo launchable"
pass "metainfo validates"

# The installed game from an empty folder.
play=$root/play
mkdir "$play"
start_game "$prefix/bin/zelk" "$play"
wait_title
expect_icon yes
quit_game
[ -z "$(ls -A "$play" | grep -v '^\.quollstate$')" ] || fail "the game left files in its working folder: $(ls -A "$play")"
! grep -q 'no data folder' "$LOGS/err.txt" || fail "complained about data: $(cat "$LOGS/err.txt")"
pass "installed game runs from an empty folder"

# The portable layout: the executable with data/ beside it, started from
# elsewhere. Without icon pictures the window has no icon; damaged pad
# mappings (in the data folder and in the environment) change nothing.
portable=$root/portable
mkdir -p "$portable" "$root/elsewhere/empty"
cp "$build/zelk" "$portable/zelk"
cp -r "$src/data" "$portable/data"
rm -rf "$portable/data/icons"
printf '%s\n' '# not a mapping' '0300000,short guid,a:b0' '030000005e0400008e02000010010000' \
  "$(head -c 3000 /dev/zero | tr '\0' 'a')" > "$portable/data/gamecontrollerdb.txt"
start_game "$portable/zelk" "$root/elsewhere/empty" SDL_GAMECONTROLLERCONFIG=$'garbage\n0300,x,a:b0'
wait_title
expect_icon no
quit_game
for source in "$portable/data/gamecontrollerdb.txt" SDL_GAMECONTROLLERCONFIG; do
  grep -qxF "zelk: skipped game-pad mappings in $source that could not be read" "$LOGS/err.txt" ||
    fail "no word about the bad mappings in $source: $(cat "$LOGS/err.txt")"
done
pass "portable layout with data beside the executable"

# No data anywhere: one clear line on standard error naming every place.
lonely=$root/lonely/bin
mkdir -p "$lonely" "$root/lonely/run/here"
cp "$build/zelk" "$lonely/zelk"
start_game "$lonely/zelk" "$root/lonely/run/here"
sleep 1
want="zelk: no data folder at ./data, $lonely/data or $root/lonely/share/zelk/data"
grep -qxF "$want" "$LOGS/err.txt" || fail "expected '$want' on stderr, got: $(cat "$LOGS/err.txt")"
[ "$(grep -c 'no data folder' "$LOGS/err.txt")" -eq 1 ] || fail "the line came more than once"
kill -9 "$GAME_PID"; wait "$GAME_PID" 2>/dev/null || true; GAME_PID=
pass "missing data named on stderr"
echo "install checks passed"
