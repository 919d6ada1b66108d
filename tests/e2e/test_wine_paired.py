"""The paired start of the Windows executable under Wine: a "JRE Path" whose
jvm.dll is an image of the other width makes the launcher start "Pair
Product" with its own command line instead of loading the library.

Most cases pair it with the recorder of tests/win_tools, which writes down its
command line and exits with a given code. The real chain pairs kite.exe and
kite64.exe, each with the test double of its own width; it needs both
executables, so it runs only where 32-bit code runs."""

import struct
import subprocess
import time
import unittest

import harness


def other_image() -> bytes:
    """The head of a PE image of the other width (machine 0x8664 for kite.exe, 0x14c for
    kite64.exe): all that the image check reads."""
    dos = bytearray(64)
    dos[0:2] = b"MZ"
    dos[60:64] = struct.pack("<I", 64)
    return bytes(dos) + b"PE\0\0" + struct.pack("<H", harness.TARGET.other.machine) + bytes(250)


class WinePaired(harness.WineSuite):
    @classmethod
    def setUpClass(cls):
        cls.recorder = harness.TARGET.tool("paired_recorder.exe")
        super().setUpClass()

    def setUp(self):
        self.sandbox = harness.Sandbox(self)
        self.launcher = harness.WineLauncher(self.wine, self.sandbox)
        self.sandbox.write("jre/bin/client/jvm.dll", other_image())
        self.paired = self.sandbox.copy(self.recorder, "pair/pair.exe")
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
                # A launcher that waits takes at least 3 s; one that does not ends long before 30 s.
                sleep = "3000" if expected else "30000"
                began = time.monotonic()
                with open(out, "wb") as sink:
                    launcher = subprocess.Popen(self.launcher.command(["x"]),
                                                env=dict(self.wine.env, **self.recorder_env(code, sleep)),
                                                cwd=self.launcher.folder, stdout=sink, stderr=subprocess.DEVNULL)
                    code_seen = launcher.wait(timeout=60) & 0xFF
                elapsed = time.monotonic() - began
                self.assertEqual((code_seen, out.read_bytes()), (expected, b""))
                if expected == 0:
                    self.assertLess(elapsed, 20)  # returned while the paired process still runs
                else:
                    self.assertGreater(elapsed, 2.5)
                self.assertEqual(len(self.recorded_lines()), 1)

    def test_missing_paired_executable_ends_with_zero(self):
        for application in ({"Pair Return Code": "yes"}, {}):
            with self.subTest(application=application):
                self.write_ini({"Pair Product": self.wine.winpath(self.sandbox.path("none", "pair.exe")),
                                **application})
                result = self.launcher.run(["x"], extra_env=self.recorder_env("7"))
                self.assertEqual((result.code, result.stdout), (0, ""))

    def test_second_start_of_a_paired_primary_lasts_as_long_as_the_primary(self):
        # The primary never reaches a main method, so nothing is ever delivered.
        self.write_ini({"Pair Product": self.wine.winpath(self.paired), "Pair Return Code": "yes",
                        "Single Instance": "yes"})
        env = dict(self.wine.env, **self.recorder_env("12", "4000"))
        primary = subprocess.Popen(self.launcher.command(["first"]), env=env,
                                   cwd=self.launcher.folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: primary.poll() is None and primary.kill())
        self.recorded_lines()
        result = self.launcher.run(["second"], extra_env=self.recorder_env("99"))
        self.assertEqual((result.code, result.stdout), (12, ""))
        primary.wait(timeout=60)
        self.assertEqual(primary.returncode, 12)
        self.assertEqual(len(self.recorded_lines()), 1)  # the second start started nothing

    # --- the real pair: kite.exe and kite64.exe -----------------------------------------------------

    def partner(self, build: harness.WindowsBuild, jre: dict) -> harness.WineLauncher:
        """The executable of the given build as partner/partner.exe, beside its own settings file."""
        partner = harness.WineLauncher(self.wine, self.sandbox, "partner/partner.exe", build)
        partner.write_ini({"Java Runtime Environment": {"Main Class": "com.example.App", "Maximum Version": "any",
                                                        **jre},
                           "Class Path": {"Class Path": "D:\\Libs\\app.jar"}})
        return partner

    def test_real_pair_runs_the_application_with_the_same_arguments(self):
        # kite.exe with a 64-bit runtime starts kite64.exe; kite64.exe with a 32-bit runtime starts
        # kite.exe. The partner loads the test double of its own width and runs main.
        build = harness.pair_build()
        library = self.sandbox.copy(build.double(), "runtime/bin/client/jvm.dll")
        home = self.wine.winpath(self.sandbox.path("runtime"))
        script = self.sandbox.write("script.txt", "main_class=com/example/App\nmain=exit 42\n")
        env = {"KITE_DOUBLE_SCRIPT": str(script), "KITE_DOUBLE_RECORD": str(self.record)}
        args = ["a b", "", "Gr\u00fc\u00dfe \U0001F600"]
        # Registered only in the other registry view: the launcher finds it there, the partner in its
        # own view (the 64-bit view for kite.exe, the 32-bit one for kite64.exe).
        key = "Software\\JavaSoft\\Java Runtime Environment\\1.8"
        self.wine.reg_add(key, "JavaHome", home, harness.TARGET.other_view)
        self.addCleanup(self.wine.reg_delete, key, harness.TARGET.other_view)
        cases = [
            ({"JRE Path": home}, {"Pair Return Code": "yes"}, 42),
            ({"JRE Path": home}, {}, 0),       # the launcher does not wait for the partner
            ({}, {"Pair Return Code": "yes"}, 42),
        ]
        for jre, application, code in cases:
            with self.subTest(jre=jre, application=application):
                self.record.unlink(missing_ok=True)
                partner = self.partner(build, jre)
                self.launcher.write_ini({
                    "Java Runtime Environment": {"Main Class": "com.example.App", "Maximum Version": "any", **jre},
                    "Class Path": {"Class Path": "D:\\Libs\\app.jar"},
                    "Application": {"Pair Product": self.wine.winpath(partner.path), **application}})
                result = self.launcher.run(args, extra_env=env)
                self.assertEqual((result.code, result.stdout), (code, ""), result.stderr)
                lines = self.recorded_lines_until("system_exit=42 thread=main")
                # Only the partner loaded a JVM library, and main got the launcher's arguments.
                self.assertEqual([line.lower() for line in lines if line.startswith("library=")],
                                 [f"library={self.wine.winpath(library)}".lower()])
                self.assertEqual(len([line for line in lines if line.startswith("process=")]), 1)
                self.assertEqual([line for line in lines if line.startswith("arg")],
                                 ["args=3", "arg=a b", "arg=", f"arg={args[2]}"])

    def recorded_lines_until(self, line: str) -> list:
        """The record once it holds line (a process that was not waited for may still write)."""
        for _ in range(300):
            lines = self.record.read_text(encoding="utf-8").splitlines() if self.record.exists() else []
            if line in lines:
                return lines
            time.sleep(0.1)
        self.fail(f"no {line} in the record:\n" + "\n".join(lines))

    def test_partner_of_the_launchers_own_width_cannot_load_the_runtime(self):
        # "Pair Product" names a second copy of the launcher itself: it loads the library of the
        # other width on its own, fails as any launcher does, and its exit code comes back.
        library = self.sandbox.copy(harness.TARGET.other.double(), "runtime/bin/client/jvm.dll")
        home = self.wine.winpath(self.sandbox.path("runtime"))
        partner = self.partner(harness.TARGET, {"JRE Path": home})
        self.launcher.write_ini({"Java Runtime Environment": {"Main Class": "com.example.App", "JRE Path": home},
                                 "Class Path": {"Class Path": "D:\\Libs\\app.jar"},
                                 "Application": {"Pair Product": self.wine.winpath(partner.path),
                                                 "Pair Return Code": "yes"}})
        result = self.launcher.run(["x"])
        self.assertEqual(result.code, 255, result.stdout)
        self.assertTrue(result.stdout.startswith(f"Error: Konnte Java VM Bibliothek: {self.wine.winpath(library)} "
                                                 "(Fehlernummer= "), result.stdout)


if __name__ == "__main__":
    unittest.main()
