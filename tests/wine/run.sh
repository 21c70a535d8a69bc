#!/usr/bin/env bash
# End-to-end test of Brevanto.dll under Wine, the way the VBA macro uses it:
# the settings as REG_SZ values under HKCU (what SaveSetting stores), the
# program file in C:\Brevanto, the DLL loaded and called by a Windows host.
#
#   run.sh WORKDIR ARCH=DLL,HOST [ARCH=DLL,HOST ...]     (ARCH: x86 or x64)
#
# Every golden case (tests/golden/NAME.seg + .ini [+ .tap] [+ .expect]) runs
# for every DLL, then the missing-folder case. WORKDIR gets a fresh
# WINEPREFIX. Exit status: 0 all passed, 1 a failure, 77 nothing could run
# (no Wine, or a 32-bit DLL on a machine that cannot run 32-bit programs).
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
      echo "SKIP x86: this machine cannot run 32-bit programs under Wine" \
        "($wine32 does not start: no IA-32 emulation in the kernel, or wine32 missing)"
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

# The eight values exactly as a macro's SaveSetting leaves them: REG_SZ text.
set_settings() { # wine ini
  "$1" reg delete "$settings_key" /f >/dev/null 2>&1 || true
  local name value
  while IFS= read -r line || [[ -n $line ]]; do
    line=${line%$'\r'}
    [[ $line == *=* ]] || continue
    name=${line%%=*}
    value=${line#*=}
    if ! "$1" reg add "$settings_key" /v "$name" /t REG_SZ /d "$value" /f >/dev/null </dev/null; then
      echo "wine reg add $name failed"
      return 1
    fi
  done <"$2"
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
    [[ $output != $'result -2\nerror invalid stof argument' ]] ||
    ! cmp -s "$program" "$workdir/earlier.tap"; then
    fail "$1 long_value: a 255-character value did not read as empty [$output]"
    return
  fi
  pass "$1 long_value: 254 characters read, 255 read as empty"
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
  dll=${files%%,*}
  host=${files#*,}
  wine=$wine64
  [[ $arch == x86 ]] && wine=$wine32
  dest=$drive_c/brevanto-$arch
  mkdir -p "$dest"
  cp "$dll" "$dest/Brevanto.dll"
  cp "$host" "$dest/host.exe"
  for seg in "$golden"/*.seg; do
    run_case "$arch" "$wine" "$dest/host.exe" "C:\\brevanto-$arch\\Brevanto.dll" \
      "$(basename "$seg" .seg)"
  done
  run_shared_open "$arch" "$wine" "$dest/host.exe" "C:\\brevanto-$arch\\Brevanto.dll"
  run_long_value "$arch" "$wine" "$dest/host.exe" "C:\\brevanto-$arch\\Brevanto.dll"
  run_missing_folder "$arch" "$wine" "$dest/host.exe" "C:\\brevanto-$arch\\Brevanto.dll"
done

echo "wine run took $(($(date +%s) - started)) s"
echo "wine: $passes passed, $failures failed, $skips skipped"
if ((failures > 0)); then exit 1; fi
if ((passes == 0)); then exit 77; fi
exit 0
