#!/usr/bin/env bash
# Builds the fuzz targets with clang (the `fuzz` preset, in build/fuzz) and
# runs each one for SECONDS from its seed corpus in fuzz/corpus/TARGET,
# printing "TARGET: N runs, C crashes". A crash, a sanitizer report, a leak,
# a timeout or running out of memory counts as a crash; its input is kept in
# build/fuzz/runs/TARGET/. Fails when any target crashed.
#
#   fuzz/run.sh [SECONDS]    (30 when not given)
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
mkdir -p build

cmake --preset fuzz >build/fuzz-configure.log 2>&1 &&
  cmake --build --preset fuzz -j "$(nproc)" >build/fuzz-build.log 2>&1 ||
  { cat build/fuzz-configure.log build/fuzz-build.log 2>/dev/null | tail -40; exit 1; }

runs_dir=build/fuzz/runs
rm -rf "$runs_dir"
failed=0
for source in fuzz/*_fuzz.cpp; do
  target=$(basename "$source" _fuzz.cpp)
  work=$runs_dir/$target
  mkdir -p "$work/corpus"
  # The seeds are copied: what a run adds stays out of the tree.
  cp fuzz/corpus/"$target"/* "$work/corpus/" 2>/dev/null
  build/fuzz/fuzz/"$target"_fuzz "$work/corpus" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/" >"$work/log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
  crashes=$(ls "$work" | grep -c -E '^(crash|leak|timeout|oom)-')
  [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ] && crashes=1
  echo "$target: ${runs:-0} runs, $crashes crashes"
  if [ "$crashes" -ne 0 ]; then
    failed=1
    grep -E -A12 'ERROR|runtime error|check failed|Test unit written' "$work/log" | head -40
  fi
done
exit "$failed"
