#!/usr/bin/env bash
# Corvane under Wine with Wine's own protection service, which protects
# nothing and whose list ends at once: results for real files and patterns,
# list mode and the usage screen, byte for byte with the exit status.
#
#   wine_own_service.sh CORVANE_EXE LAUNCH_EXE
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
. "$here/wine.sh"

mkdir "$scratch/bin"
cp "$1" "$scratch/bin/corvane.exe"
PROGRAM=$scratch/bin/corvane.exe
LAUNCHER=$(realpath "$2")
CORVANE=("$WINE" "$PROGRAM")
CORVANE_EOL=crlf
TAB=$'\t'

# usage NAME: sets USAGE to the usage screen with NAME in its syntax line.
usage() {
  USAGE="

Corvane [Version 1.00]

Queries the Windows protected file list.


The syntax of this command is:

$1 /list|filename [filename2 filename3 ...]

 /list|/l $TAB""Displays the complete list of system protected files,
 $TAB$TAB""All other parameters are ignored.

 If /l is not specified, one or more files can be queried individually.
 Separate multiple files with spaces; enclose paths containing spaces in quotes.

 An argument of /? or -? displays this syntax and returns 1.
 A successful completion will return 0.


Corvane is maintained by the Corvane project.
"
}

tree=$scratch/tree
mkdir -p "$tree/files/sub" "$tree/cwd" "$tree/names" "$tree/longdirectoryname" \
  "$tree/with space"
touch "$tree/files/alpha.txt" "$tree/files/beta.txt" "$tree/files/gamma.dll" \
  "$tree/cwd/beta.txt" "$tree/longdirectoryname/file.txt" "$tree/with space/a b.txt" \
  "$tree/names/café.txt" "$tree/names/xāy.txt" "$tree/names/zz.txt"
touch "$WINEPREFIX/drive_c/beta.txt" "$WINEPREFIX/drive_c/only-on-c.txt"
T=$(winpath "$tree")
F=$T\\files
N=$T\\names
CWD=$T\\cwd
E9=$'\xe9'
cd "$tree/cwd" || exit 1

# --- query mode: Wine answers "not protected" (2) for every file.

expect 2 "
*NotProtected: $F\\alpha.txt
" "$F\\alpha.txt"

# Every match in Wine's order (by name, case folded); "." and ".." are
# matches too, joined to the prefix like any name.
expect 2 "
*NotProtected: $F
*NotProtected: $T
*NotProtected: $F\\alpha.txt
*NotProtected: $F\\beta.txt
*NotProtected: $F\\gamma.dll
*NotProtected: $F\\sub
" "$F\\*"

# Wine reports a trailing "." or ".." under the directory's own name, so the
# joined path names nothing: the long path is not obtained, status 0.
expect 0 "
*FileNotFound: $F\\files
*FileNotFound: $F\\tree
" "$F\\." "$F\\.."

expect 13 "
*FileNotFound: $F\\missing.txt
" "$F\\missing.txt"
expect 13 "
*FileNotFound: 
" ""
# An argument that matches nothing leaves the status of the last match.
expect 2 "
*NotProtected: $F\\alpha.txt
*FileNotFound: $F\\missing*
" "$F\\alpha.txt" "$F\\missing*"

# No backslash, no prefix: names resolve against the current directory, which
# holds only beta.txt. That covers bare names, forward slashes and C:name.
expect 2 "
*NotProtected: $CWD\\beta.txt
" beta.txt
expect 0 "
*FileNotFound: $CWD\\alpha.txt
*NotProtected: $CWD\\beta.txt
*FileNotFound: $CWD\\gamma.dll
" "Z:$tree/files/*a*"
expect 2 "
*FileNotFound: $CWD\\only-on-c.txt
*NotProtected: $CWD\\beta.txt
" C:only-on-c.txt C:beta.txt

# The runtime's splitting keeps a quoted path with blanks whole.
expect 2 "
*NotProtected: $T\\with space\\a b.txt
" "$T\\with space\\a b.txt"

# A short (8.3) directory name comes out in its long form.
short=$(cd "$tree" && "$WINE" cmd /c dir /x 2>/dev/null | tr -d '\r' |
  awk '$NF == "longdirectoryname" { print $(NF - 1) }')
if [ -z "$short" ] || [ "$short" = "<DIR>" ]; then
  failures=$((failures + 1))
  echo "FAIL: Wine gave no short name for longdirectoryname"
else
  expect 2 "
*NotProtected: $T\\longdirectoryname\\file.txt
" "$T\\$short\\file.txt"
fi

# é (U+00E9) travels as the byte E9 through the argument and the output; ā
# (U+0101) cannot be narrowed, so its line stops there and the next is whole.
expect 2 "
*NotProtected: $N\\caf$E9.txt
*NotProtected: $N\\caf$E9.txt
*NotProtected: $N\\x
*NotProtected: $N\\zz.txt
" "$N\\café.txt" "$N\\*.txt"

# --- list mode: Wine's list ends at once with code 18.

expect 18 "

0 files displayed.
" /l

# --- usage screen: only the part after the last backslash of element 0.

# Wine hands element 0 over as a full DOS path.
usage corvane.exe
expect 1 "$USAGE"
expect_full 1 "$USAGE" "$(winpath "$PROGRAM")" -help
usage corvane
expect_full 1 "$USAGE" corvane
# Forward slashes do not end a directory prefix.
usage "Z:$PROGRAM"
expect_full 1 "$USAGE" "Z:$PROGRAM"

finish
