# Sourced by the Wine scripts: a private Wine prefix for one run, made up
# front without the Mono and Gecko installers, removed with its wineserver
# when the run ends. Sets WINE, WINEPREFIX, scratch (a temporary directory)
# and CORVANE_EOL, and defines winpath.
WINE=${WINE:-}
for candidate in /usr/lib/wine/wine64 "$(command -v wine64)"; do
  [ -z "$WINE" ] && [ -x "$candidate" ] && WINE=$candidate
done
if [ ! -x "$WINE" ]; then
  echo "FAIL: wine64 was not found: install Debian's wine64 package or set WINE"
  exit 1
fi
wineserver=$(dirname "$WINE")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
# Names pass between Linux and Wine as UTF-8 whatever CI sets.
export WINEDEBUG=-all LC_ALL=C.UTF-8
WINEPREFIX=$(mktemp -d) scratch=$(mktemp -d)
export WINEPREFIX
trap '[ -n "$wineserver" ] && "$wineserver" -k 2>/dev/null; rm -rf "$WINEPREFIX" "$scratch"' EXIT
if ! WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot --init </dev/null >"$scratch/boot.log" 2>&1; then
  echo "FAIL: wineboot could not make a Wine prefix:"
  cat "$scratch/boot.log"
  exit 1
fi
CORVANE_EOL=crlf

# winpath PATH: the absolute Linux PATH as Wine's drive Z: shows it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }


# full STATUS OUTPUT PROGRAM ARGV0 [ARG...]: as expect, with PROGRAM started by
# $probe under element 0 ARGV0, and STATUS its whole exit code (Wine hands
# Linux only the low 8 bits). The elements are joined with blanks, so none
# may hold one.
full() {
  local status=$1 output=$2 program=$3
  local saved=("${CORVANE[@]}")
  shift 3
  CORVANE=("$WINE" "$probe" run "$(winpath "$program")")
  expect 0 "${output}exit $status"$'\n' "$*"
  CORVANE=("${saved[@]}")
}
