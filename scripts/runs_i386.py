#!/usr/bin/env python3
"""Finds out whether this machine executes 32-bit x86 code, by running it.

Some x86_64 machines refuse 32-bit programs (the kernel lacks or disables its
IA-32 emulation, or the virtual machine forbids 32-bit code segments), and a
kernel flag does not tell reliably. So this writes a static 32-bit ELF
program of 96 bytes that only calls exit(42) through int 0x80, runs it and
checks for 42. kite.exe runs under Wine only where this works.

As a program: exit code 0 when 32-bit code runs, 1 when it does not, and one
line on standard output that says which. scripts/setup.sh and the end-to-end
harness both ask it."""

import os
import struct
import subprocess
import sys
import tempfile

BASE = 0x08048000
CODE = bytes([0xBB, 42, 0, 0, 0,       # mov ebx, 42
              0xB8, 1, 0, 0, 0,        # mov eax, 1 (exit)
              0xCD, 0x80])             # int 0x80
HEADER_SIZE = 52 + 32


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


if __name__ == "__main__":
    if executes_i386():
        print("32-bit x86 code runs on this machine: kite.exe can be executed under Wine (wine32)")
        sys.exit(0)
    print("32-bit x86 code does not run on this machine: kite.exe cannot be executed here")
    sys.exit(1)
