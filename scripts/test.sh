#!/usr/bin/env bash
# Installs what the tests need, builds everything and runs all the test suites: the Linux build, the same suite
# under the sanitizers, a minute of each fuzz target, the 64-bit ARM build, tested under qemu, the Windows builds
# (MinGW-w64), tested under Wine (the 64-bit programs with wine64, the 32-bit ones with the 32-bit Wine under qemu),
# and the packages: the amd64 and arm64 .debs and the 32-bit Windows zip. Prints how long each part took.
set -euo pipefail
cd "$(dirname "$0")/.."

timings=()
# part NAME FUNCTION: runs one part of the tests and notes how long it took.
part() {
  local start=$SECONDS
  echo "== $1"
  "$2"
  timings+=("$(printf '%-24s %5d s' "$1" $((SECONDS - start)))")
}
jobs=$(nproc)

set_up() {
  # The 32-bit Wine comes from Debian's i386 architecture; the arm64 libraries, which dpkg-shlibdeps looks up for
  # the arm64 .deb, from its arm64 one.
  local architecture
  for architecture in i386 arm64; do
    dpkg --print-foreign-architectures | grep -qx "$architecture" || dpkg --add-architecture "$architecture"
  done
  bash scripts/install-packages.sh cmake make g++ googletest python3 locales groff-base dpkg-dev file clang \
    libclang-rt-14-dev llvm bindfs lintian iverilog verilator qemu-user-static \
    g++-aarch64-linux-gnu libc6:arm64 libstdc++6:arm64 libgcc-s1:arm64 \
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 wine32:i386 xvfb xauth xdotool
  bash scripts/binfmt.sh
  # Wine takes its code pages from the locale, and needs it installed to read UTF-8 arguments: Russian (1251 and
  # 866) for the tests, Japanese (932, a double-byte code page) for the paths that need it.
  local name
  for name in ru_RU ja_JP; do
    locale -a | grep -qix "$name\.utf-\?8" || localedef -i "$name" -f UTF-8 "$name.UTF-8"
  done
}

linux_suite() {
  cmake --preset linux
  cmake --build --preset linux -j "$jobs"
  ctest --preset linux -j "$jobs"
}

sanitized_suite() {
  cmake --preset sanitize
  cmake --build --preset sanitize -j "$jobs"
  ctest --preset sanitize -j "$jobs"
}

fuzzing() {
  bash scripts/fuzz.sh 60
}

arm_suite() {
  cmake --preset aarch64
  cmake --build --preset aarch64 -j "$jobs"
  ctest --preset aarch64 -j "$jobs"
}

# Wine itself now and then fails a program's start; a test that fails is run once more before it counts.
windows_64_suite() {
  cmake --preset windows-x64
  cmake --build --preset windows-x64 -j "$jobs"
  ctest --preset windows-x64 -j "$jobs" --repeat until-pass:2
}

windows_32_suite() {
  cmake --preset windows-x86
  cmake --build --preset windows-x86 -j "$jobs"
  ctest --preset windows-x86 -j "$jobs" --repeat until-pass:2
}

packages() {
  cmake --preset release
  cmake --build --preset release -j "$jobs"
  cpack --preset deb
  cpack --preset deb-arm64
  cpack --preset windows-zip
  HEX2VER_DEB_DIRS=build/release/packages:build/aarch64/packages HEX2VER_ZIP_DIR=build/windows-x86/packages \
    QEMU_LD_PREFIX=/usr/aarch64-linux-gnu python3 -m unittest -v tests/e2e/test_packages.py
}

part "set-up" set_up
part "Linux" linux_suite
part "sanitizers" sanitized_suite
part "fuzzing" fuzzing
part "ARM 64-bit" arm_suite
part "Windows 64-bit" windows_64_suite
part "Windows 32-bit" windows_32_suite
part "packages" packages
echo "== time of each part"
printf '%s\n' "${timings[@]}"
