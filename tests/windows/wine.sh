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
CORVANE=(dlls)
expect 0 "kernel32.dll
msvcrt.dll
sfc.dll
" imported-dlls
CORVANE=(bound)
expect 0 "sfc.dll SfcGetNextProtectedFile
sfc.dll SfcIsFileProtected
" bound-at-load-time

. "$here/wine_prefix.sh"

# full STATUS OUTPUT PROGRAM ARGV0 [ARG...]: as expect, with PROGRAM started by
# the probe under element 0 ARGV0, and STATUS its whole exit code. The elements
# are joined with blanks, so none may hold one.
full() {
  local status=$1 output=$2 program=$3
  local saved=("${CORVANE[@]}")
  shift 3
  CORVANE=("$WINE" "$probe" run "$(winpath "$program")")
  expect 0 "${output}exit $status
" "$*"
  CORVANE=("${saved[@]}")
}

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
expect 2 "
*NotProtected: $F
*NotProtected: $T
*NotProtected: $F\\alpha.txt
*NotProtected: $F\\beta.txt
*NotProtected: $F\\caf$E9.txt
*NotProtected: $F\\sub
" "$F\\*"
expect 13 "
*FileNotFound: $F\\missing.txt
" "$F\\missing.txt"
# Without a backslash there is no prefix: each match is resolved against the
# current directory, which holds only beta.txt, whichever drive was searched.
expect 0 "
*FileNotFound: $CWD\\alpha.txt
*NotProtected: $CWD\\beta.txt
*FileNotFound: $CWD\\caf$E9.txt
" "Z:$tree/files/*a*"
expect 2 "
*FileNotFound: $CWD\\only-on-c.txt
*NotProtected: $CWD\\beta.txt
" C:only-on-c.txt C:beta.txt
expect 18 "

0 files displayed.
" /l

# The usage screen names what follows element 0's last backslash: Wine hands
# over a full DOS path, and '/' ends no directory prefix.
usage=$(usage_screen corvane.exe; printf x)
expect 1 "${usage%x}"
usage=$(usage_screen corvane; printf x)
full 1 "${usage%x}" "$own/corvane.exe" corvane -?
usage=$(usage_screen "Z:$own/corvane.exe"; printf x)
full 1 "${usage%x}" "$own/corvane.exe" "Z:$own/corvane.exe" /?

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

# query ANSWER STATUS OUTPUT ARG: query mode, the double answering ANSWER.
query() { SFC_DOUBLE_ANSWER=$1 full "$2" "$3" "$dbl/corvane.exe" corvane.exe "$4"; }
query 0 258 "
ProtectedFile: $L
" "$L"
query 2 2 "
*NotProtected: $K
" "$K"
# No prefix again: the match is not in the current directory, so its long
# path is not obtained.
query 0 0 "
*FileNotFound: $CWD\\kernel.dll
" "Z:$tree/sys/kernel.dll"
query 0 13 "
*FileNotFound: $S\\missing.dll
" "$S\\missing.dll"
# A failed query: the error report, with Wine's text for the code if it has
# one (FormatMessage's CR LF, written in text mode).
query 5 5 "

System error 5 has occurred.

Access denied.$CR

" "$K"
query 3000 3000 "

System error 3000 has occurred.


" "$K"
query 0x80000005 $((0x80000005)) "

System error -2147483643 has occurred.


" "$K"
# Codes 2100 to 2999 take their text from netmsg.dll, which Wine lacks.
cp "$probe" "$dbl/netmsg.dll"
query 2100 2100 "

System error 2100 has occurred.

Text of 2100 from the module.$CR

" "$K"

# List mode. An entry that fills the whole record without a terminator is cut
# to fit; a walk may end with code 0; a failure keeps the entries before it.
entry=$(printf 'e%.0s' $(seq 300))
SFC_DOUBLE_LIST="C:\\Windows\\notepad.exe|$entry|C:\\sfc.dll" expect 18 "
C:\\Windows\\notepad.exe
${entry:0:259}
C:\\sfc.dll

3 files displayed.
" /l
SFC_DOUBLE_LIST='C:\one.dll' SFC_DOUBLE_LIST_END=0 expect 0 "
C:\\one.dll

1 files displayed.
" -list
SFC_DOUBLE_LIST='C:\one.dll|C:\two.dll' SFC_DOUBLE_LIST_END=5 expect 5 "
C:\\one.dll
C:\\two.dll

System error 5 has occurred.

Access denied.$CR
" /l

finish
