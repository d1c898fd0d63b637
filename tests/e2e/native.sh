#!/usr/bin/env bash
# The native program on real files and the system's own package database.
#   native.sh PATH_TO_CORVANE
. "$(dirname "$0")/lib.sh"
CORVANE=("$(realpath "$1")")
mkdir "$tmp/d" && touch "$tmp/d/one.txt" "$tmp/d/two.txt" "$tmp/d/three.log" "$tmp/d/caf"$'\xc3\xa9'".txt"
ln -s /usr/bin/ls "$tmp/d/link-to-ls"

# Files no package owns, in directory order, and a link to a system file (not one itself).
mapfile -t txt < <(cd "$tmp/d" && ls -f | grep -x -- '.*\.txt')
results "${txt[@]/#/N $tmp/d/}" && expect 2 "$out" "$tmp/d/*.txt"
results "N $tmp/d/link-to-ls" && expect 2 "$out" "$tmp/d/link-to-ls"

# System files from the package database, /bin being /usr/bin on a merged-/usr system.
if [ -f /var/lib/dpkg/info/coreutils.md5sums ]; then
  results "P /bin/ls" && expect 7 "$out" /bin/ls
  results "P /usr/bin/ls" && expect 11 "$out" /usr/bin/ls && expect 11 "$out" /usr/bin/../bin//ls
fi

# A name sharing std::hash with a recorded one beside it (put there by an overlay
# in a private mount namespace) is its own, asked alone, with another or by a pattern.
doc=/usr/share/doc/coreutils forged=/usr/share/doc/coreutils/ch$'\x1e\x88\x02K\x14\xfeg.\x87K\xc7\x83\xb9\xdf'.gz
if [ -f $doc/changelog.Debian.gz ] && mkdir "$tmp/up" "$tmp/work" && unshare -m true 2>/dev/null; then
  plain=("${CORVANE[@]}")
  CORVANE=(unshare -m sh -c 'mount -t overlay none -o "lowerdir=$1,upperdir=$2,workdir=$3" "$1" &&
    touch "$4" && shift 4 && exec "$@"' sh $doc "$tmp/up" "$tmp/work" "$forged" "${plain[@]}")
  # The pattern matches the forged name alone, and asks through the index of names.
  results "N $forged" && expect 2 "$out" "$forged" && expect 2 "$out" "$doc/ch?"$'\x88*'
  results "P /bin/ls" "N $forged" && expect 2 "$out" /bin/ls "$forged"
  CORVANE=("${plain[@]}")
fi

# The listing: the lists after diversions, sorted and unique; a sample is protected.
if [ -d /var/lib/dpkg/info ]; then
  awk '
    FNR == 1 { in_div = FILENAME ~ /diversions$/; pkg = FILENAME
               sub(/.*\//, "", pkg); sub(/\.md5sums$/, "", pkg); sub(/:.*/, "", pkg) }
    in_div { t[(FNR - 1) % 3] = $0; if (FNR % 3 == 0) { to[t[0]] = t[1]; by[t[0]] = t[2] }; next }
    /^[0-9a-f]+  ./ && index($0, "  ") == 33 {
      path = "/" substr($0, 35)
      if ((path in to) && (by[path] == ":" || by[path] != pkg)) path = to[path]
      if (length(path) <= 259) print path
    }' /var/lib/dpkg/diversions /var/lib/dpkg/info/*.md5sums | sort -u >"$tmp/want-list"
  mapfile -t want_list <"$tmp/want-list"
  listing "${want_list[@]}" && expect 18 "$out" /l ignored-name
  while read -r path; do
    [[ ( -e $path || -L $path ) && $path != *[*?]* ]] || continue
    length=$((${#path} > 255 ? 255 : ${#path}))  # exit statuses keep 8 bits
    results "P $path" && expect "$length" "$out" "$path"
  done < <(awk 'NR % 1500 == 1' "$tmp/want-list")
fi

# The usage screen under the name the program was started by; /lost+found is a name.
usage_screen "$(basename "${CORVANE[0]}")"
expect 1 "$out"; expect 1 "$out" /l -?
[ -e /lost+found ] || { results "F /lost+found" && expect 13 "$out" /lost+found; }
finish
