"""The Windows executable under Wine: where the settings file is looked for,
and the one settings error it reports ("Main Class" missing)."""

import unittest

import harness

# No runtime is registered in the fresh prefix and no display is there for the
# runtime-not-found dialog, so a launch that got past the settings ends with -1
# at the runtime search.
UNREACHABLE = {"Minimum Version": "99"}


class WineSettings(harness.WineSuite):
    def launcher(self, relative="app/app.exe"):
        sandbox = harness.Sandbox(self)
        return sandbox, harness.WineLauncher(self.wine, sandbox, relative)

    def assert_main_class_missing(self, result):
        self.assertEqual(result.stdout_bytes.decode("utf-8").replace("\r\n", "\n"), harness.MAIN_CLASS_MISSING)
        self.assertEqual(result.code, 255)

    def test_main_class_missing_or_empty(self):
        for sections in ({"Java Runtime Environment": {"JRE Path": "C:\\nowhere\\"}},
                         {"Java Runtime Environment": {"Main Class": ""}},
                         {"Application": {"Main Class": "com.example.App"}}):
            with self.subTest(sections=sections):
                _, kite = self.launcher()
                kite.write_ini(sections)
                self.assert_main_class_missing(kite.run())

    def test_missing_settings_file(self):
        _, kite = self.launcher()
        self.assert_main_class_missing(kite.run(args=["a", "b"]))

    def test_settings_file_beside_the_executable(self):
        # (executable, settings file written, whether the launcher reads it)
        cases = [
            ("app/app.exe", "app/app.ini", True),
            ("app/app.beta.exe", "app/app.beta.ini", True),
            ("app/app.beta.exe", "app/app.ini", False),
            ("app/app.exe", "app/APP.INI", True),  # Windows file names ignore case
        ]
        for executable, settings, read in cases:
            with self.subTest(executable=executable, settings=settings):
                sandbox, kite = self.launcher(executable)
                sandbox.write_ini(settings, {"Java Runtime Environment": {"Main Class": "com.example.App",
                                                                          **UNREACHABLE}})
                result = kite.run()
                if read:
                    self.assertNotEqual(result.stdout.replace("\r\n", "\n"), harness.MAIN_CLASS_MISSING)
                    self.assertEqual(result.code, 255)
                else:
                    self.assert_main_class_missing(result)

    def test_main_class_from_the_plus_section(self):
        _, kite = self.launcher()
        kite.write_ini({"Java Runtime Environment+": {"Main Class": "com.example.App"},
                        "Java Runtime Environment": UNREACHABLE})
        result = kite.run()
        self.assertNotEqual(result.stdout.replace("\r\n", "\n"), harness.MAIN_CLASS_MISSING)
        self.assertEqual(result.code, 255)


if __name__ == "__main__":
    unittest.main()
