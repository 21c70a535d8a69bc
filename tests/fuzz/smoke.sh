#!/usr/bin/env bash
# Builds the fuzz targets and runs each one for a short while (default 60 s)
# from its seed corpus. A crash, a sanitizer report, a leak or an input that
# runs longer than 10 s (a hang: -timeout=10) fails the run;
# the input that caused it is left in the current folder as crash-* (and the
# run's last lines are printed).
# Usage: tests/fuzz/smoke.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

for target in sp svg dxf; do
  exe=build/fuzz/tests/fuzz/${target}_fuzz
  [[ -x $exe ]] || continue
  corpus=$(mktemp -d)
  cp -r "tests/fuzz/corpus_${target}/." "$corpus/"
  dict=()
  [[ -f tests/fuzz/${target}.dict ]] && dict=(-dict="tests/fuzz/${target}.dict")
  log=$(mktemp)
  echo "=== fuzz: ${target} for ${seconds} s"
  status=0
  "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
    "${dict[@]}" "$corpus" >"$log" 2>&1 || status=$?
  rm -rf "$corpus"
  if ((status != 0)); then
    tail -n 60 "$log"
    rm -f "$log"
    echo "=== fuzz: ${target} FAILED (exit ${status})"
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
  rm -f "$log"
done
