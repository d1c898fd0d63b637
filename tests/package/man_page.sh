#!/usr/bin/env bash
# The manual page passes mandoc's linter and lexgrog, renders through man(1) without a
# warning, and every Linux run under EXAMPLES gives the output and statuses it prints.
#   man_page.sh CORVANE_1 CORVANE
. "$(dirname "$0")/../e2e/lib.sh"
page=$(realpath "$1") program=$(realpath "$2")
export LC_ALL=C.UTF-8

lint=$(mandoc -T lint "$page" 2>&1) || fail "mandoc -T lint exited $?"
[ -z "$lint" ] || fail "mandoc -T lint: $lint"
lexgrog "$page" >/dev/null || fail "lexgrog found no whatis entry"
MANWIDTH=200 man --warnings -l "$page" 2>"$tmp/warnings" | col -bx >"$tmp/page.txt"
[ -s "$tmp/warnings" ] && fail "man -l: $(cat "$tmp/warnings")"
for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS' EXAMPLES FILES NOTES; do
  grep -q -x "$section" "$tmp/page.txt" || fail "no $section section"; done

# Each example block that starts with a "$ " prompt, without its indent, in a
# file of its own; a block ends at the next line indented less (prose).
awk -v dir="$tmp" '
  /^[^ ]/ { ex = $0 == "EXAMPLES"; indent = 0; next }
  ex && indent && $0 != "" && match($0, /^ */) && RLENGTH < indent { indent = 0 }
  ex && !indent && /^ +\$ / { indent = index($0, "$") - 1; blocks++ }
  ex && indent { print substr($0, indent + 1) > (dir "/example." blocks) }
' "$tmp/page.txt"

# The examples show a Debian system's answers, the count of listed files its own.
examples=0
if [ -f /var/lib/dpkg/info/coreutils.md5sums ]; then
  mkdir "$tmp/bin" "$tmp/cwd" && ln -s "$program" "$tmp/bin/corvane"
  count_free() { sed -E 's/^[0-9]+ files displayed\.$/N files displayed./'; }
  for block in "$tmp"/example.*; do
    [ -e "$block" ] || continue
    examples=$((examples + 1))
    want=$(grep -v '^\$ ' "$block" | count_free)
    got=$(cd "$tmp/cwd" && PATH="$tmp/bin:$PATH" LC_ALL=C bash -c "$(sed -n 's/^\$ //p' "$block")" 2>/dev/null | count_free)
    [ "$got" = "$want" ] || fail "example differs from the program's run:
$(diff <(printf '%s\n' "$want") <(printf '%s\n' "$got"))"
  done
  [ "$examples" -ge 3 ] || fail "only $examples Linux examples found under EXAMPLES"
fi
echo "$examples examples, $failures failed"
[ "$failures" -eq 0 ]
