# Shared by the Wine scripts, sourced after tests/e2e/lib.sh: a private Wine
# prefix for the whole script run, Windows spellings of Linux paths, and
# cases that need the whole 32-bit exit code or a chosen element 0.
#
# Set LAUNCHER (launch.exe) and PROGRAM (the Linux path of the .exe that
# expect_full starts) before using expect_full.

if [ -z "${WINE:-}" ]; then
  for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
      WINE=$candidate
      break
    fi
  done
fi
if [ -z "${WINE:-}" ] || [ ! -x "$WINE" ]; then
  echo "FAIL: wine64 was not found: install Debian's wine64 package or set WINE" >&2
  exit 1
fi
WINESERVER=$(dirname "$WINE")/wineserver
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver || true)

export WINEDEBUG=-all
# Filenames and arguments pass between Linux and Wine as UTF-8 whatever CI sets.
export LC_ALL=C.UTF-8
WINEPREFIX=$(mktemp -d)
export WINEPREFIX
scratch=$(mktemp -d)
status_file=$scratch/status

wine_cleanup() {
  # Only this run's prefix: its server and whatever it still runs.
  [ -n "$WINESERVER" ] && "$WINESERVER" -k 2>/dev/null
  rm -rf "$WINEPREFIX" "$scratch"
}
trap wine_cleanup EXIT

# Make the prefix now, without the Mono and Gecko installers, so the first case
# is timed like every other.
if ! WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot --init >"$scratch/wineboot.log" 2>&1; then
  echo "FAIL: wineboot could not make a Wine prefix in $WINEPREFIX:" >&2
  cat "$scratch/wineboot.log" >&2
  exit 1
fi

# winpath PATH: the absolute Linux PATH as Wine's drive Z: shows it.
winpath() {
  local path=$1
  printf 'Z:%s' "${path//\//\\}"
}

launched() {
  "$WINE" "$LAUNCHER" "$(winpath "$status_file")" "$(winpath "$PROGRAM")" "$@" || true
}

# expect_full STATUS OUTPUT ARGV0 ARG...
# As expect, with the program started by the launcher under ARGV0 as its
# element 0, and STATUS its whole exit code in unsigned decimal.
expect_full() {
  local want_status=$1 want_output=$2 before=$failures
  shift 2
  local saved=("${CORVANE[@]}")
  rm -f "$status_file"
  CORVANE=(launched)
  expect 0 "$want_output" "$@"
  CORVANE=("${saved[@]}")
  local got_status
  got_status=$(cat "$status_file" 2>/dev/null) || got_status=none
  if [ "$got_status" != "$want_status" ]; then
    [ "$failures" -eq "$before" ] && failures=$((failures + 1))
    echo "FAIL: $* (whole exit code $got_status, wanted $want_status)"
  fi
}
