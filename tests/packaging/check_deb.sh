#!/usr/bin/env bash
# The Debian package as a user gets it: built with cpack from a release
# build, unpacked into a throw-away root with dpkg -x (no root rights, the
# machine untouched), then used from there:
# - its control fields carry the project's version and computed dependencies;
# - the installed command converts an example drawing to the same program as
#   the build tree's command (tests/cli/golden/);
# - pkg-config finds the library, and a C program built with its flags calls
#   sp and writes the golden program; so does one built with
#   find_package(Brevanto).
#
#   check_deb.sh BUILD_DIR WORKDIR VERSION
set -euo pipefail

if (($# != 3)); then
  echo "usage: $0 BUILD_DIR WORKDIR VERSION" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
golden=$source_dir/tests/golden
build=$(cd "$1" && pwd)
work=$2
version=$3
# shellcheck source=../support/golden_case.sh
source "$source_dir/tests/support/golden_case.sh"
trap 'echo "check_deb.sh: line $LINENO: failed: $BASH_COMMAND" >&2' ERR

rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  exit 1
}
debs=("$work"/out/brevanto_*.deb)
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

field() { dpkg-deb -f "$deb" "$1"; }
check_field() { # name expected-pattern
  if [[ $(field "$1") =~ ^$2$ ]]; then pass "$1: $(field "$1")"; else fail "$1: '$(field "$1")'"; fi
}
check_field Package brevanto
check_field Version "$version"
check_field Section '[a-z]+'
check_field Maintainer '.+ <.+@.+>'
check_field Depends '(.*, )?libc6 \(>= [0-9.]+\)(, .*)?'

root=$work/root
dpkg -x "$deb" "$root"
usr=$root/usr
for file in bin/brevanto include/brevanto/brevanto.h lib/libbrevanto.so lib/pkgconfig/brevanto.pc \
  lib/cmake/Brevanto/BrevantoConfig.cmake share/man/man1/brevanto.1.gz \
  share/brevanto/examples/logo.svg share/brevanto/examples/CNC.ini share/doc/brevanto/copyright; do
  [[ -e $usr/$file ]] || fail "missing: /usr/$file"
done
headers=$(cd "$usr/include" && find . -type f | sort | tr '\n' ' ')
[[ $headers == "./brevanto/brevanto.h " ]] || fail "installed headers: $headers"
soname=$(readelf -d "$usr/lib/libbrevanto.so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[[ $soname == "libbrevanto.so.${version%%.*}" && -L $usr/lib/$soname ]] ||
  fail "soname '$soname' without its link in /usr/lib"
man=$(zcat "$usr/share/man/man1/brevanto.1.gz")
if [[ $man == *'max\-deviation'* && $man == *'Default settings file: ~/.config/brevanto/CNC.ini'* ]]; then
  pass "man page: from --help, the default settings file under ~ rather than a home folder"
else
  fail "man page: an option missing, or the build machine's home folder in it"
fi

# The installed command, from another folder, on an installed example.
mkdir -p "$work/elsewhere"
installed_version=$(cd "$work/elsewhere" && "$usr/bin/brevanto" --version)
[[ $installed_version == "brevanto $version" ]] || fail "--version says '$installed_version'"
examples=$usr/share/brevanto/examples
if (cd "$work/elsewhere" && "$usr/bin/brevanto" -q --settings "$examples/CNC.ini" \
  "$examples/logo.svg" -o logo.tap) &&
  cmp -s "$work/elsewhere/logo.tap" "$source_dir/tests/cli/golden/logo.tap"; then
  pass "installed brevanto: logo.svg gives the golden program"
else
  fail "installed brevanto: logo.svg did not give tests/cli/golden/logo.tap"
fi

# C hosts: flags from pkg-config, and a CMake project with find_package.
export PKG_CONFIG_PATH=$usr/lib/pkgconfig
modversion=$(pkg-config --modversion brevanto)
[[ $modversion == "$version" ]] || fail "pkg-config version '$modversion'"
read -ra flags <<<"$(pkg-config --cflags --libs brevanto)"
cc -std=c11 -Wall -Werror "$here/consumer.c" "${flags[@]}" -o "$work/consumer_pc"

cmake -S "$here/consumer" -B "$work/consumer_cmake" -G Ninja -DCMAKE_PREFIX_PATH="$usr" \
  -DBREVANTO_VERSION="$version" >"$work/consumer_cmake.log" 2>&1 &&
  cmake --build "$work/consumer_cmake" >>"$work/consumer_cmake.log" 2>&1 || {
  cat "$work/consumer_cmake.log"
  fail "find_package(Brevanto $version) consumer did not build"
}

export LD_LIBRARY_PATH=$usr/lib
for consumer in "$work/consumer_pc" "$work/consumer_cmake/consumer"; do
  [[ -x $consumer ]] || continue
  for name in worked_example refused_setting; do
    export BREVANTO_SETTINGS=$golden/$name.ini BREVANTO_OUTPUT_DIR=$work/out_$name
    rm -rf "$BREVANTO_OUTPUT_DIR" && mkdir -p "$BREVANTO_OUTPUT_DIR"
    records=$(($(stat -c %s "$golden/$name.seg") / 80))
    output=$("$consumer" "$golden/$name.seg")
    if [[ $output != "$(golden_expected_output "$golden" "$name" "$records")" ]]; then
      fail "$(basename "$consumer") $name: [$output]"
    elif [[ -f $golden/$name.tap ]] && ! cmp -s "$BREVANTO_OUTPUT_DIR/Brevanto.tap" "$golden/$name.tap"; then
      fail "$(basename "$consumer") $name: program differs from the golden file"
    elif [[ ! -f $golden/$name.tap && -e $BREVANTO_OUTPUT_DIR/Brevanto.tap ]]; then
      fail "$(basename "$consumer") $name: a refused call wrote a program"
    else
      pass "$(basename "$consumer") $name: ${output//$'\n'/, }"
    fi
  done
done

echo "deb: $passes passed, $failures failed"
((failures == 0))
