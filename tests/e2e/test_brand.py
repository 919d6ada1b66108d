"""kite-brand (the Linux build) on the four Windows executables: every option
arrives where Windows reads it, everything else of the image stays as it
was, the result passes the release checks, can be signed and verified, and
bad input is refused with an English line on standard error and no file
written. The Windows side (starting a branded executable, the Windows API
reading it back, the tool's own Windows build) is test_wine_brand.py."""

import os
import pathlib
import struct
import sys
import unittest

import brand_support
import harness
from brand_support import ALL_OPTIONS, RT_DIALOG, RT_GROUP_ICON, RT_ICON, RT_MANIFEST, RT_VERSION, Pe

sys.path.insert(0, str(harness.SOURCE_DIR / "scripts"))
from release_checks import executable_checks  # noqa: E402

# name: build folder, machine, subsystem, size limit (as scripts/package.sh checks them)
EXECUTABLES = {
    "kite.exe": (harness.WIN32_DIR, 0x014C, 3, 640 * 1024),
    "kitew.exe": (harness.WIN32_DIR, 0x014C, 2, 640 * 1024),
    "kite64.exe": (harness.WIN64_DIR, 0x8664, 3, None),
    "kitew64.exe": (harness.WIN64_DIR, 0x8664, 2, None),
}


def built(test: unittest.TestCase, name: str) -> pathlib.Path:
    path = EXECUTABLES[name][0] / name
    if not path.exists():
        test.skipTest(f"{path} is not built")
    return path


class Brand(unittest.TestCase):
    def setUp(self):
        self.sandbox = harness.Sandbox(self)
        self.icon = self.sandbox.write("app.ico", brand_support.ico_file(brand_support.ICON_IMAGES))

    def brand(self, *args, cwd=None) -> harness.Result:
        return brand_support.brand(args, cwd=cwd or self.sandbox.root)

    def test_every_option_arrives_and_the_rest_of_the_image_is_kept(self):
        for name, (_, machine, subsystem, limit) in EXECUTABLES.items():
            with self.subTest(name):
                source = built(self, name)
                original = source.read_bytes()
                before = Pe(original)
                # The reference checksum agrees with the linker's on the untouched image.
                self.assertEqual(before.checksum, brand_support.pe_checksum(original, before.checksum_offset))
                output = self.sandbox.path(f"out-{name}")
                result = self.brand(source, "--icon", self.icon, *brand_support.option_args(ALL_OPTIONS),
                                    "--output", output)
                self.assertEqual((result.code, result.stderr), (0, ""))
                self.assertEqual(result.stdout, f"kite-brand: wrote {output} (from {name[:-4]})\n")
                data = output.read_bytes()
                after = Pe(data)

                for ok, what in executable_checks(name, data, machine, subsystem, limit):
                    self.assertTrue(ok, what)
                self.assertEqual(after.checksum, brand_support.pe_checksum(data, after.checksum_offset))
                self.assertNotEqual(after.checksum, before.checksum)

                version = after.resource(RT_VERSION)
                strings = brand_support.version_strings(version)
                self.assertEqual(strings["ProductName"], ALL_OPTIONS["--product-name"])
                self.assertEqual(strings["CompanyName"], ALL_OPTIONS["--company"])
                self.assertEqual(strings["FileDescription"], ALL_OPTIONS["--description"])
                self.assertEqual(strings["LegalCopyright"], ALL_OPTIONS["--copyright"])
                self.assertEqual(strings["OriginalFilename"], ALL_OPTIONS["--original-filename"])
                self.assertEqual(strings["FileVersion"], "2.10.0.65535")
                self.assertEqual(strings["ProductVersion"], "2.10.0.65535")
                self.assertEqual(strings["InternalName"], name[:-4])
                self.assertEqual(brand_support.fixed_versions(version), ("2.10.0.65535", "2.10.0.65535"))

                manifest = after.resource(RT_MANIFEST)
                old_manifest = before.resource(RT_MANIFEST)
                self.assertEqual(brand_support.manifest_level(manifest), "highestAvailable")
                self.assertEqual(manifest.replace(b'"highestAvailable"', b'"asInvoker"'), old_manifest)

                # The icon: one group listing the four images, each an RT_ICON holding the file's bytes.
                group = after.resource(RT_GROUP_ICON)
                reserved, kind, count = struct.unpack_from("<HHH", group)
                self.assertEqual((reserved, kind, count), (0, 1, 4))
                for i, (size, image) in enumerate(brand_support.ICON_IMAGES):
                    width, height, _, _, planes, bits, length, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
                    self.assertEqual((width, height, planes, bits, length), (size % 256, size % 256, 1, 32, len(image)))
                    self.assertEqual(after.resource(RT_ICON, icon_id), image)

                # Every other resource, and every section but .rsrc, byte for byte.
                old_resources = before.resources()
                new_resources = after.resources()
                for key, content in old_resources.items():
                    if key[0] not in (RT_VERSION, RT_MANIFEST):
                        self.assertEqual(new_resources[key], content, key)
                self.assertIn((RT_DIALOG, 201), {(t, n) for t, n, _ in new_resources})
                self.assertEqual([s["name"] for s in after.sections], [s["name"] for s in before.sections])
                for old, new in zip(before.sections, after.sections):
                    if old["name"] != ".rsrc":
                        self.assertEqual(after.raw(new["name"]), before.raw(old["name"]), old["name"])
                    if old["name"] not in (".rsrc", ".reloc"):
                        self.assertEqual((new["vaddr"], new["raddr"]), (old["vaddr"], old["raddr"]))
                rsrc, reloc = after.section(".rsrc"), after.section(".reloc")
                self.assertEqual(after.directories[2], (rsrc["vaddr"], rsrc["vsize"]))
                self.assertEqual(rsrc["rsize"] % after.file_alignment, 0)
                self.assertEqual(reloc["vaddr"], -(-(rsrc["vaddr"] + rsrc["vsize"]) // after.section_alignment)
                                 * after.section_alignment)
                self.assertEqual(after.directories[5], (reloc["vaddr"], before.directories[5][1]))
                alignment = after.section_alignment
                self.assertEqual(after.size_of_image, reloc["vaddr"] + -(-reloc["vsize"] // alignment) * alignment)
                self.assertEqual(after.initialized_data - before.initialized_data,
                                 rsrc["rsize"] - before.section(".rsrc")["rsize"])
                self.assertEqual(data[:rsrc["raddr"]], bytes(self.headers_as_branded(original, after)))

    @staticmethod
    def headers_as_branded(original: bytes, after: Pe) -> bytearray:
        """The input up to its resource section with the header fields the rebuild changes taken from the output."""
        expected = bytearray(original[:after.section(".rsrc")["raddr"]])
        changed = [after.checksum_offset, after.optional + 8, after.optional + 56]
        directory_table = after.optional + (96 if after.machine == 0x014C else 112)
        changed += [directory_table + 8 * 2 + 4, directory_table + 8 * 5]
        table = after.nt + 24 + struct.unpack_from("<H", original, after.nt + 20)[0]
        for i, section in enumerate(after.sections):
            if section["name"] == ".rsrc":
                changed += [table + 40 * i + 8, table + 40 * i + 16]
            if section["name"] == ".reloc":
                changed += [table + 40 * i + 12, table + 40 * i + 20]
        for at in changed:
            expected[at:at + 4] = after.data[at:at + 4]
        return expected

    def test_options_left_out_keep_what_the_executable_has(self):
        source = built(self, "kitew64.exe")
        before = Pe(source.read_bytes())
        first = self.sandbox.path("first.exe")
        self.assertEqual(self.brand(source, "--description", "Nur die Beschreibung", "--output", first).code, 0)
        after = Pe(first.read_bytes())
        old = brand_support.version_strings(before.resource(RT_VERSION))
        new = brand_support.version_strings(after.resource(RT_VERSION))
        self.assertEqual(new, {**old, "FileDescription": "Nur die Beschreibung"})
        self.assertEqual(brand_support.fixed_versions(after.resource(RT_VERSION)),
                         brand_support.fixed_versions(before.resource(RT_VERSION)))
        self.assertEqual(after.resource(RT_MANIFEST), before.resource(RT_MANIFEST))
        self.assertFalse([key for key in after.resources() if key[0] in (RT_ICON, RT_GROUP_ICON)])

        # A branded executable is branded again: earlier values stay, the icon is replaced whole.
        second = self.sandbox.path("second.exe")
        self.assertEqual(self.brand(first, "--version", "1.2.3.4", "--icon", self.icon, "--output", second).code, 0)
        smaller = self.sandbox.write("small.ico", brand_support.ico_file([(32, brand_support.bitmap_image(32))]))
        third = self.sandbox.path("third.exe")
        self.assertEqual(self.brand(second, "--icon", smaller, "--output", third).code, 0)
        branded = Pe(third.read_bytes())
        strings = brand_support.version_strings(branded.resource(RT_VERSION))
        self.assertEqual((strings["FileDescription"], strings["FileVersion"]), ("Nur die Beschreibung", "1.2.3.4"))
        icons = sorted(name for (kind, name, _) in branded.resources() if kind == RT_ICON)
        self.assertEqual(icons, [1])
        self.assertLess(len(third.read_bytes()), len(second.read_bytes()))
        # An existing output is replaced whole, and nothing is left beside it.
        self.assertEqual(self.brand(first, "--company", "Zweiter Lauf", "--output", third).code, 0)
        self.assertEqual(brand_support.version_strings(Pe(third.read_bytes()).resource(RT_VERSION))["CompanyName"],
                         "Zweiter Lauf")
        self.assertEqual(sorted(p.name for p in self.sandbox.root.iterdir()),
                         ["app.ico", "first.exe", "second.exe", "small.ico", "third.exe"])

    def test_branded_executable_is_signed_and_verified_and_rebranding_drops_the_signature(self):
        signer = brand_support.Signer(self.sandbox)
        for name in ("kite64.exe", "kite.exe"):
            with self.subTest(name):
                source = built(self, name)
                branded = self.sandbox.path(f"branded-{name}")
                self.assertEqual(self.brand(source, "--icon", self.icon, "--company", "M\u00fcller",
                                            "--output", branded).code, 0)
                signed = self.sandbox.path(f"signed-{name}")
                signing = signer.sign(branded, signed)
                self.assertEqual(signing.returncode, 0, signing.stdout)
                verified = signer.verify(signed)
                self.assertEqual(verified.returncode, 0, verified.stdout)
                self.assertIn("Signature verification: ok", verified.stdout)
                self.assertIn("/CN=Kite Test Publisher", verified.stdout)

                # Branding the signed file leaves the signature out (and says so); it can be signed again.
                rebranded = self.sandbox.path(f"rebranded-{name}")
                result = self.brand(signed, "--version", "3.0.0.0", "--output", rebranded)
                self.assertEqual(result.code, 0, result.stderr)
                self.assertIn(f"note: {signed} was signed; {rebranded} is not: sign it again", result.stderr)
                data = rebranded.read_bytes()
                self.assertEqual(Pe(data).directories[4], (0, 0))
                self.assertEqual(len(data), len(branded.read_bytes()))
                self.assertNotEqual(signer.verify(rebranded).returncode, 0)
                self.assertEqual(signer.sign(rebranded, self.sandbox.path(f"resigned-{name}")).returncode, 0)
                self.assertEqual(signer.verify(self.sandbox.path(f"resigned-{name}")).returncode, 0)

    def test_bad_input_is_refused_in_english_and_nothing_is_written(self):
        source = built(self, "kite64.exe")
        kite = self.sandbox.copy(source, "kite64.exe")
        os.symlink("kite64.exe", self.sandbox.path("link.exe"))
        good_ico = brand_support.ico_file(brand_support.ICON_IMAGES)
        broken_icons = {
            "cut.ico": good_ico[:len(good_ico) - 100],
            "cursor.ico": good_ico[:2] + b"\x02\x00" + good_ico[4:],
            "mislabelled.ico": brand_support.ico_file([(48, brand_support.png_image(32))]),
            "text.ico": b"not an icon at all",
        }
        for file_name, content in broken_icons.items():
            self.sandbox.write(file_name, content)
        # The Linux launcher; a Windows program without resources.
        not_kite = {harness.KITE_BIN: "not a Windows executable (no MZ header)",
                    source.parent / "tests" / "win_tools" / "brand_probe.exe": "not a Kite executable: it has no resources"}
        # Another program with a version resource: kite64.exe whose InternalName is changed.
        renamed = bytearray(source.read_bytes())
        marker = "kite64".encode("utf-16-le") + b"\0\0"
        at = renamed.index(b"I\0n\0t\0e\0r\0n\0a\0l\0N\0a\0m\0e\0")
        at = renamed.index(marker, at)
        renamed[at:at + len(marker)] = "setup!".encode("utf-16-le") + b"\0\0"
        self.sandbox.write("other.exe", bytes(renamed))
        cases = [
            (["kite64.exe", "--version", "1.2.3", "--output", "a.exe"], 2, "--version 1.2.3: four numbers"),
            (["kite64.exe", "--execution-level", "administrator", "--output", "a.exe"], 2,
             "asInvoker, highestAvailable, requireAdministrator"),
            (["kite64.exe", "--output", "kite64.exe"], 2, "is the input executable"),
            (["kite64.exe", "--output", "sub/../kite64.exe"], 2, "is the input executable"),
            (["kite64.exe", "--output", str(kite)], 2, "is the input executable"),
            (["kite64.exe", "--output", "link.exe"], 2, "is the input executable"),
            (["kite64.exe", "--icon", "cut.ico", "--output", "a.exe"], 1, "cut.ico: image 4 of the icon file"),
            (["kite64.exe", "--icon", "cursor.ico", "--output", "a.exe"], 1, "a cursor file"),
            (["kite64.exe", "--icon", "mislabelled.ico", "--output", "a.exe"], 1, "32x32 pixels, but its entry says 48x48"),
            (["kite64.exe", "--icon", "text.ico", "--output", "a.exe"], 1, "not an icon file"),
            (["kite64.exe", "--icon", "missing.ico", "--output", "a.exe"], 1, "missing.ico: no such file"),
            (["other.exe", "--output", "a.exe"], 1, "other.exe: not a Kite executable"),
            (["kite64.exe", "--output", "no-such-folder/a.exe"], 1, "does not exist"),
        ] + [([str(path), "--output", "a.exe"], 1, says) for path, says in not_kite.items() if path.exists()]
        listing = sorted(p.name for p in self.sandbox.root.rglob("*"))
        for args, code, says in cases:
            with self.subTest(" ".join(args)):
                result = self.brand(*args)
                self.assertEqual(result.code, code, result.stderr)
                self.assertEqual(result.stdout, "")
                self.assertTrue(result.stderr.startswith("kite-brand: "), result.stderr)
                self.assertIn(says, result.stderr)
                self.assertEqual(sorted(p.name for p in self.sandbox.root.rglob("*")), listing)
        self.assertEqual(kite.read_bytes(), source.read_bytes())


if __name__ == "__main__":
    unittest.main()
