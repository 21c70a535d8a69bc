#!/usr/bin/env bash
# Builds the release and the sanitizer configurations and runs every test.
# Ends non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

for preset in release asan; do
  echo "=== ${preset}: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "=== ${preset}: test"
  ctest --preset "$preset"
done
tests/fuzz/smoke.sh 60
# Brevanto.dll for 32- and 64-bit Windows: export and import tables, then the
# DLL loaded and called by a Windows program under Wine.
for preset in mingw32 mingw64; do
  echo "=== ${preset}: configure, build and test Brevanto.dll"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
echo "=== windows release: the zip of both DLLs and the VBA module, checked unpacked"
scripts/windows-release.sh
# The core built for 32-bit x86 and run under qemu-i386 (no 32-bit processes
# needed from the kernel): the same bytes as the release build above.
echo "=== linux32: configure, build and test the 32-bit x86 core under emulation"
cmake --preset linux32 >/dev/null
cmake --build --preset linux32
ctest --preset linux32
echo "=== all tests passed"
