#!/usr/bin/env bash
# Builds the programs and converts the example HEX file into its word image, which it prints.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh cmake make g++
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" >/dev/null
mkdir -p build/example
cp examples/blink.hex build/example/
build/release/hex2ver/hex2ver build/example/blink.hex 64
echo "build/example/blink.ver:"
cat build/example/blink.ver
