#!/usr/bin/env bash
# Lets this kernel start 32-bit x86 programs (the 32-bit Wine) and 64-bit ARM programs (the aarch64 build) through
# qemu's user-mode emulation, registered with binfmt_misc (Debian package qemu-user-static; as root). The F flag
# opens the emulator now, so that it serves in any mount namespace.
set -euo pipefail
binfmt=/proc/sys/fs/binfmt_misc
mountpoint -q "$binfmt" || mount -t binfmt_misc binfmt_misc "$binfmt"
# register NAME MAGIC MASK: the ELF header fields that name the machine, and which of their bits count.
register() {
  [ -e "$binfmt/qemu-$1" ] || printf '%s' ":qemu-$1:M::$2:$3:/usr/bin/qemu-$1-static:F" >"$binfmt/register"
}
register i386 '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
  '\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
register aarch64 '\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00' \
  '\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
