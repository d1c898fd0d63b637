#!/usr/bin/env bash
# The Debian package, made as the `package` target makes it: its name and
# control fields, the files it holds and who owns them, and the program run
# from a temporary root it is unpacked into.
#
#   debian_package.sh CPACK CPACK_CONFIG
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
. "$here/../e2e/lib.sh"
export LC_ALL=C

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$1" --config "$2" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 || cat "$tmp/cpack.log"
arch=$(dpkg --print-architecture)
deb=$tmp/out/corvane_1.00-1_$arch.deb
[ -f "$deb" ] || { fail "cpack made no ${deb##*/}: $(ls "$tmp/out" 2>&1)"; finish; exit 1; }

# Control fields: Depends is dpkg-shlibdeps' answer for the program's libraries.
while IFS='|' read -r field pattern; do
  cases=$((cases + 1))
  got=$(dpkg-deb -f "$deb" "$field")
  [[ $got =~ ^$pattern$ ]] || fail "$field is \"$got\", wanted /^$pattern\$/"
done <<FIELDS
Package|corvane
Version|1\.00-1
Architecture|$arch
Maintainer|The Corvane project <corvane@example\.org>
Section|utils
Depends|(.*, )?libc6 \(>= [0-9.~]+\)(, .*)?
FIELDS

# Every file where the install rules put it, owned by root, the program
# executable by all.
cases=$((cases + 1))
want_files="-rwxr-xr-x root/root ./usr/bin/corvane
-rw-r--r-- root/root ./usr/share/doc/corvane/LICENSE
-rw-r--r-- root/root ./usr/share/doc/corvane/README.md
-rw-r--r-- root/root ./usr/share/doc/corvane/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/corvane/copyright
-rw-r--r-- root/root ./usr/share/man/man1/corvane.1.gz"
got_files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort -k 3)
[ "$got_files" = "$want_files" ] || fail "package contents:
$(diff <(echo "$want_files") <(echo "$got_files"))"
if dpkg-deb -c "$deb" | awk '$2 != "root/root"' | grep -q .; then
  fail "entries not owned by root: $(dpkg-deb -c "$deb" | awk '$2 != "root/root"')"
fi

root=$tmp/root
dpkg-deb -x "$deb" "$root"
cases=$((cases + 1))
file -b "$root/usr/bin/corvane" | grep -q ', stripped' || fail "the packaged program keeps its symbols"
cases=$((cases + 1))
zcat "$root/usr/share/man/man1/corvane.1.gz" | cmp -s - "$source_dir/man/corvane.1" ||
  fail "the packaged manual page is not man/corvane.1"
cases=$((cases + 1))
MANWIDTH=80 man -l "$root/usr/share/man/man1/corvane.1.gz" 2>/dev/null | grep -q '^NAME' ||
  fail "man -l does not render the packaged manual page"
for doc in README.md LICENSE:LICENSE LICENSE:copyright; do
  cases=$((cases + 1))
  cmp -s "$source_dir/${doc%%:*}" "$root/usr/share/doc/corvane/${doc##*:}" ||
    fail "usr/share/doc/corvane/${doc##*:} is not ${doc%%:*}"
done

# The unpacked program: its usage screen under the name it is installed as,
# the package database's answer for a system file, and the list's end.
CORVANE=("$root/usr/bin/corvane")
usage_screen corvane && expect 1 "$out" /?
[ -f /var/lib/dpkg/info/coreutils.md5sums ] && results "P /usr/bin/ls" && expect 11 "$out" /usr/bin/ls
cases=$((cases + 1))
status=0
"${CORVANE[@]}" /l >"$tmp/list" 2>/dev/null || status=$?
[ "$status" = 18 ] && tail -n 1 "$tmp/list" | grep -q -x '[1-9][0-9]* files displayed\.' ||
  fail "/l (status $status) did not end with a count: $(tail -n 1 "$tmp/list")"

finish
