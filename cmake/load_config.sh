#!/usr/bin/env bash
# Points a linked PE32+ image's load configuration directory at the
# structure in its .lcfg section, whose first four bytes are its size. GNU ld
# 2.40 (Debian 12's mingw-w64) leaves that directory empty whatever the
# program defines, and then the loader never reads the structure.
#   load_config.sh OBJDUMP IMAGE
set -euo pipefail
objdump=$1 image=$2

read -r vma offset < <("$objdump" -h "$image" | awk '$2 == ".lcfg" { print $4, $6 }')
[ -n "${offset:-}" ] || { echo "load_config.sh: $image has no .lcfg section" >&2; exit 1; }
base=$("$objdump" -p "$image" | awk '$1 == "ImageBase" { print $2 }')
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
rva=$((0x$vma - 0x$base)) size=$(u32 "$image" $((0x$offset)))
# The optional header follows the 4-byte signature and the 20-byte file
# header at the offset the DOS header keeps at 0x3C.
header=$(($(u32 "$image" 60) + 24))
le32() { printf '\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24)); }
put() { printf "$2" | dd of="$image" bs=1 seek="$1" conv=notrunc status=none; }
# Entry 10 of the data directories, which begin 112 bytes into it.
put $((header + 112 + 10 * 8)) "$(le32 "$rva")$(le32 "$size")"
# The checksum at 64 no longer matches: 0 says there is none, as a program
# may (only drivers and boot files must have one).
put $((header + 64)) "$(le32 0)"
