"""Helpers of the kite-brand suites: a reader of PE resources written in
Python from the PE/COFF layout (so the tool's output is checked by other code
than its own), the PE checksum, icon files with real PNG and bitmap images,
and a self-made code signing certificate."""

import os
import pathlib
import re
import struct
import subprocess
import unittest
import zlib

import harness

KITE_BRAND = pathlib.Path(os.environ.get("KITE_BRAND_BIN", harness.HOST_DIR / "kite-brand"))
RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24

# Every option with a value that shows it arrived; the icon is added by the caller.
ALL_OPTIONS = {
    "--product-name": "Fotoablage",
    "--company": "M\u00fcller & S\u00f6hne GmbH",
    "--description": "Fotoablage \u2013 Bilder sortieren",
    "--copyright": "\u00a9 2025 M\u00fcller & S\u00f6hne",
    "--version": "2.10.0.65535",
    "--original-filename": "fotoablage.exe",
    "--execution-level": "highestAvailable",
}


def option_args(options: dict) -> list:
    return [part for name, value in options.items() for part in (name, value)]


class Pe:
    """Headers, sections and the resource tree of a PE image."""

    def __init__(self, data: bytes):
        self.data = data
        self.nt = struct.unpack_from("<I", data, 60)[0]
        self.machine, count, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, self.nt + 4)
        self.optional = self.nt + 24
        magic = struct.unpack_from("<H", data, self.optional)[0]
        self.checksum_offset = self.optional + 64
        self.checksum = struct.unpack_from("<I", data, self.checksum_offset)[0]
        self.initialized_data = struct.unpack_from("<I", data, self.optional + 8)[0]
        self.section_alignment, self.file_alignment = struct.unpack_from("<II", data, self.optional + 32)
        self.size_of_image = struct.unpack_from("<I", data, self.optional + 56)[0]
        table = self.optional + (96 if magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, table + 8 * i) for i in range(16)]
        self.sections = []
        for i in range(count):
            at = self.optional + optional_size + 40 * i
            name, vsize, vaddr, rsize, raddr = struct.unpack_from("<8sIIII", data, at)
            characteristics = struct.unpack_from("<I", data, at + 36)[0]
            self.sections.append(dict(name=name.rstrip(b"\0").decode(), vsize=vsize, vaddr=vaddr, rsize=rsize,
                                      raddr=raddr, flags=characteristics))

    def section(self, name: str) -> dict:
        return next(s for s in self.sections if s["name"] == name)

    def raw(self, name: str) -> bytes:
        s = self.section(name)
        return self.data[s["raddr"]:s["raddr"] + s["rsize"]]

    def offset(self, rva: int) -> int:
        for s in self.sections:
            if s["vaddr"] <= rva < s["vaddr"] + max(s["vsize"], s["rsize"]):
                return rva - s["vaddr"] + s["raddr"]
        raise ValueError(f"rva {rva:#x} outside the sections")

    def resources(self) -> dict:
        """{(type, name, language): bytes}; string names as str. Checks that every
        directory lists names before IDs, each part in ascending order."""
        base = self.offset(self.directories[2][0])
        found = {}

        def key(field):
            if field & 0x80000000:
                at = base + (field & 0x7FFFFFFF)
                length = struct.unpack_from("<H", self.data, at)[0]
                return self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            return field

        def walk(at, path):
            named, ids = struct.unpack_from("<HH", self.data, at + 12)
            keys = []
            for i in range(named + ids):
                field, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                assert bool(field & 0x80000000) == (i < named), "names before IDs"
                keys.append(key(field))
                if len(path) < 2:
                    assert target & 0x80000000, "three levels"
                    walk(base + (target & 0x7FFFFFFF), path + [keys[-1]])
                else:
                    rva, size = struct.unpack_from("<II", self.data, base + target)
                    found[tuple(path + [keys[-1]])] = self.data[self.offset(rva):self.offset(rva) + size]
            assert keys[:named] == sorted(keys[:named], key=str.upper) and keys[named:] == sorted(keys[named:]), \
                "entries in ascending order"

        walk(base, [])
        return found

    def resource(self, type_id: int, name=1) -> bytes:
        matches = [data for (t, n, _), data in self.resources().items() if t == type_id and n == name]
        assert len(matches) == 1, f"one resource {type_id}/{name}, found {len(matches)}"
        return matches[0]


def pe_checksum(data: bytes, checksum_offset: int) -> int:
    """CheckSumMappedFile's sum: 16-bit words with the carry folded in, the field itself as zero, plus the length."""
    image = bytearray(data)
    image[checksum_offset:checksum_offset + 4] = b"\0\0\0\0"
    if len(image) % 2:
        image.append(0)
    total = 0
    for (word,) in struct.iter_unpack("<H", image):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return ((total & 0xFFFF) + (total >> 16) + len(data)) & 0xFFFFFFFF


def version_strings(resource: bytes) -> dict:
    """The strings of a version resource's string table, read by the node lengths."""
    strings = {}

    def node(at, end, depth):
        length, value_length, kind = struct.unpack_from("<HHH", resource, at)
        stop = at + length
        key_end = at + 6
        while resource[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        name = resource[at + 6:key_end].decode("utf-16-le")
        value_at = (key_end + 2 + 3) & ~3
        if depth == 3:
            strings[name] = resource[value_at:value_at + 2 * value_length].decode("utf-16-le").rstrip("\0")
            return stop
        child = (value_at + (2 * value_length if kind == 1 else value_length) + 3) & ~3
        while child < stop:
            child = (node(child, stop, depth + 1) + 3) & ~3
        return stop

    node(0, len(resource), 0)
    return strings


def fixed_versions(resource: bytes) -> tuple:
    """(file version, product version) of VS_FIXEDFILEINFO as 'a.b.c.d'."""
    at = resource.index(struct.pack("<I", 0xFEEF04BD))
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", resource, at + 8)
    four = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    return four(file_ms, file_ls), four(product_ms, product_ls)


def manifest_level(manifest: bytes) -> str:
    return re.search(rb'<requestedExecutionLevel\s[^>]*\blevel="([^"]*)"', manifest).group(1).decode()


def png_image(size: int) -> bytes:
    """A real RGBA PNG: a blue disc with a white ring on a transparent ground, drawn as
    icons are (flat colours), so that it compresses as a real icon does."""
    def chunk(kind, payload):
        return struct.pack(">I", len(payload)) + kind + payload + struct.pack(">I", zlib.crc32(kind + payload))
    centre, rows = (size - 1) / 2, []
    for y in range(size):
        row = bytearray(b"\0")
        for x in range(size):
            distance = ((x - centre) ** 2 + (y - centre) ** 2) ** 0.5 / (size / 2)
            row += (bytes((30, 90, 200, 255)) if distance < 0.8 else bytes((255, 255, 255, 255)) if distance < 0.95
                    else bytes(4))
        rows.append(bytes(row))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def bitmap_image(size: int) -> bytes:
    """A 32-bit icon bitmap: BITMAPINFOHEADER (twice the height), colour bits, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + bytes((40, 90, 200, 255)) * size * size + b"\0" * ((size + 31) // 32 * 4 * size)


def ico_file(images: list) -> bytes:
    """images: (size, bytes) pairs; 256 is written as 0 in the directory."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + b"".join(data for _, data in images)


# The icon every suite brands with: three bitmaps and a PNG-compressed 256-pixel image.
ICON_IMAGES = [(16, bitmap_image(16)), (32, bitmap_image(32)), (48, bitmap_image(48)), (256, png_image(256))]


def brand(args, cwd=None, timeout=120) -> harness.Result:
    if not KITE_BRAND.exists():
        raise unittest.SkipTest(f"{KITE_BRAND} is not built")
    completed = subprocess.run([str(KITE_BRAND), *map(str, args)], cwd=cwd, timeout=timeout,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return harness.Result(completed.returncode, completed.stdout, completed.stderr)


class Signer:
    """A self-signed code signing certificate made with openssl, and osslsigncode around it."""

    def __init__(self, sandbox: harness.Sandbox, publisher: str = "Kite Test Publisher"):
        for tool in ("openssl", "osslsigncode"):
            if subprocess.run(["which", tool], stdout=subprocess.DEVNULL).returncode != 0:
                raise unittest.SkipTest(f"{tool} is not installed (scripts/setup.sh)")
        self.key = sandbox.path("signing", "key.pem")
        self.certificate = sandbox.path("signing", "cert.pem")
        self.key.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-keyout", str(self.key), "-out", str(self.certificate), "-subj", f"/CN={publisher}",
                        "-addext", "extendedKeyUsage=codeSigning"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def sign(self, source, target) -> subprocess.CompletedProcess:
        return subprocess.run(["osslsigncode", "sign", "-certs", str(self.certificate), "-key", str(self.key),
                               "-n", "Fotoablage", "-h", "sha256", "-in", str(source), "-out", str(target)],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)

    def verify(self, path) -> subprocess.CompletedProcess:
        return subprocess.run(["osslsigncode", "verify", "-in", str(path), "-CAfile", str(self.certificate)],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
