#!/usr/bin/env bash
# corvane.exe end to end: its import table, then under Wine its version record
# and icon, query and list mode with Wine's own protection service and with a
# double for it, the usage screen, and hostile input where Windows differs
# from POSIX (characters above U+00FF, arguments of 259 to 32,000 characters,
# names Windows reserves, output that cannot be written); output byte for
# byte (CR LF) with the exit status. Prints "N cases, F failed".
#
#   wine.sh OBJDUMP CORVANE_EXE PROBE_EXE SFC_DOUBLE_DLL
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
objdump=$1 exe=$(realpath "$2") probe=$(realpath "$3") sfc_double=$(realpath "$4")
CR=$'\r' E9=$'\xe9'

# --- Only the system's own DLLs, the protection service bound when the
# program loads: nothing is looked up at run time.
imports() {
  "$objdump" -p "$exe" | sed -n '/^The Import Tables/,/^The /p' |
    awk '/DLL Name:/ { dll = tolower($3); next }
         /^\t[0-9a-f]+\t/ && dll != "" { print dll, $NF }' | sort
}
dlls() { imports | cut -d' ' -f1 | uniq; }
bound() { imports | grep -E '^sfc\.dll | GetProcAddress$'; }
CORVANE=(dlls) && expect 0 $'kernel32.dll\nmsvcrt.dll\nsfc.dll\n' imported-dlls
CORVANE=(bound) && expect 0 $'sfc.dll SfcGetNextProtectedFile\nsfc.dll SfcIsFileProtected\n' bound

. "$here/wine_prefix.sh"
repeat() { local text; printf -v text "%$2s" ""; printf '%s' "${text// /$1}"; }
# run STATUS ARG: full (wine_prefix.sh) with $program and $out.
run() { full "$1" "$out" "$program" corvane.exe "$2"; }

# --- The version record and the icon, as Windows reads them back.
CORVANE=("$WINE" "$probe")
expect 0 "file 1.0.0.0, product 1.0.0.0, type 1, translation 0409 04B0
ProductName: Corvane
ProductVersion: 1.00
FileVersion: 1.00
FileDescription: Queries the Windows protected file list
Comments: Queries the Windows protected file list
icon groups 1; group 101 has 2 images
image 16x16, 4 bits per pixel, size agrees, loads
image 32x32, 4 bits per pixel, size agrees, loads
" resources "$(winpath "$exe")"

# --- Wine's own service: every file is not protected (2), the list is empty.
own=$scratch/own tree=$scratch/tree
mkdir -p "$own" "$tree/files/sub" "$tree/cwd" "$tree/wide"
cp "$exe" "$own/corvane.exe"
touch "$tree/files/alpha.txt" "$tree/files/beta.txt" "$tree/files/café.txt" "$tree/cwd/beta.txt" \
  "$WINEPREFIX/drive_c/beta.txt" "$WINEPREFIX/drive_c/only-on-c.txt"
touch "$tree/wide/a.txt" "$tree/wide/Ā.txt" "$tree/wide/中.txt" "$tree/wide/😀.txt" "$tree/wide/b中c.txt"
T=$(winpath "$tree") CWD=$(winpath "$tree/cwd")
F=$T\\files W=$T\\wide
cd "$tree/cwd" || exit 1
program=$own/corvane.exe
CORVANE=("$WINE" "$program")

# Every match in Wine's order, "." and ".." joined to the prefix like any
# name; é reaches the output as the byte E9.
results "N $F" "N $T" "N $F\\alpha.txt" "N $F\\beta.txt" "N $F\\caf$E9.txt" "N $F\\sub"
expect 2 "$out" "$F\\*"
results "F $F\\missing.txt" && expect 13 "$out" "$F\\missing.txt"
# Without a backslash there is no prefix: each match is resolved against the
# current directory, which holds only beta.txt, whichever drive was searched.
results "F $CWD\\alpha.txt" "N $CWD\\beta.txt" "F $CWD\\caf$E9.txt"
expect 0 "$out" "Z:$tree/files/*a*"
results "F $CWD\\only-on-c.txt" "N $CWD\\beta.txt" && expect 2 "$out" C:only-on-c.txt C:beta.txt
listing && expect 18 "$out" /l
# Arguments arrive as narrow text in the ANSI code page: a character it
# lacks arrives as '?', a wildcard, so the answer is for every name that
# matches what arrived.
results "N $W\\a.txt" "N $W\\" "N $W\\" && run 2 "$W\\中.txt"
# Names Windows reserves: a device, and the \\?\ prefix, which the full path keeps.
results 'N \\.\NUL' && run 2 NUL
results 'F \\?\' && run 13 '\\?\'
results "N \\\\?\\$F\\alpha.txt" && run 2 "\\\\?\\$F\\alpha.txt"

# The usage screen names what follows element 0's last backslash: Wine hands
# over a full DOS path, and '/' ends no directory prefix.
usage_screen corvane.exe && expect 1 "$out"
usage_screen corvane && full 1 "$out" "$own/corvane.exe" corvane -?
usage_screen "Z:$own/corvane.exe" && full 1 "$out" "$own/corvane.exe" "Z:$own/corvane.exe" /?

# --- The double beside the program (see sfc_double.cpp), not Wine's own.
dbl=$scratch/double
mkdir "$dbl" "$tree/sys"
cp "$exe" "$dbl/corvane.exe"
cp "$sfc_double" "$dbl/sfc.dll"
export WINEDLLOVERRIDES=sfc=n
program=$dbl/corvane.exe
CORVANE=("$WINE" "$program")
S=$(winpath "$tree/sys")
touch "$tree/sys/kernel.dll"
K=$S\\kernel.dll
# long_path LENGTH: a file in sys whose path has LENGTH characters.
long_path() { local p=$S\\$(repeat x $(($1 - ${#S} - 1))); touch "$tree/sys/${p##*\\}"; printf '%s' "$p"; }

# query ANSWER STATUS ARG: query mode, the double answering ANSWER, with $out
# as the expected output.
query() { SFC_DOUBLE_ANSWER=$1 run "$2" "$3"; }
# A protected file's status is its long path's length, past 8 bits here. The
# full path buffer takes 259 characters and the terminator, so a path of 260
# is found but its long path is not obtained; a longer argument is never
# searched.
path=$(long_path 259) && results "P $path" && query 0 259 "$path"
results "F " && query 0 0 "$(long_path 260)"
path=$(long_path 261) && results "F ${path:0:260}" && query 0 13 "$path"
path=$(repeat x 32000) && results "F ${path:0:260}" && query 0 13 "$path"
results "N $K" && query 2 2 "$K"
# Each line stops just before the first character above U+00FF and the
# next is whole again; the status is the last long path's length in UTF-16
# units, the emoji counting two.
results "P $W" "P $T" "P $W\\a.txt" "P $W\\b" "P $W\\" "P $W\\" "P $W\\"
query 0 $((${#W} + 7)) "$W\\*"
# No prefix again: the match is not in the current directory, so its long
# path is not obtained.
results "F $CWD\\kernel.dll" && query 0 0 "Z:$tree/sys/kernel.dll"
results "F $S\\missing.dll" && query 0 13 "$S\\missing.dll"
# A failed query: the error report, with Wine's text for the code if it has
# one (FormatMessage's CR LF, written in text mode), then the lone line break.
report 5 "Access denied.$CR"$'\n\n' && query 5 5 "$K"
report 3000 $'\n' && query 3000 3000 "$K"
report -2147483643 $'\n' && query 0x80000005 $((0x80000005)) "$K"
# Codes 2100 to 2999 take their text from netmsg.dll, which Wine lacks.
cp "$probe" "$dbl/netmsg.dll"
report 2100 "Text of 2100 from the module.$CR"$'\n\n' && query 2100 2100 "$K"

# List mode. An entry that fills the whole record without a terminator is cut
# to fit, one with a character above U+00FF just before it, and every one is
# counted; a walk may end with code 0; a failure keeps the entries before it.
entry=$(repeat e 300)
listing 'C:\Windows\notepad.exe' "${entry:0:259}" 'C:\' 'C:\sfc.dll'
SFC_DOUBLE_LIST="C:\\Windows\\notepad.exe|$entry|C:\\中\\a.dll|C:\\sfc.dll" expect 18 "$out" /l
listing 'C:\one.dll'
SFC_DOUBLE_LIST='C:\one.dll' SFC_DOUBLE_LIST_END=0 expect 0 "$out" -list
report 5 "Access denied.$CR"$'\n'
SFC_DOUBLE_LIST='C:\one.dll|C:\two.dll' SFC_DOUBLE_LIST_END=5 expect 5 $'\nC:\\one.dll\nC:\\two.dll'"$out" /l
# Output that cannot be written: the write failure's code (disk full 112,
# invalid handle 6), never the status of a full run.
for sink in '>/dev/full:112' '>&-:6'; do
  cases=$((cases + 1)) status=0
  eval '"$WINE" "$program" /l '"${sink%%:*}" 2>/dev/null </dev/null || status=$?
  [ "$status" = "${sink##*:}" ] || fail "output ${sink%%:*}: status $status"
done

finish
