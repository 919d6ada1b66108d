"""The Linux launcher with real Java applications: sun.java.command as tools
(jcmd) and the application see it, "Leading Cmd" before the command line's
arguments, and "Restart Code": runs counted in a file by the application,
the bound of 5 restarts, a restart after main returns, and a restarted
single-instance application becoming the running instance."""

import os
import pathlib
import subprocess
import time
import unittest

import harness

JDK_HOME = pathlib.Path("/usr/lib/jvm/java-17-openjdk-amd64")
JAVA_OUTPUT = pathlib.Path(os.environ.get("KITE_JAVA_CLASSES", harness.HOST_DIR / "tests" / "java"))


def jar(app: str) -> pathlib.Path:
    return JAVA_OUTPUT / "jars" / f"{app}.jar"


def process_gone(pid: int) -> bool:
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return True
    # A zombie no one waits for has ended too.
    stat = pathlib.Path(f"/proc/{pid}/stat")
    return stat.exists() and stat.read_text().split(") ")[-1].startswith("Z")


class Restart(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not (JDK_HOME / "lib" / "server" / "libjvm.so").exists():
            raise unittest.SkipTest(f"no OpenJDK 17 at {JDK_HOME}")
        if not jar("restart").exists():
            raise unittest.SkipTest(f"the Java test applications are not built in {JAVA_OUTPUT}")

    def launcher(self, main_class: str, app: str, application: dict, jre=None):
        sandbox = harness.Sandbox(self)
        launcher = harness.LinuxLauncher(sandbox)
        launcher.write_ini({
            "Java Runtime Environment": {"Main Class": main_class, "Maximum Version": "any",
                                         "JRE Path": str(JDK_HOME), **(jre or {})},
            "Class Path": {"Class Path": str(jar(app))},
            "Application": application,
        })
        return sandbox, launcher

    def runs(self, counter: pathlib.Path) -> list:
        return counter.read_text(encoding="utf-8").splitlines() if counter.exists() else []

    def wait_for_runs(self, counter: pathlib.Path, count: int) -> list:
        """The counter's lines once count runs have written theirs and the last has ended."""
        for _ in range(1200):
            lines = self.runs(counter)
            if len(lines) >= count and process_gone(int(lines[count - 1].split()[1])):
                return self.runs(counter)
            time.sleep(0.1)
        self.fail(f"not {count} runs: {self.runs(counter)}")

    def test_runs_until_the_application_ends_with_another_code(self):
        cases = [
            # (mode, restart code, single instance)
            ("exit", "9", "no"),
            ("return", "1", "no"),
            ("exit", "9", "yes"),
        ]
        for mode, code, single in cases:
            with self.subTest(mode=mode, single=single):
                sandbox, launcher = self.launcher("RestartApp", "restart", {})
                counter = sandbox.path("runs.txt")
                launcher.write_ini({
                    "Java Runtime Environment": {"Main Class": "RestartApp", "Maximum Version": "any",
                                                 "JRE Path": str(JDK_HOME)},
                    "Class Path": {"Class Path": str(jar("restart"))},
                    "Application": {"Restart Code": code, "Leading Cmd": f'"{counter}" {code}', "Cmd": mode,
                                    "Single Instance": single},
                })
                run_dir = sandbox.path("run")
                run_dir.mkdir(mode=0o700)
                result = launcher.run(["3"], extra_env={"XDG_RUNTIME_DIR": str(run_dir)})
                self.assertEqual(result.code, int(code), result.stderr)
                lines = self.wait_for_runs(counter, 3)
                expected_arguments = f"{counter},{code},3,{mode} | RestartApp {counter} {code} 3 {mode}"
                self.assertEqual([line.split(" ", 2)[2] for line in lines], [expected_arguments] * 3)
                self.assertEqual([line.split()[0] for line in lines], ["1", "2", "3"])

    def test_at_most_five_restarts_then_a_trace_line(self):
        sandbox, launcher = self.launcher("RestartApp", "restart", {})
        counter = sandbox.path("runs.txt")
        trace = sandbox.path("trace.txt")
        launcher.write_ini({
            "Java Runtime Environment": {"Main Class": "RestartApp", "Maximum Version": "any",
                                         "JRE Path": str(JDK_HOME)},
            "Class Path": {"Class Path": str(jar("restart"))},
            "Application": {"Restart Code": "9", "Leading Cmd": f'"{counter}" 9 0 exit'},
        })
        result = launcher.run(extra_env={"KITE_TRACE": "1", "KITE_TRACE_FILE": str(trace)})
        self.assertEqual(result.code, 9)
        lines = self.wait_for_runs(counter, 6)
        self.assertEqual(len(lines), 6)
        text = trace.read_text(encoding="utf-8")
        self.assertEqual(text.count("the executable starts again"), 5)
        self.assertEqual(text.count("5 restarts within 60 s already; no restart"), 1)

    def test_the_publishers_sun_java_command_stands(self):
        sandbox, launcher = self.launcher("RestartApp", "restart", {})
        counter = sandbox.path("runs.txt")
        launcher.write_ini({
            "Java Runtime Environment": {"Main Class": "RestartApp", "Maximum Version": "any",
                                         "JRE Path": str(JDK_HOME),
                                         "Virtual Machine Parameters": '-Dx=1 "-Dsun.java.command=my app"'},
            "Class Path": {"Class Path": str(jar("restart"))},
        })
        self.assertEqual(launcher.run([str(counter), "9", "1", "exit"]).code, 0)
        (line,) = self.runs(counter)
        self.assertTrue(line.endswith(" | my app"), line)

    def test_jcmd_names_the_main_class_and_arguments(self):
        sandbox, launcher = self.launcher("SingleNone", "single", {"Leading Cmd": "120000"})
        process = subprocess.Popen([str(launcher.path), "0"], cwd=launcher.folder, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        self.assertTrue(process.stdout.readline().startswith("main "))
        listed = subprocess.run([str(JDK_HOME / "bin" / "jcmd"), "-l"], capture_output=True, text=True,
                                timeout=60).stdout
        self.assertIn(f"{process.pid} SingleNone 120000 0", listed.splitlines())
        process.kill()
        process.communicate(timeout=60)


if __name__ == "__main__":
    unittest.main()
