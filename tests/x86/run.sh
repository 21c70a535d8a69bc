#!/usr/bin/env bash
# The core compiled for 32-bit x86 (SSE2 arithmetic, no contraction) must
# write the same bytes as the 64-bit build. The 32-bit golden runner runs
# under qemu-i386 user-mode emulation, so this works where the kernel cannot
# start 32-bit programs itself.
#
#   run.sh WORKDIR RUNNER32 NATIVE_RUNNER CORE_LIBRARY32
#
# 0. the 32-bit core's machine code holds no x87 arithmetic: only the loads
#    and stores that move a math function's result out of the x87 register
#    where the i386 calling convention returns it (exact for a double);
# 1. every golden case (tests/golden/NAME.seg + .ini [+ .tap] [+ .expect]):
#    result, error text and program bytes as the golden files say;
# 2. random drawings of 1,000 records at three precision settings: the 32-bit
#    program byte for byte the native one;
# 3. 20,000 generated settings texts: the number reading gives the same
#    value, length and range error;
# 4. libm_boundary/: drawings built to sit exactly on a joining limit where
#    the i386 and the x86_64 math libraries round asin, acos or atan apart in
#    the last bit. They are reported (with both values), not failed: the
#    difference lies in the platform's library, not in this code.
# Exit status: 0 all passed, 1 a failure, 77 the emulator is missing or cannot
# run the 32-bit runner (a failure when CI=true).
set -euo pipefail

if (($# != 4)); then
  echo "usage: $0 WORKDIR RUNNER32 NATIVE_RUNNER CORE_LIBRARY32" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
golden=${BREVANTO_GOLDEN_DIR:-$here/../golden}
workdir=$1
runner32=$2
native=$3
core=$4

skip() {
  echo "SKIP: $*"
  [[ ${CI:-} == true ]] && exit 1
  exit 77
}

qemu=${BREVANTO_QEMU_I386:-$(command -v qemu-i386-static || command -v qemu-i386 || true)}
[[ -n $qemu ]] || skip "qemu-i386 is not installed (scripts/install-deps.sh installs qemu-user-static)"
# The fifth byte of an ELF file is its class: 1 for 32-bit.
if [[ $(od -An -tx1 -j4 -N1 "$runner32" | tr -d ' ') != 01 ]]; then
  echo "FAIL $runner32 is not a 32-bit program"
  exit 1
fi
status=0
"$qemu" "$runner32" >/dev/null 2>&1 || status=$?
((status == 2)) || skip "$qemu cannot run $runner32 (status $status)"
if [[ ! -x $native ]]; then
  echo "FAIL the native runner $native is missing: build the release preset first"
  exit 1
fi

rm -rf "$workdir"
mkdir -p "$workdir"
# shellcheck source=../support/golden_case.sh
source "$here/../support/golden_case.sh"
bytes=0

# Runs one drawing through both runners: $result64 and $result32 hold what
# they printed. Fails (and counts it) when either runner fails.
run_both() { # label seg ini out64 out32
  result64=$("$native" run "$2" "$3" "$4" 2>&1) || {
    fail "$1: the native runner failed: $result64"
    return 1
  }
  result32=$("$qemu" "$runner32" run "$2" "$3" "$5" 2>&1) || {
    fail "$1: the 32-bit runner failed: $result32"
    return 1
  }
}

started=$(date +%s)
# AT&T mnemonics of the x87 unit all start with "f"; SSE ones never do.
mnemonics() { # library: the x87 ones, one a line
  objdump -d --no-show-raw-insn "$1" |
    awk -F'\t' 'NF >= 2 && $1 ~ /^ *[0-9a-f]+:$/ { split($2, w, " "); if (w[1] ~ /^f/) print w[1] }'
}
x87=$(mnemonics "$core" | sort | uniq -c | tr -s ' \n' ' ')
arithmetic=$(mnemonics "$core" | grep -vxE 'f(ld|stp?)[sl]?' | sort | uniq -c | tr -s ' \n' ' ' || true)
if [[ -n $arithmetic ]]; then
  fail "x87 arithmetic in $core:$arithmetic"
else
  pass "no x87 arithmetic in the 32-bit core (moves of returned results:${x87:- none})"
fi

for seg in "$golden"/*.seg; do
  name=$(basename "$seg" .seg)
  program=$workdir/$name.tap
  output=$("$qemu" "$runner32" run "$seg" "$golden/$name.ini" "$program" 2>&1) || {
    fail "$name: the 32-bit runner failed: $output"
    continue
  }
  expected=$(golden_expected_output "$golden" "$name" $(($(stat -c %s "$seg") / 80)))
  if [[ $output != "$expected" ]]; then
    fail "$name: got [$output], expected [$expected]"
  elif [[ -f $golden/$name.tap ]]; then
    if cmp "$program" "$golden/$name.tap"; then
      bytes=$((bytes + $(stat -c %s "$program")))
      pass "$name: ${output//$'\n'/, }, $(stat -c %s "$program") bytes as the golden file"
    else
      fail "$name: the program differs from the golden file (kept as $program)"
    fi
  elif [[ -e $program ]]; then
    fail "$name: a program file was written where none is expected"
  else
    pass "$name: ${output//$'\n'/, }, no file written"
  fi
done

# Random drawings, written once by the native runner so both read the same
# records; the precision setting steers the line and arc joining.
for seed in 1 2 3; do
  drawing=$workdir/random-$seed.seg
  "$native" generate "$seed" 1000 "$drawing"
  for precision in "" 0.5 5; do
    label="random seed $seed, Prezision=${precision:-(empty)}"
    ini=$workdir/random-$seed-${precision:-none}.ini
    sed "s/^Prezision=.*/Prezision=$precision/" "$golden/worked_example.ini" >"$ini"
    out32=$workdir/random-$seed-${precision:-none}.x86.tap
    out64=$workdir/random-$seed-${precision:-none}.x64.tap
    run_both "$label" "$drawing" "$ini" "$out64" "$out32" || continue
    if [[ $result32 != "$result64" ]]; then
      fail "$label: 32-bit [$result32], native [$result64]"
    elif [[ $result64 != "result "* || ! -s $out64 ]]; then
      fail "$label: the native run wrote no program [$result64]"
    elif cmp "$out32" "$out64"; then
      bytes=$((bytes + $(stat -c %s "$out64")))
      pass "$label: ${result64%%$'\n'*}, $(stat -c %s "$out64") bytes the same"
    else
      fail "$label: the programs differ (kept in $workdir)"
      diff <(tr -d '\r' <"$out64") <(tr -d '\r' <"$out32") | head -10 || true
    fi
  done
done

# The settings' number reading: 20,000 generated texts, read alike.
numbers32=$("$qemu" "$runner32" numbers 23 20000 2>&1) || true
numbers64=$("$native" numbers 23 20000 2>&1) || true
if [[ $numbers32 == "$numbers64" && -n $numbers64 ]]; then
  pass "20000 settings texts read alike: value, length and range error"
else
  fail "the 32-bit build reads settings texts differently:"
  diff <(echo "$numbers64") <(echo "$numbers32") | head -10 || true
fi

differences=0
for seg in "$here"/libm_boundary/*.seg; do
  name=$(basename "$seg" .seg)
  out32=$workdir/$name.x86.tap
  out64=$workdir/$name.x64.tap
  run_both "$name" "$seg" "${seg%.seg}.ini" "$out64" "$out32" || continue
  arg=$(<"${seg%.seg}.arg")
  if [[ $result32 == "$result64" ]] && cmp -s "$out32" "$out64"; then
    echo "same $name: the math libraries agree here now (${result64%%$'\n'*})"
  else
    differences=$((differences + 1))
    echo "KNOWN DIFFERENCE $name: native ${result64%%$'\n'*}, 32-bit ${result32%%$'\n'*};" \
      "the math libraries at $arg:"
    paste <("$native" libm "$arg" | sed 's/^/  x86_64 /') \
      <("$qemu" "$runner32" libm "$arg" | sed 's/^/i386 /')
  fi
done

echo "x86 under $(basename "$qemu"): $passes passed, $failures failed, $bytes program bytes compared," \
  "$differences known math library differences, in $(($(date +%s) - started)) s"
((failures == 0))
