#!/usr/bin/env bash
# Installs what the tests need, builds everything and runs all the test suites.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh cmake make g++ googletest python3
cmake --preset linux
cmake --build --preset linux -j "$(nproc)"
ctest --preset linux -j "$(nproc)"
