#!/usr/bin/env bash
# Makes sure that this machine runs 32-bit x86 programs, as the tests of the 32-bit build need:
# natively, or where the kernel does not (some virtual machines) through qemu's user-mode
# emulator, installed when missing and registered with binfmt_misc under a name of its own. The
# registration keeps the program's own argv[0] (flag P), which the tests compare; it names the
# emulator by path, so in a chroot it runs the chroot's own.
set -euo pipefail
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
echo 'int main(void) { return 0; }' | gcc -m32 -x c - -o "$probe"
"$probe" 2>/dev/null && exit 0

if ! dpkg-query -W -f='${Status}' qemu-user 2>/dev/null | grep -q "install ok installed"; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-remove --no-install-recommends qemu-user
  "$probe" 2>/dev/null && exit 0  # registered before, only the emulator was missing
fi
# Unmounting binfmt_misc would drop the registration again, so the mount stays.
binfmt=/proc/sys/fs/binfmt_misc
mountpoint -q "$binfmt" || mount -t binfmt_misc binfmt_misc "$binfmt"
[ -e "$binfmt/fchba-i386" ] ||
  printf '%s' ':fchba-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:P' > "$binfmt/register"
"$probe" || { echo "enable-i386.sh: this machine runs no 32-bit x86 program, not even through qemu-i386" >&2; exit 1; }
