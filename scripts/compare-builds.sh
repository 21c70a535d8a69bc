#!/bin/sh
# Compares the programs two builds of the command write, byte for byte: every
# shipped drawing (examples, SVG cases, the fuzz corpora) and generated
# drawings, in the three dialects, with --tolerance none, the default and
# 0.01. Run it before a change lands, with the build before it:
#
#   scripts/compare-builds.sh OLD/brevanto NEW/brevanto [COUNT]
#
# COUNT generated drawings of 150 records (default 150) come from the test
# build's golden_runner (build/release/tests/x86/golden_runner). Every run
# that differs is listed. With --tolerance none the programs are the
# library's own and must not differ (exit 1); with a tolerance they may, where
# the refinement of a shape that strays was changed on purpose.
set -eu
old=$1
new=$2
count=${3:-150}
root=$(cd "$(dirname "$0")/.." && pwd)
runner=${GOLDEN_RUNNER:-$root/build/release/tests/x86/golden_runner}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

drawings=$(ls "$root"/examples/*.svg "$root"/examples/*.dxf "$root"/tests/cli/svg_cases/*.svg \
  "$root"/tests/fuzz/corpus_svg/* "$root"/tests/fuzz/corpus_dxf/* 2>/dev/null || true)
if [ -x "$runner" ]; then
  i=0
  while [ "$i" -lt "$count" ]; do
    "$runner" generate $((1000 + i)) 150 "$work/random$i.seg"
    drawings="$drawings $work/random$i.seg"
    i=$((i + 1))
  done
else
  echo "no $runner: generated drawings left out" >&2
fi

runs=0
differ=0
library=0
for drawing in $drawings; do
  for dialect in classic linuxcnc grbl; do
    for tolerance in none 0.05 0.01; do
      set -- -q --settings "$root/examples/CNC.ini" --dialect "$dialect" --tolerance "$tolerance"
      "$old" "$@" -o "$work/old" "$drawing" >/dev/null 2>&1 || true
      "$new" "$@" -o "$work/new" "$drawing" >/dev/null 2>&1 || true
      runs=$((runs + 1))
      # Neither wrote a program (a drawing both refuse): alike.
      [ -e "$work/old" ] || [ -e "$work/new" ] || continue
      if ! cmp -s "$work/old" "$work/new"; then
        differ=$((differ + 1))
        [ "$tolerance" = none ] && library=$((library + 1))
        echo "differs: $drawing, $dialect, --tolerance $tolerance"
      fi
      rm -f "$work/old" "$work/new"
    done
  done
done
echo "$runs runs, $differ differ ($library with --tolerance none)"
[ "$library" -eq 0 ]
