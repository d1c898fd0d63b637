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

# run STATUS ARG: full (tests/windows/wine_prefix.sh) with $program and $out.
run() { full "$1" "$out" "$program" corvane.exe "$2"; }

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
cut=("N $F" "N $S" "N $F\\a.txt" "N $F\\b" "N $F\\" "N $F\\" "N $F\\")
results "${cut[@]}" && run 2 "$F\\*"
program=$scratch/double/corvane.exe
export WINEDLLOVERRIDES=sfc=n
results "${cut[@]/#N/P}" && SFC_DOUBLE_ANSWER=0 run $((${#F} + 7)) "$F\\*"

# The protected list: entries cut the same way, every one counted.
CORVANE=("$WINE" "$scratch/double/corvane.exe")
listing 'C:\' 'C:\b.dll' 'C:\' 'C:\'
SFC_DOUBLE_LIST='C:\中\a.dll|C:\b.dll|C:\Ā|C:\😀' expect 18 "$out" /l

# Arguments arrive as narrow text in the ANSI code page: a character it
# lacks arrives as '?' (a wildcard) or as a look-alike, so the answer is for
# every name that matches what arrived.
program=$scratch/own/corvane.exe
unset WINEDLLOVERRIDES
results "N $F\\a.txt" "N $F\\" "N $F\\" && run 2 "$F\\中.txt"
results "N $F\\a.txt" && run 2 "$F\\Ā.txt"

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
results "N $arg259" && run 2 "$arg259"
results "F " && run 0 "$arg260"
results "F ${arg261:0:260}" && run 13 "$arg261"
huge=$(repeat x 32000)
results "F ${huge:0:260}" && run 13 "$huge"

# --- Names Windows reserves: devices, and the \\?\ prefix, which
# the full path keeps.
results 'N \\.\NUL' && run 2 NUL
results 'F \\?\' && run 13 '\\?\'
results "N \\\\?\\$F\\a.txt" && run 2 "\\\\?\\$F\\a.txt"

# Output that cannot be written: the write failure's code (disk full 112,
# invalid handle 6), never the status of a full run.
for sink in '>/dev/full:112' '>&-:6'; do
  cases=$((cases + 1)) status=0
  eval '"$WINE" "$scratch/double/corvane.exe" /l '"${sink%%:*}" 2>/dev/null </dev/null || status=$?
  [ "$status" = "${sink##*:}" ] || { failures=$((failures + 1)); echo "FAIL: output ${sink%%:*}: status $status"; }
done

echo "hostile (Wine): $cases inputs, $failures failed"
[ "$failures" -eq 0 ]
