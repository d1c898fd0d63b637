#!/usr/bin/env bash
# Hostile input for corvane.exe under Wine, where it differs from POSIX:
# names with characters above U+00FF (in matches, in arguments, in the
# protected list), arguments of 259 to 32,000 characters, and names Windows
# reserves. Output byte for byte (CR LF) with the whole exit code.
#
#   hostile_wine.sh CORVANE_EXE PROBE_EXE SFC_DOUBLE_DLL
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
exe=$(realpath "$1") probe=$(realpath "$2") sfc_double=$(realpath "$3")

. "$here/../windows/wine_prefix.sh"
repeat() { local text; printf -v text "%$2s" ""; printf '%s' "${text// /$1}"; }

# run STATUS OUTPUT ARG: as expect, the program started by the probe, so
# STATUS is the whole exit code. ARG holds no blank.
run() {
  local status=$1 output=$2
  shift 2
  local saved=("${CORVANE[@]}")
  CORVANE=("$WINE" "$probe" run "$(winpath "$program")")
  expect 0 "${output}exit $status
" "corvane.exe $*"
  CORVANE=("${saved[@]}")
}

dir=$scratch/files
mkdir -p "$dir" "$scratch/own" "$scratch/double"
cp "$exe" "$scratch/own/corvane.exe"
cp "$exe" "$scratch/double/corvane.exe"
cp "$sfc_double" "$scratch/double/sfc.dll"
touch "$dir/a.txt" "$dir/Ā.txt" "$dir/中.txt" "$dir/😀.txt" "$dir/b中c.txt"
F=$(winpath "$dir") S=$(winpath "$scratch")
program=$scratch/own/corvane.exe

# --- Matches whose names have characters above U+00FF: each line stops
# just before the first one, and the next line is whole again. Wine's
# service protects nothing; the double protects everything, and the status
# is the last long path's length in UTF-16 units (the emoji counts two).
run 2 "
*NotProtected: $F
*NotProtected: $S
*NotProtected: $F\\a.txt
*NotProtected: $F\\b
*NotProtected: $F\\
*NotProtected: $F\\
*NotProtected: $F\\
" "$F\\*"
program=$scratch/double/corvane.exe
export WINEDLLOVERRIDES=sfc=n
SFC_DOUBLE_ANSWER=0 run $((${#F} + 7)) "
ProtectedFile: $F
ProtectedFile: $S
ProtectedFile: $F\\a.txt
ProtectedFile: $F\\b
ProtectedFile: $F\\
ProtectedFile: $F\\
ProtectedFile: $F\\
" "$F\\*"

# The protected list: entries cut the same way, every one counted.
CORVANE=("$WINE" "$scratch/double/corvane.exe")
SFC_DOUBLE_LIST='C:\中\a.dll|C:\b.dll|C:\Ā|C:\😀' expect 18 "
C:\\
C:\\b.dll
C:\\
C:\\

4 files displayed.
" /l

# Arguments arrive as narrow text in the ANSI code page: a character it
# lacks arrives as '?' (a wildcard) or as a look-alike, so the answer is for
# every name that matches what arrived.
program=$scratch/own/corvane.exe
unset WINEDLLOVERRIDES
run 2 "
*NotProtected: $F\\a.txt
*NotProtected: $F\\
*NotProtected: $F\\
" "$F\\中.txt"
run 2 "
*NotProtected: $F\\a.txt
" "$F\\Ā.txt"

# --- Arguments of 259, 260, 261 and 32,000 characters. The full path buffer
# takes 259 characters and the terminator, so a 260-character path is found
# but its long path is not obtained; a longer argument is never searched. A
# command line cannot hold 100,000 characters on Windows.
for length in 259 260 261; do
  base=$scratch/L$length
  mkdir -p "$base"
  windows_base=$(winpath "$base")
  name=$(repeat f $((length - ${#windows_base} - 1)))
  touch "$base/$name"
  declare "arg$length=$windows_base\\$name"
done
run 2 "
*NotProtected: $arg259
" "$arg259"
run 0 "
*FileNotFound: 
" "$arg260"
run 13 "
*FileNotFound: ${arg261:0:260}
" "$arg261"
huge=$(repeat x 32000)
run 13 "
*FileNotFound: ${huge:0:260}
" "$huge"

# --- Names Windows reserves: devices, and the \\?\ prefix, which
# the full path keeps.
run 2 "
*NotProtected: \\\\.\\NUL
" NUL
run 13 "
*FileNotFound: \\\\?\\
" '\\?\'
run 2 "
*NotProtected: \\\\?\\$F\\a.txt
" "\\\\?\\$F\\a.txt"

# Output that cannot be written: the write failure's code (disk full 112,
# invalid handle 6), never the status of a full run.
for sink in '>/dev/full:112' '>&-:6'; do
  cases=$((cases + 1)) status=0
  eval '"$WINE" "$scratch/double/corvane.exe" /l '"${sink%%:*}" 2>/dev/null </dev/null || status=$?
  [ "$status" = "${sink##*:}" ] || { failures=$((failures + 1)); echo "FAIL: output ${sink%%:*}: status $status"; }
done

echo "hostile (Wine): $cases inputs, $failures failed"
[ "$failures" -eq 0 ]
