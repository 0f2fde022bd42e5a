#!/usr/bin/env bash
# The archive's install-desktop-entry.sh, under a temporary HOME: it adds
# the menu entry (valid for desktop-file-validate, starting the unpacked
# game by its full path, quoted as the format wants when the path holds
# spaces or special characters) and the six icons under
# ~/.local/share or $XDG_DATA_HOME; --remove takes them away again and
# leaves an entry something else installed alone; a place it cannot write
# is an error, not a half-written entry.
#   tests/linux/desktop_entry_test.sh      (no display needed)
set -euo pipefail
. "$(dirname "$0")/lib.sh"

sizes="16 32 48 64 128 256"
dir=$(scratch)
chmod 755 "$dir"

# expect_added DATA_HOME FOLDER EXEC_VALUE
expect_added() {
  local data=$1 folder=$2 want=$3 entry=$1/applications/zelk.desktop
  [ -f "$entry" ] || fail "no entry at $entry"
  desktop-file-validate "$entry" || fail "the entry does not validate: $(cat "$entry")"
  local exec
  exec=$(grep '^Exec=' "$entry")
  [ "$exec" = "Exec=$want" ] || fail "entry has '$exec', expected 'Exec=$want'"
  grep -qx 'Name=Zelk' "$entry" && grep -qx 'Icon=zelk' "$entry" && grep -qx 'Categories=Game;ArcadeGame;' "$entry" ||
    fail "entry lacks its name, icon or categories: $(cat "$entry")"
  for s in $sizes; do
    cmp -s "$data/icons/hicolor/${s}x$s/apps/zelk.png" "$folder/data/icons/zelk-$s.png" || fail "icon ${s}x$s not installed"
  done
  [ -z "$(find "$data" -name '*.tmp')" ] || fail "temporary files left: $(find "$data" -name '*.tmp')"
}
expect_removed() {
  local data=$1
  [ ! -e "$data/applications/zelk.desktop" ] || fail "the entry is still there"
  for s in $sizes; do
    [ ! -e "$data/icons/hicolor/${s}x$s/apps/zelk.png" ] || fail "icon ${s}x$s is still there"
  done
}

# A plain path, with HOME only: ~/.local/share.
mkdir -p "$dir/plain" "$dir/home"
unpack "$dir/plain"
f=$dir/plain/$NAME
out=$(env -u XDG_DATA_HOME HOME="$dir/home" "$f/install-desktop-entry.sh")
echo "$out" | grep -q "^Added Zelk to the menu" || fail "no word of what it did: $out"
expect_added "$dir/home/.local/share" "$f" "$f/zelk"
# Again: renewed in place, still one entry.
env -u XDG_DATA_HOME HOME="$dir/home" "$f/install-desktop-entry.sh" >/dev/null
expect_added "$dir/home/.local/share" "$f" "$f/zelk"
[ "$(grep -c '^X-Zelk-Added-By=' "$dir/home/.local/share/applications/zelk.desktop")" = 1 ] || fail "the mark is doubled"
pass "added under ~/.local/share: $(grep '^Exec=' "$dir/home/.local/share/applications/zelk.desktop")"
env -u XDG_DATA_HOME HOME="$dir/home" "$f/install-desktop-entry.sh" --remove >/dev/null
expect_removed "$dir/home/.local/share"
env -u XDG_DATA_HOME HOME="$dir/home" "$f/install-desktop-entry.sh" --remove >/dev/null || fail "a second --remove fails"
pass "removed again (twice is fine)"

# Folders whose names need the Exec key's quoting and escapes: a space, a
# double quote, a dollar sign, a backquote, a backslash and a percent sign.
# $XDG_DATA_HOME is honoured.
odd='My Games "new" $5 `x` a\b 100%'
mkdir -p "$dir/$odd" "$dir/xdg"
unpack "$dir/$odd"
f=$dir/$odd/$NAME
HOME="$dir/home" XDG_DATA_HOME="$dir/xdg" "$f/install-desktop-entry.sh" >/dev/null
want="\"$dir/My Games \\\\\"new\\\\\" \\\\\$5 \\\\\`x\\\\\` a\\\\\\\\b 100%%/$NAME/zelk\""
expect_added "$dir/xdg" "$f" "$want"
[ ! -e "$dir/home/.local/share/applications/zelk.desktop" ] || fail "wrote under HOME although XDG_DATA_HOME is set"
pass "odd folder names quoted: $(grep '^Exec=' "$dir/xdg/applications/zelk.desktop")"
HOME="$dir/home" XDG_DATA_HOME="$dir/xdg" "$f/install-desktop-entry.sh" --remove >/dev/null
expect_removed "$dir/xdg"
pass "removed from \$XDG_DATA_HOME"

# An entry something else installed stays.
mkdir -p "$dir/other/applications"
printf '[Desktop Entry]\nType=Application\nName=Zelk\nExec=/usr/bin/zelk\n' >"$dir/other/applications/zelk.desktop"
if XDG_DATA_HOME="$dir/other" "$f/install-desktop-entry.sh" --remove 2>"$dir/err.txt"; then
  fail "--remove took away an entry it did not add"
fi
grep -q 'not added by this script' "$dir/err.txt" || fail "no word why: $(cat "$dir/err.txt")"
grep -qx 'Exec=/usr/bin/zelk' "$dir/other/applications/zelk.desktop" || fail "the other entry was changed"
pass "an entry added by something else is left alone"

# A place the user cannot write: an error, and no entry.
if id nobody >/dev/null 2>&1 && command -v runuser >/dev/null; then
  mkdir -p "$dir/locked"
  chmod 755 "$dir/locked"
  chmod -R a+rX "$dir/plain"
  if runuser -u nobody -- env HOME="$dir/locked" XDG_DATA_HOME="$dir/locked/share" \
    "$dir/plain/$NAME/install-desktop-entry.sh" >/dev/null 2>"$dir/err.txt"; then
    fail "succeeded in a folder it cannot write"
  fi
  grep -q "cannot write to $dir/locked/share/applications" "$dir/err.txt" || fail "no clear word: $(cat "$dir/err.txt")"
  [ ! -e "$dir/locked/share/applications/zelk.desktop" ] || fail "an entry was written"
  pass "unwritable place: $(head -1 "$dir/err.txt")"
fi

# Unknown options are refused.
if "$f/install-desktop-entry.sh" --bogus 2>/dev/null; then fail "--bogus accepted"; fi
echo "desktop entry checks passed"
