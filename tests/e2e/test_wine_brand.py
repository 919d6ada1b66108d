"""A branded executable under Wine: it still starts the Java application (the
test-double JVM), and the Windows API reads back what kite-brand wrote: the
checksum (MapFileAndCheckSumW), the version strings and numbers
(GetFileVersionInfoW, VerQueryValueW), the icons (ExtractIconExW, LoadImageW)
and the manifest's execution level (FindResourceW). The tool's own Windows
build, kite-brand.exe, brands the same bytes as the Linux build."""

import pathlib
import unittest

import brand_support
import harness
from brand_support import ALL_OPTIONS
from test_wine_jvm import JvmApp


class WineBrand(harness.WineSuite):
    needs_double = True

    def setUp(self):
        self.sandbox = harness.Sandbox(self)
        self.icon = self.sandbox.write("app.ico", brand_support.ico_file(brand_support.ICON_IMAGES))

    def branded(self, name: str = "app.exe", **changes) -> pathlib.Path:
        options = {**ALL_OPTIONS, **changes}
        output = self.sandbox.path(name)
        result = brand_support.brand([harness.target_exe(), "--icon", self.icon,
                                      *brand_support.option_args(options), "--output", output])
        self.assertEqual(result.code, 0, result.stderr)
        return output

    def probe(self, exe) -> dict:
        result = self.wine.run(harness.TARGET.tool("brand_probe.exe"), [harness.Wine.winpath(exe)],
                               cwd=self.sandbox.root)
        self.assertEqual(result.code, 0, result.stdout + result.stderr)
        facts = {}
        for line in result.stdout.splitlines():
            key, _, value = line.partition("=")
            facts.setdefault(key, []).append(value)
        return facts

    def test_branded_executable_starts_the_java_application_signed_or_not(self):
        branded = self.branded(**{"--execution-level": "asInvoker"})
        signer = brand_support.Signer(self.sandbox)
        signed = self.sandbox.path("signed.exe")
        self.assertEqual(signer.sign(branded, signed).returncode, 0)
        for exe in (branded, signed):
            with self.subTest(exe.name):
                app = JvmApp(self, self.wine, ["main=out branded start"])
                app.launcher.path.write_bytes(exe.read_bytes())
                result = app.run(["eins"])
                self.assertEqual((result.code, result.stdout), (0, "branded start\r\n"), result.stderr)
                self.assertEqual(app.facts("arg"), ["s=1", "=eins"])

    def test_windows_reads_back_version_icons_manifest_and_checksum(self):
        untouched = self.probe(harness.target_exe())
        # The linker's checksum is the one Windows computes; so is the rebuilt one.
        self.assertEqual(untouched["checksum_header"], untouched["checksum_computed"])
        self.assertEqual(untouched["extract_icon_count"], ["0"])
        self.assertEqual(untouched["string:ProductName"], ["Kite"])

        facts = self.probe(self.branded(**{"--execution-level": "requireAdministrator"}))
        self.assertEqual(facts["checksum_result"], ["0"])
        self.assertEqual(facts["checksum_header"], facts["checksum_computed"])
        self.assertNotEqual(facts["checksum_header"], untouched["checksum_header"])
        self.assertEqual(facts["file_version"], ["2.10.0.65535"])
        self.assertEqual(facts["product_version"], ["2.10.0.65535"])
        self.assertEqual(facts["translation"], untouched["translation"])
        expected = {
            "ProductName": ALL_OPTIONS["--product-name"], "CompanyName": ALL_OPTIONS["--company"],
            "FileDescription": ALL_OPTIONS["--description"], "LegalCopyright": ALL_OPTIONS["--copyright"],
            "OriginalFilename": ALL_OPTIONS["--original-filename"], "FileVersion": "2.10.0.65535",
            "ProductVersion": "2.10.0.65535", "InternalName": harness.TARGET.exe_name[:-4],
        }
        self.assertEqual({key: facts[f"string:{key}"] for key in expected},
                         {key: [value] for key, value in expected.items()})
        # One icon group; Explorer's sizes come out of it, and every image decodes at its size.
        self.assertEqual(facts["extract_icon_count"], ["1"])
        self.assertEqual(facts["extract_icon_large"], ["32x32"])
        self.assertEqual(facts["extract_icon_small"], ["16x16"])
        self.assertEqual(facts["icon_group"], ["1"])
        self.assertEqual(facts["icon_image"], ["16x16:16x16", "32x32:32x32", "48x48:48x48", "256x256:256x256"])
        manifest = bytes.fromhex(facts["manifest_hex"][0])
        self.assertEqual(brand_support.manifest_level(manifest), "requireAdministrator")
        self.assertIn(b'uiAccess="false"', manifest)
        self.assertIn(b"Microsoft.Windows.Common-Controls", manifest)

    def test_windows_build_of_the_tool_brands_the_same_bytes(self):
        tool = harness.WIN64_DIR / "kite-brand.exe"
        if not tool.exists():
            self.skipTest(f"{tool} is not built")
        by_linux = self.branded("by-linux.exe")
        local = self.sandbox.copy(harness.target_exe(), "Qu\u00e9lle/kite.exe")
        by_windows = self.sandbox.path("by-windows.exe")
        args = [harness.Wine.winpath(local), "--icon", harness.Wine.winpath(self.icon),
                *brand_support.option_args(ALL_OPTIONS), "--output", harness.Wine.winpath(by_windows)]
        result = self.wine.run(tool, args, cwd=self.sandbox.root)
        self.assertEqual(result.code, 0, result.stdout + result.stderr)
        self.assertIn("kite-brand: wrote ", result.stdout)
        self.assertEqual(by_windows.read_bytes(), by_linux.read_bytes())

        # Refused under Windows too: the message on standard error, the exit code, no file.
        refused = self.sandbox.path("refused.exe")
        result = self.wine.run(tool, [harness.Wine.winpath(local), "--version", "1.2.3",
                                      "--output", harness.Wine.winpath(refused)], cwd=self.sandbox.root)
        self.assertEqual(result.code, 2)
        self.assertIn("kite-brand: --version 1.2.3: four numbers from 0 to 65535", result.stderr)
        self.assertFalse(refused.exists())
        result = self.wine.run(tool, [harness.Wine.winpath(local), "--output",
                                      harness.Wine.winpath(self.sandbox.path("qu\u00e9lle", "..", "Qu\u00e9lle",
                                                                             "KITE.EXE"))],
                               cwd=self.sandbox.root)
        self.assertEqual(result.code, 2, result.stdout + result.stderr)
        self.assertIn("is the input executable", result.stderr)


if __name__ == "__main__":
    unittest.main()
