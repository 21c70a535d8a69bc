#!/usr/bin/env bash
# First run: installs the dependencies, builds the release configuration and
# converts an example drawing into a G-code program and a toolpath preview.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target brevanto_cli

mkdir -p build/demo
build/release/cli/brevanto examples/logo.svg --settings examples/CNC.ini \
  -o build/demo/logo.tap --preview build/demo/logo-preview.svg
echo "Program: build/demo/logo.tap   Preview: build/demo/logo-preview.svg"
