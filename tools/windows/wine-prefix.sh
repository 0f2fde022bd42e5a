#!/usr/bin/env bash
# Makes (once) the Wine prefix the Windows tests run in:
#   bash tools/windows/wine-prefix.sh DIR
# Wine's first start builds the prefix (about half a minute); later calls
# return at once. The prefix has no audio driver, as on a machine without a
# sound card, and no Mono or Gecko (nothing here needs them). The test
# display has no window manager, so Wine activates a window when it gets the
# X focus (UseTakeFocus=N) instead of waiting for a manager's WM_TAKE_FOCUS.
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh DIR}
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine || true)
[ -n "$wine" ] || { echo "wine-prefix: wine64 is not installed" >&2; exit 1; }
stamp=$prefix/.zelk-ready
recipe=2  # raise when the settings below change
[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ] && exit 0

# Wine wants a display while it sets up; Xvfb gives it one if none is set.
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$prefix"
fi

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$prefix"
{
  "$wine" wineboot --init &&
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d '' /f &&
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v UseTakeFocus /t REG_SZ /d N /f &&
    /usr/lib/wine/wineserver -w
} >"$prefix.log" 2>&1 || {
  echo "wine-prefix: setting up $prefix failed (see $prefix.log)" >&2
  exit 1
}
echo "$recipe" >"$stamp"
