#!/usr/bin/env bash
# Runs a command where i386 ELF programs run through qemu-i386-static, on
# machines whose kernel refuses 32-bit x86 code.
#
#   scripts/i386-namespace.sh COMMAND [ARG...]
#   scripts/i386-namespace.sh --check     can such a namespace be made here?
#
# The command runs in a private user and mount namespace with its own
# binfmt_misc (Linux 6.7 gives every user namespace one), in which a rule
# hands i386 ELF images (executables and shared objects, so Wine's 32-bit
# loader too) to /usr/bin/qemu-i386-static. Nothing changes outside: the rule
# lives as long as the last process of the namespace, and every process the
# command starts (a wineserver, Wine's service manager, the services it
# starts) stays inside and keeps the rule. Inside, KITE_I386_ROUTE=qemu.
#
# --check registers a rule without opening the interpreter, so it works
# before qemu-user-static is installed; exit code 0 when it worked.
set -euo pipefail

QEMU=/usr/bin/qemu-i386-static
# ELF, 32-bit, little endian, version 1; e_type 2 or 3 (executable or shared
# object); e_machine 3 (i386). The mask lets any OS/ABI byte through.
MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# The part that runs inside the namespace: $1 is the rule's flags ("F": the
# interpreter is opened now, so it works from any mount namespace later).
inside='
  set -e
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  printf "%s" ":kite-i386:M::$KITE_I386_MAGIC:$KITE_I386_MASK:$KITE_I386_QEMU:$1" > /proc/sys/fs/binfmt_misc/register
  unset KITE_I386_MAGIC KITE_I386_MASK KITE_I386_QEMU
  shift
  [ $# -gt 0 ] || exit 0
  exec "$@"
'

export KITE_I386_MAGIC="$MAGIC" KITE_I386_MASK="$MASK" KITE_I386_QEMU="$QEMU"
if [ "${1:-}" = "--check" ]; then
  exec unshare --user --map-root-user --mount --propagation private sh -c "$inside" sh "" 2>/dev/null
fi
if [ $# -eq 0 ]; then
  echo "usage: $0 COMMAND [ARG...] | --check" >&2
  exit 2
fi
if [ ! -x "$QEMU" ]; then
  echo "i386-namespace: $QEMU is missing: qemu-user-static is not installed (scripts/setup.sh)" >&2
  exit 126
fi
export KITE_I386_ROUTE=qemu
exec unshare --user --map-root-user --mount --propagation private sh -c "$inside" sh F "$@"
