# Sourced by the Wine scripts: a private Wine prefix, made without the Mono and
# Gecko installers and removed with its wineserver at exit. Sets WINE,
# WINEPREFIX, scratch (lib.sh's $tmp) and CORVANE_EOL.
WINE=${WINE:-/usr/lib/wine/wine64}
[ -x "$WINE" ] || WINE=$(command -v wine64)
[ -x "$WINE" ] || { echo "FAIL: wine64 was not found: install Debian's wine64 package or set WINE"; exit 1; }
wineserver=$(dirname "$WINE")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
# Names pass between Linux and Wine as UTF-8 whatever CI sets.
export WINEDEBUG=-all LC_ALL=C.UTF-8 WINEPREFIX=$(mktemp -d)
scratch=$tmp CORVANE_EOL=crlf
trap '[ -n "$wineserver" ] && "$wineserver" -k 2>/dev/null; rm -rf "$WINEPREFIX" "$scratch"' EXIT
# One wineserver for the whole script, killed by the trap: left to itself it exits a few
# seconds after each run, and a case's start would race its shutting down.
"$wineserver" -p
WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot --init </dev/null >"$scratch/boot.log" 2>&1 ||
  { echo "FAIL: wineboot could not make a Wine prefix:"; cat "$scratch/boot.log"; exit 1; }

# winpath PATH: the absolute Linux PATH as Wine's drive Z: shows it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
