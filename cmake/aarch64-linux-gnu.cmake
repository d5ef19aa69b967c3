# Cross-compiling for 64-bit ARM Linux (Debian package g++-aarch64-linux-gnu). The programs run here through qemu's
# user-mode emulation (scripts/binfmt.sh), with QEMU_LD_PREFIX=/usr/aarch64-linux-gnu for their libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The architecture Debian names it by, for the package.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
