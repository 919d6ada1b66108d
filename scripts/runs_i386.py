#!/usr/bin/env python3
"""Finds out whether this machine executes 32-bit x86 code, by running it.

Some x86_64 machines refuse 32-bit programs (the kernel lacks or disables its
IA-32 emulation, or the virtual machine forbids 32-bit code segments), and a
kernel flag does not tell reliably. So this writes a static 32-bit ELF
program of 96 bytes that only calls exit(42) through int 0x80, runs it and
checks for 42. kite.exe runs under Wine only where this works, either
natively or through qemu-i386-static in the private namespace that
scripts/i386-namespace.sh makes.

As a program (exit code 0 for yes, 1 for no, and one line on standard output
that says which):
    runs_i386.py                      does 32-bit code run here, as it is?
    runs_i386.py --namespace          can scripts/i386-namespace.sh make its namespace here?
    runs_i386.py --through-namespace  does 32-bit code run inside that namespace (through qemu)?
scripts/setup.sh asks them to choose the route; the end-to-end harness asks
the first one (inside the namespace where it runs the Windows suites there)."""

import os
import pathlib
import struct
import subprocess
import sys
import tempfile

BASE = 0x08048000
CODE = bytes([0xBB, 42, 0, 0, 0,       # mov ebx, 42
              0xB8, 1, 0, 0, 0,        # mov eax, 1 (exit)
              0xCD, 0x80])             # int 0x80
HEADER_SIZE = 52 + 32
NAMESPACE = pathlib.Path(__file__).resolve().parent / "i386-namespace.sh"


def program() -> bytes:
    size = HEADER_SIZE + len(CODE)
    ident = b"\x7fELF" + bytes([1, 1, 1, 0]) + bytes(8)       # 32-bit, little endian, version 1, System V
    header = ident + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, BASE + HEADER_SIZE, 52, 0, 0, 52, 32, 1, 0, 0, 0)
    segment = struct.pack("<IIIIIIII", 1, 0, BASE, BASE, size, size, 5, 0x1000)   # PT_LOAD, read + execute
    return header + segment + CODE


def executes_i386() -> bool:
    with tempfile.TemporaryDirectory(prefix="kite-i386-") as folder:
        path = os.path.join(folder, "exit42")
        with open(path, "wb") as file:
            file.write(program())
        os.chmod(path, 0o755)
        try:
            return subprocess.run([path], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, timeout=30).returncode == 42
        except (OSError, subprocess.SubprocessError):
            return False   # "Exec format error" where the kernel refuses the image


def namespace_possible() -> bool:
    """Whether a private user and mount namespace with its own binfmt_misc can be made here."""
    try:
        return subprocess.run(["bash", str(NAMESPACE), "--check"], stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60).returncode == 0
    except (OSError, subprocess.SubprocessError):
        return False


def executes_i386_through_namespace() -> bool:
    """Whether the probe program runs inside that namespace (qemu-i386-static installed)."""
    try:
        return subprocess.run(["bash", str(NAMESPACE), sys.executable, os.path.abspath(__file__)],
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=120).returncode == 0
    except (OSError, subprocess.SubprocessError):
        return False


if __name__ == "__main__":
    mode = sys.argv[1] if len(sys.argv) > 1 else ""
    if mode == "--namespace":
        if namespace_possible():
            print("a private user+mount namespace with its own binfmt_misc can be made here")
            sys.exit(0)
        print("no private user+mount namespace with its own binfmt_misc can be made here "
              "(unshare refused, or a kernel older than 6.7)")
        sys.exit(1)
    if mode == "--through-namespace":
        if executes_i386_through_namespace():
            print("32-bit x86 code runs through qemu-i386-static in a private namespace "
                  "(scripts/i386-namespace.sh)")
            sys.exit(0)
        print("32-bit x86 code does not run even through qemu-i386-static in a private namespace "
              "(scripts/i386-namespace.sh)")
        sys.exit(1)
    if mode:
        print(f"usage: {sys.argv[0]} [--namespace | --through-namespace]", file=sys.stderr)
        sys.exit(2)
    if executes_i386():
        where = " (through qemu-i386-static)" if os.environ.get("KITE_I386_ROUTE") == "qemu" else ""
        print(f"32-bit x86 code runs here{where}: kite.exe can be executed under Wine (wine32)")
        sys.exit(0)
    print("32-bit x86 code does not run here: kite.exe cannot be executed as it is")
    sys.exit(1)
