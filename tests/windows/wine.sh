#!/usr/bin/env bash
# corvane.exe end to end: its import table, then under Wine its version record
# and icon, query and list mode with Wine's own protection service and with a
# double for it, and the usage screen; output byte for byte (CR LF) with the
# exit status.
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
mkdir -p "$own" "$tree/files/sub" "$tree/cwd"
cp "$exe" "$own/corvane.exe"
touch "$tree/files/alpha.txt" "$tree/files/beta.txt" "$tree/files/café.txt" "$tree/cwd/beta.txt" \
  "$WINEPREFIX/drive_c/beta.txt" "$WINEPREFIX/drive_c/only-on-c.txt"
T=$(winpath "$tree") CWD=$(winpath "$tree/cwd")
F=$T\\files
cd "$tree/cwd" || exit 1
CORVANE=("$WINE" "$own/corvane.exe")

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
CORVANE=("$WINE" "$dbl/corvane.exe")
S=$(winpath "$tree/sys")
# A protected file's status is its long path's length: 258 here, past 8 bits.
name=$(printf 'x%.0s' $(seq $((258 - ${#S} - 5))))
touch "$tree/sys/$name.dll" "$tree/sys/kernel.dll"
L=$S\\$name.dll K=$S\\kernel.dll

# query ANSWER STATUS ARG: query mode, the double answering ANSWER, with $out
# as the expected output.
query() { SFC_DOUBLE_ANSWER=$1 full "$2" "$out" "$dbl/corvane.exe" corvane.exe "$3"; }
results "P $L" && query 0 258 "$L"
results "N $K" && query 2 2 "$K"
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
# to fit; a walk may end with code 0; a failure keeps the entries before it.
entry=$(printf 'e%.0s' $(seq 300))
listing 'C:\Windows\notepad.exe' "${entry:0:259}" 'C:\sfc.dll'
SFC_DOUBLE_LIST="C:\\Windows\\notepad.exe|$entry|C:\\sfc.dll" expect 18 "$out" /l
listing 'C:\one.dll'
SFC_DOUBLE_LIST='C:\one.dll' SFC_DOUBLE_LIST_END=0 expect 0 "$out" -list
report 5 "Access denied.$CR"$'\n'
SFC_DOUBLE_LIST='C:\one.dll|C:\two.dll' SFC_DOUBLE_LIST_END=5 expect 5 $'\nC:\\one.dll\nC:\\two.dll'"$out" /l

finish
