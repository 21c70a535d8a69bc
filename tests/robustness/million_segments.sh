#!/usr/bin/env bash
# Runs million_segments under /usr/bin/time -v and checks that the peak
# memory stays within a small multiple of the element list (the list and the
# joining's scratch copy, each with vector growth room, plus the input).
# Also prints the time for a quarter of the drawing, to show the work grows in
# proportion (reported, not asserted: timings depend on the machine).
# Usage: million_segments.sh EXECUTABLE [SEGMENTS]
set -euo pipefail
exe=$1
count=${2:-1000000}
max_multiple=6

if [[ ! -x /usr/bin/time ]]; then
  echo "SKIPPED: /usr/bin/time (Debian package time) is not installed"
  exit 77
fi

run() {
  local log
  log=$(mktemp)
  /usr/bin/time -v "$exe" "$1" >"$log.out" 2>"$log"
  cat "$log.out"
  peak_kib=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
  list_mib=$(awk '/^element_list_mib/ {print $2}' "$log.out")
  seconds=$(awk '/^seconds/ {print $2}' "$log.out")
  rm -f "$log" "$log.out"
}

run $((count / 4))
quarter_seconds=$seconds
run "$count"
peak_mib=$((peak_kib / 1024))
echo "peak resident memory ${peak_mib} MiB for an element list of ${list_mib} MiB"
echo "time: ${quarter_seconds} s for $((count / 4)) segments, ${seconds} s for ${count}"
awk -v peak="$peak_mib" -v list="$list_mib" -v k="$max_multiple" 'BEGIN {
  ratio = peak / list
  printf "peak / element list = %.2f (limit %d)\n", ratio, k
  exit !(ratio <= k)
}'
