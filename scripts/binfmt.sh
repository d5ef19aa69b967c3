#!/usr/bin/env bash
# Lets this kernel start 32-bit x86 programs (the 32-bit Wine) through qemu's user-mode emulation, registered with
# binfmt_misc (Debian package qemu-user-static; as root). The F flag opens the emulator now, so that it serves in
# any mount namespace.
set -euo pipefail
binfmt=/proc/sys/fs/binfmt_misc
mountpoint -q "$binfmt" || mount -t binfmt_misc binfmt_misc "$binfmt"
if [ ! -e "$binfmt/qemu-i386" ]; then
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    >"$binfmt/register"
fi
