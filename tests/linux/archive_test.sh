#!/usr/bin/env bash
# The portable archive, dist/zelk-linux-x64.tar.gz (tools/package-linux.sh):
# one folder with the program, its two libraries, the data, the notes and
# licences and the desktop-entry script, nothing else; every ELF file in it
# asks the C library for nothing newer than glibc 2.31 and the C++ runtime
# for nothing at all; the libraries it needs from the system are only the
# ones every desktop has; the program finds GLFW and OpenAL Soft in lib/
# beside itself.
#   tests/linux/archive_test.sh      (no display needed)
set -euo pipefail
. "$(dirname "$0")/lib.sh"

dir=$(scratch)
unpack "$dir"
top=$dir/$NAME

# The folder's contents, exactly.
want="README.txt data install-desktop-entry.sh lib licenses zelk"
have=$(cd "$top" && ls -A | tr '\n' ' ' | sed 's/ $//')
[ "$have" = "$want" ] || fail "the folder holds '$have', expected '$want'"
have=$(cd "$top/lib" && ls -A | tr '\n' ' ' | sed 's/ $//')
[ "$have" = "libglfw.so.3 libopenal.so.1" ] || fail "lib/ holds '$have'"
for f in zelk install-desktop-entry.sh; do [ -x "$top/$f" ] || fail "$f is not executable"; done
for f in licenses/GLFW.txt licenses/OpenAL-Soft.txt licenses/GCC-runtime.txt data/brio_font.png data/icons/zelk-256.png; do
  [ -s "$top/$f" ] || fail "the archive lacks $f"
done
grep -q 'RUNTIME LIBRARY EXCEPTION' "$top/licenses/GCC-runtime.txt" || fail "GCC-runtime.txt lacks the runtime library exception"
cmp -s "$top/README.txt" "$src/tools/linux/README.txt" || fail "README.txt differs from tools/linux/README.txt"
diff -r "$top/data" "$src/data" >/dev/null || fail "data/ differs from the checkout's"
[ -z "$(tar -tvzf "$ARCHIVE" | awk '$2 != "0/0"')" ] || fail "archive entries not owned by 0/0"
pass "layout: $want"

# Every ELF file: symbol versions and the libraries it needs.
allowed=" libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 librt.so.1 ld-linux-x86-64.so.2 libGL.so.1 libX11.so.6 libglfw.so.3 libopenal.so.1 "
elves=0
while IFS= read -r -d '' f; do
  [ "$(head -c 4 "$f" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
  elves=$((elves + 1))
  rel=${f#"$top"/}
  syms=$(objdump -T "$f")
  newest=$(echo "$syms" | grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/GLIBC_//' | sort -uV | tail -1)
  [ -n "$newest" ] || fail "$rel has no GLIBC_ versions at all"
  [ "$(printf '%s\n2.31\n' "$newest" | sort -V | tail -1)" = 2.31 ] ||
    fail "$rel needs GLIBC_$newest: $(echo "$syms" | grep -E "GLIBC_$newest( |$)" | head -3)"
  cxx=$(echo "$syms" | grep -E 'GLIBCXX_|CXXABI_|GCC_[0-9]' || true)
  [ -z "$cxx" ] || fail "$rel needs the system's C++ runtime or libgcc: $(echo "$cxx" | head -3)"
  needed=$(objdump -p "$f" | awk '$1 == "NEEDED" {print $2}')
  for n in $needed; do
    case "$allowed" in *" $n "*) ;; *) fail "$rel needs $n, which not every desktop has" ;; esac
  done
  pass "$rel: newest GLIBC_$newest, no C++ runtime; needs $(echo $needed)"
done < <(find "$top" -type f -print0)
[ "$elves" -eq 3 ] || fail "found $elves ELF files, expected zelk and the two libraries"

# The program looks for its libraries beside itself, and only there.
runpath=$(objdump -p "$top/zelk" | awk '$1 == "RUNPATH" {print $2}')
[ "$runpath" = '$ORIGIN/lib' ] || fail "zelk's RUNPATH is '$runpath'"
[ -z "$(objdump -p "$top/zelk" | awk '$1 == "RPATH"')" ] || fail "zelk carries an RPATH besides its RUNPATH"
for l in "$top"/lib/*; do
  [ -z "$(objdump -p "$l" | awk '$1 == "RPATH" || $1 == "RUNPATH"')" ] || fail "$(basename "$l") carries a search path"
done
resolved=$(ldd "$top/zelk")
for l in libglfw.so.3 libopenal.so.1; do
  echo "$resolved" | grep -q "$l => $top/lib/$l " || fail "ldd finds $l elsewhere: $(echo "$resolved" | grep "$l")"
done
! echo "$resolved" | grep -q 'not found' || fail "unresolved libraries: $(echo "$resolved" | grep 'not found')"
pass "RUNPATH \$ORIGIN/lib: GLFW and OpenAL Soft come from the archive"

size=$(stat -c %s "$ARCHIVE")
echo "archive: $size bytes; unpacked: $(du -sb "$top" | cut -f1) bytes"
echo "system libraries: $(for f in "$top/zelk" "$top"/lib/*; do objdump -p "$f" | awk '$1 == "NEEDED" {print $2}'; done |
  grep -v -e libglfw -e libopenal | sort -u | tr '\n' ' ')"
echo "archive checks passed"
