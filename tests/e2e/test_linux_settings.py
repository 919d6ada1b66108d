"""The Linux launcher's settings file: where it is looked for, and the one
settings error it reports ("Main Class" missing)."""

import unittest

import harness

# No runtime on the machine satisfies this, so a launch that got past the
# settings stops at the runtime search (no terminal: nothing to ask) instead
# of starting Java.
UNREACHABLE = {"Minimum Version": "99"}


class LinuxSettings(unittest.TestCase):
    def launcher(self, relative="app/app"):
        sandbox = harness.Sandbox(self)
        return sandbox, harness.LinuxLauncher(sandbox, relative)

    def assert_main_class_missing(self, result):
        self.assertEqual(result.stdout_bytes.decode("utf-8"), harness.MAIN_CLASS_MISSING)
        self.assertEqual(result.code, 255)

    def test_main_class_missing_or_empty(self):
        for sections in ({"Java Runtime Environment": {"JRE Path": "/nowhere/"}},
                         {"Java Runtime Environment": {"Main Class": ""}},
                         {"Application": {"Main Class": "com.example.App"}},
                         {"Java Runtime Environment": {"MainClass": "com.example.App"}}):
            with self.subTest(sections=sections):
                _, kite = self.launcher()
                kite.write_ini(sections)
                self.assert_main_class_missing(kite.run(stdin=b""))

    def test_missing_settings_file(self):
        _, kite = self.launcher()
        self.assert_main_class_missing(kite.run(args=["a", "b"], stdin=b""))

    def test_huge_settings_file_is_refused_within_bounded_memory(self):
        # 64 MiB of line feeds, read under a 1 GiB address-space limit: the
        # file is too large to be settings and reads as missing, instead of
        # costing gigabytes and an abort.
        _, kite = self.launcher()
        (kite.folder / "app.ini").write_bytes(b"[Java Runtime Environment]\nMain Class=com.example.App\n" + b"\n" * (64 << 20))
        self.assert_main_class_missing(kite.run(stdin=b"", wrapper=("prlimit", f"--as={1 << 30}")))

    def test_settings_file_beside_the_executable(self):
        # (executable, settings file written, whether the launcher reads it)
        cases = [
            ("app/app", "app/app.ini", True),
            ("app/app.bin", "app/app.ini", True),
            ("app/app.beta.bin", "app/app.beta.ini", True),
            ("app/app.beta.bin", "app/app.ini", False),
            ("x.y/app", "x.y/app.ini", True),  # only the file name's dot counts on Linux
            ("x.y/app", "x.ini", False),
            ("app/app", "app/App.ini", False),  # Linux file names keep their case
        ]
        for executable, settings, read in cases:
            with self.subTest(executable=executable, settings=settings):
                sandbox, kite = self.launcher(executable)
                sandbox.write_ini(settings, {"Java Runtime Environment": {"Main Class": "com.example.App",
                                                                          **UNREACHABLE}})
                result = kite.run(stdin=b"", timeout=60)
                if read:
                    self.assertNotEqual(result.stdout, harness.MAIN_CLASS_MISSING)
                    self.assertEqual(result.code, 255)
                else:
                    self.assert_main_class_missing(result)

    def test_main_class_from_the_plus_section_and_any_letter_case(self):
        for sections in ({"Java Runtime Environment+": {"Main Class": "com.example.App"},
                          "Java Runtime Environment": UNREACHABLE},
                         {"java runtime environment": {"MAIN CLASS": "com.example.App", **UNREACHABLE}}):
            with self.subTest(sections=sections):
                _, kite = self.launcher()
                kite.write_ini(sections)
                result = kite.run(stdin=b"")
                self.assertNotEqual(result.stdout, harness.MAIN_CLASS_MISSING)
                self.assertEqual(result.code, 255)


    def test_per_user_file_alone_decides_the_runtime_folder(self):
        # The JDK's own launcher class answers for the missing class "Missing":
        # its message on stderr shows that Java was started from that folder.
        # A configured folder is used whatever the bounds; no other runtime
        # meets them.
        jdk = "/usr/lib/jvm/java-17-openjdk-amd64"
        started_java = "Could not find or load main class Missing"
        product = {"Product Name": "Kite Test", "Product Code": "K1"}
        for settings_path, user_path, java_runs in ((jdk, "/nowhere", False), ("/nowhere", jdk, True)):
            with self.subTest(settings=settings_path, user=user_path):
                sandbox, kite = self.launcher()
                kite.write_ini({"Java Runtime Environment": {"Main Class": "Missing", "JRE Path": settings_path,
                                                               **UNREACHABLE},
                                "Class Path": {"Class Path": str(sandbox.root)},
                                "Product Information": product})
                sandbox.write_ini("config/Kite Test/K1/app.ini",
                                  {"Java Runtime Environment": {"JRE Path": user_path}})
                result = kite.run(stdin=b"", extra_env={"XDG_CONFIG_HOME": str(sandbox.path("config"))})
                self.assertEqual(started_java in result.stderr, java_runs, result.stdout + result.stderr)
                self.assertEqual(result.code, 1 if java_runs else 255)


if __name__ == "__main__":
    unittest.main()
