#!/usr/bin/env bash
# tools/windows/deps.sh stops with a message naming the archive when a
# download is missing, damaged or has the wrong checksum, and then builds
# nothing. The mirrors here are local folders (file:// URIs), so no network
# is used.
#   deps_test.sh REPO_ROOT
set -u
root=${1:?usage: deps_test.sh REPO_ROOT}
script=$root/tools/windows/deps.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openal=openal-soft_1.24.2.orig.tar.gz
glfw=glfw3_3.3.8.orig.tar.gz
failed=0

# expect NAME DEPS_DIR MIRROR TEXT...: the script fails, says every TEXT and
# leaves no unpacked source or build behind.
expect() {
  local name=$1 deps=$2 mirror=$3
  shift 3
  local out rc
  out=$(ZELK_WIN_DEPS=$deps ZELK_DEBIAN_MIRROR=$mirror bash "$script" all 2>&1)
  rc=$?
  local ok=1 text
  [ $rc -ne 0 ] || ok=0
  for text in "$@"; do grep -qF -- "$text" <<<"$out" || ok=0; done
  [ ! -e "$deps/src" ] && [ ! -e "$deps/build" ] || ok=0
  if [ $ok = 1 ]; then
    echo "ok: $name"
  else
    echo "FAILED: $name (status $rc)"
    echo "$out" | sed 's/^/  | /'
    failed=1
  fi
}

mkdir -p "$work/empty"
expect "archive missing from the mirror" "$work/d1" "file://$work/empty" \
  "error: download of $openal failed"

mkdir -p "$work/wrong/pool/main/o/openal-soft"
echo "not the archive" >"$work/wrong/pool/main/o/openal-soft/$openal"
expect "archive with the wrong checksum" "$work/d2" "file://$work/wrong" \
  "error: checksum of $openal is wrong" "expected 7efd383d"
if [ -e "$work/d2/downloads/$openal" ]; then
  echo "FAILED: the wrong archive was kept"
  failed=1
fi

mkdir -p "$work/d3/downloads"
head -c 1000 /dev/urandom >"$work/d3/downloads/$openal"
expect "damaged archive in the cache, mirror without it" "$work/d3" "file://$work/empty" \
  "cached $openal does not match its checksum" "error: download of $openal failed"

# GLFW comes through apt-get source; a mirror that is no Debian archive
# fails there. (Needs the real OpenAL archive, when a cache has it.)
real=$root/build-win-deps/downloads/$openal
if [ -f "$real" ]; then
  mkdir -p "$work/d4/downloads"
  cp "$real" "$work/d4/downloads/"
  expect "source package not available" "$work/d4" "file://$work/empty" \
    "error: download of $glfw failed: apt-get update"
else
  echo "skipped: source package not available (no cached $openal)"
fi

exit $failed
