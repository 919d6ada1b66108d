"""The paired start of kite64.exe under Wine: a "JRE Path" whose jvm.dll is a
32-bit x86 image makes the launcher start "Pair Product" with its own command
line instead of loading the library. The paired executable is the recorder of
tests/win_tools, which writes down its command line and exits with a given
code."""

import struct
import subprocess
import time
import unittest

import harness


def i686_image() -> bytes:
    """The head of a PE image for 32-bit x86 (machine 0x14c): all that the image check reads."""
    dos = bytearray(64)
    dos[0:2] = b"MZ"
    dos[60:64] = struct.pack("<I", 64)
    return bytes(dos) + b"PE\0\0" + struct.pack("<H", 0x14C) + bytes(250)


class WinePaired(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.recorder = harness.WIN64_DIR / "tests" / "win_tools" / "paired_recorder.exe"
        harness.win64_exe()
        if not cls.recorder.exists():
            raise unittest.SkipTest(f"{cls.recorder} is not built")
        cls.wine = harness.Wine()

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def setUp(self):
        self.sandbox = harness.Sandbox(self)
        self.launcher = harness.WineLauncher(self.wine, self.sandbox)
        self.sandbox.write("jre/bin/client/jvm.dll", i686_image())
        self.paired = self.sandbox.copy(self.recorder, "app32/app32.exe")
        self.record = self.sandbox.path("record.txt")

    def write_ini(self, application: dict):
        self.launcher.write_ini({
            "Java Runtime Environment": {"Main Class": "com.example.App", "Maximum Version": "any",
                                         "JRE Path": self.wine.winpath(self.sandbox.path("jre"))},
            "Class Path": {"Class Path": "D:\\Libs\\app.jar"},
            "Application": application,
        })

    def recorder_env(self, code: str, sleep: str = "0") -> dict:
        return {"KITE_RECORDER_FILE": self.wine.winpath(self.record), "KITE_RECORDER_EXIT": code,
                "KITE_RECORDER_SLEEP": sleep}

    def recorded_lines(self, count: int = 1) -> list:
        for _ in range(100):
            if self.record.exists() and len(self.record.read_text(encoding="utf-8").splitlines()) >= count:
                break
            time.sleep(0.1)
        return self.record.read_text(encoding="utf-8").splitlines() if self.record.exists() else []

    def test_paired_executable_gets_the_launchers_own_command_line(self):
        args = ["a b", "", "c\\\"d"]
        # The command line the recorder sees when started directly, for comparison.
        self.wine.run(self.paired, args, extra_env=self.recorder_env("0"))
        direct = self.recorded_lines()[0]
        self.record.unlink()
        self.write_ini({"Pair Product": self.wine.winpath(self.paired), "Pair Return Code": "yes"})
        result = self.launcher.run(args, extra_env=self.recorder_env("7"))
        self.assertEqual((result.code, result.stdout), (7, ""))
        paired_line = self.recorded_lines()[0]
        self.assertEqual(paired_line, direct.replace(self.wine.winpath(self.paired),
                                                     self.wine.winpath(self.launcher.path)))
        self.assertIn("app.exe", paired_line.split(" ")[0])

    def test_pair_return_code_decides_whether_the_launcher_waits(self):
        cases = [
            ({"Pair Return Code": "yes"}, "7", 7),
            ({"Pair Return Code": "YES"}, "-3", 253),
            ({"Pair Return Code": "no"}, "7", 0),
            ({}, "7", 0),
        ]
        for application, code, expected in cases:
            with self.subTest(application=application):
                self.record.unlink(missing_ok=True)
                self.write_ini({"Pair Product": self.wine.winpath(self.paired), **application})
                # Not through pipes: under Wine the paired process shares the launcher's
                # Unix standard output, so a pipe would stay open as long as it runs.
                out = self.sandbox.path("out.txt")
                began = time.monotonic()
                with open(out, "wb") as sink:
                    launcher = subprocess.Popen([harness.WINE64, str(self.launcher.path), "x"],
                                                env=dict(self.wine.env, **self.recorder_env(code, "3000")),
                                                cwd=self.launcher.folder, stdout=sink, stderr=subprocess.DEVNULL)
                    code_seen = launcher.wait(timeout=60) & 0xFF
                elapsed = time.monotonic() - began
                self.assertEqual((code_seen, out.read_bytes()), (expected, b""))
                if expected == 0:
                    self.assertLess(elapsed, 2.5)  # returned while the paired process still runs
                else:
                    self.assertGreater(elapsed, 2.5)
                self.assertEqual(len(self.recorded_lines()), 1)

    def test_missing_paired_executable_ends_with_zero(self):
        for application in ({"Pair Return Code": "yes"}, {}):
            with self.subTest(application=application):
                self.write_ini({"Pair Product": self.wine.winpath(self.sandbox.path("none", "app32.exe")),
                                **application})
                result = self.launcher.run(["x"], extra_env=self.recorder_env("7"))
                self.assertEqual((result.code, result.stdout), (0, ""))

    def test_second_start_of_a_paired_primary_lasts_as_long_as_the_primary(self):
        # The primary never reaches a main method, so nothing is ever delivered.
        self.write_ini({"Pair Product": self.wine.winpath(self.paired), "Pair Return Code": "yes",
                        "Single Instance": "yes"})
        env = dict(self.wine.env, **self.recorder_env("12", "4000"))
        primary = subprocess.Popen([harness.WINE64, str(self.launcher.path), "first"], env=env,
                                   cwd=self.launcher.folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: primary.poll() is None and primary.kill())
        self.recorded_lines()
        result = self.launcher.run(["second"], extra_env=self.recorder_env("99"))
        self.assertEqual((result.code, result.stdout), (12, ""))
        primary.wait(timeout=60)
        self.assertEqual(primary.returncode, 12)
        self.assertEqual(len(self.recorded_lines()), 1)  # the second start started nothing


if __name__ == "__main__":
    unittest.main()
