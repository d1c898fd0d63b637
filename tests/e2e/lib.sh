# Shared by the end-to-end scripts: run the built program, compare standard
# output byte for byte and the exit status.
#
# Set CORVANE to the command that starts the program (an array), and
# CORVANE_EOL to "crlf" where the program writes text-mode CR LF.
set -u
failures=0
cases=0

# expect STATUS EXPECTED_OUTPUT ARG...
# EXPECTED_OUTPUT is written with LF line ends; it is translated for CRLF
# platforms so one expectation serves both.
expect() {
  local want_status=$1 want_output=$2
  shift 2
  cases=$((cases + 1))
  local got_file want_file
  got_file=$(mktemp) want_file=$(mktemp)
  printf '%s' "$want_output" >"$want_file"
  if [ "${CORVANE_EOL:-lf}" = crlf ]; then
    sed -i 's/$/\r/' "$want_file"
    # sed adds CR before the final newline only where a newline exists; a
    # trailing fragment without one gets none, as the program writes it.
    [ -n "$want_output" ] && [ "${want_output: -1}" != $'\n' ] && truncate -s -1 "$want_file"
  fi
  local got_status=0
  "${CORVANE[@]}" "$@" >"$got_file" 2>/dev/null </dev/null || got_status=$?
  if [ "$got_status" != "$want_status" ] || ! cmp -s "$want_file" "$got_file"; then
    failures=$((failures + 1))
    echo "FAIL: $* (status $got_status, wanted $want_status)"
    diff <(od -c "$want_file") <(od -c "$got_file") | head -20
  fi
  rm -f "$got_file" "$want_file"
}

# The expected outputs below are left in $out, as command substitution would
# drop their final line break.

# results RESULT...: query mode's output. A RESULT is "P PATH", "N PATH" or
# "F PATH" for a ProtectedFile, *NotProtected or *FileNotFound line, or a
# line as it is.
results() {
  local r
  out=""
  for r; do
    case ${r:0:2} in
      'P ') out+=$'\n'"ProtectedFile: ${r:2}" ;;
      'N ') out+=$'\n'"*NotProtected: ${r:2}" ;;
      'F ') out+=$'\n'"*FileNotFound: ${r:2}" ;;
      *) out+=$'\n'"$r" ;;
    esac
  done
  out+=$'\n'
}
# listing ENTRY...: list mode's output when the walk ends normally.
listing() {
  out=""
  [ $# -eq 0 ] || printf -v out '\n%s' "$@"
  out+=$'\n\n'"$# files displayed."$'\n'
}
# report CODE [TEXT]: the error report's lines.
report() { out=$'\n\n'"System error $1 has occurred."$'\n\n'"${2:-}"; }
# usage_screen NAME: the usage screen with NAME in its syntax line (LF ends).
shopt -u patsub_replacement 2>/dev/null  # '&' in NAME is itself
usage_screen() {
  out=$(cat "$(dirname "${BASH_SOURCE[0]}")/../data/usage.txt"; printf x)
  out=${out%x}
  out=${out/@PROGRAM@/$1}
}

# fail WHAT: a failed check of a script's own.
fail() { failures=$((failures + 1)); echo "FAIL: $*"; }

finish() {
  echo "$cases cases, $failures failed"
  [ "$failures" -eq 0 ]
}
