#!/usr/bin/env bash
# The manual page passes mandoc's linter and lexgrog, renders through man(1)
# without a warning, and every Linux run it shows under EXAMPLES gives, with
# this build of the program, the output and statuses the page prints.
#
#   man_page.sh CORVANE_1 CORVANE
. "$(dirname "$0")/../e2e/lib.sh"
page=$(realpath "$1")
program=$(realpath "$2")
export LC_ALL=C.UTF-8

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

lint=$(mandoc -T lint "$page" 2>&1) || fail "mandoc -T lint exited $?"
[ -z "$lint" ] || fail "mandoc -T lint: $lint"
lexgrog "$page" >/dev/null || fail "lexgrog found no whatis entry"

MANWIDTH=200 man --warnings -l "$page" 2>"$tmp/warnings" | col -bx >"$tmp/page.txt"
[ -s "$tmp/warnings" ] && fail "man -l: $(cat "$tmp/warnings")"
for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS' EXAMPLES FILES NOTES; do
  grep -q -x "$section" "$tmp/page.txt" || fail "no $section section"
done

# Each example block that starts with a "$ " prompt becomes one file: its
# lines without the block's indent. A block ends at the next prose line.
awk -v dir="$tmp" '
  function close_block() {
    while (n > 0 && buf[n] == "") n--
    for (i = 1; i <= n; i++) print buf[i] > (dir "/example." blocks)
    close(dir "/example." blocks)
    n = 0; indent = 0
  }
  /^[^ ]/ { if (indent) close_block(); in_examples = ($0 == "EXAMPLES"); next }
  !in_examples { next }
  indent && ($0 == "" || match($0, /^ */) && RLENGTH >= indent) { buf[++n] = substr($0, indent + 1); next }
  indent { close_block() }
  /^ +\$ / { blocks++; indent = index($0, "$") - 1; buf[n = 1] = substr($0, indent + 1) }
  END { if (indent) close_block() }
' "$tmp/page.txt"

# The examples show a Debian system's answers: run them where there is one.
if [ ! -f /var/lib/dpkg/info/coreutils.md5sums ]; then
  echo "no dpkg database: examples not run; $failures failed"
  [ "$failures" -eq 0 ]
  exit
fi
mkdir "$tmp/bin" "$tmp/cwd"
ln -s "$program" "$tmp/bin/corvane"
# The count of listed files is this machine's own.
count_free() { sed -E 's/^[0-9]+ files displayed\.$/N files displayed./'; }
examples=0
for block in "$tmp"/example.*; do
  [ -e "$block" ] || continue
  examples=$((examples + 1))
  script=$(sed -n 's/^\$ //p' "$block")
  want=$(grep -v '^\$ ' "$block" | count_free)
  got=$(cd "$tmp/cwd" && PATH="$tmp/bin:$PATH" LC_ALL=C bash -c "$script" 2>/dev/null | count_free)
  [ "$got" = "$want" ] || fail "example differs from the program's run:
$(diff <(printf '%s\n' "$want") <(printf '%s\n' "$got"))"
done
[ "$examples" -ge 3 ] || fail "only $examples Linux examples found under EXAMPLES"

echo "$examples examples, $failures failed"
[ "$failures" -eq 0 ]
