#!/usr/bin/env bash
# Installs everything the build and the tests need from Debian's packages.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev python3 time
  libcli11-dev libsvgpp-dev libboost-dev libxml2-dev zlib1g-dev librsvg2-bin
  libpolyclipping-dev
)
# Pocket tests: the area the tool's disc sweeps, measured with shapely.
packages+=(python3-shapely)
# Text: fontconfig chooses a font, HarfBuzz shapes, FreeType gives outlines;
# Hershey single-stroke fonts for TextFont=hershey:NAME; the fonts the text
# tests compare with rsvg-convert's rendering.
packages+=(libfontconfig-dev libharfbuzz-dev libfreetype-dev hershey-fonts-data)
packages+=(fonts-dejavu-core fonts-liberation)
# Packaging: the man page from --help (help2man), the Debian package's
# dependencies (dpkg-shlibdeps from dpkg-dev; CPack finds the ELF files with
# file), and the Windows release zip.
packages+=(help2man dpkg-dev file zip unzip)

# Brevanto.dll: the mingw-w64 cross compilers (win32 thread model), and Wine
# to run it. Wine runs 32-bit Windows programs as 32-bit Linux processes, from
# the i386 packages.
# The core built for 32-bit x86 Linux, run under user-mode emulation.
packages+=(g++-multilib qemu-user-static)
packages+=(g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 wine wine64 wine32:i386)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# LinuxCNC's stand-alone G-code interpreter checks the written programs. Where
# the package cannot be installed, those tests are skipped (and say so loudly).
if ! command -v rs274 >/dev/null; then
  { $SUDO apt-get update -q && $SUDO apt-get install -y -q --no-install-recommends linuxcnc-uspace; } ||
    echo "WARNING: linuxcnc-uspace could not be installed; the interpreter tests will be skipped"
fi

# A locale with a decimal comma, so the tests can show that numbers are read
# and written with "." whatever the process locale; skipped where missing.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  { dpkg-query -W -f='${Status}' locales 2>/dev/null | grep -q "install ok installed" ||
      $SUDO apt-get install -y -q --no-install-recommends locales; } &&
    $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8 ||
    echo "WARNING: locale de_DE.UTF-8 unavailable; the decimal-comma tests will be skipped"
fi
