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
mkdir "$tmp/d" "$tmp/sub"
touch "$tmp/d/one.txt" "$tmp/d/two.txt" "$tmp/d/three.log" "$tmp/d/caf$(printf '\xc3\xa9').txt"
ln -s /usr/bin/ls "$tmp/d/link-to-ls"

# Matches come in directory order, which only the directory itself knows.
in_dir_order() { (cd "$1" && ls -f | grep -x -- "$2"); }
lines() {  # PREFIX STATUS_LINE NAMES... -> one result line per name
  local prefix=$1 kind=$2 name out=""
  shift 2
  for name in "$@"; do out+=$'\n'"$kind: $prefix$name"; done
  printf '%s' "$out"
}

# Files no package owns, by pattern, by relative name, and as directory entries.
mapfile -t txt < <(in_dir_order "$tmp/d" '.*\.txt')
expect 2 "$(lines "$tmp/d/" '*NotProtected' "${txt[@]}")"$'\n' "$tmp/d/*.txt"
expect 2 $'\n'"*NotProtected: $tmp/d/three.log"$'\n' "$tmp/d/thr??.log"
expect 2 $'\n'"*NotProtected: $tmp/d"$'\n' "$tmp/d/."
expect 2 $'\n'"*NotProtected: $tmp"$'\n' "$tmp/d/.."
want=""
while read -r name; do
  case $name in
    .) want+=$'\n'"*NotProtected: $tmp/d" ;;
    ..) want+=$'\n'"*NotProtected: $tmp" ;;
    *) want+=$'\n'"*NotProtected: $tmp/d/$name" ;;
  esac
done < <(in_dir_order "$tmp/d" '.*')
expect 2 "$want"$'\n' "$tmp/d/*"
(cd "$tmp/d" && expect 2 $'\n'"*NotProtected: $tmp/d/one.txt"$'\n' one.txt && finish >/dev/null) ||
  { failures=$((failures + 1)); echo "FAIL: relative name"; }
cases=$((cases + 1))

# Names that match nothing leave the status alone; the last match decides it.
expect 13 $'\n'"*FileNotFound: $tmp/none"$'\n' "$tmp/none"
expect 13 $'\n'"*FileNotFound: "$'\n' ""
expect 13 $'\n'"*FileNotFound: $tmp/d/"$'\n' "$tmp/d/"
expect 13 $'\n'"*FileNotFound: $tmp/d/[o]ne.txt"$'\n' "$tmp/d/[o]ne.txt"
expect 2 $'\n'"*NotProtected: $tmp/d/one.txt"$'\n'"*FileNotFound: $tmp/none"$'\n' "$tmp/d/one.txt" "$tmp/none"
expect 2 $'\n'"*NotProtected: $tmp/d/link-to-ls"$'\n' "$tmp/d/link-to-ls"
expect 13 $'\n'"*FileNotFound: /x"$'\n' /x

# Bytes above 0x7f go through unchanged.
expect 2 $'\n'"*NotProtected: $tmp/d/caf$(printf '\xc3\xa9').txt"$'\n' "$tmp/d/caf"$'\xc3\xa9'".txt"

# Arguments too long for a path buffer are never searched in cut form.
long="$tmp/$(printf 'x%.0s' $(seq 300))"
expect 13 $'\n'"*FileNotFound: ${long:0:260}"$'\n' "$long"

# System files, answered from the package database; /usr/bin/ls and /bin/ls
# are one file on a merged-/usr system.
if [ -f /var/lib/dpkg/info/coreutils.md5sums ]; then
  expect 7 $'\n'"ProtectedFile: /bin/ls"$'\n' /bin/ls
  expect 11 $'\n'"ProtectedFile: /usr/bin/ls"$'\n' /usr/bin/ls
  expect 2 $'\n'"ProtectedFile: /usr/bin/ls"$'\n'"*NotProtected: $tmp/d/one.txt"$'\n' /usr/bin/ls "$tmp/d/one.txt"
  expect 11 $'\n'"ProtectedFile: /usr/bin/ls"$'\n' /usr/bin/../bin//ls
fi
# A path under /lib is a name, not the list switch.
libc=/lib/x86_64-linux-gnu/libc.so.6
if [ -f "$libc" ] && grep -q -s " ${libc#/}\$" /var/lib/dpkg/info/libc6*.md5sums; then
  expect ${#libc} $'\n'"ProtectedFile: $libc"$'\n' "$libc"
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
    expect "${#to}" $'\n'"ProtectedFile: $to"$'\n' "$to"
    break
  done < <(paste - - - </var/lib/dpkg/diversions)
fi

# The listing is the package database's checksum lists after diversions, in
# byte order without duplicates, and every listed path answers "protected".
if [ -d /var/lib/dpkg/info ]; then
  cases=$((cases + 1))
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
  { awk '{ printf "\n%s", $0 }' "$tmp/want-list"
    printf '\n\n%d files displayed.\n' "$(wc -l <"$tmp/want-list")"; } >"$tmp/want-out"
  status=0
  "${CORVANE[@]}" /l ignored-name >"$tmp/got-out" 2>/dev/null || status=$?
  if [ "$status" != 18 ] || ! cmp -s "$tmp/want-out" "$tmp/got-out"; then
    failures=$((failures + 1))
    echo "FAIL: /l (status $status): listing differs from the package database"
    diff "$tmp/want-out" "$tmp/got-out" | head -10
  fi
  # Spot-check the listing against query mode: every 1500th path is protected.
  mapfile -t sample < <(awk 'NR % 1500 == 1' "$tmp/want-list")
  for path in "${sample[@]}"; do
    [ -e "$path" ] || [ -L "$path" ] || continue
    case $path in *'*'* | *'?'*) continue ;; esac
    length=${#path}
    [ "$length" -le 255 ] || length=255  # exit statuses keep 8 bits
    expect "$length" $'\n'"ProtectedFile: $path"$'\n' "$path"
  done
fi

# Help requests and the list switch.
usage=$(usage_screen "$(basename "${CORVANE[0]}")"; printf x)
usage=${usage%x}
expect 1 "$usage"
expect 1 "$usage" /?
expect 1 "$usage" "$tmp/d/one.txt" -HELP
expect 1 "$usage" /l -?
expect 13 $'\n'"*FileNotFound: --help"$'\n' --help
[ -e /lost+found ] || expect 13 $'\n'"*FileNotFound: /lost+found"$'\n' /lost+found

finish
