"""Runtimes of current installers under Wine: the keys JavaSoft\\JDK,
Eclipse Adoptium, AdoptOpenJDK and Microsoft beside the historic JavaSoft
keys, JAVA_HOME as the last source before the dialog, and the trace that
KITE_TRACE=1 writes to standard error.

As in test_wine_discovery.py, runtime homes are sandbox folders whose JVM
library is the test-double jvm.dll, which records its own path when loaded.
Keys are written with `reg add` into the suite's private prefix, in the own
view of the executable under test (64-bit for kite64.exe, 32-bit for
kite.exe), and removed after each test."""

import pathlib
import unittest

import harness

LEGACY_JRE = "Software\\JavaSoft\\Java Runtime Environment"
JAVASOFT_JDK = "Software\\JavaSoft\\JDK"
ADOPTIUM_JDK = "Software\\Eclipse Adoptium\\JDK"
ADOPTOPENJDK_JRE = "Software\\AdoptOpenJDK\\JRE"
MICROSOFT_JDK = "Software\\Microsoft\\JDK"
SCRIPT = "main_class=com/example/App\nmain=exit 0\n"


class WineCurrentRuntimes(harness.WineSuite):
    @classmethod
    def setUpClass(cls):
        cls.double = harness.jvm_double()
        super().setUpClass()

    def setUp(self):
        self.sandbox = harness.Sandbox(self)
        self.app = harness.WineLauncher(self.wine, self.sandbox)
        self.script = self.sandbox.write("double.script", SCRIPT)
        self.record = self.sandbox.path("record.txt")

    # --- helpers ------------------------------------------------------------------------

    def home(self, name: str, version: str | None = None, layout: str = "server") -> pathlib.Path:
        """A runtime home with the double as its JVM library and, given a version, a release file."""
        home = self.sandbox.path("runtimes", name)
        self.sandbox.copy(self.double, f"runtimes/{name}/bin/{layout}/jvm.dll")
        if version is not None:
            self.sandbox.write(f"runtimes/{name}/release", f'JAVA_VERSION="{version}"\n')
        return home

    def register(self, key: str, version: str, home: pathlib.Path, trailing_backslash: bool = False):
        """A runtime the way its installer registers it: JavaHome for JavaSoft keys, otherwise
        "Path" in <version>\\hotspot\\MSI."""
        folder = harness.Wine.winpath(home) + ("\\" if trailing_backslash else "")
        if "JavaSoft" in key:
            self.wine.reg_add(f"{key}\\{version}", "JavaHome", folder)
        else:
            self.wine.reg_add(f"{key}\\{version}\\hotspot\\MSI", "Path", folder)
        self.addCleanup(self.wine.reg_delete, f"{key}\\{version}")

    def launch(self, jre: dict | None = None, env: dict | None = None) -> harness.Result:
        self.record.unlink(missing_ok=True)
        self.app.write_ini({"Java Runtime Environment": {"Main Class": "com.example.App", **(jre or {})},
                            "Class Path": {"Class Path": "\\app.jar"}})
        self.sandbox.write("app/app.jar", b"PK")
        environment = {"KITE_DOUBLE_SCRIPT": str(self.script), "KITE_DOUBLE_RECORD": str(self.record)}
        environment.update(env or {})
        return self.app.run(extra_env=environment)

    def loaded(self) -> list:
        if not self.record.exists():
            return []
        lines = self.record.read_text(encoding="utf-8").splitlines()
        return [line.split("=", 1)[1].lower() for line in lines if line.startswith("library=")]

    def assert_loaded(self, result: harness.Result, home: pathlib.Path, layout: str = "server"):
        self.assertEqual(result.code, 0, result.stdout + result.stderr)
        library = home / "bin" / layout / "jvm.dll"
        self.assertEqual(self.loaded(), [harness.Wine.winpath(library).lower()])

    @staticmethod
    def trace_lines(result: harness.Result) -> list:
        return result.stderr.replace("\r\n", "\n").splitlines()

    # --- tests ----------------------------------------------------------------------------

    def test_java17_registered_only_under_javasoft_jdk(self):
        jdk17 = self.home("jdk-17")
        self.register(JAVASOFT_JDK, "17.0.2", jdk17)
        self.assert_loaded(self.launch(), jdk17)

    def test_msi_keys_give_the_installation_folder(self):
        adoptium = self.home("temurin-17")
        microsoft = self.home("ms-11")
        adoptopenjdk = self.home("aoj-jre-8", layout="client")
        self.register(ADOPTIUM_JDK, "17.0.2.8", adoptium, trailing_backslash=True)
        self.register(MICROSOFT_JDK, "11.0.18.10", microsoft)
        self.register(ADOPTOPENJDK_JRE, "8.0.352.08", adoptopenjdk)
        cases = [
            ({}, adoptium, "server"),
            ({"Preferred versions": "11"}, microsoft, "server"),
            ({"Maximum Version": "10"}, adoptopenjdk, "client"),
            ({"JVM Source": "only_JRE"}, adoptopenjdk, "client"),
        ]
        for settings, home, layout in cases:
            with self.subTest(settings=settings):
                self.assert_loaded(self.launch(settings), home, layout)

    def test_an_added_java17_leaves_the_historic_java8_chosen(self):
        # The newer keys are searched only when the historic ones hold nothing acceptable.
        jre8 = self.home("jre-1.8")
        jdk17 = self.home("jdk-17")
        self.register(LEGACY_JRE, "1.8", jre8)
        self.register(JAVASOFT_JDK, "17", jdk17)
        self.assert_loaded(self.launch({"Maximum Version": "any"}), jre8)
        self.assert_loaded(self.launch({"Minimum Version": "9"}), jdk17)

    def test_java8_jdk_under_adoptium_counts_as_18_and_runs_from_its_jre(self):
        jdk8 = self.home("temurin-8/jre")
        self.register(ADOPTIUM_JDK, "8.0.392.8", self.sandbox.path("runtimes", "temurin-8"))
        self.assert_loaded(self.launch({"Maximum Version": "1.8", "Preferred versions": "1.8"}), jdk8)

    def test_jre_path_leaves_the_later_sources_out(self):
        configured = self.home("configured")
        self.register(JAVASOFT_JDK, "17", self.home("jdk-17"))
        java_home = self.home("java-home", "21.0.1")
        result = self.launch({"JRE Path": harness.Wine.winpath(configured)},
                             {"KITE_TRACE": "1", "JAVA_HOME": harness.Wine.winpath(java_home)})
        self.assert_loaded(result, configured)
        trace = result.stderr
        self.assertIn("kite: chosen by \"JRE Path\": JVM library ", trace)
        self.assertNotIn("Software\\JavaSoft\\JDK", trace)
        self.assertNotIn("source registry", trace)
        self.assertNotIn("JAVA_HOME", trace)

    def test_java_home_only_when_the_registry_finds_nothing(self):
        java_home = self.home("java-home", "21.0.1")
        env = {"JAVA_HOME": harness.Wine.winpath(java_home)}
        self.assert_loaded(self.launch(env=env), java_home)
        # Outside the bounds it is passed over: the dialog is next, and cannot open here.
        result = self.launch({"Maximum Version": "17"}, env)
        self.assertEqual(result.code, 255, result.stdout)
        self.assertEqual(self.loaded(), [])
        # A registered runtime is chosen before JAVA_HOME is looked at.
        jre8 = self.home("jre-1.8")
        self.register(LEGACY_JRE, "1.8", jre8)
        result = self.launch(env={**env, "KITE_TRACE": "1"})
        self.assert_loaded(result, jre8)
        self.assertNotIn("JAVA_HOME", result.stderr)

    def test_trace_shows_the_decisions_and_is_silent_without_the_variable(self):
        jre8 = self.home("jre-1.8")
        jdk17 = self.home("jdk-17")
        self.register(LEGACY_JRE, "1.8", jre8)
        self.register(JAVASOFT_JDK, "17", jdk17)
        settings = {"Maximum Version": "1.8", "Virtual Machine Parameters": "-Xmx64m -Dkite.x=1"}
        quiet = self.launch(settings)
        self.assert_loaded(quiet, jre8)
        self.assertEqual(quiet.stderr, "")
        self.assertEqual(quiet.stdout, "")

        traced = self.launch(settings, {"KITE_TRACE": "1"})
        self.assert_loaded(traced, jre8)
        self.assertEqual(traced.stdout, "")  # standard output carries only error lines
        lines = self.trace_lines(traced)
        self.assertTrue(lines)
        for line in lines:
            self.assertTrue(line.startswith("kite: "), line)
        library = harness.Wine.winpath(jre8 / "bin" / "server" / "jvm.dll")
        expected = [
            'kite: source "JRE Path": not set',
            "kite: source private runtime: none beside the executable",
            "kite: source registry, own view: searching",
            "kite: key Software\\JavaSoft\\Java Runtime Environment\\ (own view): 1 sub-keys",
            f'kite:   sub-key "1.8" (version 1.8): kept, home {harness.Wine.winpath(jre8)}\\, server VM yes, '
            "favoured yes",
            "kite: candidates, best first:",
            "kite: no preferred version matched: the best-ranked candidate is taken",
            f"kite: chosen by the registered runtimes: JVM library {library}",
            "kite: JVM options (4, then the hooks \"abort\" and \"exit\"):",
            f"kite:   -Djava.class.path={harness.Wine.winpath(self.app.folder / 'app.jar')}",
            "kite:   -Xmx64m",
            "kite:   -Dkite.x=1",
            "kite:   -Dsun.java.command=com.example.App",
        ]
        position = 0
        for line in expected:
            self.assertIn(line, lines[position:], "\n".join(lines))
            position = lines.index(line, position) + 1
        self.assertNotIn("JAVA_HOME", traced.stderr)
        self.assertNotIn("newer keys", traced.stderr)  # the historic 1.8 sufficed

        # KITE_TRACE_FILE takes the same lines instead of standard error, start after start.
        trace_file = self.sandbox.path("trace", "kite-trace.txt")
        trace_file.parent.mkdir(exist_ok=True)
        for _ in range(2):
            filed = self.launch(settings, {"KITE_TRACE": "1", "KITE_TRACE_FILE": harness.Wine.winpath(trace_file)})
            self.assert_loaded(filed, jre8)
            self.assertEqual(filed.stderr, "")
        self.assertEqual(trace_file.read_text(encoding="utf-8").splitlines(), lines + lines)

    def test_trace_of_the_image_check(self):
        pair = self.sandbox.copy(harness.target_exe(), "pair/pair.exe")
        configured = self.home("configured")
        self.app.write_ini({"Java Runtime Environment": {"Main Class": "com.example.App",
                                                         "JRE Path": harness.Wine.winpath(configured)},
                            "Class Path": {"Class Path": "D:\\Libs\\app.jar"},
                            "Application": {"Pair Product": harness.Wine.winpath(pair)}})
        result = self.app.run(extra_env={"KITE_TRACE": "1", "KITE_DOUBLE_SCRIPT": str(self.script),
                                         "KITE_DOUBLE_RECORD": str(self.record)})
        self.assertEqual(result.code, 0, result.stdout + result.stderr)
        # The double has the executable's own width: it is loaded here.
        machine = f"0x{harness.TARGET.machine:04X}"
        self.assertIn(f"kite: image check: machine {machine}, own {machine}: loaded here", self.trace_lines(result))


if __name__ == "__main__":
    unittest.main()
