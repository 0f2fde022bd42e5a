#!/usr/bin/env bash
# The Debian package: tools/package-deb.sh builds dist/zelk_<version>_<arch>.deb;
# its control data names the game and its run-time libraries; unpacked
# with dpkg -x into a temporary root it holds the installed layout, and the
# unpacked game started from an empty folder shows its title menu.
#   tests/desktop/deb_test.sh      (needs an X display)
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
. "$src/tests/desktop/lib.sh"

deb=$(bash "$src/tools/package-deb.sh" | tail -1)
deb="$src/$deb"
version=$(grep -o 'project(Zelk VERSION [0-9.]*' "$src/CMakeLists.txt" | awk '{print $3}')
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "zelk_${version}_${arch}.deb" ] || fail "package named $(basename "$deb")"
[ -f "$deb" ] || fail "no package at $deb"
pass "built $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zelk ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = games ] || fail "Section: $(field Section)"
depends=$(field Depends)
# GLFW 3, OpenAL Soft, GL through libglvnd with Mesa's GLX, C/C++ runtime.
for p in libglfw3 libopenal1 libgl1 libglx-mesa0 libopengl0 libc6 libstdc++6; do
  echo "$depends" | tr ',|' '\n\n' | sed 's/^ *//; s/ .*//' | grep -qx "$p" || fail "Depends lacks $p: $depends"
done
# Every package named there exists in the archive this machine uses.
for p in $(echo "$depends" | tr ',|' '\n\n' | sed 's/^ *//; s/ .*//' | grep -v '^libglx-vendor$'); do
  apt-cache show "$p" >/dev/null 2>&1 || fail "Depends names $p, which Debian does not have"
done
# GLFW for X11 or for Wayland, whichever the system has.
echo "$depends" | tr ',' '\n' | grep -Eq '^ *libglfw3 \([^)]*\) \| libglfw3-wayland \([^)]*\) *$' ||
  fail "Depends does not accept libglfw3-wayland for libglfw3: $depends"
pass "control data: $depends"

root=$(scratch)
dpkg -x "$deb" "$root"
for f in usr/bin/zelk usr/share/zelk/data/brio_font.png usr/share/applications/zelk.desktop \
         usr/share/metainfo/zelk.metainfo.xml usr/share/icons/hicolor/256x256/apps/zelk.png; do
  [ -f "$root/$f" ] || fail "package lacks /$f"
done
grep -qx 'Exec=/usr/bin/zelk' "$root/usr/share/applications/zelk.desktop" || fail "desktop entry Exec"
desktop-file-validate "$root/usr/share/applications/zelk.desktop" || fail "desktop entry does not validate"
[ -z "$(dpkg-deb -c "$deb" | awk '$2 != "root/root"')" ] || fail "files not owned by root"
pass "unpacked layout"

play=$(scratch)/play
mkdir "$play"
start_game "$root/usr/bin/zelk" "$play"
wait_title
expect_icon yes
quit_game
pass "unpacked game runs from an empty folder"
echo "package checks passed"
