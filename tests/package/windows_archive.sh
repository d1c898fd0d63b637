#!/usr/bin/env bash
# The Windows archive, made as the Windows build's `package` target makes it:
# its name and entries, and the packed program run under Wine from the folder
# the archive unpacks into.
#
#   windows_archive.sh CPACK CPACK_CONFIG
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
. "$here/../e2e/lib.sh"
fail() { failures=$((failures + 1)); echo "FAIL: $*"; }

tmp=$(mktemp -d)
WINE=${WINE:-}
for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)"; do
  [ -z "$WINE" ] && [ -n "$candidate" ] && [ -x "$candidate" ] && WINE=$candidate
done
WINESERVER=$(dirname "${WINE:-.}")/wineserver
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver || true)
export WINEDEBUG=-all LC_ALL=C.UTF-8 WINEPREFIX=$tmp/prefix
cleanup() {
  [ -n "$WINE" ] && [ -d "$WINEPREFIX" ] && [ -n "$WINESERVER" ] && "$WINESERVER" -k 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

if ! "$1" --config "$2" -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  fail "cpack could not make the archive"
  finish
  exit 1
fi
zip=$tmp/out/corvane-1.00-win64.zip
if [ ! -f "$zip" ]; then
  fail "no corvane-1.00-win64.zip; cpack made: $(cd "$tmp/out" && ls -- *.zip)"
  finish
  exit 1
fi

# One folder named as the archive, holding the program and its two texts.
cases=$((cases + 1))
want_entries="corvane-1.00-win64/LICENSE.txt
corvane-1.00-win64/README.md
corvane-1.00-win64/corvane.exe"
got_entries=$(unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort)
[ "$got_entries" = "$want_entries" ] || fail "archive entries:
$(diff <(echo "$want_entries") <(echo "$got_entries"))"
for doc in README.md:README.md LICENSE:LICENSE.txt; do
  cases=$((cases + 1))
  unzip -p "$zip" "corvane-1.00-win64/${doc##*:}" | cmp -s - "$source_dir/${doc%%:*}" ||
    fail "${doc##*:} in the archive is not ${doc%%:*}"
done

unzip -q "$zip" -d "$tmp/unpacked"
program=$tmp/unpacked/corvane-1.00-win64/corvane.exe
cases=$((cases + 1))
file -b "$program" | grep -q '^PE32+ executable (console) x86-64' ||
  fail "corvane.exe is $(file -b "$program")"

if [ -z "$WINE" ]; then
  fail "wine64 was not found: install Debian's wine64 package or set WINE"
  finish
  exit 1
fi
if ! WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot --init >"$tmp/wineboot.log" 2>&1; then
  cat "$tmp/wineboot.log"
  fail "wineboot could not make a Wine prefix"
  finish
  exit 1
fi

# Wine's own service protects nothing and its list is empty; what matters
# here is that the packed program starts, answers and ends with its statuses.
CORVANE=("$WINE" "$program")
CORVANE_EOL=crlf
readme="Z:${program%/corvane.exe}/README.md"
readme=${readme//\//\\}
expect 2 $'\n'"*NotProtected: $readme"$'\n' "$readme"
expect 18 $'\n\n'"0 files displayed."$'\n' /l
usage=$(usage_screen corvane.exe; printf x)
expect 1 "${usage%x}" /?

finish
