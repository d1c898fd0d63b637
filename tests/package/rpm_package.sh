#!/usr/bin/env bash
# The rpm package that the `package` target makes where the build reads rpm's database:
# its fields and files, and the program installed with `rpm --root` into a root of the
# test's own, answering from that root's database (lib.sh's rpm_system).
#   rpm_package.sh CPACK CPACK_CONFIG
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
export HOME=$tmp  # rpm keeps what it keeps there, not in the caller's home
"$1" -G RPM --config "$2" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 || cat "$tmp/cpack.log"
package=$tmp/out/corvane-${CORVANE_VERSION:?}-1.$(uname -m).rpm
[ -f "$package" ] || { fail "cpack made no ${package##*/}: $(ls "$tmp/out" 2>&1)"; finish; exit 1; }

query() { rpm -qp --qf "$1" "$package" 2>/dev/null; }
verify "name, version, release: $(query '%{NAME} %{VERSION} %{RELEASE}')" \
  [ "$(query '%{NAME} %{VERSION} %{RELEASE}')" = "corvane $CORVANE_VERSION 1" ]
# librpm is loaded where there is no dpkg database, not linked.
requires=$(rpm -qp --requires "$package" 2>/dev/null)
verify "requires librpm: $requires" [ -z "$(grep librpm <<<"$requires")" ]
got_files=$(query '[%{FILEMODES:perms} %{FILENAMES}\n]' | grep -v '^d' | sort -k 2)
verify "package files: $(diff <(echo "$packaged_files") <(echo "$got_files"))" [ "$got_files" = "$packaged_files" ]

unshare -m true 2>/dev/null || { echo "skipped: installing into a root (no mount namespace here)"; finish; exit; }
# Installed into a root whose database is where rpm's configuration puts it
# for HOME there; the installed program lists the package's own files.
root=$tmp/root home=$tmp/root/home
db=$(HOME=$home rpm --eval %_dbpath)
[[ $db == "$root"/* ]] || db=$root/db
mkdir -p "$db"
rpm --root "$root" --dbpath "${db#"$root"}" -i --nodeps "$package" 2>/dev/null
verify "rpm --root installed no /usr/bin/corvane" [ -x "$root/usr/bin/corvane" ]
CORVANE=(rpm_system "$db" "$home" "$root/usr/bin/corvane")
listing $(echo "$packaged_files" | cut -d ' ' -f 2) && expect 18 "$out" /l
finish
