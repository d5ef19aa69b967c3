#!/usr/bin/env bash
# Installs what the tests need, builds everything and runs all the test suites: the Linux build, the same suite
# under the sanitizers, a minute of each fuzz target, the Windows builds (MinGW-w64), whose 64-bit programs are
# tested under Wine, and the packages: the release .deb and the 32-bit Windows zip.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh cmake make g++ googletest python3 locales groff-base dpkg-dev file clang libclang-rt-14-dev llvm \
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 xvfb xauth xdotool
# Wine takes its code pages from the Russian locale, and needs it installed to read UTF-8 arguments.
locale -a | grep -qix 'ru_RU\.utf-\?8' || localedef -i ru_RU -f UTF-8 ru_RU.UTF-8

jobs=$(nproc)
cmake --preset linux
cmake --build --preset linux -j "$jobs"
ctest --preset linux -j "$jobs"

cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs"

bash scripts/fuzz.sh 60

cmake --preset windows-x64
cmake --build --preset windows-x64 -j "$jobs"
# Wine itself now and then fails a program's start; a test that fails is run once more before it counts.
ctest --preset windows-x64 -j "$jobs" --repeat until-pass:2

cmake --preset release
cmake --build --preset release -j "$jobs"
cpack --preset deb
cmake --preset windows-x86
cmake --build --preset windows-x86 -j "$jobs"
cpack --preset windows-zip
version=$(sed -n 's/^project([^ ]* VERSION \([^ ]*\).*/\1/p' CMakeLists.txt)
HEX2VER_DEB=build/release/packages/hex2ver-tools_${version}_amd64.deb \
HEX2VER_ZIP=build/windows-x86/packages/hex2ver-tools-${version}-win32.zip \
  python3 -m unittest -v tests/e2e/test_packages.py
