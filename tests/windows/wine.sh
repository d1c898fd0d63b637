#!/usr/bin/env bash
# corvane.exe end to end: imports and resources, then under Wine with its own
# protection service and with a double, hostile input included. Prints "N cases, F failed".
#   wine.sh OBJDUMP WINDRES CORVANE_EXE PROBE_EXE SFC_DOUBLE_DLL
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
objdump=$1 windres=$2 exe=$(realpath "$3") probe=$(realpath "$4") sfc_double=$(realpath "$5")
CR=$'\r' E9=$'\xe9'

# --- Only the system's own DLLs, the protection service bound at load time,
# and res/corvane.rc's version record and two-image icon.
imports() {
  "$objdump" -p "$exe" | sed -n '/^The Import Tables/,/^The /p' |
    awk '/DLL Name:/ { dll = tolower($3); next } /^\t[0-9a-f]+\t/ && dll != "" { print dll, $NF }' | sort
}
CORVANE=(eval 'imports | sed -E "/^sfc\.dll |GetProcAddress$/!s/ .*//" | uniq')
expect 0 $'kernel32.dll\nmsvcrt.dll\nsfc.dll SfcGetNextProtectedFile\nsfc.dll SfcIsFileProtected\nshell32.dll\n'
CORVANE=(eval '"$windres" -i "$exe" -O rc | grep -E "Has|VERSION |Desc|VALUE \"(Comp|[ILOP])" | tr -s " \t" " "')
expect 0 ' 0, 1, 2, /* Has 2 elements. */
 FILEVERSION '"$CORVANE_VERSION_NUMBERS"'
 PRODUCTVERSION '"$CORVANE_VERSION_NUMBERS"'
 VALUE "CompanyName", "The Corvane project"
 VALUE "FileDescription", "Queries the Windows protected file list"
 VALUE "InternalName", "corvane.exe"
 VALUE "LegalCopyright", "Copyright (c) 2026 The Corvane project"
 VALUE "OriginalFilename", "corvane.exe"
 VALUE "ProductName", "Corvane"
 VALUE "ProductVersion", "'"$CORVANE_VERSION"'"
'
# Imports resolve from System32 alone: DependentLoadFlags (load config + 0x4E) is 0x800.
load_flags() {
  local at
  at=$("$objdump" -p "$exe" | awk '$1 == "ImageBase" { b = $2 } /Load Configuration/ { print b, $3 }')
  at=$((0x${at% *} + 0x${at#* } + 0x4e))
  "$objdump" -s --start-address=$at --stop-address=$((at + 2)) "$exe" | awk '/^ [0-9a-f]+ / { print $2 }'
}
CORVANE=(load_flags) && expect 0 $'0008\n'

. "$here/wine_prefix.sh"
# full STATUS OUTPUT ARGV0 [ARG...]: expect, $program run by probe.exe as ARGV0
# (no blanks in any element), STATUS its whole exit code.
full() {
  local status=$1 output=$2 CORVANE=("$WINE" "$probe" "$(winpath "$program")")
  expect 0 "${output}exit $status"$'\n' "${*:3}"
}
run() { full "$1" "$out" corvane.exe "$2"; }  # run STATUS ARG

# --- Wine's own service protects and lists nothing (a double in System32 would).
tree=$scratch/tree program=$scratch/bin/corvane.exe system32=$WINEPREFIX/drive_c/windows/system32
mkdir -p "$scratch/bin" "$tree/files/sub" "$tree/cwd" "$tree/wide" "$tree/sys"
cp "$exe" "$program" && cp "$sfc_double" "$system32/sfc.dll"
export WINEDLLOVERRIDES=sfc=b SFC_DOUBLE_ANSWER=0
touch "$tree/files/alpha.txt" "$tree/files/beta.txt" "$tree/files/café.txt" "$tree/cwd/beta.txt"
touch "$tree/wide/a.txt" "$tree/wide/Ā.txt" "$tree/wide/中.txt" "$tree/wide/😀.txt" "$tree/wide/b中c.txt"
T=$(winpath "$tree") CWD=$(winpath "$tree/cwd") F=$(winpath "$tree/files") W=$(winpath "$tree/wide")
cd "$tree/cwd" || exit 1
CORVANE=("$WINE" "$program")
# Every match in Wine's order, "." and ".." joined like any name; é as the byte E9.
results "N $F" "N $T" "N $F\\alpha.txt" "N $F\\beta.txt" "N $F\\caf$E9.txt" "N $F\\sub"
expect 2 "$out" "$F\\*"
results "F $F\\missing.txt" && expect 13 "$out" "$F\\missing.txt"
# Every line names the file found: '/' ends a directory as '\' does, "C:" is
# drive C's current directory (its root), "." and ".." are asked about as given.
touch "$WINEPREFIX/drive_c/beta.txt"
results "N $F\\alpha.txt" "N $F\\beta.txt" "N $F\\caf$E9.txt" "N C:\\beta.txt" "N $F\\sub" "N $CWD" "N $T"
expect 2 "$out" "Z:$tree/files/*a*" C:beta.txt "$F\\sub\\." . ..
listing && expect 18 "$out" /l
# Searched as typed, not as a wildcard; in code page 1252 a missing character is '?'.
results "N $W\\?.txt" && run 2 "$W\\中.txt"
# The code pages of Chinese (936) and Russian (1251) systems, from the locale Wine
# starts in: € is 0x80 in 1252 and 936, 0x88 in 1251 (widened as itself, U+0080).
mkdir -p "$tree/cp" "$scratch/locales" && touch "$tree/cp/中.txt" "$tree/cp/Жук.txt" "$tree/cp/zz€.dll"
C=$T\\cp
for locale in zh_CN ru_RU; do
  localedef -i "$locale" -f UTF-8 "$scratch/locales/$locale.UTF-8" 2>/dev/null
  verify "locale $locale made" [ -d "$scratch/locales/$locale.UTF-8" ]
done
# in_locale LOCALE STATUS RESULT...: the three names asked for in LOCALE.
in_locale() {
  local locale=$1 status=$2
  shift 2
  results "$@" && LOCPATH=$scratch/locales LC_ALL=$locale \
    full "$status" "$out" corvane.exe "$C\\中.txt" "$C\\Жук.txt" "$C\\zz€.dll"
}
in_locale C.UTF-8 2 "N $C\\?.txt" "N $C\\???.txt" "N $C\\zz"$'\x80'".dll"
in_locale zh_CN.UTF-8 2 "N $C\\"$'\xd6\xd0'".txt" "N $C\\"$'\xa7\xa8\xa7\xe5\xa7\xdc'".txt" \
  "N $C\\zz"$'\x80'".dll"
in_locale ru_RU.UTF-8 2 "N $C\\?.txt" "N $C\\"$'\xc6\xf3\xea'".txt" "N $C\\zz"$'\x88'".dll"
# A console (Wine on script's pseudo-terminal, cursor codes and CRs dropped) shows
# them all as they are; a drive of their own keeps lines within 80 columns.
on_console() {
  script -qec "$(printf '%q ' "$WINE" "$program" "$@")" /dev/null </dev/null |
    sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' | tr -d '\r'
  return "${PIPESTATUS[0]}"
}
CORVANE=(on_console) CORVANE_EOL=lf
touch "$tree/cp/café.txt" && ln -s "$tree/cp" "$WINEPREFIX/dosdevices/t:"
results 'N T:\中.txt' 'N T:\Жук.txt' 'N T:\zz€.dll' 'N T:\café.txt'
expect 2 "$out" 'T:\中.txt' 'T:\Жук.txt' 'T:\zz€.dll' 'T:\café.txt'
CORVANE=("$WINE" "$program") CORVANE_EOL=crlf
# A device name, and the \\?\ prefix, which the full path keeps.
results 'N \\.\NUL' && run 2 NUL
results 'F \\?\' && run 13 '\\?\'
results "N \\\\?\\$F\\alpha.txt" && run 2 "\\\\?\\$F\\alpha.txt"
# The usage screen names what follows element 0's last backslash; '/' ends none.
usage_screen corvane.exe && expect 1 "$out"
usage_screen "Z:$program" && full 1 "$out" "Z:$program" '/?'

# --- The double (sfc_double.cpp) in System32.
export WINEDLLOVERRIDES=sfc=n
S=$(winpath "$tree/sys") K=$(winpath "$tree/sys/kernel.dll") && touch "$tree/sys/kernel.dll"
# long_path LENGTH: a file in sys whose path has LENGTH characters.
long_path() { local p=$S\\$(repeat x $(($1 - ${#S} - 1))); touch "$tree/sys/${p##*\\}"; printf '%s' "$p"; }
query() { SFC_DOUBLE_ANSWER=$1 run "$2" "$3"; }  # query ANSWER STATUS ARG
# A protected file's status is its path's length; a path of 260 does not fit the
# full path buffer, so it is named as searched; a longer one is never searched.
path=$(long_path 259) && results "P $path" && query 0 259 "$path"
path=$(long_path 260) && results "F $path" && query 0 0 "$path"
path=$(long_path 261) && results "F ${path:0:260}" && query 0 13 "$path"
path=$(repeat x 32000) && results "F ${path:0:260}" && query 0 13 "$path"
# A long form too long for the buffer is not obtained; its short form is not asked.
dir=$(repeat d 120) name=$(repeat f 120)
mkdir "$tree/sys/$dir" && touch "$tree/sys/$dir/$name" && short=$("$WINE" winepath -s "$S\\$dir")
results "F $short\\$name" && query 0 0 "$short\\$name"
# A character 1252 lacks is '?' (Ā too: no look-alike); the status counts UTF-16 units.
results "P $W" "P $T" "P $W\\a.txt" "P $W\\b?c.txt" "P $W\\?.txt" "P $W\\?.txt" "P $W\\??.txt"
query 0 $((${#W} + 7)) "$W\\*"
# A failed query: the report with Wine's text, if any, and the whole code as the
# status; 2100 to 2999 take netmsg.dll's text, from System32 only.
report 5 "Access denied.$CR"$'\n\n' && query 5 5 "$K"
report -2147483643 $'\n' && query 0x80000005 $((0x80000005)) "$K"
cp "$probe" "$scratch/bin/netmsg.dll" && cp "$probe" "$tree/cwd/netmsg.dll"
report 2100 $'\n' && query 2100 2100 "$K"
cp "$probe" "$system32/netmsg.dll"
report 2100 "Text of 2100 from the module.$CR"$'\n\n' && query 2100 2100 "$K"
# An entry filling the record without a terminator is cut to fit.
entry=$(repeat e 300)
listing 'C:\Windows\notepad.exe' "${entry:0:259}" 'C:\?\a.dll' 'C:\sfc.dll'
SFC_DOUBLE_LIST="C:\\Windows\\notepad.exe|$entry|C:\\中\\a.dll|C:\\sfc.dll" expect 18 "$out" /l
# Unwritable output: the write failure's code; 6 for output closed (by cmd) or never given.
for args in /l "$K"; do
  CORVANE=(sh -c 'exec "$0" "$@" >/dev/full' "$WINE" "$program") && expect 112 "" "$args"
  CORVANE=("$WINE" cmd /c) && expect 6 "" "$(winpath "$program") $args 1>&-"
  PROBE_NO_OUTPUT=1 full 6 "" corvane.exe "$args"
done
# Once a write has failed nothing more is asked: 20,000 failing queries end at once.
mkdir "$tree/many" && (cd "$tree/many" && seq -f 'f%05g' 20000 | xargs touch)
status=$(SFC_DOUBLE_ANSWER=5 timeout 10 "$WINE" "$program" "$T\\many\\*" 2>/dev/null </dev/null |
  head -n 1 >/dev/null; echo "${PIPESTATUS[0]}")
verify "reader gone: status $status" [ "$status" = 233 ]
finish
