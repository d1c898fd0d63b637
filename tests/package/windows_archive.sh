#!/usr/bin/env bash
# The archive that the Windows build's `package` target makes: its name and
# entries, and the packed program run under Wine from where it unpacks.
#   windows_archive.sh CPACK CPACK_CONFIG
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
. "$here/../e2e/lib.sh"
. "$here/../windows/wine_prefix.sh"
"$1" --config "$2" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 || cat "$scratch/cpack.log"
zip=$scratch/out/corvane-${CORVANE_VERSION:?}-win64.zip
[ -f "$zip" ] || { fail "cpack made no ${zip##*/}: $(ls "$scratch/out" 2>&1)"; finish; exit 1; }

# One folder named as the archive, holding the program and its two texts.
want_entries="corvane-$CORVANE_VERSION-win64/LICENSE.txt
corvane-$CORVANE_VERSION-win64/README.md
corvane-$CORVANE_VERSION-win64/corvane.exe"
got_entries=$(unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort)
verify "archive entries: $(diff <(echo "$want_entries") <(echo "$got_entries"))" \
  [ "$got_entries" = "$want_entries" ]
# The texts with CR LF line ends, which every Notepad shows as lines.
for doc in README.md:README.md LICENSE:LICENSE.txt; do
  verify "${doc##*:} in the archive is not ${doc%%:*} with CR LF" \
    cmp -s <(unzip -p "$zip" "corvane-$CORVANE_VERSION-win64/${doc##*:}") \
    <(sed 's/$/\r/' "$source_dir/${doc%%:*}")
done
unzip -q "$zip" -d "$scratch/unpacked"
program=$scratch/unpacked/corvane-$CORVANE_VERSION-win64/corvane.exe
verify "corvane.exe is $(file -b "$program")" \
  grep -q '^PE32+ executable (console) x86-64' <(file -b "$program")

# Wine's own service protects nothing: the packed program starts and answers.
CORVANE=("$WINE" "$program")
listing && expect 18 "$out" /l
usage_screen corvane.exe && expect 1 "$out" '/?'
finish
