#!/usr/bin/env bash
# Names a web build by its content and writes that name into its page and
# its service worker:
#   bash tools/web/stamp.sh DIR
# DIR holds the build's files (zelk.js, zelk.wasm, zelk.data, manifest.json,
# favicon.png, icons/); the page (index.html) and the worker (sw.js) are
# written there from tools/web/. The name is made from the SHA-256 of every
# file and of the two templates, so any change makes a new name; the
# worker also gets every file's digest, to check what it keeps offline.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=${1:?usage: stamp.sh DIR}
cd "$dir"

files=(zelk.js zelk.wasm zelk.data manifest.json favicon.png)
for f in icons/*.png; do files+=("$f"); done
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "stamp.sh: $dir/$f is missing" >&2; exit 1; }
done

digest() { sha256sum "$1" | cut -c1-64; }
build=$({
  for f in "${files[@]}"; do echo "$(digest "$f") $f"; done
  echo "$(digest "$here/index.html") index.html"
  echo "$(digest "$here/sw.js") sw.js"
} | sha256sum | cut -c1-16)

sed "s/@BUILD@/$build/g" "$here/index.html" > index.html
list="\"index.html\": \"$(digest index.html)\""
for f in "${files[@]}"; do list="$list, \"$f\": \"$(digest "$f")\""; done
sed -e "s/'@BUILD@'/'$build'/" -e "s|/\*@FILES@\*/ {}|{$list}|" "$here/sw.js" > sw.js
grep -q "'$build'" sw.js && grep -q '"zelk.data": "' sw.js || { echo "stamp.sh: sw.js was not stamped" >&2; exit 1; }
echo "$build"
