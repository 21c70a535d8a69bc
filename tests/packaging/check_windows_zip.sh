#!/usr/bin/env bash
# The Windows release zip as a user unpacks it: exactly the four files, the
# text files with Windows line ends, the VBA module consistent with the C
# side, and both DLLs through the same export and import checks as the
# build tree's (tests/wine/check_dll.cmake).
#
#   check_windows_zip.sh ZIP WORKDIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
zip=$1
work=$2
# shellcheck source=../support/golden_case.sh
source "$here/../support/golden_case.sh"

listing=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
expected="Brevanto.bas README.txt x64/Brevanto.dll x86/Brevanto.dll "
if [[ $listing == "$expected" ]]; then pass "zip holds $listing"; else fail "zip holds $listing"; fi

rm -rf "$work"
mkdir -p "$work"
unzip -q "$zip" -d "$work"
for text in Brevanto.bas README.txt; do
  if [[ -s $work/$text ]] && ! grep -qv $'\r$' "$work/$text"; then
    pass "$text: CR LF line ends"
  else
    fail "$text: not every line ends in CR LF"
  fi
done
if python3 "$here/check_vba_module.py" "$work/Brevanto.bas" >"$work/vba.log"; then
  pass "Brevanto.bas: $(tail -1 "$work/vba.log")"
else
  cat "$work/vba.log"
  fail "Brevanto.bas"
fi
for target in x86=i686 x64=x86_64; do
  arch=${target%%=*}
  if cmake -DOBJDUMP="${target#*=}-w64-mingw32-objdump" -DDLL="$work/$arch/Brevanto.dll" \
    -DARCH="$arch" -P "$here/../wine/check_dll.cmake" >"$work/$arch.log" 2>&1; then
    pass "$arch/Brevanto.dll: $(tail -1 "$work/$arch.log" | sed 's/^-- //')"
  else
    cat "$work/$arch.log"
    fail "$arch/Brevanto.dll"
  fi
done

echo "windows zip: $passes passed, $failures failed"
((failures == 0))
