"""The Windows executables' PE headers: processor, console subsystem, resources,
and imports from Windows system libraries only (no mingw runtime DLL beside
the exe). kite.exe cannot run on this machine, so this is how it is checked."""

import struct
import unittest

import harness

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll", "comctl32.dll", "ole32.dll",
    "gdi32.dll", "msvcrt.dll", "comdlg32.dll", "shlwapi.dll", "oleaut32.dll",
}
RT_VERSION = 16
RT_MANIFEST = 24


class PeImage:
    def __init__(self, data: bytes):
        self.data = data
        assert data[:2] == b"MZ", "no MZ header"
        self.nt = struct.unpack_from("<I", data, 60)[0]
        assert data[self.nt:self.nt + 4] == b"PE\0\0", "no PE signature"
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, self.nt + 4)
        self.optional = self.nt + 24
        self.magic = struct.unpack_from("<H", data, self.optional)[0]
        self.subsystem = struct.unpack_from("<H", data, self.optional + 68)[0]
        directories = self.optional + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        table = self.optional + optional_size
        self.sections = []
        for i in range(sections):
            name, vsize, vaddr, rsize, raddr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((vaddr, max(vsize, rsize), raddr))

    def offset(self, rva: int) -> int:
        for vaddr, size, raddr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raddr
        raise ValueError(f"rva {rva:#x} outside the sections")

    def string(self, rva: int) -> str:
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imported_dlls(self) -> list[str]:
        rva, _ = self.directories[1]
        names = []
        position = self.offset(rva)
        while True:
            entry = struct.unpack_from("<IIIII", self.data, position)
            if entry == (0, 0, 0, 0, 0):
                return names
            names.append(self.string(entry[3]))
            position += 20

    def resource_types(self) -> set[int]:
        rva, _ = self.directories[2]
        if rva == 0:
            return set()
        root = self.offset(rva)
        named, ids = struct.unpack_from("<HH", self.data, root + 12)
        types = set()
        for i in range(named + ids):
            name, _ = struct.unpack_from("<II", self.data, root + 16 + 8 * i)
            if not name & 0x80000000:
                types.add(name)
        return types


class PeHeaders(unittest.TestCase):
    def check(self, exe, machine: int, magic: int):
        if not exe.exists():
            self.skipTest(f"{exe} is not built")
        image = PeImage(exe.read_bytes())
        self.assertEqual(image.machine, machine)
        self.assertEqual(image.magic, magic)
        self.assertEqual(image.subsystem, 3, "console subsystem expected")
        dlls = {name.lower() for name in image.imported_dlls()}
        self.assertTrue(dlls, "no imports found")
        self.assertLessEqual(dlls, SYSTEM_DLLS, f"non-system imports: {dlls - SYSTEM_DLLS}")
        self.assertLessEqual({RT_VERSION, RT_MANIFEST}, image.resource_types())

    def test_kite_exe_is_a_32_bit_console_program(self):
        self.check(harness.WIN32_DIR / "kite.exe", 0x014C, 0x10B)

    def test_kite64_exe_is_a_64_bit_console_program(self):
        self.check(harness.WIN64_DIR / "kite64.exe", 0x8664, 0x20B)


if __name__ == "__main__":
    unittest.main()
