#!/usr/bin/env bash
# corvane.exe stands alone: it imports only from the system's own DLLs, and
# binds the protection service when it loads (no lookup at run time).
#
#   imports.sh OBJDUMP CORVANE_EXE
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"

objdump=$1 exe=$2
table=$(mktemp)
trap 'rm -f "$table"' EXIT
if ! "$objdump" -p "$exe" >"$table"; then
  echo "FAIL: $objdump could not read $exe"
  exit 1
fi

# imports [DLL]: "dll function" for every import (of DLL only, when given).
imports() {
  sed -n '/^The Import Tables/,/^The /p' "$table" |
    awk -v only="${1:-}" '
      /DLL Name:/ { dll = tolower($3); next }
      /^\t[0-9a-f]+\t/ && dll != "" && (only == "" || dll == only) { print dll, $NF }' |
    sort
}
dlls() { imports | cut -d' ' -f1 | uniq; }

CORVANE=(dlls)
expect 0 "kernel32.dll
msvcrt.dll
sfc.dll
"

CORVANE=(imports sfc.dll)
expect 0 "sfc.dll SfcGetNextProtectedFile
sfc.dll SfcIsFileProtected
"

cases=$((cases + 1))
if imports | grep -q ' GetProcAddress$'; then
  failures=$((failures + 1))
  echo "FAIL: GetProcAddress is imported: something is bound at run time"
fi

finish
