# Shared by the end-to-end scripts: run the program the array CORVANE starts and
# compare its output byte for byte (LF as CR LF when CORVANE_EOL=crlf) and status.
set -u
failures=0 cases=0
export LC_ALL=C  # lengths and orders in bytes, as the program counts them
# $tmp: the script's own directory, which others may read too (cases run as nobody).
tmp=$(realpath "$(mktemp -d)") && chmod 755 "$tmp"
trap 'chmod -R u+rwx "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT
shopt -u patsub_replacement 2>/dev/null  # '&' in a replacement is itself

# fail WHAT: a failed check; verify WHAT COMMAND...: a check COMMAND passes.
fail() { failures=$((failures + 1)); echo "FAIL: $*"; }
verify() { cases=$((cases + 1)); "${@:2}" || fail "$1"; }
finish() { echo "$cases cases, $failures failed"; [ "$failures" -eq 0 ]; }
repeat() { local text; printf -v text "%$2s" ""; printf '%s' "${text// /$1}"; }  # repeat TEXT N

# expect STATUS EXPECTED_OUTPUT ARG...
expect() {
  local want_status=$1 want=$2 got=$tmp/got status=0
  shift 2
  cases=$((cases + 1))
  [ "${CORVANE_EOL:-lf}" = crlf ] && want=${want//$'\n'/$'\r\n'}
  # stderr is shown only when a case fails (a Wine that cannot start says why there).
  "${CORVANE[@]}" "$@" >"$got" 2>"$got.err" </dev/null || status=$?
  if [ "$status" != "$want_status" ] || ! printf %s "$want" | cmp -s - "$got"; then
    fail "$* (status $status, wanted $want_status)"
    diff <(printf %s "$want" | od -c) <(od -c "$got") | head -20
    [ -s "$got.err" ] && head -5 "$got.err" | sed 's/^/  stderr: /'
  fi
}

# These leave an expected output in $out. results RESULT...: query mode's lines
# for "P PATH" (protected), "N PATH" (not), "F PATH" (not found) or any line.
results() {
  local r
  out=""
  for r; do
    case ${r:0:2} in
      'P ') r="ProtectedFile: ${r:2}" ;;
      'N ') r="*NotProtected: ${r:2}" ;;
      'F ') r="*FileNotFound: ${r:2}" ;;
    esac
    out+=$'\n'$r
  done
  out+=$'\n'
}
# listing ENTRY...: a whole listing; report CODE [TEXT]: an error report;
# usage_screen NAME: the usage screen with NAME in its syntax line.
listing() { out=""; [ $# -eq 0 ] || printf -v out '\n%s' "$@"; out+=$'\n\n'"$# files displayed."$'\n'; }
report() { out=$'\n\n'"System error $1 has occurred."$'\n\n'"${2:-}"; }
usage_screen() {
  out=$(cat "$(dirname "${BASH_SOURCE[0]}")/../data/usage.txt"; printf x)
  out=${out%x} out=${out/@PROGRAM@/$1} out=${out/@VERSION@/${CORVANE_VERSION:?}}
}

# The files the packages install, "MODE PATH", sorted by path.
packaged_files="-rwxr-xr-x /usr/bin/corvane
-rw-r--r-- /usr/share/doc/corvane/LICENSE
-rw-r--r-- /usr/share/doc/corvane/README.md
-rw-r--r-- /usr/share/doc/corvane/changelog.Debian.gz
-rw-r--r-- /usr/share/doc/corvane/copyright
-rw-r--r-- /usr/share/man/man1/corvane.1.gz"

# rpm_system DB HOME COMMAND...: COMMAND as on a system managed by rpm whose database is DB:
# in a mount namespace of its own, where dpkg's database is hidden and DB is mounted over
# the directory rpm's configuration names (%_dbpath) with HOME as home.
rpm_system() {
  local db=$1 home=$2 dbpath
  shift 2
  dbpath=$(HOME=$home rpm --eval %_dbpath)
  [ "$dbpath" = "$db" ] || [ -d "$dbpath" ] || { echo "no $dbpath to mount $db over" >&2; return 99; }
  HOME=$home unshare -m sh -c 'mount -t tmpfs none /var/lib/dpkg &&
    { [ "$1" = "$2" ] || mount --bind "$1" "$2"; } && shift 2 && exec "$@"' sh "$db" "$dbpath" "$@"
}
