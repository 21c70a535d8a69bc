#!/usr/bin/env bash
# The Windows release: builds Brevanto.dll for 32- and 64-bit Windows (the
# mingw32 and mingw64 presets) and packs
#   build/windows-release/Brevanto-VERSION-windows.zip
# with x86/Brevanto.dll, x64/Brevanto.dll, the VBA module Brevanto.bas and
# README.txt (text files with CR LF line ends: the VBA editor imports a
# module with bare LF ends wrongly). Then checks the zip as a user unpacks
# it (tests/packaging/check_windows_zip.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in mingw32 mingw64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/mingw64/CMakeCache.txt)

name=Brevanto-$version-windows
out=$PWD/build/windows-release
rm -rf "$out"
mkdir -p "$out/$name/x86" "$out/$name/x64"
cp build/mingw32/Brevanto.dll "$out/$name/x86/"
cp build/mingw64/Brevanto.dll "$out/$name/x64/"
sed 's/\r*$/\r/' windows/Brevanto.bas >"$out/$name/Brevanto.bas"
sed "s/@VERSION@/$version/; s/\r*\$/\r/" windows/README.txt >"$out/$name/README.txt"
(cd "$out/$name" && zip -q -X "$out/$name.zip" Brevanto.bas README.txt x86/Brevanto.dll x64/Brevanto.dll)
tests/packaging/check_windows_zip.sh "$out/$name.zip" "$out/check"
echo "Windows release: build/windows-release/$name.zip"
