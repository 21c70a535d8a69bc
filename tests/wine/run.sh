#!/usr/bin/env bash
# End-to-end test of Brevanto.dll under Wine, the way the VBA macro uses it:
# the settings as REG_SZ values under HKCU (what SaveSetting stores), the
# program file in C:\Brevanto, the DLL loaded and called by a Windows host.
#
#   run.sh WORKDIR ARCH=DLL,HOST[,HOST2] [ARCH=...]     (ARCH: x86 or x64)
#
# For every DLL: every golden case (tests/golden/NAME.seg + .ini [+ .tap]
# [+ .expect]) through HOST, then a table of settings texts (hexadecimal,
# nan, inf, denormals, blanks, trailing text, empty) through HOST2 (HOST when
# not given; on x86 the host built by another compiler), each compared with
# what the Linux build's golden_runner ($BREVANTO_NATIVE_RUNNER) writes and
# returns, then 20,000 generated texts through the number reading compiled
# as in the DLL ($BREVANTO_NUMBER_READER) against the same runner's, then the
# shared-open, long-value and missing-folder cases. WORKDIR
# gets a fresh WINEPREFIX. Exit status: 0 all passed, 1 a failure, 77 nothing
# could run (no Wine, or only a 32-bit DLL on a machine whose kernel cannot
# start 32-bit programs).
set -euo pipefail

if (($# < 2)); then
  echo "usage: $0 WORKDIR ARCH=DLL,HOST [ARCH=DLL,HOST ...]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
golden=${BREVANTO_GOLDEN_DIR:-$here/../golden}
workdir=$1
shift

wine64=${BREVANTO_WINE64:-/usr/lib/wine/wine64}
wine32=${BREVANTO_WINE32:-/usr/lib/wine/wine}
wineserver=${BREVANTO_WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver)}
settings_key='HKCU\Software\VB and VBA Program Settings\Brevanto\CNC'
settings_key_long='HKEY_CURRENT_USER\Software\VB and VBA Program Settings\Brevanto\CNC'

# shellcheck source=../support/golden_case.sh
source "$here/../support/golden_case.sh"
skips=0

if [[ ! -x $wine64 ]]; then
  echo "SKIP: Wine is not installed ($wine64 missing; scripts/install-deps.sh installs it)"
  [[ ${CI:-} == true ]] && exit 1
  exit 77
fi

# Wine runs 32-bit Windows programs as 32-bit Linux processes; some kernels
# are built or booted without IA-32 emulation and cannot start them.
runnable=()
for target in "$@"; do
  case ${target%%=*} in
  x64) runnable+=("$target") ;;
  x86)
    if "$wine32" --version >/dev/null 2>&1; then
      runnable+=("$target")
    else
      echo "SKIP x86: THE 32-BIT DLL IS NOT TESTED HERE: this machine cannot run 32-bit" \
        "programs under Wine ($wine32 does not start: the kernel has no IA-32 emulation" \
        "or it is switched off (ia32_emulation=0), or wine32 is missing)" >&2
      echo "SKIP x86: the 32-bit DLL is not tested here (see above)"
      skips=$((skips + 1))
    fi
    ;;
  *)
    echo "unknown architecture in $target" >&2
    exit 2
    ;;
  esac
done
if ((${#runnable[@]} == 0)); then
  echo "wine: 0 passed, 0 failed, $skips skipped"
  exit 77
fi

export WINEPREFIX=$workdir/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer prompts
unset DISPLAY WAYLAND_DISPLAY             # headless
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# Stop this prefix's wineserver (and only it) however the script ends.
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
trap 'exit 1' INT TERM
trap 'echo "run.sh: line $LINENO: failed: $BASH_COMMAND" >&2' ERR

started=$(date +%s)
# A server that stays up between the many short wine runs saves seconds
# each; should this script be killed, it still ends 30 s after the last run.
"$wineserver" -p30
"$wine64" wineboot --init >"$workdir/wineboot.log" 2>&1 || {
  cat "$workdir/wineboot.log"
  echo "FAIL wineboot"
  exit 1
}
echo "wine prefix ready in $(($(date +%s) - started)) s"
drive_c=$WINEPREFIX/drive_c
program_dir=$drive_c/Brevanto
program=$program_dir/Brevanto.tap

# The values exactly as a macro's SaveSetting leaves them: REG_SZ text, and
# nothing else under the key. One import, as one Wine process per value
# would take minutes on a busy machine.
set_settings() { # wine ini
  local name value line
  {
    printf 'REGEDIT4\r\n\r\n[-%s]\r\n\r\n[%s]\r\n' "$settings_key_long" "$settings_key_long"
    while IFS= read -r line || [[ -n $line ]]; do
      line=${line%$'\r'}
      [[ $line == *=* ]] || continue
      name=${line%%=*}
      value=${line#*=}
      value=${value//\\/\\\\}
      printf '"%s"="%s"\r\n' "$name" "${value//\"/\\\"}"
    done <"$2"
  } >"$drive_c/settings.reg"
  if ! "$1" reg import 'C:\settings.reg' >/dev/null 2>&1 </dev/null; then
    echo "wine reg import of $2 failed"
    return 1
  fi
}

# Runs the host; leaves its "result N" / "error TEXT" lines in $output.
output=""
run_host() { # wine host dll seg calls [hold]
  local status=0
  output=$("$@" 2>&1 | tr -d '\r') || status=$?
  if ((status != 0)); then
    echo "$output"
    return 1
  fi
}

expected_output() { # case records
  golden_expected_output "$golden" "$1" "$2"
}

# A program file that no run writes: a run that must not touch the file
# leaves it as it is, and one that writes must truncate it first.
earlier_program() {
  head -c 5000 /dev/zero | tr '\0' 'E' >"$program"
  cp "$program" "$workdir/earlier.tap"
}

run_case() { # arch wine host dll case
  local arch=$1 wine=$2 host=$3 dll=$4 name=$5
  local seg=$golden/$name.seg records
  records=$(($(stat -c %s "$seg") / 80))
  cp "$seg" "$drive_c/case.seg"
  set_settings "$wine" "$golden/$name.ini" || {
    fail "$arch $name: the settings could not be stored in the registry"
    return
  }
  mkdir -p "$program_dir"
  earlier_program

  local calls
  for calls in 1 3; do # a second and third call in the same process: same file
    if ! run_host "$wine" "$host" "$dll" 'C:\case.seg' "$calls"; then
      fail "$arch $name ($calls calls): host failed"
      return
    fi
    if [[ $output != "$(expected_output "$name" "$records")" ]]; then
      fail "$arch $name ($calls calls): got [$output], expected [$(expected_output "$name" "$records")]"
      return
    fi
    if [[ -f $golden/$name.tap ]]; then
      if ! cmp -s "$program" "$golden/$name.tap"; then
        cp "$program" "$workdir/$arch-$name.tap"
        fail "$arch $name ($calls calls): program differs from the golden file (kept as $workdir/$arch-$name.tap)"
        diff <(tr -d '\r' <"$golden/$name.tap") <(tr -d '\r' <"$program") | head -20 || true
        return
      fi
    elif ! cmp -s "$program" "$workdir/earlier.tap"; then
      fail "$arch $name ($calls calls): the earlier program file was changed"
      return
    fi
  done
  pass "$arch $name: ${output//$'\n'/, }"
}

# The worked example's input and settings, with an earlier file in place.
prepare_worked_example() { # wine
  cp "$golden/worked_example.seg" "$drive_c/case.seg"
  set_settings "$1" "$golden/worked_example.ini" || fail "worked example's settings not stored"
  mkdir -p "$program_dir"
  earlier_program
}

# True when one call wrote the worked example's program exactly, and left no
# other file beside it (the new program is written beside it, then renamed
# over it or, while another handle holds it, copied into it).
writes_worked_example() { # wine host dll [hold]
  run_host "$1" "$2" "$3" 'C:\case.seg' 1 "${@:4}" &&
    [[ $output == "$(expected_output worked_example 5)" ]] &&
    cmp -s "$program" "$golden/worked_example.tap" &&
    [[ $(ls -A "$program_dir") == Brevanto.tap ]]
}

# Another program may have the file open (a viewer, the controller's
# software): the library opens it without denying others reading or writing.
run_shared_open() { # arch wine host dll
  prepare_worked_example "$2"
  if writes_worked_example "$2" "$3" "$4" hold; then
    pass "$1 shared_open: written while another handle had the file open"
  else
    fail "$1 shared_open: [$output] while another handle had the file open"
  fi
}

# The registry is read into a 255-byte buffer: a text of 254 characters and
# its NUL fits, one more character and the value reads as empty. The tool
# number "1" padded with blanks (which the number reading ignores) shows which.
run_long_value() { # arch wine host dll
  local fits
  fits="1$(printf '%253s' '')"
  prepare_worked_example "$2"
  "$2" reg add "$settings_key" /v txtWZNummer /t REG_SZ /d "$fits" /f >/dev/null
  if ! writes_worked_example "$2" "$3" "$4"; then
    fail "$1 long_value: a 254-character value was not read [$output]"
    return
  fi
  "$2" reg add "$settings_key" /v txtWZNummer /t REG_SZ /d "$fits " /f >/dev/null
  earlier_program
  if ! run_host "$2" "$3" "$4" 'C:\case.seg' 1 ||
    [[ $output != $'result -2\nerror txtWZNummer: "" is not a number' ]] ||
    ! cmp -s "$program" "$workdir/earlier.tap"; then
    fail "$1 long_value: a 255-character value did not read as empty [$output]"
    return
  fi
  pass "$1 long_value: 254 characters read, 255 read as empty"
}

# Settings texts that C runtimes read differently, each laid over the
# settings of a golden case: "CASE|NAME|VALUE".
settings_texts=(
  "worked_example|txtFeedZ|0x64" "worked_example|txtWZDia|0x1.965p+1"
  "worked_example|txtWZNummer|-0x1Fp-1" "worked_example|txtSaveZ|0x"
  "worked_example|txtSaveZ|4e-320" "worked_example|txtSaveZ|1e-40"
  "worked_example|txtDepth|-2.2250738585072012e-308" "worked_example|txtMaxZ|+.75e+0"
  "worked_example|txtMaxZ|inf" "worked_example|txtWZDia|nan(123)"
  "worked_example|txtWZDia|-INFINITY" "worked_example|txtDepth|1e999"
  "worked_example|txtFeedCut|1.7976931348623159e308" "worked_example|txtFeedZ|"
  "worked_example|txtFeedZ|   " "worked_example|txtFeedCut| "$'\t'"800"
  "worked_example|txtFeedZ|"$'\v\f'"100" "worked_example|txtFeedCut|800mm/min"
  "worked_example|txtSaveZ|-.5e-3x" "worked_example|txtFeedZ|2,5"
  "curves|Prezision|nan" "curves|Prezision|0x1.8" "curves|Prezision|1e-320"
  "curves|Prezision| 5" "curves|Prezision|0,5" "curves|Prezision|-inf"
  "curves|Prezision|2e-1xyz"
)

# Each settings text through the DLL and through the Linux build: the same
# result, message and program bytes (or, where Linux writes none, the earlier
# program left untouched).
run_settings_texts() { # arch wine host dll
  local native=${BREVANTO_NATIVE_RUNNER:-}
  if [[ ! -x $native ]]; then
    fail "$1 settings texts: the Linux golden_runner (BREVANTO_NATIVE_RUNNER=$native) is missing:" \
      "build the release preset first"
    return
  fi
  local entry name case_name value ini linux_out linux_tap
  for entry in "${settings_texts[@]}"; do
    IFS='|' read -r case_name name value <<<"$entry"
    ini=$workdir/text.ini
    { grep -v "^$name=" "$golden/$case_name.ini"; printf '%s=%s\n' "$name" "$value"; } >"$ini"
    linux_tap=$workdir/text-linux.tap
    rm -f "$linux_tap"
    linux_out=$("$native" run "$golden/$case_name.seg" "$ini" "$linux_tap" 2>&1)
    cp "$golden/$case_name.seg" "$drive_c/case.seg"
    set_settings "$2" "$ini" || {
      fail "$1 $name=[$value]: the settings could not be stored in the registry"
      continue
    }
    earlier_program
    if ! run_host "$2" "$3" "$4" 'C:\case.seg' 2; then
      fail "$1 $case_name $name=[$value]: host failed"
    elif [[ $output != "$linux_out" ]]; then
      fail "$1 $case_name $name=[$value]: got [$output], Linux [$linux_out]"
    elif [[ -f $linux_tap ]] && ! cmp -s "$program" "$linux_tap"; then
      cp "$program" "$workdir/$1-text-$name.tap"
      fail "$1 $case_name $name=[$value]: the program differs from Linux's (kept in $workdir)"
    elif [[ ! -f $linux_tap ]] && ! cmp -s "$program" "$workdir/earlier.tap"; then
      fail "$1 $case_name $name=[$value]: the earlier program file was changed"
    else
      pass "$1 $case_name $name=[$value]: ${output//$'\n'/, } as on Linux"
    fi
  done
}

# The number reading compiled as in the DLL (number_reader.exe, in $dest)
# over 20,000 generated texts: the same value bits, length and range error as
# the Linux build's.
run_number_reading() { # arch wine dest
  local native=${BREVANTO_NATIVE_RUNNER:-} reader=${BREVANTO_NUMBER_READER:-} got
  if [[ ! -x $native || ! -f $reader ]]; then
    fail "$1 number reading: golden_runner ($native) or number_reader ($reader) is missing"
    return
  fi
  "$native" numbers 23 20000 >"$3/numbers.txt"
  cp "$reader" "$3/number_reader.exe"
  if ! got=$("$2" "$3/number_reader.exe" "$3/numbers.txt" 2>&1 | tr -d '\r'); then
    fail "$1 number reading: number_reader failed: ${got:0:300}"
  elif [[ $got == "$(<"$3/numbers.txt")" ]]; then
    pass "$1 number reading: 20000 generated texts read as on Linux"
  else
    fail "$1 number reading differs from Linux's:"
    diff <(echo "$got") "$3/numbers.txt" | head -10 || true
  fi
}

# The folder C:\Brevanto is the user's to make: without it, -3 and a message,
# and the folder is not created.
run_missing_folder() { # arch wine host dll
  prepare_worked_example "$2"
  rm -rf "$program_dir"
  if ! run_host "$2" "$3" "$4" 'C:\case.seg' 1; then
    fail "$1 missing_folder: host failed"
  elif [[ $output != $'result -3\nerror '?* ]]; then
    fail "$1 missing_folder: got [$output], expected result -3 and a message"
  elif [[ -e $program_dir ]]; then
    fail "$1 missing_folder: C:\\Brevanto was created"
  else
    pass "$1 missing_folder: ${output//$'\n'/, }"
  fi
  mkdir -p "$program_dir"
}

for target in "${runnable[@]}"; do
  arch=${target%%=*}
  files=${target#*=}
  IFS=',' read -r dll host host2 <<<"$files"
  host2=${host2:-$host}
  wine=$wine64
  [[ $arch == x86 ]] && wine=$wine32
  dest=$drive_c/brevanto-$arch
  mkdir -p "$dest"
  cp "$dll" "$dest/Brevanto.dll"
  cp "$host" "$dest/host.exe"
  cp "$host2" "$dest/host2.exe"
  for seg in "$golden"/*.seg; do
    run_case "$arch" "$wine" "$dest/host.exe" "C:\\brevanto-$arch\\Brevanto.dll" \
      "$(basename "$seg" .seg)"
  done
  run_settings_texts "$arch" "$wine" "$dest/host2.exe" "C:\\brevanto-$arch\\Brevanto.dll"
  run_number_reading "$arch" "$wine" "$dest"
  run_shared_open "$arch" "$wine" "$dest/host.exe" "C:\\brevanto-$arch\\Brevanto.dll"
  run_long_value "$arch" "$wine" "$dest/host.exe" "C:\\brevanto-$arch\\Brevanto.dll"
  run_missing_folder "$arch" "$wine" "$dest/host.exe" "C:\\brevanto-$arch\\Brevanto.dll"
done

echo "wine run took $(($(date +%s) - started)) s"
echo "wine: $passes passed, $failures failed, $skips skipped"
if ((failures > 0)); then exit 1; fi
if ((passes == 0)); then exit 77; fi
exit 0
