#!/usr/bin/env bash
# Builds the fuzz targets (`fuzz` preset) and runs each for SECONDS (30) from a copy of
# fuzz/corpus/TARGET, printing "TARGET: N runs, C crashes" (sanitizer reports, leaks,
# timeouts, out of memory too; inputs kept in build/fuzz/runs/TARGET/).   fuzz/run.sh [SECONDS]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30} failed=0
mkdir -p build
{ cmake --preset fuzz && cmake --build --preset fuzz -j "$(nproc)"; } >build/fuzz-build.log 2>&1 ||
  { tail -40 build/fuzz-build.log; exit 1; }
for source in fuzz/*_fuzz.cpp; do
  target=$(basename "$source" _fuzz.cpp) work=build/fuzz/runs/$(basename "$source" _fuzz.cpp)
  rm -rf "$work" && mkdir -p "$work/corpus" && cp fuzz/corpus/"$target"/* "$work/corpus/" 2>/dev/null
  build/fuzz/fuzz/"$target"_fuzz "$work/corpus" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/" >"$work/log" 2>&1
  status=$?
  crashes=$(ls "$work" | grep -c -E '^(crash|leak|timeout|oom)-')
  [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ] && crashes=1
  echo "$target: $(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1) runs, $crashes crashes"
  [ "$crashes" -eq 0 ] || { failed=1; grep -E -A12 'ERROR|runtime error|check failed' "$work/log" | head -40; }
done
exit "$failed"
