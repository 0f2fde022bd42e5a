# The Debian mirror the machine's own apt sources name, for the scripts that
# fetch Debian sources or make Debian chroots (tools/windows/deps.sh,
# tools/linux/chroot.sh). Sourced; the caller defines die().
#   find_mirror: sets $mirror (no trailing /) and $keyring (may be empty);
#   ZELK_DEBIAN_MIRROR and ZELK_DEBIAN_KEYRING override what apt names.

# The Debian mirror from the machine's apt sources: the first entry (one-line
# or deb822 format) that carries the machine's release with the main
# component. Prints "URI KEYRING" (KEYRING may be empty).
debian_mirror() {
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || codename=bookworm
  local files=()
  [ -f /etc/apt/sources.list ] && files+=(/etc/apt/sources.list)
  local f
  for f in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && files+=("$f")
  done
  [ ${#files[@]} -gt 0 ] || return 0
  awk -v want="$codename" '
    function flush() {
      if (types ~ /(^| )deb(-src)?( |$)/ && enabled != "no" && (" " suites " ") ~ (" " want " ") &&
          (" " comps " ") ~ / main / && uris != "" && !done) {
        split(uris, u, " "); print u[1], signed; done = 1
      }
      types = uris = suites = comps = signed = ""; enabled = "yes"
    }
    FILENAME ~ /\.sources$/ {
      if ($0 ~ /^[ \t]*$/) { flush(); next }
      if ($0 ~ /^#/) next
      key = tolower($1); sub(/:$/, "", key); $1 = ""; sub(/^ +/, ""); val = $0
      if (key == "types") types = val
      else if (key == "uris") uris = val
      else if (key == "suites") suites = val
      else if (key == "components") comps = val
      else if (key == "signed-by" && val ~ /^\//) signed = val
      else if (key == "enabled") enabled = tolower(val)
      next
    }
    FNR == 1 { flush() }
    /^[ \t]*deb(-src)?[ \t]/ {
      line = $0; sub(/#.*/, "", line); n = split(line, w, /[ \t]+/); i = 1
      while (w[i] == "") i++
      t = w[i++]; s = ""
      if (w[i] ~ /^\[/) {
        while (i <= n) { opt = w[i]; s = s " " opt; i++; if (opt ~ /\]$/) break }
      }
      if (n - i < 2) next
      uri = w[i]; suite = w[i + 1]; c = ""
      for (j = i + 2; j <= n; j++) c = c " " w[j]
      if (suite == want && (c " ") ~ / main / && !done) {
        k = ""; if (match(s, /signed-by=[^] ]+/)) k = substr(s, RSTART + 10, RLENGTH - 10)
        print uri, k; done = 1
      }
    }
    END { flush() }
  ' "${files[@]}"
}

mirror=""
keyring=""
find_mirror() {
  [ -z "$mirror" ] || return 0
  if [ -n "${ZELK_DEBIAN_MIRROR:-}" ]; then
    mirror=$ZELK_DEBIAN_MIRROR
    keyring=${ZELK_DEBIAN_KEYRING:-}
  else
    read -r mirror keyring < <(debian_mirror) || true
  fi
  [ -n "$mirror" ] || die "no Debian mirror found in the apt sources (/etc/apt/sources.list, /etc/apt/sources.list.d); set ZELK_DEBIAN_MIRROR"
  mirror=${mirror%/}
  if [ -z "$keyring" ] && [ -f /usr/share/keyrings/debian-archive-keyring.gpg ]; then
    keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  fi
}

