"""The Windows executables' PE headers: processor, subsystem (console, or GUI
for the windowed twins), resources with the project version, and imports
from Windows system libraries only (no mingw runtime DLL beside the exe).
kite.exe cannot run on this machine, so this is how it is checked."""

import re
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


def version_value(data: bytes, name: str) -> str | None:
    """A string of the version resource (UTF-16, padded to 4 bytes after the name)."""
    text = data.decode("utf-16-le", errors="replace")
    found = re.search(name + r"\x00+([^\x00]+)\x00", text)
    return found.group(1) if found else None


class PeHeaders(unittest.TestCase):
    # machine, optional header magic and subsystem (3 console, 2 GUI) of each executable
    EXECUTABLES = {
        "kite.exe": (harness.WIN32_DIR, 0x014C, 0x10B, 3),
        "kitew.exe": (harness.WIN32_DIR, 0x014C, 0x10B, 2),
        "kite64.exe": (harness.WIN64_DIR, 0x8664, 0x20B, 3),
        "kitew64.exe": (harness.WIN64_DIR, 0x8664, 0x20B, 2),
    }

    def check(self, name: str):
        folder, machine, magic, subsystem = self.EXECUTABLES[name]
        exe = folder / name
        if not exe.exists():
            self.skipTest(f"{exe} is not built")
        data = exe.read_bytes()
        image = PeImage(data)
        self.assertEqual(image.machine, machine)
        self.assertEqual(image.magic, magic)
        self.assertEqual(image.subsystem, subsystem)
        dlls = {dll.lower() for dll in image.imported_dlls()}
        self.assertTrue(dlls, "no imports found")
        self.assertLessEqual(dlls, SYSTEM_DLLS, f"non-system imports: {dlls - SYSTEM_DLLS}")
        self.assertLessEqual({RT_VERSION, RT_MANIFEST}, image.resource_types())
        version = re.search(r"project\(kite VERSION ([0-9.]+)",
                            (harness.SOURCE_DIR / "CMakeLists.txt").read_text()).group(1)
        self.assertEqual(version_value(data, "ProductName"), "Kite")
        self.assertEqual(version_value(data, "ProductVersion"), version)
        self.assertEqual(version_value(data, "OriginalFilename"), name)

    def test_kite_exe_is_a_32_bit_console_program(self):
        self.check("kite.exe")

    def test_kite64_exe_is_a_64_bit_console_program(self):
        self.check("kite64.exe")

    def test_windowed_twins_are_gui_programs_of_their_width(self):
        for name in ("kitew.exe", "kitew64.exe"):
            with self.subTest(name):
                self.check(name)


if __name__ == "__main__":
    unittest.main()
