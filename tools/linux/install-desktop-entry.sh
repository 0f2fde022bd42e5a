#!/bin/sh
# Adds Zelk to the desktop's menu for the current user: the menu entry
# (applications/zelk.desktop) and the game's icon in six sizes
# (icons/hicolor/), under ${XDG_DATA_HOME:-~/.local/share}. The entry starts
# the zelk beside this script, so keep the folder where it is (run this
# again after moving it).
#   ./install-desktop-entry.sh            add (or renew) the entry
#   ./install-desktop-entry.sh --remove   take the entry and the icons away
set -eu

here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${XDG_DATA_HOME:-}" ]; then
  [ -n "${HOME:-}" ] || { echo "install-desktop-entry.sh: HOME is not set" >&2; exit 1; }
  XDG_DATA_HOME=$HOME/.local/share
fi
apps=$XDG_DATA_HOME/applications
icons=$XDG_DATA_HOME/icons/hicolor
entry=$apps/zelk.desktop
sizes="16 32 48 64 128 256"
# The key that marks an entry as this script's, so that --remove never
# takes away one that something else installed.
mark=X-Zelk-Added-By=install-desktop-entry.sh

# The program's path as one argument of the entry's Exec key: quoted when
# it holds anything but plain characters, with the desktop entry format's
# escapes (\ " ` $ inside the quotes, then every \ doubled, % as %%).
exec_arg() {
  case "$1" in
    *[!A-Za-z0-9_/.+,@:-]*)
      printf '"%s"' "$(printf '%s' "$1" | sed 's/[\\"`$]/\\&/g; s/\\/\\\\/g; s/%/%%/g')"
      ;;
    *) printf '%s' "$1" ;;
  esac
}

writable() {
  mkdir -p "$1" 2>/dev/null && [ -w "$1" ] || { echo "install-desktop-entry.sh: cannot write to $1" >&2; exit 1; }
}

touch_icons() {
  # Menus notice new icons by the theme folder's time.
  [ -d "$icons" ] && touch "$icons" 2>/dev/null || true
  if command -v update-desktop-database >/dev/null 2>&1; then
    update-desktop-database -q "$apps" 2>/dev/null || true
  fi
}

case "${1:-}" in
  "")
    [ -x "$here/zelk" ] || { echo "install-desktop-entry.sh: no zelk program in $here" >&2; exit 1; }
    case "$here" in
      *"
"*) echo "install-desktop-entry.sh: the folder's name holds a line break; move it first" >&2; exit 1 ;;
    esac
    for s in $sizes; do
      [ -f "$here/data/icons/zelk-$s.png" ] || { echo "install-desktop-entry.sh: missing data/icons/zelk-$s.png" >&2; exit 1; }
    done
    writable "$apps"
    for s in $sizes; do writable "$icons/${s}x$s/apps"; done
    for s in $sizes; do
      cp "$here/data/icons/zelk-$s.png" "$icons/${s}x$s/apps/zelk.png.tmp"
      mv -f "$icons/${s}x$s/apps/zelk.png.tmp" "$icons/${s}x$s/apps/zelk.png"
    done
    exec_line=$(exec_arg "$here/zelk")
    # Written whole, then moved into place: a menu never reads half an entry.
    # (The template below comes from the project's desktop entry.)
    while IFS= read -r line; do
      case "$line" in
        Exec=@ZELK_EXEC@) printf 'Exec=%s\n' "$exec_line" ;;
        StartupWMClass=*) printf '%s\n%s\n' "$line" "$mark" ;;
        *) printf '%s\n' "$line" ;;
      esac
    done >"$entry.tmp" <<'ENTRY'
@DESKTOP_ENTRY@
ENTRY
    grep -qx "$mark" "$entry.tmp" || echo "$mark" >>"$entry.tmp"
    mv -f "$entry.tmp" "$entry"
    touch_icons
    echo "Added Zelk to the menu: $entry (remove it with $here/install-desktop-entry.sh --remove)"
    ;;
  --remove)
    if [ -f "$entry" ] && ! grep -qx "$mark" "$entry"; then
      echo "install-desktop-entry.sh: $entry was not added by this script; left as it is" >&2
      exit 1
    fi
    rm -f "$entry"
    for s in $sizes; do rm -f "$icons/${s}x$s/apps/zelk.png"; done
    touch_icons
    echo "Removed Zelk from the menu"
    ;;
  -h | --help)
    sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'
    ;;
  *)
    echo "install-desktop-entry.sh: unknown option '$1' (none, or --remove)" >&2
    exit 2
    ;;
esac
