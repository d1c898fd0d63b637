#!/usr/bin/env bash
# End-to-end runs of the native program: real files in a temporary directory
# and the system's own package database.
# usage: native.sh PATH_TO_CORVANE
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
CORVANE=("$(realpath "$1")")
CORVANE_EOL=lf
export LC_ALL=C  # lengths and orders in bytes, as the program counts them

tmp=$(mktemp -d)
tmp=$(realpath "$tmp")
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/d"
touch "$tmp/d/one.txt" "$tmp/d/two.txt" "$tmp/d/three.log" "$tmp/d/caf$(printf '\xc3\xa9').txt"
ln -s /usr/bin/ls "$tmp/d/link-to-ls"

# Files no package owns, matched by pattern in directory order (the
# directory's own "." and ".." and wildcards over whole directories are
# hostile.sh's), and a link to a system file, which is not one itself.
mapfile -t txt < <(cd "$tmp/d" && ls -f | grep -x -- '.*\.txt')
results "${txt[@]/#/N $tmp/d/}"
expect 2 "$out" "$tmp/d/*.txt"
results "N $tmp/d/three.log" && expect 2 "$out" "$tmp/d/thr??.log"
results "N $tmp/d/link-to-ls" && expect 2 "$out" "$tmp/d/link-to-ls"
results "F $tmp/none" && expect 13 "$out" "$tmp/none"

# System files, answered from the package database; /usr/bin/ls and /bin/ls
# are one file on a merged-/usr system.
if [ -f /var/lib/dpkg/info/coreutils.md5sums ]; then
  results "P /bin/ls" && expect 7 "$out" /bin/ls
  results "P /usr/bin/ls" && expect 11 "$out" /usr/bin/ls && expect 11 "$out" /usr/bin/../bin//ls
fi
# A path under /lib is a name, not the list switch.
libc=/lib/x86_64-linux-gnu/libc.so.6
if [ -f "$libc" ] && grep -q -s " ${libc#/}\$" /var/lib/dpkg/info/libc6*.md5sums; then
  results "P $libc" && expect ${#libc} "$out" "$libc"
fi

# A diverted file is protected where it was moved to: take the first
# diversion on this machine whose moved file is there and owned by a
# package other than the diverting one.
if [ -r /var/lib/dpkg/diversions ]; then
  while IFS=$'\t' read -r from to by; do
    [ -f "$to" ] && [ ! -L "$to" ] || continue
    owners=$(grep -l -E "^[0-9a-f]{32}  ${from#/}\$" /var/lib/dpkg/info/*.md5sums 2>/dev/null |
      sed -e 's|.*/||' -e 's|\.md5sums$||' -e 's|:.*||' | grep -v -x -F "$by")
    [ -n "$owners" ] || continue
    results "P $to" && expect "${#to}" "$out" "$to"
    break
  done < <(paste - - - </var/lib/dpkg/diversions)
fi

# The listing is the package database's checksum lists after diversions, in
# byte order without duplicates, and every listed path answers "protected".
if [ -d /var/lib/dpkg/info ]; then
  LC_ALL=C awk '
    FNR == 1 && FILENAME ~ /diversions$/ { in_div = 1 }
    FNR == 1 && FILENAME !~ /diversions$/ {
      in_div = 0; pkg = FILENAME; sub(/.*\//, "", pkg); sub(/\.md5sums$/, "", pkg); sub(/:.*/, "", pkg)
    }
    in_div { t[(FNR - 1) % 3] = $0; if (FNR % 3 == 0) { to[t[0]] = t[1]; by[t[0]] = t[2] }; next }
    /^[0-9a-f]+  ./ && index($0, "  ") == 33 {
      path = "/" substr($0, 35)
      if ((path in to) && (by[path] == ":" || by[path] != pkg)) path = to[path]
      if (length(path) <= 259) print path
    }' /var/lib/dpkg/diversions /var/lib/dpkg/info/*.md5sums | LC_ALL=C sort -u >"$tmp/want-list"
  mapfile -t want_list <"$tmp/want-list"
  listing "${want_list[@]}" && expect 18 "$out" /l ignored-name
  # Spot-check the listing against query mode: every 1500th path is protected.
  mapfile -t sample < <(awk 'NR % 1500 == 1' "$tmp/want-list")
  for path in "${sample[@]}"; do
    [ -e "$path" ] || [ -L "$path" ] || continue
    case $path in *'*'* | *'?'*) continue ;; esac
    length=${#path}
    [ "$length" -le 255 ] || length=255  # exit statuses keep 8 bits
    results "P $path" && expect "$length" "$out" "$path"
  done
fi

# The usage screen under the name the program was started by; a path under
# / that starts with "/l" is a name, not the list switch.
usage_screen "$(basename "${CORVANE[0]}")"
expect 1 "$out"
expect 1 "$out" /l -?
[ -e /lost+found ] || { results "F /lost+found" && expect 13 "$out" /lost+found; }

finish
