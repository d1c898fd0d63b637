#!/usr/bin/env bash
# The Debian package that the `package` target makes: its name, control fields
# and files, and the program run from a root it is unpacked into.
#   debian_package.sh CPACK CPACK_CONFIG
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
. "$here/../e2e/lib.sh"
"$1" -G DEB --config "$2" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 || cat "$tmp/cpack.log"
arch=$(dpkg --print-architecture)
deb=$tmp/out/corvane_${CORVANE_VERSION:?}-1_$arch.deb
[ -f "$deb" ] || { fail "cpack made no ${deb##*/}: $(ls "$tmp/out" 2>&1)"; finish; exit 1; }

# Control fields: Depends is dpkg-shlibdeps' answer for the program's libraries.
while IFS='|' read -r field pattern; do
  got=$(dpkg-deb -f "$deb" "$field")
  verify "$field is \"$got\", wanted /^$pattern$/" grep -q -x -E -e "$pattern" <<<"$got"
done <<FIELDS
Package|corvane
Version|1\.00-1
Architecture|$arch
Maintainer|The Corvane project <corvane@example\.org>
Section|utils
Depends|(.*, )?libc6 \(>= [0-9.~]+\)(, .*)?
FIELDS
# Every file where the install rules put it, owned by root (any other owner shown).
got_files=$(dpkg-deb -c "$deb" |
  awk '$1 !~ /^d/ || $2 != "root/root" { print $1, ($2 == "root/root" ? "" : $2 " ") substr($6, 2) }' | sort -k 2)
verify "package contents: $(diff <(echo "$packaged_files") <(echo "$got_files"))" [ "$got_files" = "$packaged_files" ]

root=$tmp/root doc=$tmp/root/usr/share/doc/corvane
dpkg-deb -x "$deb" "$root"
verify "the packaged program keeps its symbols" grep -q ', stripped' <(file -b "$root/usr/bin/corvane")
verify "the packaged manual page is not man/corvane.1" \
  cmp -s <(zcat "$root/usr/share/man/man1/corvane.1.gz") "$source_dir/man/corvane.1"
for f in README.md:README.md LICENSE:LICENSE LICENSE:copyright; do
  verify "$doc/${f##*:} is not ${f%%:*}" cmp -s "$source_dir/${f%%:*}" "$doc/${f##*:}"
done

# The unpacked program: a system file, the list's end.
CORVANE=("$root/usr/bin/corvane")
[ -f /var/lib/dpkg/info/coreutils.md5sums ] && results "P /usr/bin/ls" && expect 11 "$out" /usr/bin/ls
status=0
"${CORVANE[@]}" /l >"$tmp/list" 2>/dev/null </dev/null || status=$?
end="$(tail -n 1 "$tmp/list") (status $status)"
verify "/l ended with $end" grep -q -x '[1-9][0-9]* files displayed\. (status 18)' <<<"$end"
finish
