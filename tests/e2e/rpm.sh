#!/usr/bin/env bash
# The native program against packages rpmbuild makes and `rpm -i --justdb`
# records in a database of the test's own, in each backend this rpm writes,
# read where dpkg's database is hidden (lib.sh's rpm_system): every answer and
# the listing as rpm itself says, then damaged, empty and unreadable databases.
#   rpm.sh PATH_TO_CORVANE [trixie]
# With "trixie", all that inside a Debian trixie root (rpm 4.20) made by
# mmdebstrap, whose ndb database this machine's librpm answers 50 for; no root
# fails the test in CI (CI set) and skips it elsewhere.
. "$(dirname "$0")/lib.sh"
program=$(realpath "$1")
# An unprivileged run below reads the sanitizer's suppressions from $tmp, as a
# checkout of mode 700 would hide them from it.
[[ ${LSAN_OPTIONS:-} != suppressions=* ]] || { cp "${LSAN_OPTIONS#suppressions=}" "$tmp/lsan.txt" &&
  export LSAN_OPTIONS=suppressions=$tmp/lsan.txt; }
home=$tmp/inst/home
export HOME=$home
unshare -m true 2>/dev/null || { echo "skipped: no mount namespace may be made here (unshare -m needs root)"; exit 77; }

if [ "${2:-}" = trixie ]; then
  root=$tmp/root
  mirror=$(apt-get indextargets --format '$(REPO_URI)' 'Label: Debian' 'Identifier: Packages' | head -n 1)
  if ! mmdebstrap --variant=minbase --include=rpm,librpm10 trixie "$root" "$mirror" >"$tmp/root.log" 2>&1; then
    echo "no Debian trixie root could be made from the mirror '$mirror':"; tail -3 "$tmp/root.log"
    [ -n "${CI:-}" ] && exit 1 || exit 77
  fi
  mkdir -p "$root/test" "$root/var/lib/rpm" && cp "$program" "$(dirname "$0")"/{rpm,lib}.sh "$root/test/"
  # The root is a mount point of its own, so that rpm_system's namespaces work in it too.
  verify "the trixie root's $(chroot "$root" rpm --version) agrees" \
    unshare -m sh -c 'mount --make-rprivate / && mount --bind "$1" "$1" && mount -t proc proc "$1/proc" &&
      exec chroot "$1" env KEEP_NDB=/test/ndb bash /test/rpm.sh /test/corvane' sh "$root"
  if ! rpm --showrc | grep -q '^available backends.* ndb'; then
    dbpath=$(rpm --eval %_dbpath) && [[ $dbpath == "$tmp"/* ]] && mkdir -p "$dbpath"
    CORVANE=(rpm_system "$root/test/ndb" "$home" "$program")
    report 50 $'The request is not supported.\n' && expect 50 "$out" /l
    verify "nothing was written beside the ndb database" [ "$(ls "$root/test/ndb")" = $'Index.db\nPackages.db' ]
  fi
  finish
  exit
fi

# The files, made on disk for the questions; the packages record them.
tree=$tmp/tree
mkdir -p "$tree"/{usr/bin,usr/lib/tool,usr/share/doc,etc,var/log} "$home"
ln -s usr/bin "$tree/bin" && ln -s usr/lib "$tree/lib"
for f in usr/bin/{tool,viaalias} usr/lib/libx.so.1 usr/share/{both.txt,shared.txt,"with space.txt"} \
  usr/share/doc/README etc/{tool,only}.conf var/log/tool.log; do echo "$f" >"$tree/$f"; done
: >"$tree/usr/bin/empty" && ln -s tool "$tree/usr/bin/tool-link"
# Files of this machine, recorded through its /bin and /lib aliases.
system=()
for f in /bin/cat /lib/os-release; do [ -L "${f%/*}" ] && [ -f "$f" ] && [ ! -L "$f" ] && system+=("$f"); done

# One build recipe, four packages: "a" holds one file of each kind, "b" and "c"
# record paths "a" does too (once as %config there), "d" the system's files.
recipe=$tmp/test.recipe
{
  printf '%s\n' 'Name: corvane-test-a' 'Version: 1' 'Release: 1' 'Summary: t' 'License: MIT' \
    'BuildArch: noarch' '%description' 't'
  for p in b c d; do
    printf '%s\n' "%package -n corvane-test-$p" 'Summary: t' "%description -n corvane-test-$p" 't'
  done
  echo '%install'
  # The build root's bin/ and lib/ are real directories, so that the package records them.
  echo "mkdir -p %{buildroot}$tree && cp -a '$tree/.' %{buildroot}$tree/ && cd %{buildroot}$tree"
  echo "rm bin lib && mkdir bin lib && mv usr/bin/viaalias bin/ && mv usr/lib/libx.so.1 lib/"
  for f in "${system[@]}"; do echo "mkdir -p %{buildroot}${f%/*} && echo x >%{buildroot}$f"; done
  echo '%files'
  printf '"%s"\n' "$tree/usr/bin/tool" "$tree/bin/viaalias" "$tree/usr/bin/empty" \
    "$tree/usr/bin/tool-link" "$tree/lib/libx.so.1" "$tree/usr/share/both.txt" \
    "$tree/usr/share/with space.txt"
  printf '%s\n' "%dir $tree/usr/lib/tool" "%doc $tree/usr/share/doc/README" "%config $tree/etc/tool.conf" \
    "%config $tree/etc/only.conf" "%config $tree/usr/share/shared.txt" "%ghost $tree/var/log/tool.log"
  printf '%s\n' '%files -n corvane-test-b' "$tree/usr/share/shared.txt"
  printf '%s\n' '%files -n corvane-test-c' "$tree/usr/share/both.txt" "$tree/etc/tool.conf"
  echo '%files -n corvane-test-d'
  printf '%s\n' "${system[@]}"
} >"$recipe"
rpmbuild -bb --quiet --nodeps --define "_topdir $tmp/top" --define '_build_id_links none' \
  --define '__os_install_post %{nil}' "$recipe" >"$tmp/build.log" 2>&1 || { cat "$tmp/build.log"; exit 1; }
# The database where rpm's configuration puts it for this HOME, in each backend
# (sqlite last, for the damage below): "a" installed into a root of the test's own
# without its documents (so recorded as not installed), the others only recorded.
db=$(rpm --eval %_dbpath)
[[ $db == "$tmp/inst"/* ]] || db=$tmp/inst/db
rpms=("$tmp"/top/RPMS/noarch/*.rpm)
backends=(sqlite)
rpm --showrc | grep -q '^available backends.* ndb' && backends=(ndb sqlite)
# rpmq ARG...: rpm's own answer, without its word that the backend is not the configured one.
rpmq() { rpm --dbpath "$db" "$@" 2>/dev/null; }
key() { printf '%s/%s\n' "$(realpath -m "${1%/*}")" "${1##*/}"; }
# answers PATH...: protected when the oracle has a file in the same directory, resolved, under
# the same name; their result lines in $lines, the last one's status in $status.
answers() {
  local f
  lines=()
  for f; do
    if [ ! -d "$f" ] && grep -q -x -F -- "$(key "$f")" "$tmp/keys"; then lines+=("P $f"); else lines+=("N $f"); fi
  done
  status=2
  [[ ${lines[-1]} == P* ]] && status=$((${#f} > 255 ? 255 : ${#f}))
  results "${lines[@]}"
}
for backend in "${backends[@]}"; do
  rm -rf "$db" && mkdir -p "$db"
  rpm --define "_db_backend $backend" --root "$tmp/inst" --dbpath "${db#"$tmp/inst"}" -i --nodeps \
    --excludedocs "${rpms[0]}" 2>/dev/null
  rpm --define "_db_backend $backend" --dbpath "$db" -i --justdb --nodeps "${rpms[@]:1}" 2>/dev/null
  verify "rpm recorded ${#rpms[@]} packages in $backend" [ "$(rpmq -qa | wc -l)" -eq 4 ]

  # The oracle: what rpm records of each file. Protected: a regular file (mode 0100000)
  # with a digest, installed (state 0), not %config (flag 1) or %ghost (64).
  rpmq -qa --qf '[%{FILENAMES}\t%{FILEFLAGS}\t%{FILEMODES}\t%{FILEDIGESTS}\t%{FILESTATES}\n]' |
    awk -F '\t' '$2 % 2 == 0 && int($2 / 64) % 2 == 0 && int($3 / 4096) % 16 == 8 && $4 != "" && $5 == 0 { print $1 }' |
    sort -u >"$tmp/protected"
  mapfile -t protected <"$tmp/protected"
  CORVANE=(rpm_system "$db" "$home" "$program")
  listing "${protected[@]}" && expect 18 "$out" /l

  # Every file of the tree and its alias forms, and every match of a pattern ("." and "..").
  while read -r f; do key "$f"; done <"$tmp/protected" >"$tmp/keys"
  mapfile -t asked < <(cd "$tree" && find . ! -type d | sed "s|^\.|$tree|" | sort)
  asked+=("$tree/bin/tool" "$tree/usr/bin/viaalias" "$tree/lib/libx.so.1" "$tree/bin/tool-link")
  for f in "${system[@]}"; do asked+=("$f" "$(realpath "${f%/*}")/${f##*/}"); done
  answers "${asked[@]}" && expect "$status" "$out" "${asked[@]}"
  verify "the oracle protects a file of each kind" [ "$(printf '%s\n' "${lines[@]}" | grep -c '^P')" -ge 8 ]
  for f in "${asked[@]}"; do answers "$f" && expect "$status" "$out" "$f"; done
  for dir in "$tree/usr/bin" "$tree/bin"; do
    mapfile -t matched < <(cd "$dir" && ls -f | sed -e "s|^\.$|$dir|" -e "s|^\.\.$|$(realpath "$dir/..")|" -e "t" -e "s|^|$dir/|")
    answers "${matched[@]}" && expect "$status" "$out" "$dir/*"
  done
  [ -z "${KEEP_NDB:-}" ] || [ "$backend" != ndb ] || cp -a "$db" "$KEEP_NDB"
done

# Where dpkg's database is, it answers: the test's files are not in it.
CORVANE=(env HOME="$home" "$program")
[ -d /var/lib/dpkg/info ] && results "N $tree/usr/bin/tool" && expect 2 "$out" "$tree/usr/bin/tool"

# A corrupt database answers 1392 without hanging; exit statuses keep 8 bits.
cp -a "$db" "$tmp/saved" && rm -f "$db"/rpmdb.sqlite-*
head -c 65536 /dev/urandom >"$db/rpmdb.sqlite"
CORVANE=(rpm_system "$db" "$home" timeout 60 "$program")
report 1392 $'The file or directory is corrupted and unreadable.\n'
expect 255 "$out" /l
expect 255 "$out"$'\n' "$tree/usr/bin/tool"
# So does a sound database file whose package headers are damaged.
if command -v sqlite3 >/dev/null; then
  rm -rf "$db" && cp -a "$tmp/saved" "$db"
  sqlite3 "$db/rpmdb.sqlite" 'UPDATE Packages SET blob = substr(blob, 1, 200) || randomblob(length(blob) - 200)'
  expect 255 "$out" /l
fi
# An empty one protects nothing (a directory without one is rpm_database_test's).
rm -rf "$db" && mkdir "$db" && rpm --dbpath "$db" --initdb
listing && expect 18 "$out" /l
results "N $tree/usr/bin/tool" && expect 2 "$out" "$tree/usr/bin/tool"
# A database file that is no regular file is access denied, at once.
CORVANE=(rpm_system "$db" "$home" timeout 10 "$program")
report 5 $'Access is denied.\n'
for make in "mkfifo rpmdb.sqlite" "ln -s Packages Packages" "ln -s nowhere Packages.db"; do
  rm -rf "$db" && mkdir "$db" && (cd "$db" && $make) && expect 5 "$out" /l
done
# As an unprivileged user (root reads and writes everything): a directory
# it may not read, or may not write for sqlite's files beside the database,
# is access denied; a corrupt database readable as it is stays corrupt.
cp "$program" "$tmp/corvane" && chmod 755 "$tmp/corvane"
CORVANE=(rpm_system "$db" "$home" setpriv --reuid=65534 --regid=65534 --clear-groups -- "$tmp/corvane")
texts[5]='Access is denied.' texts[1392]='The file or directory is corrupted and unreadable.'
[ "$(id -u)" -eq 0 ] || echo "skipped: the unprivileged cases (not run as root)"
for case in "5 chmod 700 ." "5 rm rpmdb.sqlite-shm rpmdb.sqlite-wal" "1392 shred -n 1 -s 64K rpmdb.sqlite"; do
  [ "$(id -u)" -eq 0 ] || break
  rm -rf "$db" && cp -a "$tmp/saved" "$db" && (cd "$db" && ${case#* })
  code=${case%% *} && report "$code" "${texts[code]}"$'\n' && expect "$((code > 255 ? 255 : code))" "$out" /l
done
finish
