#!/usr/bin/env bash
# The Windows archive, made as the Windows build's `package` target makes it:
# its name and entries, and the packed program run under Wine from the folder
# the archive unpacks into.
#
#   windows_archive.sh CPACK CPACK_CONFIG
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
. "$here/../e2e/lib.sh"
. "$here/../windows/wine_prefix.sh"

"$1" --config "$2" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 || cat "$scratch/cpack.log"
zip=$scratch/out/corvane-1.00-win64.zip
[ -f "$zip" ] || { fail "cpack made no ${zip##*/}: $(ls "$scratch/out" 2>&1)"; finish; exit 1; }

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

unzip -q "$zip" -d "$scratch/unpacked"
program=$scratch/unpacked/corvane-1.00-win64/corvane.exe
cases=$((cases + 1))
file -b "$program" | grep -q '^PE32+ executable (console) x86-64' ||
  fail "corvane.exe is $(file -b "$program")"

# Wine's own service protects nothing and its list is empty; what matters
# here is that the packed program starts, answers and ends with its statuses.
CORVANE=("$WINE" "$program")
readme=$(winpath "${program%/corvane.exe}/README.md")
results "N $readme" && expect 2 "$out" "$readme"
listing && expect 18 "$out" /l
usage_screen corvane.exe && expect 1 "$out" /?

finish
