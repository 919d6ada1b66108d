"""The Linux launcher running real Java applications on the machine's OpenJDK 17:
arguments, exit codes, class-path forms, VM parameters, the main thread's
stack, output files and the failures of VM creation and main class lookup;
main methods as Java 25 selects them (on Temurin 25 where the machine has it),
a modular application, class-data archives, the trace of a start, and the
splash screen on an X server of the test's own.

The Java applications are tests/java/<app>/, compiled by CMake into
$KITE_JAVA_CLASSES/classes/<app>/ and $KITE_JAVA_CLASSES/jars/<app>.jar."""

import datetime
import os
import pathlib
import shutil
import subprocess
import threading
import time
import unittest

import harness

JDK_HOME = pathlib.Path("/usr/lib/jvm/java-17-openjdk-amd64")
# Present on some machines only; its cases are skipped where it is not.
TEMURIN25_HOME = pathlib.Path("/usr/lib/jvm/temurin-25-jdk-amd64")
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

    def run_main(self, main_class: str, home: pathlib.Path, args=()) -> harness.Result:
        """A class of tests/java/instancemain on the runtime at home."""
        return self.run_app(main_class, "instancemain", args, jre={"JRE Path": str(home)})

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

    def test_settings_file_is_opened_once_per_start(self):
        if not shutil.which("strace"):
            self.skipTest("strace is not installed (scripts/setup.sh)")
        launcher = self.launcher("ArgsApp", class_path=str(classes("args")),
                                 jre={"Library Path": "/nowhere", "Virtual Machine Parameters": "-Xmx64m"},
                                 application={"Cmd": "-a", "Single Instance": "no"})
        trace = launcher.sandbox.path("strace.txt")
        result = launcher.run(timeout=60, wrapper=("strace", "-f", "-e", "trace=open,openat", "-o", str(trace)))
        self.assertEqual(result.code, 0, result.stderr)
        opens = [line for line in trace.read_text().splitlines() if f"/{launcher.path.stem}.ini\"" in line]
        self.assertEqual(len(opens), 1, "\n".join(opens))

    def test_main_returning_ends_the_process_whatever_vm_provider_admits(self):
        # Providers that admit IBM runtimes keep the Java main thread only for a
        # runtime from the IBM registry key, which Linux does not have.
        for provider in ("favor_sun", "any"):
            with self.subTest(provider=provider):
                result = self.run_app("ArgsApp", "args", jre={"VM Provider": provider})
                self.assertEqual((result.code, self.argument_lines(result.stdout)), (0, ["count=0"]), result.stderr)

    def test_system_exit_status_is_the_exit_code(self):
        for status in (3, 0):
            result = self.run_app("ExitApp", "exitcode", [str(status)])
            self.assertEqual((result.code, result.stdout), (status, "exiting\n"), result.stderr)

    def test_main_throwing_ends_with_one_and_a_stack_trace(self):
        result = self.run_app("ThrowApp", "throws")
        self.assertEqual(result.code, 1)
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


class MainMethods(JavaLaunch):
    def test_static_main_comes_first_and_java_17_refuses_instance_mains(self):
        result = self.run_main("StaticFirst", JDK_HOME, ["a"])
        self.assertEqual((result.code, result.stdout), (0, "static main(String[]) count=1\n"), result.stderr)
        # Before Java 25 the JDK's launcher class refuses a class with an instance main only.
        result = self.run_main("InstanceNoArgs", JDK_HOME)
        self.assertEqual((result.code, result.stdout), (1, ""))
        self.assertIn("Error: Main method not found in class InstanceNoArgs", result.stderr)


@unittest.skipUnless((TEMURIN25_HOME / "lib" / "server" / "libjvm.so").exists(), f"no Temurin 25 at {TEMURIN25_HOME}")
class MainMethodsOnJava25(JavaLaunch):
    def test_static_main_comes_first(self):
        result = self.run_main("StaticFirst", TEMURIN25_HOME)
        self.assertEqual((result.code, result.stdout), (0, "static main(String[]) count=0\n"), result.stderr)

    def test_instance_main_without_parameters(self):
        result = self.run_main("InstanceNoArgs", TEMURIN25_HOME, ["ignored"])
        self.assertEqual((result.code, result.stdout), (0, "instance main() of InstanceNoArgs\n"), result.stderr)

    def test_instance_main_with_arguments_before_main(self):
        result = self.run_main("InstanceArgs", TEMURIN25_HOME, ["a b", "", "c"])
        self.assertEqual((result.code, result.stdout), (0, "instance main(String[]) a b||c\n"), result.stderr)

    def test_inherited_main(self):
        result = self.run_main("InheritedMain", TEMURIN25_HOME, ["x", "y"])
        self.assertEqual((result.code, result.stdout), (0, "inherited main in InheritedMain count=2\n"),
                         result.stderr)

    def test_private_constructor_is_refused_by_the_runtime(self):
        # The JDK's launcher class refuses the class before main is looked up, as `java` does.
        result = self.run_main("PrivateConstructor", TEMURIN25_HOME)
        self.assertEqual((result.code, result.stdout), (1, ""))
        self.assertIn("Error: no non-private zero argument constructor found in class PrivateConstructor",
                      result.stderr)


class ModularApplication(JavaLaunch):
    def test_module_path_and_main_module_run_a_named_module(self):
        # The recipe of docs/running-java.md: the same as `java -p mods -m kite.modular/kite.modular.ModApp`.
        launcher = self.launcher("kite.modular.ModApp", class_path="\\mods",
                                 jre={"Virtual Machine Parameters": "--module-path=mods -Djdk.module.main=kite.modular"},
                                 application={"Override WorkingDir": "yes"})
        (launcher.folder / "mods").mkdir()
        shutil.copy(jar("modular"), launcher.folder / "mods" / "modular.jar")
        result = launcher.run(["a b"], cwd=harness.Sandbox(self).root)
        self.assertEqual((result.code, result.stdout), (0, "module=kite.modular\nmain module=kite.modular\nargs=a b\n"),
                         result.stderr)


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

    def test_no_expansion_puts_the_current_folder_on_a_path(self):
        # A class and a native library planted in the folder the start happens
        # in: a reference expanded twice into a list with a trailing separator,
        # and a loader path ending in one, must not reach either.
        planted = harness.Sandbox(self).root
        shutil.copy(classes("args") / "ArgsApp.class", planted)
        subprocess.run(["gcc", "-shared", "-o", str(planted / "libplanted.so"), "-x", "c", "/dev/null"], check=True)
        other = classes("exitcode")
        launcher = self.launcher("ArgsApp", class_path=f"{other.parent}/%KITE_A%")
        result = launcher.run(["x"], cwd=planted, extra_env={"KITE_A": "%KITE_B%", "KITE_B": f"{other.name}:"})
        self.assertEqual(result.code, 1, result.stdout)
        self.assertIn("Could not find or load main class ArgsApp", result.stderr)

        launcher = self.launcher("LoadLibApp", class_path=str(classes("loadlib")),
                                 jre={"Library Path": str(classes("args"))})
        result = launcher.run(["planted"], cwd=planted, extra_env={"LD_LIBRARY_PATH": "/usr/local/lib:"})
        self.assertEqual((result.code, result.stdout), (0, "not found\n"), result.stderr)
        # Written by the user, the folder is searched: the library is real.
        result = launcher.run(["planted"], cwd=planted, extra_env={"LD_LIBRARY_PATH": str(planted)})
        self.assertEqual((result.code, result.stdout), (0, "loaded\n"), result.stderr)

    def test_non_ascii_class_path_by_locale(self):
        # The VM reads paths in the locale's encoding: UTF-8 passes them through; the C locale
        # cannot hold them, and the start ends with the error line instead of a mangled path.
        app_jar = harness.Sandbox(self).copy(jar("args"), "\u041f\u0440\u0438\u043c\u0435\u0440 \u738b/args.jar")
        launcher = self.launcher("ArgsApp", class_path=str(app_jar))
        result = launcher.run(["x"], extra_env={"LC_ALL": "C.UTF-8"})
        self.assertEqual(self.class_path_seen(result), str(app_jar))
        result = launcher.run(["x"], extra_env={"LC_ALL": "C"})
        self.assertEqual((result.code, result.stdout), (255, f"Error: Der Pfad {app_jar} enth\u00e4lt Zeichen, die in "
                                                             "der Codepage des Systems nicht darstellbar sind. \n"))

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

    def test_one_file_for_both_streams(self):
        log = harness.Sandbox(self).path("logs", "all.log")
        launcher = self.launcher("StreamsApp", class_path=str(classes("streams")),
                                 application={"Output File": str(log), "Error File": str(log)})
        result = launcher.run(["x"])
        self.assertEqual((result.code, result.stdout, result.stderr), (0, "", ""))
        self.assertEqual(log.read_text(), "out x\nerr x\n")

    def test_unopenable_output_file_leaves_the_stream_on_the_console(self):
        launcher = self.launcher("StreamsApp", class_path=str(classes("streams")),
                                 application={"Output File": "/proc/kite-nowhere/out.txt"})
        result = launcher.run(["x"])
        self.assertEqual((result.code, result.stdout), (0, "out x\n"))
        self.assertIn("java.io.FileNotFoundException: /proc/kite-nowhere/out.txt", result.stderr)
        self.assertTrue(result.stderr.rstrip().endswith("err x"))


class ClassDataArchive(JavaLaunch):
    """"Class Data Archive": the archive is written by the first start and
    mapped by later ones; the JVM's own class-load log (to a file, so that the
    application's output stays as it is) tells where ArgsApp came from."""

    def archive_launcher(self, home=JDK_HOME):
        sandbox = harness.Sandbox(self)
        app_jar = sandbox.copy(jar("args"), "lib/args.jar")
        exit_jar = sandbox.copy(jar("exitcode"), "lib/exitcode.jar")
        self.sandbox = sandbox
        self.class_log = sandbox.path("classes.log")
        self.cache = sandbox.path("cache")
        launcher = self.launcher("ArgsApp", class_path=f"{app_jar};{exit_jar}", jre={
            "JRE Path": str(home), "Class Data Archive": "yes",
            "Virtual Machine Parameters": f"-Xlog:class+load:file={self.class_log}"})
        self.folder = self.cache / "Kite Test" / "cds"
        ini = launcher.folder / "app.ini"
        ini.write_text("[Product Information]\r\nProduct Name=Kite Test\r\nProduct Code=cds\r\n" + ini.read_text())
        return launcher, app_jar

    def start(self, launcher, wrapper=()):
        result = launcher.run(["x"], extra_env={"XDG_CACHE_HOME": str(self.cache), "KITE_TRACE": "1"},
                              wrapper=wrapper)
        self.assertEqual(result.code, 0, result.stdout + result.stderr)
        self.assertIn("count=1\n<x>\n", result.stdout)
        self.assertNotIn("[", result.stdout)  # no JVM log line among the application's output
        return result

    def archives(self):
        return sorted(path.name for path in self.folder.glob("*")) if self.folder.exists() else []

    def from_archive(self) -> bool:
        line = next(line for line in self.class_log.read_text().splitlines() if " ArgsApp " in line)
        return "source: shared objects file" in line

    def test_first_start_creates_later_start_uses(self):
        launcher, _ = self.archive_launcher()
        first = self.start(launcher)
        self.assertIn("mechanism dynamic archive written at exit", first.stderr)
        self.assertIn("class data archive: created", first.stderr)
        self.assertFalse(self.from_archive())
        [archive] = self.archives()
        self.assertRegex(archive, r"^app-[0-9a-f]{8}-[0-9a-f]{16}-(\d+)\.jsa$")
        self.assertEqual(int(archive.split("-")[-1][:-4]), (self.folder / archive).stat().st_size)
        second = self.start(launcher)
        self.assertIn(f"{self.folder / archive} used", second.stderr)
        self.assertTrue(self.from_archive())
        self.assertEqual(self.archives(), [archive])

    def test_changed_jar_gives_a_new_archive_and_the_old_is_gone(self):
        launcher, app_jar = self.archive_launcher()
        self.start(launcher)
        [old] = self.archives()
        os.utime(app_jar, (time.time() + 10, time.time() + 10))
        result = self.start(launcher)
        self.assertIn("(made for other settings)", result.stderr)
        [new] = self.archives()
        self.assertNotEqual(new, old)
        self.start(launcher)
        self.assertTrue(self.from_archive())

    def test_truncated_archive_is_not_used_and_made_again(self):
        # OpenJDK 17 mapping a truncated dynamic archive dies of SIGBUS.
        launcher, _ = self.archive_launcher()
        self.start(launcher)
        [archive] = self.archives()
        with open(self.folder / archive, "r+b") as file:
            file.truncate(50000)
        result = self.start(launcher)
        self.assertIn("(size differs from its name)", result.stderr)
        self.assertIn("class data archive: created", result.stderr)
        self.assertEqual(self.archives(), [archive])

    def test_read_only_cache_folder_starts_normally(self):
        launcher, _ = self.archive_launcher()
        self.folder.mkdir(parents=True, mode=0o700)
        self.folder.chmod(0o555)
        command = [str(launcher.path), "x"]
        if os.geteuid() == 0:
            # root writes anywhere: the start runs as nobody, for whom the folder is read-only.
            # Its cache folders are nobody's own, or no archive would be tried at all.
            for folder in (self.folder, self.folder.parent):
                os.chown(folder, 65534, 65534)
            for sandbox in (launcher.sandbox, self.sandbox):
                for folder in [sandbox.root, *sandbox.root.rglob("*")]:
                    if folder.is_dir() and folder != self.folder:
                        folder.chmod(folder.stat().st_mode | 0o555)
            self.sandbox.root.chmod(0o777)  # for the class-load log
            command = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", *command]
        environment = {k: v for k, v in os.environ.items() if k not in harness.ISOLATED_VARIABLES}
        environment.update(XDG_CACHE_HOME=str(self.cache), XDG_CONFIG_HOME=str(launcher.sandbox.path("config")),
                           KITE_TRACE="1")
        result = harness._run(command, environment, launcher.folder, 60, None)
        self.assertEqual((result.code, result.stdout.count("count=1\n<x>\n")), (0, 1), result.stdout + result.stderr)
        self.assertIn(f"class data archive: cannot write in {self.folder} (error 13), none created", result.stderr)
        self.assertEqual(self.archives(), [])

    def used_no_archive(self, result, reason_line):
        """The start ran without archive options for the reason given, and wrote none."""
        self.assertIn(reason_line + "\n", result.stderr)
        options = result.stderr.split("kite: JVM options", 1)[1]
        for option in ("SharedArchiveFile", "ArchiveClassesAtExit", "AutoCreateSharedArchive"):
            self.assertNotIn(option, options)
        self.assertNotIn("class data archive: created", result.stderr)
        self.assertFalse(self.from_archive())

    def test_cache_folders_and_archive_are_closed_to_others_whatever_the_umask(self):
        # 17 writes its archives read-only; 25 with the process's default permissions.
        homes = [JDK_HOME]
        if (TEMURIN25_HOME / "lib" / "server" / "libjvm.so").exists():
            homes.append(TEMURIN25_HOME)
        else:
            print(f"Temurin 25: not checked, none at {TEMURIN25_HOME}")
        group_writes = ["sh", "-c", 'umask 002; exec "$0" "$@"']
        for home in homes:
            with self.subTest(home.name):
                launcher, _ = self.archive_launcher(home)
                first = self.start(launcher, wrapper=group_writes)
                if home == TEMURIN25_HOME:
                    # The ahead-of-time cache is made by a helper after the start.
                    self.assertIn("bin/java makes", first.stderr)
                    deadline = time.monotonic() + 120
                    while not (self.archives() and all(n.endswith(".aot") for n in self.archives())):
                        self.assertLess(time.monotonic(), deadline, self.archives())
                        time.sleep(0.2)
                else:
                    self.assertIn("class data archive: created", first.stderr)
                for folder in (self.cache, self.folder.parent, self.folder):
                    self.assertEqual(oct(folder.stat().st_mode & 0o777), oct(0o700), folder)
                [archive] = self.archives()
                self.assertEqual(oct((self.folder / archive).stat().st_mode & 0o022), "0o0")
                self.assertIn(f"{self.folder / archive} used", self.start(launcher, wrapper=group_writes).stderr)
                self.assertTrue(self.from_archive())

    def test_cache_folder_others_may_change_is_neither_used_nor_written(self):
        # Whoever may write the cache folder could put an archive there that the
        # user's JVM maps: such a folder is left as it is and the start goes on.
        launcher, _ = self.archive_launcher()
        self.start(launcher)
        [archive] = self.archives()
        parent = self.folder.parent
        elsewhere = self.sandbox.path("elsewhere")

        def to_link():
            self.folder.rename(elsewhere)
            self.folder.symlink_to(elsewhere)

        def from_link():
            self.folder.unlink()
            elsewhere.rename(self.folder)

        cases = [
            ("group may write", self.folder, "is writable by group or others",
             lambda: self.folder.chmod(0o770), lambda: self.folder.chmod(0o700)),
            ("others may write", self.folder, "is writable by group or others",
             lambda: self.folder.chmod(0o703), lambda: self.folder.chmod(0o700)),
            ("the product folder above it", parent, "is writable by group or others",
             lambda: parent.chmod(0o777), lambda: parent.chmod(0o700)),
            ("a link to a folder", self.folder, "is a symbolic link", to_link, from_link),
        ]
        if os.geteuid() == 0:
            cases.append(("owned by nobody", self.folder, "belongs to another user",
                          lambda: os.chown(self.folder, 65534, 65534), lambda: os.chown(self.folder, 0, 0)))
        else:
            print("owned by another user: not checked, the suite does not run as root")
        for name, folder, reason, change, undo in cases:
            with self.subTest(name):
                change()
                try:
                    result = self.start(launcher)
                    self.used_no_archive(result, f"kite: class data archive: cache folder {folder} {reason}, none used")
                    self.assertEqual(self.archives(), [archive])
                finally:
                    undo()
        # Closed again, the folder's archive serves.
        self.assertIn(f"{self.folder / archive} used", self.start(launcher).stderr)
        self.assertTrue(self.from_archive())

    def test_archive_others_may_change_is_replaced(self):
        launcher, _ = self.archive_launcher()
        self.start(launcher)
        cases = [("group may write", "is writable by group or others", lambda path: path.chmod(0o464))]
        if os.geteuid() == 0:
            cases.append(("owned by nobody", "belongs to another user", lambda path: os.chown(path, 65534, 65534)))
        for name, reason, change in cases:
            with self.subTest(name):
                [archive] = self.archives()
                change(self.folder / archive)
                result = self.start(launcher)
                self.assertIn(f"class data archive: removed {self.folder / archive} ({reason})\n", result.stderr)
                self.assertIn("class data archive: created", result.stderr)
                self.assertFalse(self.from_archive())
                [new] = self.archives()
                self.assertEqual(oct((self.folder / new).stat().st_mode & 0o022), "0o0")
                self.assertIn(f"{self.folder / new} used", self.start(launcher).stderr)
                self.assertTrue(self.from_archive())

    def test_two_simultaneous_first_starts_both_succeed(self):
        launcher, _ = self.archive_launcher()
        ini = launcher.folder / "app.ini"
        ini.write_text(ini.read_text().replace("Main Class=ArgsApp", "Main Class=ExitApp"))
        environment = {k: v for k, v in os.environ.items() if k not in harness.ISOLATED_VARIABLES}
        environment.update(XDG_CACHE_HOME=str(self.cache), XDG_CONFIG_HOME=str(launcher.sandbox.path("config")),
                           KITE_TRACE="1")
        # ExitApp ends through System.exit: the archive is published in the exit hook.
        starts = [subprocess.Popen([str(launcher.path), "0"], env=environment, cwd=launcher.folder,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE) for _ in range(2)]
        for start in starts:
            out, err = start.communicate(timeout=120)
            self.assertEqual((start.returncode, out), (0, b"exiting\n"), err)
            self.assertIn(b"class data archive: created", err)
        archives = self.archives()
        self.assertTrue(archives and all(name.endswith(".jsa") for name in archives), archives)
        third = subprocess.run([str(launcher.path), "0"], env=environment, cwd=launcher.folder,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
        self.assertEqual((third.returncode, third.stdout), (0, b"exiting\n"), third.stderr)
        self.assertIn(b" used\n", third.stderr)
        self.assertEqual(len(self.archives()), 1)


TEMURIN25_PRESENT = (TEMURIN25_HOME / "lib" / "server" / "libjvm.so").exists()
PROBE_SOURCE = """public class Probe {
    public static void main(String[] args) {
        System.out.println("version VERSION " + String.join(",", args));
        System.err.println("to standard error");
        System.exit(Integer.parseInt(args[0]));
    }
}
"""


class AheadOfTimeCache(JavaLaunch):
    """"Class Data Archive" on 24 and later: a start records, a quiet helper
    makes the ahead-of-time cache afterwards, later starts map it. The JVM's
    class-load log (to a file) tells where Probe came from; every start's
    output and exit code are compared with a start without the setting."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not TEMURIN25_PRESENT:
            print(f"\nSKIPPED: the ahead-of-time cache cases need Temurin 25 at {TEMURIN25_HOME}; none there")
            raise unittest.SkipTest(f"no Temurin 25 at {TEMURIN25_HOME}")

    def setUp(self):
        self.sandbox = harness.Sandbox(self)
        self.cache = self.sandbox.path("cache")
        self.folder = self.cache / "Kite Test" / "aot"
        self.class_log = self.sandbox.path("classes.log")
        self.app_jar = self.sandbox.path("lib/probe.jar")
        self.build_probe("1")

    def build_probe(self, version, home=TEMURIN25_HOME):
        source = self.sandbox.path(f"src{version}/Probe.java")
        source.parent.mkdir(parents=True, exist_ok=True)
        source.write_text(PROBE_SOURCE.replace("VERSION", version))
        out = source.parent / "classes"
        subprocess.run([str(home / "bin" / "javac"), "-d", str(out), str(source)], check=True)
        self.app_jar.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run([str(home / "bin" / "jar"), "cf", str(self.app_jar), "-C", str(out), "."], check=True)

    def probe_launcher(self, archive=True, vm_parameters="", class_path=None, home=TEMURIN25_HOME):
        parameters = f"-Xlog:class+load:file={self.class_log} {vm_parameters}".strip()
        jre = {"JRE Path": str(home), "Virtual Machine Parameters": parameters}
        if archive:
            jre["Class Data Archive"] = "Yes"
        launcher = self.launcher("Probe", class_path=class_path or str(self.app_jar), jre=jre)
        ini = launcher.folder / "app.ini"
        ini.write_text("[Product Information]\r\nProduct Name=Kite Test\r\nProduct Code=aot\r\n" + ini.read_text())
        return launcher

    def start(self, launcher, code="3", trace=False):
        env = {"XDG_CACHE_HOME": str(self.cache), **({"KITE_TRACE": "1"} if trace else {})}
        return launcher.run([code, "x"], extra_env=env, timeout=120)

    def assert_as_without(self, result, plain, version="1"):
        self.assertEqual((result.code, result.stdout, result.stderr), (plain.code, plain.stdout, plain.stderr))
        self.assertEqual(result.stdout, f"version {version} 3,x\n")

    def from_cache(self) -> bool:
        line = next(line for line in self.class_log.read_text().splitlines() if " Probe " in line)
        return "source: shared objects file" in line

    def files(self):
        return sorted(path.name for path in self.folder.glob("*")) if self.folder.exists() else []

    def wait_for_cache(self):
        """The helper makes the cache after the start has ended: wait until it
        is there and the recording and reservation are gone."""
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline:
            names = self.files()
            if names and all(name.endswith(".aot") for name in names):
                return names
            time.sleep(0.2)
        self.fail(f"no cache made: {self.files()}")

    def test_recorded_created_used_and_silent(self):
        plain = self.start(self.probe_launcher(archive=False))
        launcher = self.probe_launcher()
        first = self.start(launcher)
        self.assert_as_without(first, plain)
        self.assertFalse(self.from_cache())
        [cache] = self.wait_for_cache()
        self.assertRegex(cache, r"^app-[0-9a-f]{8}-[0-9a-f]{16}-(\d+)\.aot$")
        self.assertEqual(int(cache.split("-")[-1][:-4]), (self.folder / cache).stat().st_size)
        self.assertEqual(oct((self.folder / cache).stat().st_mode & 0o022), "0o0")
        for _ in range(2):
            self.assert_as_without(self.start(launcher), plain)
            self.assertTrue(self.from_cache())
        traced = self.start(launcher, trace=True)
        self.assertIn(f"-XX:AOTCache={self.folder / cache}\n", traced.stderr)

    def test_changed_class_is_seen_on_the_next_start(self):
        launcher = self.probe_launcher()
        self.start(launcher)
        [old] = self.wait_for_cache()
        time.sleep(0.01)
        self.build_probe("2")
        changed = self.start(launcher)
        self.assertEqual(changed.stdout, "version 2 3,x\n")
        self.assertFalse(self.from_cache())
        [new] = self.wait_for_cache()
        self.assertNotEqual(new, old)
        self.assertEqual(self.start(launcher).stdout, "version 2 3,x\n")
        self.assertTrue(self.from_cache())

    def test_damaged_cache_starts_normally_and_silently(self):
        plain = self.start(self.probe_launcher(archive=False))
        launcher = self.probe_launcher()

        def truncate(path):
            with open(path, "r+b") as file:
                file.truncate(path.stat().st_size // 2)

        def overwrite_keeping_size(path):
            # Its name still gives its size: the JVM itself must refuse it.
            size = path.stat().st_size
            with open(path, "r+b") as file:
                file.write(b"\0" * 4096)
                file.seek(size // 2)
                file.write(b"\xff" * 4096)

        def empty_under_its_name(path):
            path.write_bytes(b"")

        # A cut or emptied file is told by its name's size and made again; one
        # damaged at its full size is left to the JVM, which refuses it.
        for name, damage, made_again in [("truncated", truncate, True), ("emptied", empty_under_its_name, True),
                                         ("overwritten", overwrite_keeping_size, False)]:
            with self.subTest(name):
                self.start(launcher)
                [cache] = self.wait_for_cache()
                damage(self.folder / cache)
                self.assert_as_without(self.start(launcher), plain)
                self.assertFalse(self.from_cache())
                self.wait_for_cache()
                self.assert_as_without(self.start(launcher), plain)
                self.assertEqual(self.from_cache(), made_again)

    def test_two_simultaneous_first_starts(self):
        launcher = self.probe_launcher()
        environment = {k: v for k, v in os.environ.items() if k not in harness.ISOLATED_VARIABLES}
        environment.update(XDG_CACHE_HOME=str(self.cache), XDG_CONFIG_HOME=str(launcher.sandbox.path("config")))
        starts = [subprocess.Popen([str(launcher.path), "3", "x"], env=environment, cwd=launcher.folder,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE) for _ in range(2)]
        for start in starts:
            out, err = start.communicate(timeout=120)
            self.assertEqual((start.returncode, out, err), (3, b"version 1 3,x\n", b"to standard error\n"))
        # Each start had its own cache made; the next start maps one and
        # removes the other.
        self.wait_for_cache()
        self.start(launcher)
        self.assertTrue(self.from_cache())
        self.assertEqual(len(self.files()), 1, self.files())

    def test_starts_that_must_not_record(self):
        # -Xshare:auto with a cache ends the JVM; a folder with classes on the
        # class path makes recording fail. Neither start tries, and each says
        # nothing more than a start without the setting.
        self.sandbox.path("classes/Probe.class").parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(self.sandbox.path("src1/classes/Probe.class"), self.sandbox.path("classes/Probe.class"))
        cases = [("-Xshare:auto in the VM parameters", {"vm_parameters": "-Xshare:auto"}),
                 ("a class folder alone", {"class_path": str(self.sandbox.path("classes"))}),
                 ("a class folder after the jar", {"class_path": f"{self.app_jar};{self.sandbox.path('classes')}"})]
        for name, settings in cases:
            with self.subTest(name):
                plain = self.start(self.probe_launcher(archive=False, **settings))
                launcher = self.probe_launcher(**settings)
                for _ in range(2):
                    self.assert_as_without(self.start(launcher), plain)
                traced = self.start(launcher, trace=True)
                self.assertNotIn("AOT", traced.stderr.split("JVM options", 1)[1])
                self.assertEqual(self.files(), [])


class StaticArchiveForJlinkedRuntime(JavaLaunch):
    """A runtime made by jlink without --generate-cds-archive has no base
    archive, which a dynamic archive needs: 17 gets a static archive made
    from the list of the classes a start loaded; 25 its ahead-of-time cache."""

    def test_archive_made_and_used(self):
        homes = [JDK_HOME] + ([TEMURIN25_HOME] if TEMURIN25_PRESENT else [])
        if not TEMURIN25_PRESENT:
            print(f"\nSKIPPED for Temurin 25: none at {TEMURIN25_HOME}; only OpenJDK 17 checked")
        for home in homes:
            with self.subTest(home.name):
                sandbox = harness.Sandbox(self)
                runtime = sandbox.path("runtime")
                subprocess.run([str(home / "bin" / "jlink"), "--add-modules", "java.base", "--output", str(runtime)],
                               check=True)
                self.assertEqual(list(runtime.glob("lib/server/*.jsa")), [])
                cache = sandbox.path("cache")
                log = sandbox.path("classes.log")
                launcher = self.launcher("ExitApp", class_path=str(jar("exitcode")), jre={
                    "JRE Path": str(runtime), "Class Data Archive": "Yes",
                    "Virtual Machine Parameters": f"-Xlog:class+load:file={log}"})
                env = {"XDG_CACHE_HOME": str(cache)}
                for attempt in range(3):
                    result = launcher.run(["5"], extra_env=env, timeout=120)
                    self.assertEqual((result.code, result.stdout, result.stderr), (5, "exiting\n", ""))
                    deadline = time.monotonic() + 120
                    while time.monotonic() < deadline:
                        names = [p.name for p in cache.rglob("*") if p.is_file()]
                        if names and all(name.endswith((".jsa", ".aot")) for name in names):
                            break
                        time.sleep(0.2)
                    line = next(line for line in log.read_text().splitlines() if " ExitApp " in line)
                    self.assertEqual("source: shared objects file" in line, attempt > 0, line)


class TraceOfAStart(JavaLaunch):
    """What KITE_TRACE=1 writes about a real start: credentials in the options
    are masked, and KITE_TRACE_FILE is the user's alone and never a link."""

    def test_credential_properties_are_masked_in_the_trace_only(self):
        parameters = ("-Dkite.inputs=1 -Ddb.password=hunter2 -DApi.TOKEN=t0k3n -Dclient_Secret=s3cr3t "
                      "-Dkite.test=token=password")
        launcher = self.launcher("ArgsApp", class_path=str(classes("args")),
                                 jre={"Virtual Machine Parameters": parameters})
        result = launcher.run(["x"], extra_env={"KITE_TRACE": "1"})
        self.assertEqual(result.code, 0, result.stdout + result.stderr)
        # The VM gets the values ...
        for option in ("-Ddb.password=hunter2", "-DApi.TOKEN=t0k3n", "-Dclient_Secret=s3cr3t"):
            self.assertIn(f"input={option}\n", result.stdout)
        self.assertIn("kite.test=<token=password>\n", result.stdout)
        # ... the trace shows them masked, by the property's name only.
        lines = result.stderr.splitlines()
        for option in ("-Ddb.password=***", "-DApi.TOKEN=***", "-Dclient_Secret=***", "-Dkite.test=token=password",
                       "-Dkite.inputs=1"):
            self.assertIn(f"kite:   {option}", lines)
        for secret in ("hunter2", "t0k3n", "s3cr3t"):
            self.assertNotIn(secret, result.stderr)

    def test_trace_file_is_the_users_alone_and_never_followed_through_a_link(self):
        sandbox = harness.Sandbox(self)
        launcher = self.launcher("ArgsApp", class_path=str(classes("args")))
        trace = sandbox.path("trace.txt")
        no_umask = ["sh", "-c", 'umask 000; exec "$0" "$@"']

        def start():
            result = launcher.run(["x"], extra_env={"KITE_TRACE": "1", "KITE_TRACE_FILE": str(trace)},
                                  wrapper=no_umask)
            self.assertEqual((result.code, result.stdout.count("count=1\n<x>\n")), (0, 1),
                             result.stdout + result.stderr)
            return result

        with self.subTest("a new file"):
            self.assertEqual(start().stderr, "")
            self.assertEqual(oct(trace.stat().st_mode & 0o777), oct(0o600))
            self.assertIn("kite: JVM options", trace.read_text())

        victim = sandbox.write("victim.txt", "the user's own file\n")
        for name, target in (("a link to a file", victim), ("a link to no file", sandbox.path("created.txt"))):
            with self.subTest(name):
                trace.unlink(missing_ok=True)
                trace.symlink_to(target)
                result = start()
                lines = result.stderr.splitlines()
                # Error 40 is ELOOP: open with O_NOFOLLOW met a link.
                self.assertEqual(lines[:1], [f"kite: trace file {trace} cannot be written (error 40), "
                                             "the trace goes to standard error"])
                self.assertEqual(result.stderr.count("cannot be written"), 1)
                self.assertIn("kite: JVM options", result.stderr)
                self.assertTrue(all(line.startswith("kite: ") for line in lines), result.stderr)
                self.assertTrue(trace.is_symlink())
        self.assertEqual(victim.read_text(), "the user's own file\n")
        self.assertFalse(sandbox.path("created.txt").exists())


class SplashScreenOnX(JavaLaunch):
    """"Splash Screen" with the runtime's own splash library, on an X server of the
    test's own (Xvfb): the image is on screen when main starts, the application finds
    it through java.awt.SplashScreen and closes it. Screenshots go to e2e-output/splash."""
    COLOUR = "srgb(18,171,52)"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not (JDK_HOME / "lib" / "libsplashscreen.so").exists():
            raise unittest.SkipTest("the runtime has no splash library (openjdk-17-jre, scripts/setup.sh)")
        for tool in ("Xvfb", "import", "convert"):
            if shutil.which(tool) is None:
                raise unittest.SkipTest(f"{tool} is not installed (scripts/setup.sh)")
        cls.display, cls.xvfb = harness.start_xvfb(range(140, 190))
        cls.output = harness.HOST_DIR / "e2e-output" / "splash"
        cls.output.mkdir(parents=True, exist_ok=True)

    @classmethod
    def tearDownClass(cls):
        cls.xvfb.terminate()
        cls.xvfb.wait(timeout=10)

    def centre(self, name: str) -> str:
        """A screenshot into the output folder; the colour at the middle of the screen."""
        shot = self.output / f"{name}.png"
        subprocess.run(["import", "-display", self.display, "-window", "root", str(shot)], check=True, timeout=30)
        return subprocess.run(["convert", str(shot), "-format", "%[pixel:p{512,384}]", "info:"],
                              capture_output=True, text=True, check=True, timeout=30).stdout.strip()

    def splash_launcher(self):
        launcher = self.launcher("SplashApp", class_path=str(classes("splash")), jre={"Splash Screen": "splash.png"})
        subprocess.run(["convert", "-size", "240x120", "xc:" + self.COLOUR, str(launcher.folder / "splash.png")],
                       check=True, timeout=30)
        return launcher

    def test_splash_is_on_screen_when_main_starts_and_java_closes_it(self):
        launcher = self.splash_launcher()
        go = launcher.folder / "go"
        environment = {name: value for name, value in os.environ.items() if name not in harness.ISOLATED_VARIABLES}
        environment.update(DISPLAY=self.display, KITE_TRACE="1")
        process = subprocess.Popen([str(launcher.path), str(go)], env=environment, cwd=launcher.folder,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        watchdog = threading.Timer(60, process.kill)
        watchdog.start()
        try:
            # main has started and found the splash that was shown before the VM existed.
            first = process.stdout.readline()
            self.assertEqual(first, f"splash visible=true size=240x120 url=file:{launcher.folder}/splash.png\n")
            self.assertEqual(self.centre("splash-in-main"), self.COLOUR)
            go.touch()
            stdout, stderr = process.communicate()
        finally:
            watchdog.cancel()
        self.assertEqual((process.returncode, stdout), (0, "closed visible=false\n"), stderr)
        self.assertIn(f'splash screen: "{launcher.folder}/splash.png" shown through {JDK_HOME}/lib/libsplashscreen.so',
                      stderr)
        # Closed from Java: the window goes (the X server may take a moment to repaint).
        deadline = time.monotonic() + 15
        while self.centre("splash-closed") == self.COLOUR and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertNotEqual(self.centre("splash-closed"), self.COLOUR)

    def test_without_a_display_the_start_goes_on(self):
        environment = {name: value for name, value in os.environ.items() if name != "DISPLAY"}
        result = self.splash_launcher().run(env=environment, extra_env={"KITE_TRACE": "1"})
        self.assertEqual((result.code, result.stdout), (0, "headless\n"), result.stderr)
        self.assertIn("splash screen: the splash library cannot show", result.stderr)
        self.assertIn("(no display, or not a PNG, GIF or JPEG image it can read)", result.stderr)


if __name__ == "__main__":
    unittest.main()
