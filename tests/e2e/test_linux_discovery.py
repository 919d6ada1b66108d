"""Runtime discovery of the Linux launcher over the machine's real runtime
folders under /usr/lib/jvm (OpenJDK 17 and Temurin 25): version bounds,
"Preferred versions", "JVM Source" and "VM Provider", the not-found
path without a terminal, JAVA_HOME as the last source before the prompt, and
the trace that KITE_TRACE=1 writes to standard error.

The chosen library reaches the Java side through KITE_JVM_PATH, which the
VM parameter -Dkite.test=%KITE_JVM_PATH% hands to the args application."""

import os
import pathlib
import unittest

import harness

JVM_ROOT = pathlib.Path("/usr/lib/jvm")
JDK17 = JVM_ROOT / "java-17-openjdk-amd64"
TEMURIN25 = JVM_ROOT / "temurin-25-jdk-amd64"
JAVA_OUTPUT = pathlib.Path(os.environ.get("KITE_JAVA_CLASSES", harness.HOST_DIR / "tests" / "java"))
ARGS_CLASSES = JAVA_OUTPUT / "classes" / "args"


class LinuxDiscovery(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for home in (JDK17, TEMURIN25):
            if not (home / "release").exists() or not (home / "lib" / "server" / "libjvm.so").exists():
                raise unittest.SkipTest(f"{home} is not a runtime on this machine")
        if not ARGS_CLASSES.exists():
            raise unittest.SkipTest(f"the Java test applications are not built in {JAVA_OUTPUT}")

    def launch(self, settings: dict, env: dict | None = None) -> harness.Result:
        sandbox = harness.Sandbox(self)
        launcher = harness.LinuxLauncher(sandbox)
        jre = {"Main Class": "ArgsApp", "Virtual Machine Parameters": "-Dkite.test=%KITE_JVM_PATH%", **settings}
        launcher.write_ini({"Java Runtime Environment": jre, "Class Path": {"Class Path": str(ARGS_CLASSES)}})
        # No terminal: the runtime-not-found prompt counts as a dialog that could not be shown.
        return launcher.run(timeout=120, stdin=b"", extra_env=env)

    def chosen_home(self, result: harness.Result) -> pathlib.Path:
        self.assertEqual(result.code, 0, result.stdout + result.stderr)
        for line in result.stdout.splitlines():
            if line.startswith("kite.test=<"):
                library = pathlib.Path(line[len("kite.test=<"):-1])
                self.assertEqual(library.relative_to(JVM_ROOT).parts[1:], ("lib", "server", "libjvm.so"))
                # The symlinked duplicate of a runtime folder counts as that runtime.
                return (JVM_ROOT / library.relative_to(JVM_ROOT).parts[0]).resolve()
        self.fail("the Java application did not report the library: " + result.stdout)

    def test_bounds_preferences_and_sources_choose_among_the_runtime_folders(self):
        cases = [
            ({"Maximum Version": "any"}, TEMURIN25),
            ({"Maximum Version": "17"}, JDK17),
            ({"Minimum Version": "17.0.15", "Maximum Version": "17.0.15"}, JDK17),
            ({"Maximum Version": "any", "Preferred versions": "11;17"}, JDK17),
            ({"Maximum Version": "any", "JVM Source": "only_JDK", "JVM Type": "server"}, TEMURIN25),
        ]
        for settings, home in cases:
            with self.subTest(settings=settings):
                self.assertEqual(self.chosen_home(self.launch(settings)), home.resolve())

    def test_nothing_suitable_ends_the_start_silently(self):
        cases = [
            {"Minimum Version": "26", "Maximum Version": "any"},
            {"Maximum Version": "any", "JVM Source": "only_JRE"},  # both folders hold JDKs
            {"Maximum Version": "any", "VM Provider": "jrockit"},
            {"Maximum Version": "any", "JVM Source": "JRE"},  # not a listed word: no source
        ]
        for settings in cases:
            with self.subTest(settings=settings):
                result = self.launch(settings)
                self.assertEqual(result.code, 255)
                self.assertEqual(result.stdout, "")

    def test_java_home_only_when_the_runtime_folders_yield_nothing(self):
        env = {"JAVA_HOME": str(JDK17)}
        # The runtime folders find Temurin 25: JAVA_HOME is not looked at.
        self.assertEqual(self.chosen_home(self.launch({"Maximum Version": "any"}, env)), TEMURIN25.resolve())
        # They are not searched for the vendor jrockit: JAVA_HOME's runtime is used, its version from
        # the release file within the bounds.
        result = self.launch({"Maximum Version": "17", "VM Provider": "jrockit"}, env)
        self.assertEqual(self.chosen_home(result), JDK17.resolve())
        # Outside the bounds it is passed over, and the start ends as before.
        result = self.launch({"Maximum Version": "16", "VM Provider": "jrockit"}, env)
        self.assertEqual((result.code, result.stdout), (255, ""))

    def test_trace_on_standard_error_only_with_the_variable(self):
        settings = {"Maximum Version": "17"}
        quiet = self.launch(settings)
        self.assertEqual(self.chosen_home(quiet), JDK17.resolve())
        self.assertEqual(quiet.stderr, "")

        traced = self.launch(settings, {"KITE_TRACE": "1"})
        self.assertEqual(self.chosen_home(traced), JDK17.resolve())
        self.assertNotIn("kite: ", traced.stdout)
        lines = traced.stderr.splitlines()
        for line in lines:
            self.assertTrue(line.startswith("kite: "), line)
        # Each expected line is the start of a trace line, in this order. Debian's symlinked
        # java-1.17.0 folder ranks with java-17 and comes first by name, so the chosen library
        # is named by the folder only up to /usr/lib/jvm.
        expected = [
            'kite: source "JRE Path": not set',
            "kite: source runtime folders /usr/lib/jvm: searching",
            f'kite:   folder {JDK17}/ (JDK, version 17.0.15): kept, home {JDK17}/',
            f'kite:   folder {TEMURIN25}/ (JDK, version 25.0.3): skipped, above "Maximum Version" 17',
            "kite: candidates, best first:",
            "kite: no preferred version matched: the best-ranked candidate is taken",
            f"kite: chosen by the runtime folders: JVM library {JVM_ROOT}/",
            'kite: JVM options (2, then the hooks "abort" and "exit"):',
            f"kite:   -Djava.class.path={ARGS_CLASSES}",
            f"kite:   -Dkite.test={JVM_ROOT}/",
        ]
        position = 0
        for start in expected:
            found = [i for i in range(position, len(lines)) if lines[i].startswith(start)]
            self.assertTrue(found, f"no line starting with {start!r} after line {position}:\n{traced.stderr}")
            position = found[0] + 1
        self.assertNotIn("source JAVA_HOME", traced.stderr)

if __name__ == "__main__":
    unittest.main()
