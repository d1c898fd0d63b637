#!/usr/bin/env bash
# Corvane under Wine with test doubles for the protection service (sfc.dll)
# and the network message module (netmsg.dll) beside it: every run status of
# query mode, the error report for failing queries, and list mode's walks.
#
#   wine_test_double.sh CORVANE_EXE LAUNCH_EXE SFC_DOUBLE_DLL NETMSG_DOUBLE_DLL
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
. "$here/wine.sh"

bin=$scratch/bin
mkdir "$bin"
cp "$1" "$bin/corvane.exe"
cp "$3" "$bin/sfc.dll"
netmsg_double=$(realpath "$4")
PROGRAM=$bin/corvane.exe
LAUNCHER=$(realpath "$2")
CORVANE=("$WINE" "$PROGRAM")
CORVANE_EOL=crlf
CR=$'\r'
# The DLL beside the program, not Wine's own.
export WINEDLLOVERRIDES=sfc=n

# answer SCRIPT: what the double answers from now on (its directives are in
# sfc_double.cpp).
answer() { printf '%s\n' "$1" >"$bin/sfc_double.txt"; }

# query STATUS OUTPUT ARG...: query mode, compared with the whole exit code.
query() {
  local status=$1 output=$2
  shift 2
  expect_full "$status" "$output" corvane.exe "$@"
}

tree=$scratch/tree
mkdir -p "$tree/sys" "$tree/cwd" "$tree/codes" "$tree/mixed"
touch "$tree/sys/kernel.dll" "$tree/mixed/a.dll" "$tree/mixed/b.dll" "$tree/mixed/c.dll" \
  "$tree/mixed/d.dll"
for code in 2099 2100 2999 3000; do touch "$tree/codes/n$code.dll"; done
S=$(winpath "$tree/sys")
M=$(winpath "$tree/mixed")
C=$(winpath "$tree/codes")
CWD=$(winpath "$tree/cwd")
K=$S\\kernel.dll
cd "$tree/cwd" || exit 1

# --- query mode: one row per run status.

answer "protected $K"
query "${#K}" "
ProtectedFile: $K
" "$K"

answer ""
query 2 "
*NotProtected: $K
" "$K"

# The forward-slash path resolves against the current directory, where the
# file is not: its long path is not obtained.
answer "protected $K"
query 0 "
*FileNotFound: $CWD\\kernel.dll
" "Z:$tree/sys/kernel.dll"

query 13 "
*FileNotFound: $S\\missing.dll
" "$S\\missing.dll"

# A failed query: the error report with Wine's text for the code, if any.
answer "failing 5 $K"
query 5 "

System error 5 has occurred.

Access denied.$CR

" "$K"
answer "failing 3000 $K"
query 3000 "

System error 3000 has occurred.


" "$K"
# The top bit set: printed negative, exit code unchanged.
answer "failing 0x80000005 $K"
query $((0x80000005)) "

System error -2147483643 has occurred.


" "$K"

# A protected file's status is its long path's length, past 8 bits here.
long_name=$(printf 'x%.0s' $(seq $((258 - ${#S} - 1 - 4))))
touch "$tree/sys/$long_name.dll"
L=$S\\$long_name.dll
answer "protected $L"
query 258 "
ProtectedFile: $L
" "$L"

# Errors do not end the walk; each report shows its own message alone, and the
# status is the last match's.
answer "protected $M\\a.dll
failing 5 $M\\b.dll
failing 123 $M\\c.dll"
query 2 "
ProtectedFile: $M\\a.dll

System error 5 has occurred.

Access denied.$CR


System error 123 has occurred.

Invalid name.$CR

*NotProtected: $M\\d.dll
" "$M\\*.dll"
query 123 "
*NotProtected: $M\\d.dll

System error 123 has occurred.

Invalid name.$CR

" "$M\\d.dll" "$M\\c.dll"

# --- network message texts: only 2100 to 2999 come from netmsg.dll, and
# without that module (Wine has none) they have no text.

answer "failing 2099 $C\\n2099.dll
failing 2100 $C\\n2100.dll
failing 2999 $C\\n2999.dll
failing 3000 $C\\n3000.dll"
query 3000 "

System error 2099 has occurred.



System error 2100 has occurred.



System error 2999 has occurred.



System error 3000 has occurred.


" "$C\\n*"
cp "$netmsg_double" "$bin/netmsg.dll"
query 3000 "

System error 2099 has occurred.



System error 2100 has occurred.

Text of 2100 from the module.$CR


System error 2999 has occurred.

Text of 2999 from the module.$CR


System error 3000 has occurred.


" "$C\\n*"
rm "$bin/netmsg.dll"

# --- list mode

answer "entry C:\\Windows\\System32\\kernel32.dll
entry C:\\Windows\\System32\\sfc.dll
entry C:\\Windows\\notepad.exe"
expect 18 "
C:\\Windows\\System32\\kernel32.dll
C:\\Windows\\System32\\sfc.dll
C:\\Windows\\notepad.exe

3 files displayed.
" /l

# The walk ends with code 0: still a complete listing.
answer "entry C:\\one.dll
list-end 0"
expect 0 "
C:\\one.dll

1 files displayed.
" -list

# A failure keeps the entries already printed and has no count line.
answer "entry C:\\one.dll
entry C:\\two.dll
list-end 5"
expect 5 "
C:\\one.dll
C:\\two.dll

System error 5 has occurred.

Access denied.$CR
" /l
answer "list-end 0x80000005"
expect_full $((0x80000005)) "

System error -2147483643 has occurred.

" corvane.exe /l

# An entry that fills the whole record without a terminator is cut to fit.
entry=$(printf 'e%.0s' $(seq 300))
answer "entry $entry"
expect 18 "
${entry:0:259}

1 files displayed.
" /l

finish
