#!/usr/bin/env bash
# Hostile input for the built native program, section by section: each run must
# end (no hang, signal or sanitizer report) with the right output and status.
# Prints "hostile: N inputs, C crashes, W wrong".   hostile.sh PATH_TO_CORVANE
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
program=$(realpath "$1")

inputs=0 crashes=0 wrong=0
run=("$program")

# check STATUS EXPECTED_FILE ARG...: one hostile input; STATUS "any" or "A|B",
# EXPECTED_FILE "-" for any output; nothing excuses a crash.
check() {
  local want_status=$1 want_file=$2 status=0
  shift 2
  inputs=$((inputs + 1))
  timeout 300 "${run[@]}" "$@" >"$tmp/out" 2>"$tmp/err" </dev/null || status=$?
  # 124 is a hang that timeout ended, 128 + N signal N; 223 and 255 are codes.
  if ((status >= 124 && status <= 192)) || grep -q -E 'Sanitizer|runtime error:' "$tmp/err"; then
    crashes=$((crashes + 1))
    echo "CRASH (status $status): ${*:0:3}" | cut -c1-200
    head -20 "$tmp/err"
  elif { [ "$want_status" != any ] && ! [[ $status =~ ^($want_status)$ ]]; } ||
    { [ "$want_file" != - ] && ! cmp -s "$want_file" "$tmp/out"; }; then
    wrong=$((wrong + 1))
    echo "FAIL (status $status, wanted $want_status): $(printf '%q ' "$@" | cut -c1-200)"
    [ "$want_file" = - ] || cmp "$want_file" "$tmp/out" | head -3
  fi
}
# query STATUS RESULT... -- ARG...: check against results RESULT... (lib.sh).
query() {
  local want_status=$1 out lines=()
  shift
  while [ "$1" != -- ]; do lines+=("$1"); shift; done
  results "${lines[@]}" && printf '%s' "$out" >"$tmp/want" && check "$want_status" "$tmp/want" "${@:2}"
}
# make_file PATH: creates it and its directories. path_of_length PREFIX LENGTH:
# a path of exactly LENGTH bytes starting with PREFIX, components of <= 200 bytes.
make_file() { mkdir -p "$(dirname "$1")" && : >"$1"; }
path_of_length() {
  local path=$1 length=$2 room
  while [ $((length - ${#path})) -gt 201 ]; do path+=/$(repeat d 200); done
  room=$((length - ${#path} - 1))
  printf '%s' "$path/$(repeat f "$room")"
}

# --- Arguments of max - 1 (fits with its terminator), max (fits the input
# buffer; the kernel takes no path that long), max + 1 and 100,000 bytes (never
# searched), max being PATH_MAX.
max=4096
path_fits=$(path_of_length "$tmp/fits" $((max - 1))) && make_file "$path_fits"
path_full=$(path_of_length "$tmp/full" "$max")
mkdir -p "$(dirname "$path_full")" && (cd "$(dirname "$path_full")" && : >"${path_full##*/}")
path_long=$(path_of_length "$tmp/long" $((max + 1)))
query 2 "N $path_fits" -- "$path_fits"
query 13 "F $path_full" -- "$path_full"
query 13 "F ${path_long:0:max}" -- "$path_long"
huge=$tmp/$(repeat h 100000)
query 13 "F ${huge:0:max}" -- "$huge"
# A short name in a deep directory whose full path does not fit: named as searched.
run=(env -C "$(dirname "$path_full")" "$program")
query 0 "F $(basename "$path_full")" -- "$(basename "$path_full")"
# A working directory that has been removed has no full path at all.
run=(sh -c 'mkdir "$1" && cd "$1" && rmdir "$1" && shift && exec "$@"' sh "$tmp/gone" "$program")
query 0 "F ." -- .
run=("$program")

# --- Every byte but NUL and '/' in a name: each alone in a directory of its
# own (so '*' and '?' match only themselves), and all in one.
names=() all=""
for byte in $(seq 1 255); do
  [ "$byte" -eq 47 ] && continue
  printf -v char "\\x$(printf %02x "$byte")"
  all+=$char
  names+=("$tmp/bytes/$byte/x${char}y")
  make_file "${names[-1]}"
done
make_file "$tmp/all/$all"
query 2 "${names[@]/#/N }" -- "${names[@]}"
query 2 "N $tmp/all/$all" -- "$tmp/all/$all"

# --- Empty arguments match nothing and leave the status as it was.
query 2 "N $path_fits" "F " -- "$path_fits" ""
mapfile -t empties < <(yes "" | head -n 5000)
query 13 "${empties[@]/#/F }" -- "${empties[@]}"

# --- Patterns of wildcards alone, relative and absolute. lines DIR REGEX puts in
# $tmp/want the lines for DIR's names matching REGEX, in directory order.
mkdir "$tmp/w" && touch "$tmp/w/a" "$tmp/w/bb" "$tmp/w/ccc"
lines() {
  (cd "$1" && ls -f) | grep -x -E -- "$2" | awk -v dir="$1" '
    BEGIN { parent = dir; sub(/\/[^\/]*$/, "", parent) }
    { printf "\n*NotProtected: %s", $0 == "." ? dir : $0 == ".." ? parent : dir "/" $0 }
    END { printf "\n" }' >"$tmp/want"
}
run=(env -C "$tmp/w" "$program")
for pattern in '*' '**' '*?*' "$(repeat '*' $((max - 1)))" "$(repeat '*' "$max")" "$tmp/w/*"; do
  lines "$tmp/w" '.+' && check 2 "$tmp/want" "$pattern"
done
query 13 "F $(repeat '?' "$max")" -- "$(repeat '?' $((max + 40)))"
run=("$program")

# --- '*' over a directory of 100,000 entries, in directory order.
mkdir "$tmp/big" && (cd "$tmp/big" && seq -f 'entry%06g' 1 100000 | xargs touch)
lines "$tmp/big" '.+' && check 2 "$tmp/want" "$tmp/big/*"

# --- An unreadable directory's names match nothing, itself is there; an
# unsearchable one's names have no long path (0). Root runs these as nobody.
mkdir "$tmp/locked" "$tmp/unsearchable" && touch "$tmp/locked/file" "$tmp/unsearchable/file"
chmod 000 "$tmp/locked" && chmod 644 "$tmp/unsearchable"
if [ "$(id -u)" -eq 0 ]; then
  cp "$program" "$tmp/corvane" && chmod 755 "$tmp/corvane"
  run=(setpriv --reuid=65534 --regid=65534 --clear-groups -- "$tmp/corvane")
fi
if "${run[@]}" /nonexistent >/dev/null 2>&1 || [ $? -lt 126 ]; then
  query 13 "F $tmp/locked/*" -- "$tmp/locked/*"
  query 13 "F $tmp/locked/file" -- "$tmp/locked/file"
  query 2 "N $tmp/locked" -- "$tmp/locked"
  query 0 "F $tmp/unsearchable/file" -- "$tmp/unsearchable/f*"
else
  echo "skipped: the unreadable directory (no unprivileged user to run as)"
fi

# --- The usage screen names element 0 after its last '/' within max bytes.
for zero in "$(repeat n 100000)" "$all"; do
  usage_screen "${zero:0:max}" && printf '%s' "$out" >"$tmp/want"
  run=(bash -c 'exec -a "$0" "$@"' "$zero" "$program") && check 1 "$tmp/want" '/?'
done

# --- Output full (112), closed (6) or whose reader has gone (109): the run ends
# with the write failure's code.
run=(sh -c 'exec "$0" "$@" >/dev/full' "$program")
check 112 - /l
check 112 - "$tmp/w/*"
run=(sh -c 'exec "$0" "$@" >&-' "$program")
check 6 - /l "$tmp/w/*"
run=(bash -c '"$0" "$@" | head -c 1 >/dev/null; exit "${PIPESTATUS[0]}"' "$program")
check 109 - /l

# --- in_db SETUP ARG...: in a private mount namespace with a dpkg database
# recording $rec, runs SETUP (which may change "$@"), then ARG... within 1 s.
rec=$tmp/rec && : >"$rec"
in_db=(unshare -m sh -c 'mount -t tmpfs none /var/lib/dpkg && cd /var/lib/dpkg && mkdir info &&
  printf "%032d  %s\n" 0 "${1#/}" >info/p.md5sums && setup=$2 && shift 2 && eval "$setup" &&
  exec timeout 1 "$@"' sh "$rec")
if "${in_db[@]}" : true 2>/dev/null; then
  # Diversions or a list not a regular file, a database or list nobody may read: 5;
  # a record cut short: 1392 (255); none or whole records: protected (L); too few
  # descriptors: 4; every mode runs on a 32 KiB stack (not a sanitizer's); a write
  # past the file-size limit: 223, not a signal. No ARGUMENT asks about $rec.
  grep -q -a __asan_init "$program" && skip='*ulimit -[ns]*' || skip=none
  while IFS='|' read -r status setup argument; do
    [[ $setup == $skip ]] && continue
    run=("${in_db[@]}" "$setup" "$tmp/corvane") && check "${status/L/${#rec}}" - "${argument:-$rec}"
  done <<EOF
5|ln -s /dev/zero diversions
5|ln -s /dev/null diversions
5|mkfifo diversions
5|mkfifo diversions && exec 3<>diversions && echo x >&3
5|python3 -c 'import socket; socket.socket(socket.AF_UNIX).bind("diversions")'
5|mkdir diversions
5|ln -s /dev/zero info/q.md5sums
5|chmod 600 . && set -- setpriv --reuid=65534 --regid=65534 --clear-groups -- "\$@"
5|chmod 0 info/p.md5sums && set -- setpriv --reuid=65534 --regid=65534 --clear-groups -- "\$@"
255|printf '/a\n/b\n' >diversions
255|printf '/a\n/b\np\n/c\n' >diversions
255|printf '/a\n/b\np' >diversions
L|:
L|printf '/a\n/b\np\n' >diversions
4|exec 3>&- && ulimit -n 4|$rec
4|exec 3>&- && ulimit -n 4|/l
1|ulimit -s 32|-?
L|ulimit -s 32|$rec
18|ulimit -s 32|/l
2|ulimit -s 32|$tmp/w/*
223|ulimit -f 0|$rec
EOF
  # Non-blocking output waits for room and is written whole; once its reader
  # has gone the work stops (20 x 100,000 entries would take seconds).
  mkdir "$tmp/long" && (cd "$tmp/long" && seq -f "$(repeat n 200)%g" 1500 | xargs touch)
  lines "$tmp/long" '.+'
  run=("${in_db[@]}" : bash -c '{ dd oflag=nonblock count=0 status=none && exec "$0" "$@"; } |
    { sleep 0.2 && cat; }; exit "${PIPESTATUS[0]}"' "$tmp/corvane")
  check 2 "$tmp/want" "$tmp/long/*"
  run=("${in_db[@]}" : bash -c '"$0" "$@" | head -c 1 >/dev/null; exit "${PIPESTATUS[0]}"' "$tmp/corvane")
  mapfile -t patterns < <(yes "$tmp/big/*" | head -n 20)
  check 109 - "${patterns[@]}"
else
  echo "skipped: hostile databases and limits (no private mount namespace)"
fi

# --- 16 and 8 MiB of address space (too little for a sanitizer): the usage
# screen, and an answer or error 8 (no memory), never a signal.
if ! grep -q -a __asan_init "$program"; then
  usage_screen "$(basename "$program")" && printf '%s' "$out" >"$tmp/want"
  for kib in 16384 8192; do
    run=(bash -c 'ulimit -v "$0" && exec "$@"' "$kib" "$program")
    check 1 "$tmp/want" '/?'
    check '2|8' - /bin/ls "$tmp/w/*"
    check '18|8' - /l
  done
fi

echo "hostile: $inputs inputs, $crashes crashes, $wrong wrong"
[ "$crashes" -eq 0 ] && [ "$wrong" -eq 0 ]
