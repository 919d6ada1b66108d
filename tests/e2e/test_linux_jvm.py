"""The Linux launcher running real Java applications on the machine's OpenJDK 17:
arguments, exit codes, class-path forms, VM parameters, the main thread's
stack, output files and the failures of VM creation and main class lookup.

The Java applications are tests/java/<app>/, compiled by CMake into
$KITE_JAVA_CLASSES/classes/<app>/ and $KITE_JAVA_CLASSES/jars/<app>.jar."""

import datetime
import os
import pathlib
import shutil
import time
import unittest

import harness

JDK_HOME = pathlib.Path("/usr/lib/jvm/java-17-openjdk-amd64")
JAVA_OUTPUT = pathlib.Path(os.environ.get("KITE_JAVA_CLASSES", harness.HOST_DIR / "tests" / "java"))

CREATE_FAILED_UNKNOWN = "Error: JNI Fehler: konnte die Java VM nicht erzeugen\nReason: unbekannt.\n \n"


def classes(app: str) -> pathlib.Path:
    return JAVA_OUTPUT / "classes" / app


def jar(app: str) -> pathlib.Path:
    return JAVA_OUTPUT / "jars" / f"{app}.jar"


class JavaLaunch(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not (JDK_HOME / "lib" / "server" / "libjvm.so").exists():
            raise unittest.SkipTest(f"no OpenJDK 17 at {JDK_HOME}")
        if not jar("args").exists():
            raise unittest.SkipTest(f"the Java test applications are not built in {JAVA_OUTPUT}")

    def launcher(self, main_class: str, class_path=None, jre=None, application=None) -> harness.LinuxLauncher:
        """A launcher in a fresh sandbox whose settings run main_class on the JDK."""
        sandbox = harness.Sandbox(self)
        launcher = harness.LinuxLauncher(sandbox)
        sections = {
            "Java Runtime Environment": {"Main Class": main_class, "Maximum Version": "any",
                                         "JRE Path": str(JDK_HOME), **(jre or {})},
        }
        if class_path is not None:
            sections["Class Path"] = {"Class Path": class_path}
        if application:
            sections["Application"] = application
        launcher.write_ini(sections)
        return launcher

    def run_app(self, main_class: str, app: str, args=(), **settings) -> harness.Result:
        settings.setdefault("class_path", str(classes(app)))
        return self.launcher(main_class, **settings).run(args, timeout=60)

    def argument_lines(self, stdout: str) -> list:
        return [line for line in stdout.splitlines() if line.startswith(("count=", "<"))]


class ArgumentsAndExitCodes(JavaLaunch):
    def test_arguments_reach_main_unchanged(self):
        emoji = "\U0001F600"
        result = self.run_app("ArgsApp", "args", ["a b", "", f"Gr\u00fc\u00dfe {emoji}"])
        self.assertEqual(result.code, 0, result.stdout + result.stderr)
        self.assertEqual(self.argument_lines(result.stdout),
                         ["count=3", "<a b>", "<>", f"<Gr\u00fc\u00dfe {emoji}>"])
        # The character outside the BMP arrives as one surrogate pair.
        self.assertIn("units=0047 0072 00fc 00df 0065 0020 d83d de00", result.stdout)

    def test_no_arguments_give_an_empty_array(self):
        result = self.run_app("ArgsApp", "args")
        self.assertEqual(result.code, 0, result.stderr)
        self.assertEqual(self.argument_lines(result.stdout), ["count=0"])

    def test_cmd_words_follow_the_command_line_arguments(self):
        result = self.run_app("ArgsApp", "args", ["first"], application={"Cmd": '-a "two words"'})
        self.assertEqual(result.code, 0, result.stderr)
        self.assertEqual(self.argument_lines(result.stdout), ["count=3", "<first>", "<-a>", "<two words>"])

    def test_system_exit_status_is_the_exit_code(self):
        for status in (3, 0):
            result = self.run_app("ExitApp", "exitcode", [str(status)])
            self.assertEqual((result.code, result.stdout), (status, "exiting\n"), result.stderr)

    def test_main_throwing_ends_with_zero_and_a_stack_trace(self):
        result = self.run_app("ThrowApp", "throws")
        self.assertEqual(result.code, 0)
        self.assertEqual(result.stdout, "before\n")
        self.assertIn('Exception in thread "main" java.lang.IllegalStateException: kaputt', result.stderr)

    def test_non_daemon_thread_keeps_the_process_alive(self):
        sandbox = harness.Sandbox(self)
        marker = sandbox.path("marker.txt")
        started = time.monotonic()
        result = self.run_app("WorkerApp", "worker", [str(marker), "1500"])
        elapsed = time.monotonic() - started
        self.assertEqual(result.code, 0, result.stderr)
        self.assertEqual(result.stdout, "main returns\n")
        self.assertTrue(marker.exists(), "the process ended before its worker thread")
        self.assertGreaterEqual(elapsed, 1.5)


class MainClassFailures(JavaLaunch):
    def test_missing_main_class_or_main_method_ends_inside_the_runtime(self):
        # The JDK's LauncherHelper reports these itself and calls System.exit(1).
        cases = [("Missing", "Error: Could not find or load main class Missing"),
                 ("java.lang.Object", "Error: Main method not found in class java.lang.Object")]
        for main_class, message in cases:
            with self.subTest(main_class=main_class):
                result = self.run_app(main_class, "args")
                self.assertEqual(result.code, 1, result.stdout)
                self.assertEqual(result.stdout, "")
                self.assertIn(message, result.stderr)

    def test_failed_main_lookup_ends_with_minus_one_without_hanging(self):
        # The class loads, but looking up main runs its failing static
        # initialiser: the Java main thread must still detach, or the
        # teardown's DestroyJavaVM would wait for ever.
        result = self.launcher("BrokenInit", class_path=str(classes("noinit"))).run(timeout=30)
        self.assertEqual(result.code, 255)
        self.assertEqual(result.stdout, "")
        self.assertIn("java.lang.ExceptionInInitializerError", result.stderr)
        self.assertIn('NumberFormatException: For input string: "not a number"', result.stderr)

    def test_unknown_vm_option_fails_creation(self):
        # OpenJDK answers an unrecognised option with JNI_ERR (-1).
        result = self.run_app("ArgsApp", "args", jre={"Virtual Machine Parameters": "-Xbogus"})
        self.assertEqual(result.code, 255)
        self.assertEqual(result.stdout, CREATE_FAILED_UNKNOWN)
        self.assertIn("Unrecognized option: -Xbogus", result.stderr)


class ClassPathAndOptions(JavaLaunch):
    def class_path_seen(self, result: harness.Result) -> str:
        self.assertEqual(result.code, 0, result.stdout + result.stderr)
        self.assertIn("count=1", result.stdout)
        return next(line for line in result.stdout.splitlines() if line.startswith("class.path="))[11:]

    def test_absolute_jar(self):
        result = self.run_app("ArgsApp", "args", ["x"], class_path=str(jar("args")))
        self.assertEqual(self.class_path_seen(result), str(jar("args")))

    def test_relative_wildcard_beside_the_executable(self):
        launcher = self.launcher("ArgsApp", class_path="\\lib\\*.jar")
        (launcher.folder / "lib").mkdir()
        shutil.copy(jar("args"), launcher.folder / "lib" / "args.jar")
        result = launcher.run(["x"])
        self.assertEqual(self.class_path_seen(result), str(launcher.folder / "lib" / "args.jar"))

    def test_the_current_folder_only_when_written_as_a_dot(self):
        # ArgsApp lies only in the folder the launcher is started from. Empty
        # entries, inside or at the end, and one from a reference leave it out.
        planted = harness.Sandbox(self).root
        shutil.copy(classes("args") / "ArgsApp.class", planted)
        other = str(classes("exitcode"))
        launcher = self.launcher("ArgsApp", class_path=f"{other};;%KITE_CP%;")
        result = launcher.run(["x"], cwd=planted, extra_env={"KITE_CP": f"{other}::{other}:"})
        self.assertEqual(result.code, 1, result.stdout)
        self.assertIn("Could not find or load main class ArgsApp", result.stderr)
        launcher.write_ini({"Java Runtime Environment": {"Main Class": "ArgsApp", "Maximum Version": "any",
                                                         "JRE Path": str(JDK_HOME)},
                            "Class Path": {"Class Path": f"{other};."}})
        self.assertEqual(self.class_path_seen(launcher.run(["x"], cwd=planted)), f"{other}:.")

    def test_class_path_longer_than_a_windows_command_line(self):
        # 2,500 jars with long names make a class path of about 200,000
        # characters; the VM receives it whole, in folder order.
        launcher = self.launcher("ArgsApp", class_path="\\lib\\*.jar")
        lib = launcher.folder / "lib"
        lib.mkdir()
        shutil.copy(jar("args"), lib / "a-application.jar")
        filler = "x" * 60
        for number in range(2500):
            shutil.copy(jar("args"), lib / f"library-{number:05d}-{filler}.jar")
        seen = self.class_path_seen(launcher.run(["x"])).split(":")
        self.assertEqual(len(seen), 2501)
        self.assertEqual(seen[0], str(lib / "a-application.jar"))
        self.assertGreater(sum(len(entry) + 1 for entry in seen), 32767 * 5)

    def test_embedded_jar(self):
        launcher = self.launcher("ArgsApp", application={"Embedded Jar": "Yes"})
        # The executable carries the application's classes as a zip archive at its end.
        with open(launcher.path, "ab") as executable:
            executable.write(jar("args").read_bytes())
        result = launcher.run(["x"])
        self.assertEqual(self.class_path_seen(result), str(launcher.path))

    def test_vm_parameter_with_a_quoted_blank_is_one_property(self):
        result = self.run_app("ArgsApp", "args",
                              jre={"Virtual Machine Parameters": '-Xmx64m   -Dkite.test="a b" -Dother=1'})
        self.assertEqual(result.code, 0, result.stdout + result.stderr)
        self.assertIn("kite.test=<a b>\n", result.stdout)

    def test_memory_share_reaches_the_vm_in_kilobytes(self):
        physical = os.sysconf("SC_PHYS_PAGES") * os.sysconf("SC_PAGE_SIZE")
        result = self.run_app("ArgsApp", "args",
                              jre={"Virtual Machine Parameters": "-Dkite.inputs=1 -Xmx10P -Xms1:64:64p"})
        self.assertEqual(result.code, 0, result.stdout + result.stderr)
        inputs = [line[6:] for line in result.stdout.splitlines() if line.startswith("input=")]
        xmx = next(value for value in inputs if value.startswith("-Xmx"))
        self.assertRegex(xmx, r"^-Xmx\d+K$")
        self.assertAlmostEqual(int(xmx[4:-1]), physical // 10 // 1024, delta=physical // 1024 // 1000)
        self.assertIn("-Xms65536K", inputs)

    def test_xss_sizes_the_java_main_thread(self):
        # The launcher's own thread runs main: only its stack size decides.
        deep = self.run_app("DeepApp", "stack", ["200000"], jre={"Virtual Machine Parameters": "-Xss256m"})
        self.assertEqual((deep.code, deep.stdout), (0, "deep enough\n"), deep.stderr)
        default = self.run_app("DeepApp", "stack", ["200000"])
        self.assertEqual((default.code, default.stdout), (0, "stack overflow\n"), default.stderr)


class OutputFiles(JavaLaunch):
    def streams_launcher(self, append: bool):
        # Both files in a folder two levels below the sandbox that does not exist yet.
        logs = harness.Sandbox(self).path("logs", "new")
        application = {"Output File": str(logs / "out_%yyyyMMdd%.txt"),
                       "Error File": str(logs / "err_%yyyyMMdd%.txt")}
        if append:
            application.update({"Output Append": "yes", "Error Append": "yes"})
        launcher = self.launcher("StreamsApp", class_path=str(classes("streams")), application=application)
        return launcher, logs

    def run_twice(self, append: bool):
        launcher, logs = self.streams_launcher(append)
        days = set()
        for tag in ("one", "two"):
            days.add(datetime.date.today().strftime("%Y%m%d"))
            result = launcher.run([tag])
            days.add(datetime.date.today().strftime("%Y%m%d"))
            self.assertEqual((result.code, result.stdout, result.stderr), (0, "", ""))
        self.assertTrue(logs.is_dir(), "the missing folders were not created")
        names = sorted(path.name for path in logs.iterdir())
        day = next((d for d in sorted(days) if f"out_{d}.txt" in names), None)
        self.assertIsNotNone(day, f"no output file named after the date: {names}")
        self.assertEqual(names, [f"err_{day}.txt", f"out_{day}.txt"])
        return (logs / f"out_{day}.txt").read_text(), (logs / f"err_{day}.txt").read_text()

    def test_files_with_date_picture_in_new_folders_replaced_each_launch(self):
        self.assertEqual(self.run_twice(append=False), ("out two\n", "err two\n"))

    def test_files_with_append(self):
        self.assertEqual(self.run_twice(append=True), ("out one\nout two\n", "err one\nerr two\n"))

    def test_unopenable_output_file_leaves_the_stream_on_the_console(self):
        launcher = self.launcher("StreamsApp", class_path=str(classes("streams")),
                                 application={"Output File": "/proc/kite-nowhere/out.txt"})
        result = launcher.run(["x"])
        self.assertEqual((result.code, result.stdout), (0, "out x\n"))
        self.assertIn("java.io.FileNotFoundException: /proc/kite-nowhere/out.txt", result.stderr)
        self.assertTrue(result.stderr.rstrip().endswith("err x"))


if __name__ == "__main__":
    unittest.main()
