"""Runtime discovery of the Linux launcher over runtime folders under
/usr/lib/jvm: version bounds, "Preferred versions", "JVM Source" and "VM
Provider", the not-found path without a terminal, JAVA_HOME as the last
source before the prompt, and the trace that KITE_TRACE=1 writes to standard
error.

The launcher sees a private /usr/lib/jvm (a mount namespace of its own) that
holds exactly two runtimes: the machine's OpenJDK 17, and a second JDK that
the suite builds around it, a folder with its own release file (version
25.0.3) whose other entries link to OpenJDK 17's. So the suite needs no
second runtime on the machine and does not see one that is there.

The chosen library reaches the Java side through KITE_JVM_PATH, which the
VM parameter -Dkite.test=%KITE_JVM_PATH% hands to the args application."""

import os
import pathlib
import re
import subprocess
import unittest

import harness

JVM_ROOT = pathlib.Path("/usr/lib/jvm")
JDK17 = JVM_ROOT / "java-17-openjdk-amd64"
SECOND = JVM_ROOT / "jdk-25"
JAVA_OUTPUT = pathlib.Path(os.environ.get("KITE_JAVA_CLASSES", harness.HOST_DIR / "tests" / "java"))
ARGS_CLASSES = JAVA_OUTPUT / "classes" / "args"
# Runs a command with <view>/jvm as /usr/lib/jvm, the real folder reachable as <view>/real.
PRIVATE_VIEW = 'mount --bind /usr/lib/jvm "$1/real" && mount --bind "$1/jvm" /usr/lib/jvm && shift && exec "$@"'


def jdk17_version() -> str:
    match = re.search(r'^JAVA_VERSION="([^"]+)"', (JDK17 / "release").read_text(), re.MULTILINE)
    if match is None:
        raise unittest.SkipTest(f"{JDK17}/release names no JAVA_VERSION")
    return match.group(1)


class LinuxDiscovery(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not (JDK17 / "release").exists() or not (JDK17 / "lib" / "server" / "libjvm.so").exists():
            raise unittest.SkipTest(f"{JDK17} is not a runtime on this machine")
        if not ARGS_CLASSES.exists():
            raise unittest.SkipTest(f"the Java test applications are not built in {JAVA_OUTPUT}")
        cls.jdk17_version = jdk17_version()
        cls.view = harness.Sandbox()
        jvm = cls.view.path("jvm")
        cls.view.path("real").mkdir()
        jvm.mkdir()
        real_jdk17 = cls.view.path("real", JDK17.name)
        (jvm / JDK17.name).symlink_to(real_jdk17)
        (jvm / SECOND.name).mkdir()
        for entry in JDK17.iterdir():
            if entry.name != "release":
                (jvm / SECOND.name / entry.name).symlink_to(real_jdk17 / entry.name)
        (jvm / SECOND.name / "release").write_text('IMPLEMENTOR="Kite tests"\nJAVA_VERSION="25.0.3"\n')
        cls.wrapper = ["unshare", "--mount", "--propagation", "private"]
        if os.geteuid() != 0:
            cls.wrapper.append("--map-root-user")
        cls.wrapper += ["--", "sh", "-c", PRIVATE_VIEW, "sh", str(cls.view.root)]
        probe = subprocess.run([*cls.wrapper, "ls", str(JVM_ROOT)], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               text=True, timeout=60)
        if probe.returncode != 0 or probe.stdout.split() != sorted([JDK17.name, SECOND.name]):
            cls.view.remove()
            raise unittest.SkipTest(f"no private /usr/lib/jvm for the launcher: {probe.stderr.strip()}")

    @classmethod
    def tearDownClass(cls):
        cls.view.remove()

    def launch(self, settings: dict, env: dict | None = None) -> harness.Result:
        sandbox = harness.Sandbox(self)
        launcher = harness.LinuxLauncher(sandbox)
        jre = {"Main Class": "ArgsApp", "Virtual Machine Parameters": "-Dkite.test=%KITE_JVM_PATH%", **settings}
        launcher.write_ini({"Java Runtime Environment": jre, "Class Path": {"Class Path": str(ARGS_CLASSES)}})
        # No terminal: the runtime-not-found prompt counts as a dialog that could not be shown.
        return launcher.run(timeout=120, stdin=b"", extra_env=env, wrapper=self.wrapper)

    def chosen_home(self, result: harness.Result) -> pathlib.Path:
        self.assertEqual(result.code, 0, result.stdout + result.stderr)
        for line in result.stdout.splitlines():
            if line.startswith("kite.test=<"):
                library = pathlib.Path(line[len("kite.test=<"):-1])
                self.assertEqual(library.relative_to(JVM_ROOT).parts[1:], ("lib", "server", "libjvm.so"))
                return JVM_ROOT / library.relative_to(JVM_ROOT).parts[0]
        self.fail("the Java application did not report the library: " + result.stdout)

    def test_bounds_preferences_and_sources_choose_among_the_runtime_folders(self):
        cases = [
            ({"Maximum Version": "any"}, SECOND),
            ({"Maximum Version": "17"}, JDK17),
            ({"Minimum Version": self.jdk17_version, "Maximum Version": self.jdk17_version}, JDK17),
            ({"Maximum Version": "any", "Preferred versions": "11;17"}, JDK17),
            ({"Maximum Version": "any", "JVM Source": "only_JDK", "JVM Type": "server"}, SECOND),
        ]
        for settings, home in cases:
            with self.subTest(settings=settings):
                self.assertEqual(self.chosen_home(self.launch(settings)), home)

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
        # The runtime folders find the second runtime: JAVA_HOME is not looked at.
        self.assertEqual(self.chosen_home(self.launch({"Maximum Version": "any"}, env)), SECOND)
        # They are not searched for the vendor jrockit: JAVA_HOME's runtime is used, its version from
        # the release file within the bounds.
        result = self.launch({"Maximum Version": "17", "VM Provider": "jrockit"}, env)
        self.assertEqual(self.chosen_home(result), JDK17)
        # Outside the bounds it is passed over, and the start ends as before.
        result = self.launch({"Maximum Version": "16", "VM Provider": "jrockit"}, env)
        self.assertEqual((result.code, result.stdout), (255, ""))

    def test_trace_on_standard_error_only_with_the_variable(self):
        settings = {"Maximum Version": "17"}
        quiet = self.launch(settings)
        self.assertEqual(self.chosen_home(quiet), JDK17)
        self.assertEqual(quiet.stderr, "")

        traced = self.launch(settings, {"KITE_TRACE": "1"})
        self.assertEqual(self.chosen_home(traced), JDK17)
        self.assertNotIn("kite: ", traced.stdout)
        lines = traced.stderr.splitlines()
        for line in lines:
            self.assertTrue(line.startswith("kite: "), line)
        # Each expected line is the start of a trace line, in this order.
        library = JDK17 / "lib" / "server" / "libjvm.so"
        expected = [
            'kite: source "JRE Path": not set',
            "kite: source runtime folders /usr/lib/jvm: searching",
            f"kite:   folder {JDK17}/ (JDK, version {self.jdk17_version}): kept, home {JDK17}/",
            f'kite:   folder {SECOND}/ (JDK, version 25.0.3): skipped, above "Maximum Version" 17',
            "kite: candidates, best first:",
            "kite: no preferred version matched: the best-ranked candidate is taken",
            f"kite: chosen by the runtime folders: JVM library {library}",
            'kite: JVM options (3, then the hooks "abort" and "exit"):',
            f"kite:   -Djava.class.path={ARGS_CLASSES}",
            f"kite:   -Dkite.test={library}",
            "kite:   -Dsun.java.command=",
        ]
        position = 0
        for start in expected:
            found = [i for i in range(position, len(lines)) if lines[i].startswith(start)]
            self.assertTrue(found, f"no line starting with {start!r} after line {position}:\n{traced.stderr}")
            position = found[0] + 1
        self.assertNotIn("source JAVA_HOME", traced.stderr)

        # KITE_TRACE_FILE takes the same lines instead of standard error, appended.
        trace_file = harness.Sandbox(self).path("kite-trace.txt")
        trace_file.write_text("earlier start\n", encoding="utf-8")
        filed = self.launch(settings, {"KITE_TRACE": "1", "KITE_TRACE_FILE": str(trace_file)})
        self.assertEqual(self.chosen_home(filed), JDK17)
        self.assertEqual(filed.stderr, "")
        self.assertEqual(trace_file.read_text(encoding="utf-8").splitlines(), ["earlier start", *lines])

if __name__ == "__main__":
    unittest.main()
