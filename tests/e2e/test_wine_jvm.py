"""The Windows executable hosting a Java application under Wine, with the
test-double jvm.dll of its width as the runtime's JVM library: arguments and
exit codes, the exact creation arguments the VM receives, memory shares, the
calling convention, the splash screen handed to the runtime's splash library,
the failures of loading the library, creating the VM and finding the main
class, and the output files.

The double plays the Java application from a script and records what it saw
(options, arguments, calls, threads); see tests/jvm_double/README.md."""

import datetime
import io
import re
import time
import unittest
import zipfile

import harness

MAIN_CLASS = "com.example.App"
CREATE_FAILED = "Error: JNI Fehler: konnte die Java VM nicht erzeugen\nReason: {}.\n \n"
MAIN_CLASS_NOT_FOUND = "Error: Konnte die Main class {} nicht finden.\n \n"
MAIN_METHOD_NOT_FOUND = "Error: Keine Main class in der angegebenen Klasse gefunden.\n \n"
CLASS_PATH_MISSING = "Error: Java-Klassenpfad wurde in der INI-Datei nicht angegeben. \n"
LIBRARY_LOAD_FAILED = "Error: Konnte Java VM Bibliothek: {} (Fehlernummer= {}) nicht laden.\n \n"
ENTRY_POINT_MISSING = "Error: Windows Fehler: Kann CreateJavaVM JNI nicht finden (Fehlernummer = {}).\n \n"
JAR_UNREADABLE = "Error: Die Jar-Datei {} wurde nicht gefunden oder kann nicht gelesen werden. \n"
JAR_BROKEN = "Error: Die Jar-Datei {} ist besch\u00e4digt oder keine Jar-Datei. \n"
JAR_WITHOUT_MAIN_CLASS = "Error: Die Jar-Datei {} nennt keine Main-Class, und die INI-Datei keine Main Class. \n"
ERROR_BAD_EXE_FORMAT = 193
ERROR_PROC_NOT_FOUND = 127
ERROR_MOD_NOT_FOUND = 126


class JvmApp:
    """app.exe beside its INI, with a runtime home whose JVM library is the double (or another file)."""

    def __init__(self, test: unittest.TestCase, wine: harness.Wine, script: list, jre: dict | None = None,
                 application: dict | None = None, class_path: str | None = "D:\\Libs\\app.jar",
                 variant: str = "full", library=None, app_folder: str = "app", jre_folder: str = "jre",
                 ini_encoding: str = "cp1252"):
        self.sandbox = harness.Sandbox(test)
        self.launcher = harness.WineLauncher(wine, self.sandbox, f"{app_folder}/app.exe")
        self.sandbox.copy(library or harness.jvm_double(variant), f"{jre_folder}/bin/client/jvm.dll")
        self.home = harness.Wine.winpath(self.sandbox.path(jre_folder))
        sections = {"Java Runtime Environment": {"Main Class": MAIN_CLASS, "JRE Path": self.home, **(jre or {})}}
        if class_path is not None:
            sections["Class Path"] = {"Class Path": class_path}
        if application:
            sections["Application"] = application
        # A settings file without a byte order mark is read in the ANSI code page.
        self.sections = sections
        self.launcher.write_ini(sections, encoding=ini_encoding)
        script_file = self.sandbox.write("script.txt", "\n".join(["main_class=com/example/App", *script]) + "\n")
        self.record_file = self.sandbox.path("record.txt")
        self.env = {"KITE_DOUBLE_SCRIPT": str(script_file), "KITE_DOUBLE_RECORD": str(self.record_file)}

    def winpath(self, *parts) -> str:
        return harness.Wine.winpath(self.sandbox.path(*parts))

    def run(self, args=(), extra_env=None, cwd=None) -> harness.Result:
        return self.launcher.run(args, cwd=cwd, timeout=60, extra_env={**self.env, **(extra_env or {})})

    def record(self) -> list:
        return self.record_file.read_text(encoding="utf-8").splitlines() if self.record_file.exists() else []

    def options(self) -> list:
        """The option strings in order, the hook options (extraInfo set) marked with a leading '+'."""
        return [line[7:] if line.startswith("option=") else "+" + line[18:] for line in self.record()
                if line.startswith(("option=", "option_with_extra="))]

    def facts(self, prefix: str) -> list:
        """The values of the record lines that start with prefix."""
        return [line[len(prefix):] for line in self.record() if line.startswith(prefix)]


class WineJvm(harness.WineSuite):
    needs_double = True

    def app(self, script: list, **settings) -> JvmApp:
        return JvmApp(self, self.wine, script, **settings)

    def assert_result(self, result: harness.Result, code: int, stdout: str):
        self.assertEqual((result.code, result.stdout), (code, stdout), result.stderr)

    # --- running main -------------------------------------------------------------------

    def test_arguments_and_cmd_words_reach_main(self):
        app = self.app(["main=out hello"], application={"Cmd": '-a "two words" "" %KITE_TEST_WORD%'})
        emoji = "\U0001F600"
        result = app.run(["a b", "", f"Gr\u00fc\u00dfe {emoji}"], extra_env={"KITE_TEST_WORD": "expanded"})
        self.assert_result(result, 0, "hello\r\n")
        # The empty "Cmd" word is dropped; the character outside the BMP travels as a
        # surrogate pair and comes back whole.
        self.assertEqual(app.facts("arg"), ["s=6", "=a b", "=", f"=Gr\u00fc\u00dfe {emoji}", "=-a",
                                            "=two words", "=expanded"])
        # Without arguments main gets an empty array, not null.
        plain = self.app([])
        self.assert_result(plain.run(), 0, "")
        self.assertEqual(plain.facts("arg"), ["s=0"])
        self.assertEqual(plain.record()[-3:], ["detached=main", "destroy_called thread=unattached",
                                               "destroy_returned"])

    def test_restart_code_starts_the_executable_again_at_most_five_times(self):
        app = self.app(["main=exit 9"], application={"Restart Code": "9", "Leading Cmd": "first"})
        trace = app.sandbox.path("trace.txt")
        result = app.run(["a b"], extra_env={"KITE_TRACE": "1", "KITE_TRACE_FILE": app.winpath("trace.txt")})
        self.assertEqual(result.code, 9)
        # The sixth run traces that it starts no seventh, as its last act.
        for _ in range(1200):
            if trace.exists() and "no restart" in trace.read_text(encoding="utf-8"):
                break
            time.sleep(0.1)
        text = trace.read_text(encoding="utf-8")
        self.assertEqual(text.count("the executable starts again"), 5, text)
        self.assertEqual(text.count("5 restarts within 60 s already; no restart"), 1, text)
        self.assertEqual(app.record().count("main_called thread=main"), 6)
        # Every run gets the same arguments and the same sun.java.command.
        self.assertEqual(app.facts("arg"), ["s=2", "=first", "=a b"] * 6)
        self.assertEqual(app.facts("option=-Dsun.java.command="), ["com.example.App first a b"] * 6)

    def test_system_exit_and_throwing_main(self):
        app = self.app(["main=out exiting", "main=exit 3"])
        self.assert_result(app.run(), 3, "exiting\r\n")
        # Outside service mode the exit hook has nothing to forward and returns to the VM.
        self.assertEqual(app.record()[-2:], ["system_exit=3 thread=main", "exit_hook_returned"])

        app = self.app(["main=out before", "main=throw java.lang.IllegalStateException kaputt"])
        result = app.run()
        # As with the java command, an exception out of main ends the process with 1.
        self.assert_result(result, 1, "before\r\n")
        self.assertEqual(result.stderr, 'Exception in thread "main" java.lang.IllegalStateException: kaputt\r\n')
        # The exception is left pending for the VM, which reports it when the thread detaches.
        self.assertEqual(app.facts("uncaught="), ["java.lang.IllegalStateException: kaputt thread=main"])
        self.assertEqual(app.facts("exception_described="), [])

    def test_non_daemon_thread_keeps_the_process_alive(self):
        app = self.app(["main=thread 1500 worker done", "main=out main returns"])
        started = time.monotonic()
        result = app.run()
        self.assertGreaterEqual(time.monotonic() - started, 1.5)
        self.assert_result(result, 0, "main returns\r\nworker done\r\n")
        record = app.record()
        worker = app.facts("thread_started=")[0]
        self.assertEqual(record[record.index("main_returned"):],
                         ["main_returned", "detached=main", "destroy_called thread=unattached",
                          f"destroy_waiting={worker}", f"thread_ended={worker}", "destroy_returned"])

    def test_main_selection_order(self):
        # A static main(String[]) first, then an instance main(String[]), then main(); private
        # ones are passed over. An instance main runs on an object made for it.
        cases = [
            ("static,instance,no_args", "static"),
            ("instance,static_no_args", "instance"),
            ("private_instance,static_no_args", "static_no_args"),
            ("no_args", "no_args"),
        ]
        for forms, chosen in cases:
            with self.subTest(forms=forms):
                app = self.app([f"main_forms={forms}", "main=out ran"])
                self.assert_result(app.run(["x"]), 0, "ran\r\n")
                self.assertEqual(app.facts("main_form="), [chosen])
                self.assertEqual(app.facts("arg"), ["s=1", "=x"] if chosen in ("static", "instance") else [])
                constructed = ["constructed=com/example/App thread=main"] if "static" not in chosen else []
                steps = [line for line in app.record() if line.startswith(("constructed=", "main_form=", "main_called"))]
                self.assertEqual(steps, [*constructed, f"main_form={chosen}", "main_called thread=main"])

    def test_instance_main_without_a_usable_constructor(self):
        # Without the JDK's launcher class the launcher decides: like a missing main method.
        cases = [("none", 'Exception in thread "main" java.lang.NoSuchMethodError: Lcom/example/App;.<init>()V\r\n'),
                 ("private", "")]
        for constructor, stderr in cases:
            with self.subTest(constructor=constructor):
                app = self.app(["main_forms=instance", f"constructor={constructor}"], variant="no_boot_loader")
                result = app.run()
                self.assert_result(result, 255, MAIN_METHOD_NOT_FOUND)
                self.assertEqual(result.stderr, stderr)
                self.assertEqual(app.facts("constructed="), [])
                self.assertEqual(app.facts("main_called"), [])

    # --- what JNI_CreateJavaVM receives ---------------------------------------------------

    def test_creation_arguments_follow_the_settings(self):
        vm_parameters = '-Xmx64m   -Dkite.words="a b" -Dkite.umlaut=Gr\u00fc\u00dfe -Xss8m'
        # Relative entries are searched beside the exe (a missing one adds nothing); absolute
        # ones without '*' are taken as written; "." stays; empty entries are left out.
        class_path = "\\lib\\*.jar;;D:\\Libs\\a?.jar;\\\\server\\share\\x.jar;\\missing.jar;\\lib\\a.jar;.;"
        app = self.app([], class_path=class_path,
                       jre={"Library Path": "D:\\native", "Virtual Machine Parameters": vm_parameters})
        for jar in ("a.jar", "b.jar"):
            app.sandbox.write(f"app/lib/{jar}", b"PK")
        self.assert_result(app.run(), 0, "")
        home, exe_dir = app.home, app.winpath("app")
        self.assertEqual(app.facts("env.KITE_JVM_PATH="), [home + "\\bin\\client\\jvm.dll"])
        self.assertEqual(app.facts("env.KITE_JVM_HOME="), [home])
        path = app.facts("env.Path=")[0]
        self.assertTrue(path.endswith(";" + home + "\\bin"), path)
        old_path = path[:-len(";" + home + "\\bin")]
        jars = [f"{exe_dir}\\lib\\{name}" for name in ("a.jar", "b.jar")]
        class_paths = [";".join(order) + f";D:\\Libs\\a?.jar;\\\\server\\share\\x.jar;{exe_dir}\\lib\\a.jar;."
                       for order in (jars, jars[::-1])]  # the directory search's own order
        options = app.options()
        self.assertIn(options[1], ["-Djava.class.path=" + text for text in class_paths])
        self.assertEqual(options[:1] + options[2:], [
            f"-Djava.library.path=D:\\native;{exe_dir}\\;{old_path};{home}\\lib",
            "-Xmx64m", "-Dkite.words=a b", "-Dkite.umlaut=Gr\u00fc\u00dfe", "-Xss8m",
            "-Dsun.java.command=com.example.App", "+abort", "+exit"])
        self.assertEqual([line for line in app.record() if line.startswith(("version=", "options=", "ignore"))],
                         ["version=0x10002", "options=9", "ignoreUnrecognized=0"])
        # -Xss sizes the thread that creates the VM; the library's default is not asked for.
        self.assertGreaterEqual(int(app.facts("create_thread_stack=")[0]), 8 << 20)
        self.assertEqual(app.facts("default_args"), [])

    def test_settings_file_is_opened_once_per_start(self):
        # Every key of a start that runs main is answered from one read of the file.
        app = self.app(["main=out hello"], application={"Cmd": "-a", "Single Instance": "no"},
                       jre={"Library Path": "D:\\native", "Virtual Machine Parameters": "-Xmx64m"})
        result = app.run(extra_env={"WINEDEBUG": "trace+file"})
        self.assertEqual(result.code, 0, result.stdout)
        opens = [line for line in result.stderr.splitlines()
                 if "trace:file:NtCreateFile" in line and "\\app.ini\"" in line.lower()]
        self.assertEqual(len(opens), 1, "\n".join(opens))

    def test_embedded_jar_and_missing_class_path(self):
        app = self.app(["java_stack_size=6291456"], class_path=None, application={"Embedded Jar": "YES"})
        self.assert_result(app.run(), 0, "")
        self.assertEqual(app.options(), [f"-Djava.class.path={app.winpath('app', 'app.exe')}",
                                         "-Dsun.java.command=com.example.App", "+abort", "+exit"])
        # Without -Xss the Java main thread gets the library's default stack size.
        self.assertEqual(app.facts("default_args "), ["version=0x10001 zeroed=1"])
        self.assertGreaterEqual(int(app.facts("create_thread_stack=")[0]), 6 << 20)
        # No class path at all: the report, and the start ends without a VM.
        app = self.app(["main=out never"], class_path=None,
                       jre={"Virtual Machine Parameters": "-Xmx64m"}, application={"Cmd": "ignored"})
        self.assert_result(app.run(), 255, CLASS_PATH_MISSING)
        self.assertEqual(app.facts("create_result="), [])

    def test_memory_shares_come_from_the_executables_own_figures(self):
        # kite.exe works with the 32-bit figures of Windows: all of its free address space is
        # below 4 GB. kite64.exe's 64-bit address space is far larger.
        app = self.app([], jre={"Virtual Machine Parameters": "-Xmx100T"})
        self.assert_result(app.run(), 0, "")
        kilobytes = int(next(option for option in app.options() if option.startswith("-Xmx"))[4:-1])
        if harness.TARGET.bits == 32:
            self.assertLess(kilobytes, 4 << 20)
        else:
            self.assertGreater(kilobytes, 4 << 20)

    def test_calling_convention_mismatch_fails_visibly(self):
        # The double calls the hooks through JNICALL and checks in the 32-bit build that each hook
        # removed its arguments as __stdcall does (test_system_exit_and_throwing_main passes that
        # check). Its cdecl variant declares every entry point, JNI function and hook __cdecl: the
        # launcher must not end as if the Java application had run.
        if harness.TARGET.bits == 64:
            self.skipTest("x86_64 has one calling convention")
        app = self.app(["main=exit 7"], variant="cdecl")
        result = app.run()
        self.assertNotIn(result.code, (0, 7), result.stdout + result.stderr)
        self.assertNotIn("exit_hook_returned", app.record())

    def test_class_data_archive_options_by_runtime_version(self):
        # The runtime's "release" file gives its version; the double writes no
        # archive and records nothing, so every start asks for one under a
        # temporary name and no helper is started after it.
        archive = r"C:\\users\\[^\\]+\\AppData\\Local\\Kite Test\\cds\\app-[0-9a-f]{8}-[0-9a-f]{16}"
        record_aot = ["-XX:AOTMode=record", "-XX:AOTConfiguration=REC", "-Xlog:cds*=off"]
        # (version, base archive present, options for a start without archive, name of a whole archive and
        # the options that use it)
        creation = [("12.0.2", True, [], None),
                    ("17.0.15", True, ["-XX:ArchiveClassesAtExit=TMP", "-Xlog:cds*=off"], None),
                    ("17.0.15", False, ["-XX:DumpLoadedClassList=REC", "-Xlog:cds*=off", "+vfprintf"],
                     ("jsa", ["-XX:SharedArchiveFile=WHOLE", "-Xlog:cds*=off"])),
                    ("21.0.1", True, ["-XX:+AutoCreateSharedArchive", "-XX:SharedArchiveFile=TMP", "-Xlog:cds*=off"],
                     ("jsa", ["-XX:SharedArchiveFile=WHOLE", "-Xlog:cds*=off"])),
                    ("24.0.2", True, [*record_aot, "+vfprintf"], ("aot", ["-XX:AOTCache=WHOLE", "-Xlog:cds*=off"])),
                    ("25.0.3", False, [*record_aot, "-Xlog:aot*=off", "+vfprintf"],
                     ("aot", ["-XX:AOTCache=WHOLE", "-Xlog:cds*=off", "-Xlog:aot*=off"]))]
        for version, base_archive, expected, whole in creation:
            with self.subTest(version=version, base_archive=base_archive):
                app = self.app(["main=out ran"], jre={"Class Data Archive": "YES", "Virtual Machine Parameters": "-Xmx64m"})
                app.sandbox.write("jre/release", f'JAVA_VERSION="{version}"\n')
                if base_archive:
                    app.sandbox.write("jre/bin/client/classes.jsa", b"the runtime's own archive")
                ini = app.launcher.folder / "app.ini"
                ini.write_bytes(b"[Product Information]\r\nProduct Name=Kite Test\r\nProduct Code=cds\r\n" +
                                ini.read_bytes())
                self.assert_result(app.run(), 0, "ran\r\n")
                # after the class path, -Xmx64m and the command, before the hooks abort and exit
                self.assertEqual(app.options()[2], "-Dsun.java.command=com.example.App")
                added = app.options()[3:-2]
                self.assertEqual(len(added), len(expected), added)
                for option, pattern in zip(added, expected):
                    pattern = re.escape(pattern).replace("TMP", archive + r"\.0\.jsa\.tmp")
                    self.assertRegex(option, "^" + pattern.replace("REC", archive + r"\.0\.rec\.tmp") + "$")
                if not expected:
                    continue
                # Nothing written or recorded: the temporary files are gone again.
                folder = self.wine.appdata().parent / "Local" / "Kite Test" / "cds"
                self.assertEqual([path.name for path in folder.iterdir() if path.suffix == ".tmp"], [])
                if whole:
                    # A whole archive (its size in its name) is used as it is.
                    extension, options = whole
                    stem = next(o for o in added if ".0." in o).rsplit("\\", 1)[1].split(".0.")[0]
                    (folder / f"{stem}-5.{extension}").write_bytes(b"12345")
                    app.record_file.unlink()  # the double appends to its record
                    self.assert_result(app.run(), 0, "ran\r\n")
                    used = [re.escape(o).replace("WHOLE", archive + f"-5\\.{extension}") for o in options]
                    self.assertEqual(len(app.options()[3:-2]), len(used), app.options())
                    for option, pattern in zip(app.options()[3:-2], used):
                        self.assertRegex(option, "^" + pattern + "$")

    def test_splash_screen_is_handed_to_the_runtimes_splash_library_before_the_vm(self):
        # The runtime's bin\splashscreen.dll is the recording double; every start goes on
        # to main, and the trace says why a start shows no splash.
        png = b"\x89PNG\r\n\x1a\n" + bytes(24)
        cyrillic = "\u0437\u0430\u0441\u0442\u0430\u0432\u043a\u0430.png"  # outside the ANSI code page
        cases = [
            # (setting, files in the sandbox, script, environment, splash facts, trace)
            ("splash.png", {"app/splash.png": png}, [], {},
             ["init", "scaled_name={img} jar=(null)", "load_file={img} result=1", "file_jar_name={img} jar=(null)"],
             "{img}\" shown through {lib}"),
            ("%KITE_IMAGES%\\splash.png", {"images/splash.png": png, "images/splash@2x.png": png}, [],
             {"KITE_DOUBLE_SPLASH_SCALED": "1"},
             ["init", "scaled_name={img} jar=(null)", "scale=200", "load_file={img2x} result=1",
              "file_jar_name={img2x} jar=(null)"], "{img2x}\" shown through {lib} at scale 200%"),
            (cyrillic, {f"app/{cyrillic}": png}, [], {}, ["init", f"load_memory={len(png)} result=1"], "shown"),
            ("splash.png", {"app/splash.png": b"GIF? no"}, [], {}, ["init", "scaled_name={img} jar=(null)",
             "load_file={img} result=0"], "cannot show \"{img}\" (no display, or not a PNG, GIF or JPEG"),
            ("missing.png", {}, [], {}, None, "image \"{missing}\" not found, none shown"),
            ("splash.png", {"app/splash.png": png}, [], {"KITE_TEST_NO_SPLASH_LIBRARY": "1"}, None,
             "splash library {lib} cannot be loaded (error 126), none shown"),
            # A start that ends before the application runs closes it before its report.
            ("splash.png", {"app/splash.png": png}, ["create_result=-4"], {},
             ["init", "scaled_name={img} jar=(null)", "load_file={img} result=1", "file_jar_name={img} jar=(null)",
              "close"], "shown"),
        ]
        for setting, files, script, env, facts, trace in cases:
            with self.subTest(setting=setting, env=env, script=script):
                app = self.app(["main=out ran", *script], jre={"Splash Screen": "SETTING"})
                # The settings file in UTF-8 with its mark, which holds any name.
                ini = app.launcher.folder / "app.ini"
                ini.write_bytes(b"\xef\xbb\xbf" + ini.read_bytes().decode("cp1252").replace("SETTING", setting).encode())
                if "KITE_TEST_NO_SPLASH_LIBRARY" not in env:
                    app.sandbox.copy(harness.TARGET.file("tests", "jvm_double", "splash", "splashscreen.dll"),
                                     "jre/bin/splashscreen.dll")
                for name, content in files.items():
                    app.sandbox.write(name, content)
                image = app.winpath(*next(iter(files), "app/x").split("/"))
                places = {"img": image, "img2x": image[:-4] + "@2x.png", "missing": app.winpath("app", "missing.png"),
                          "lib": app.home + "\\bin\\splashscreen.dll"}
                result = app.run(extra_env={"KITE_TRACE": "1", "KITE_IMAGES": app.winpath("images"), **env})
                failed = "create_result=-4" in script
                self.assert_result(result, 255 if failed else 0,
                                   CREATE_FAILED.format("nicht gen\u00fcgend Arbeitsspeicher") if failed else "ran\r\n")
                record = app.record()
                created = record.index("version=0x10002")
                splash = [line[len("splash_"):] for line in record if line.startswith("splash_")]
                # Loaded after the JVM library, handed over before the VM is created.
                expected = [] if facts is None else ["library jvm_loaded=1"] + [fact.format(**places) for fact in facts]
                self.assertEqual(splash, expected)
                self.assertEqual([line for line in record[created:] if line.startswith("splash_")],
                                 ["splash_close"] if failed else [])
                self.assertIn(trace.format(**places), result.stderr)

    def test_paths_outside_the_ansi_code_page(self):
        # Code page 1252 (Wine's in a C or English locale) lacks Cyrillic and CJK letters: those
        # components reach the VM in their short 8.3 form, and each path still names its file
        # when opened by that ANSI name, as the VM opens it. What the VM gets as Java strings
        # (arguments, output file) and the working directory keep their characters.
        app_folder = "\u041f\u0440\u0438\u043b\u043e\u0436\u0435\u043d\u0438\u0435 \u5e94\u7528"
        jre_folder = "\u0421\u0440\u0435\u0434\u0430 \u8fd0\u884c"
        native, jar, output = "\u043d\u0430\u0442\u0438\u0432 \u672c\u5730", "\u0431\u0438\u0431 \u5e93.jar", \
            "\u0432\u044b\u0432\u043e\u0434 \u8f93\u51fa.txt"
        app = self.app(["check_paths=yes", "main=out hello"], class_path="\\lib\\*.jar;D:\\Libs\\a.jar",
                       app_folder=app_folder, jre_folder=jre_folder, ini_encoding="utf-16", application={
                           "Embedded Jar": "yes", "Override WorkingDir": "yes", "Output File": f"%KITE_LOGS%\\{output}"})
        app.sections["Java Runtime Environment"]["Library Path"] = app.winpath(native)
        app.launcher.write_ini(app.sections, encoding="utf-16")
        app.sandbox.write(f"{app_folder}/lib/{jar}", b"PK" + b"j" * 1000)
        app.sandbox.path(native).mkdir()
        app.sandbox.path(jre_folder, "lib").mkdir()
        arguments = ["\u041f\u0440\u0438\u043c\u0435\u0440", "\u738b\u82b3 \u00e4"]
        result = app.run(arguments, extra_env={"KITE_LOGS": app.winpath("logs"), "LC_ALL": "C.UTF-8"})
        self.assert_result(result, 0, "")
        self.assertEqual(app.facts("arg"), ["s=2", *("=" + argument for argument in arguments)])
        self.assertEqual(app.sandbox.path("logs", output).read_bytes(), b"hello\r\n")
        self.assertEqual(app.facts("cwd="), [app.winpath(app_folder)])
        self.assertEqual(app.facts("env.KITE_JVM_HOME="), [app.home])

        root = app.winpath()
        short = r"\\[A-Z0-9_~]{1,8}(\.[A-Z0-9_~]{1,3})?"  # one component in its short form
        options = app.options()
        # The command holds main's arguments, which the options' ANSI text
        # cannot carry (the java command's has the same loss); every path can.
        self.assertEqual(options[2], "-Dsun.java.command=com.example.App ?????? ?? \u00e4")
        self.assertTrue(all(option.isascii() and "?" not in option for option in options[:2] + options[3:]),
                        options)
        self.assertRegex(options[0], "^-Djava\\.library\\.path=" + re.escape(root) + short + ";" +
                         re.escape(root) + short + r"\\;.*;" + re.escape(root) + short + r"\\lib$")
        class_path = options[1].split("=", 1)[1].split(";")
        self.assertEqual(len(class_path), 3, class_path)
        self.assertRegex(class_path[0], "^" + re.escape(root) + short + r"\\app\.exe$")
        self.assertRegex(class_path[1], "^" + re.escape(root) + short + r"\\lib" + short + "$")
        self.assertEqual(class_path[2], "D:\\Libs\\a.jar")  # representable: as written
        [module] = app.facts("module_ansi=")
        self.assertRegex(module, "^" + re.escape(root) + short + r"\\bin\\client\\jvm\.dll$")
        # The VM finds the same files under those names.
        found = dict(fact.rsplit(" ", 1) for fact in app.facts("path="))
        library_path = options[0].split("=", 1)[1].split(";")
        self.assertEqual([found[entry] for entry in (library_path[0], library_path[1], library_path[-1])],
                         ["folder"] * 3)
        self.assertEqual(found[class_path[0]], f"size={app.launcher.path.stat().st_size}")
        self.assertEqual(found[class_path[1]], "size=1002")
        self.assertEqual(found[module], f"size={harness.jvm_double().stat().st_size}")

        # No short form: a missing file has none. The start ends before the VM is made.
        missing = "D:\\\u65e0\\a.jar"
        app = self.app(["main=out never"], class_path=missing, ini_encoding="utf-16")
        self.assert_result(app.run(), 255, f"Error: Der Pfad {missing} enth\u00e4lt Zeichen, die in der Codepage "
                                           "des Systems nicht darstellbar sind. \n")
        self.assertEqual(app.facts("create_result="), [])

    # --- failures -------------------------------------------------------------------------

    def test_creation_failures(self):
        cases = [
            (["create_result=-4"], {}, "nicht gen\u00fcgend Arbeitsspeicher"),
            (["create_result=7"], {}, ""),
            # Unrecognised options are not ignored: the VM refuses one itself.
            ([], {"Virtual Machine Parameters": "-Xbogus"}, "unbekannt"),
        ]
        for script, jre, reason in cases:
            with self.subTest(script=script, jre=jre):
                app = self.app(script + ["main=out never"], jre=jre)
                result = app.run()
                self.assert_result(result, 255, CREATE_FAILED.format(reason))
                self.assertEqual(app.facts("main_called"), [])
                self.assertEqual(app.facts("destroy_called"), [])
                if jre:
                    self.assertEqual(result.stderr, "Unrecognized option: -Xbogus\r\n")

    def test_library_failures(self):
        # Not an image at all: it passes discovery (no machine to compare) and fails to load.
        garbage = harness.Sandbox(self).write("garbage.dll", b"MZ" + b"\0" * 30 + b"not a library")
        app = self.app([], library=garbage)
        path = app.home + "\\bin\\client\\jvm.dll"
        self.assert_result(app.run(), 255, LIBRARY_LOAD_FAILED.format(path, ERROR_BAD_EXE_FORMAT))

        app = self.app(["main=out never"], variant="no_default_args")
        self.assert_result(app.run(), 255, ENTRY_POINT_MISSING.format(ERROR_PROC_NOT_FOUND))
        self.assertEqual(app.facts("create_result="), [])

    def test_the_jvm_library_imports_from_its_runtime_never_from_the_current_folder(self):
        dependency = harness.jvm_double_dependency()
        app = self.app(["main=out ran"], variant="with_dependency")
        started_in = app.sandbox.path("downloads")
        app.sandbox.copy(dependency, "downloads/kite_double_dep.dll")
        path = app.home + "\\bin\\client\\jvm.dll"
        self.assert_result(app.run(cwd=started_in), 255, LIBRARY_LOAD_FAILED.format(path, ERROR_MOD_NOT_FOUND))
        # Where a runtime keeps the DLLs its JVM library needs: its bin folder.
        app.sandbox.copy(dependency, "jre/bin/kite_double_dep.dll")
        self.assert_result(app.run(cwd=started_in), 0, "ran\r\n")
        self.assertEqual(app.facts("dependency="), ["42"])

    def test_relative_jre_path_loads_from_the_folder_it_names(self):
        # A runtime beside the executable named by a relative "JRE Path": with
        # "Override WorkingDir" it is found from the executable's folder,
        # wherever the start happened; without it from the starting folder.
        app = self.app(["main=out ran"], jre_folder="app/jre")
        app.sandbox.copy(harness.jvm_double(), "elsewhere/jre/bin/client/jvm.dll")
        for written in ("jre", ".\\jre"):
            for override, started_in, chosen in (("Yes", "", "app"), ("", "app", "app"),
                                                  ("", "elsewhere", "elsewhere")):
                sections = {**app.sections, "Java Runtime Environment": {
                    **app.sections["Java Runtime Environment"], "JRE Path": written}}
                if override:
                    sections["Application"] = {"Override WorkingDir": override}
                app.launcher.write_ini(sections, encoding="cp1252")
                result = app.run(cwd=app.sandbox.path(started_in), extra_env={"KITE_TRACE": "1"})
                case = (written, override, started_in)
                self.assertEqual((result.code, result.stdout), (0, "ran\r\n"), case)
                library = app.winpath(chosen, "jre", "bin", "client", "jvm.dll")
                self.assertIn(f'chosen by "JRE Path": JVM library {library}', result.stderr, case)

    def test_executable_path_beyond_260_characters(self):
        # The settings file is found beside the executable however deep its
        # folder; a cut path named a file in a folder above it.
        deep = "/".join(["k" * 60 + f".{level}" for level in range(5)])
        app = self.app(["main=out deep"], app_folder=deep)
        self.assertGreater(len(app.winpath(deep, "app.exe")), 300)
        self.assert_result(app.run(), 0, "deep\r\n")

    def test_main_class_lookup_failures(self):
        missing_class = ["main_class=com/example/Other"]
        # The JDK's launcher class reports a missing class itself and ends the VM with 1.
        app = self.app(missing_class)
        result = app.run()
        self.assert_result(result, 1, "")
        self.assertIn("Error: Could not find or load main class com.example.App", result.stderr)
        self.assertEqual(app.facts("check_and_load_main="), ["com.example.App printToStderr=1 mode=1"])

        cases = [
            # Without the launcher class FindClass decides; the VM prints its exception first.
            ("no_boot_loader", missing_class, MAIN_CLASS_NOT_FOUND.format("com/example/App"),
             "java.lang.NoClassDefFoundError: com/example/App"),
            ("full", ["launcher_helper=no", *missing_class], MAIN_CLASS_NOT_FOUND.format("com/example/App"),
             "java.lang.NoClassDefFoundError: com/example/App"),
            # A missing main with an exception pending: the VM prints it, the launcher adds nothing.
            ("no_boot_loader", ["has_main=no"], "",
             "java.lang.NoSuchMethodError: static Lcom/example/App;.main([Ljava/lang/String;)V"),
            ("no_boot_loader", ["has_main=no", "missing_method_throws=no"], MAIN_METHOD_NOT_FOUND, None),
        ]
        for variant, script, stdout, exception in cases:
            with self.subTest(variant=variant, script=script):
                # The VM's reports follow the error file; the launcher's own lines stay on the console.
                app = self.app(script, variant=variant, application={"Error File": "%KITE_LOGS%\\err.txt"})
                result = app.run(extra_env={"KITE_LOGS": app.winpath("logs")})
                self.assert_result(result, 255, stdout)
                err = app.sandbox.path("logs", "err.txt").read_bytes().decode()
                self.assertEqual(err, f'Exception in thread "main" {exception}\r\n' if exception else "")
                self.assertEqual(app.facts("main_called"), [])
                # The Java main thread detached, so the teardown's DestroyJavaVM did not wait for it.
                self.assertEqual(app.record()[-3:], ["detached=main", "destroy_called thread=unattached",
                                                     "destroy_returned"])

    # --- "Main Jar" ------------------------------------------------------------------------------

    @staticmethod
    def jar_bytes(manifest: str | None, entries: dict | None = None) -> bytes:
        """A jar as the jar tool writes it: the manifest deflated, other entries stored."""
        data = io.BytesIO()
        with zipfile.ZipFile(data, "w") as archive:
            if manifest is not None:
                archive.writestr("META-INF/MANIFEST.MF", manifest, compress_type=zipfile.ZIP_DEFLATED)
            for name, content in (entries or {}).items():
                archive.writestr(name, content)
        return data.getvalue()

    def test_main_jar_reaches_the_vm_as_java_jar_does(self):
        # Kite reads the manifest itself; the double plays the JDK's launcher class, which in
        # its jar mode (2) takes the main class from the jar.
        manifest = ("Manifest-Version: 1.0\r\nMain-Class: com.example.App\r\n"
                    "Add-Opens: java.base/java.lang bad=item\r\nAdd-Exports: java.base/sun.nio.ch\r\n"
                    "Enable-Native-Access: ALL-UNNAMED\r\n\r\n")
        opens = ["--add-opens=java.base/java.lang=ALL-UNNAMED", "--add-exports=java.base/sun.nio.ch=ALL-UNNAMED"]
        cases = [
            # (settings, runtime version, options between the class path and the hooks, launcher-class call)
            # The manifest's Main-Class: the jar first on the class path, and named by sun.java.command.
            ({"Main Jar": "\\app.jar", "Main Class": ""}, "17.0.15",
             ["-Djava.class.path={jar};D:\\Libs\\app.jar", "-Dsun.java.command={jar} a"], "{jar} printToStderr=1 mode=2"),
            ({"Main Jar": "%KITE_JARS%\\app.jar", "Main Class": "",
              "Virtual Machine Parameters": "-Dsun.java.command=mine"}, "17.0.15",
             ["-Djava.class.path={jar};D:\\Libs\\app.jar", "-Dsun.java.command=mine"], "{jar} printToStderr=1 mode=2"),
            # "Main Class" wins: the class's mode, and the module attributes become options by release.
            ({"Main Jar": "app.jar"}, "17.0.15",
             ["-Djava.class.path={jar};D:\\Libs\\app.jar", *opens, "-Dsun.java.command=com.example.App a"],
             "com.example.App printToStderr=1 mode=1"),
            ({"Main Jar": "app.jar"}, "25.0.3",
             ["-Djava.class.path={jar};D:\\Libs\\app.jar", *opens, "--enable-native-access=ALL-UNNAMED",
              "-Dsun.java.command=com.example.App a"], "com.example.App printToStderr=1 mode=1"),
            ({"Main Jar": "app.jar"}, "1.8.0_151",
             ["-Djava.class.path={jar};D:\\Libs\\app.jar", "-Dsun.java.command=com.example.App a"],
             "com.example.App printToStderr=1 mode=1"),
        ]
        for settings, version, options, call in cases:
            with self.subTest(settings=settings, version=version):
                app = self.app(["main=out ran"], jre=settings)
                app.sandbox.write("jre/release", f'JAVA_VERSION="{version}"\n')
                folder = "jars" if "KITE_JARS" in settings["Main Jar"] else "app"
                app.sandbox.write(f"{folder}/app.jar", self.jar_bytes(manifest))
                jar = app.winpath(folder, "app.jar")
                self.assert_result(app.run(["a"], extra_env={"KITE_JARS": app.winpath("jars")}), 0, "ran\r\n")
                self.assertEqual(app.options()[:-2], [option.format(jar=jar) for option in options])
                self.assertEqual(app.facts("check_and_load_main="), [call.format(jar=jar)])

        # The manifest's splash image, its bytes handed over with the names of entry and jar.
        png = b"\x89PNG\r\n\x1a\n" + bytes(24)
        app = self.app(["main=out ran"], jre={"Main Jar": "\\app.jar", "Main Class": ""})
        app.sandbox.write("app/app.jar", self.jar_bytes("Main-Class: com.example.App\nSplashScreen-Image: img/s.png\n",
                                                        {"img/s.png": png}))
        app.sandbox.copy(harness.TARGET.file("tests", "jvm_double", "splash", "splashscreen.dll"),
                         "jre/bin/splashscreen.dll")
        self.assert_result(app.run(), 0, "ran\r\n")
        self.assertEqual(app.facts("splash_"), ["library jvm_loaded=1", "init", f"load_memory={len(png)} result=1",
                                                f"file_jar_name=img/s.png jar={app.winpath('app', 'app.jar')}"])

    def test_main_jar_failures_end_before_the_runtime_is_looked_for(self):
        cases = [
            # (settings, jar content or None for no file, error line)
            ({"Main Class": ""}, None, JAR_UNREADABLE),
            ({}, b"PK\x03\x04 not really a zip archive", JAR_BROKEN),
            ({"Main Class": ""}, self.jar_bytes(None, {"App.class": b"\xca\xfe"}), JAR_WITHOUT_MAIN_CLASS),
        ]
        for settings, content, line in cases:
            with self.subTest(settings=settings, content=content):
                app = self.app(["main=out never"], jre={"Main Jar": "\\app.jar", **settings})
                if content is not None:
                    app.sandbox.write("app/app.jar", content)
                self.assert_result(app.run(), 255, line.format(app.winpath("app", "app.jar")))
                self.assertEqual(app.record(), [])

    # --- output files -----------------------------------------------------------------------

    def test_output_and_error_files(self):
        def run_twice(append: str):
            app = self.app([], application={
                "Output File": "%KITE_LOGS%\\new\\out_%yyyyMMdd%.txt", "Output Append": append,
                "Error File": "%KITE_LOGS%\\new\\err_%yyyyMMdd%.txt", "Error Append": append})
            logs = app.sandbox.path("logs")
            days = set()
            for tag in ("one", "two"):
                app.sandbox.write("script.txt", f"main_class=com/example/App\nmain=out out {tag}\n"
                                                f"main=err err {tag}\n")
                days.add(datetime.date.today().strftime("%Y%m%d"))
                result = app.run(extra_env={"KITE_LOGS": harness.Wine.winpath(logs)})
                days.add(datetime.date.today().strftime("%Y%m%d"))
                self.assertEqual((result.code, result.stdout, result.stderr), (0, "", ""))
            names = sorted(path.name for path in (logs / "new").iterdir())
            day = next((d for d in sorted(days) if f"out_{d}.txt" in names), None)
            self.assertEqual(names, [f"err_{day}.txt", f"out_{day}.txt"])
            return tuple((logs / "new" / f"{name}_{day}.txt").read_bytes().decode() for name in ("out", "err"))

        # Only "yes" appends; "Yes" replaces the files like no setting at all.
        self.assertEqual(run_twice("Yes"), ("out two\r\n", "err two\r\n"))
        self.assertEqual(run_twice("yes"), ("out one\r\nout two\r\n", "err one\r\nerr two\r\n"))

    def test_one_file_for_both_streams(self):
        # The names differ in letter case only: one stream serves both, in write order.
        app = self.app(["main=out first", "main=err second", "main=out third"],
                       application={"Output File": "%KITE_LOGS%\\all.log", "Error File": "%KITE_LOGS%\\ALL.LOG"})
        logs = app.sandbox.path("logs")
        result = app.run(extra_env={"KITE_LOGS": harness.Wine.winpath(logs)})
        self.assert_result(result, 0, "")
        self.assertEqual((logs / "all.log").read_bytes(), b"first\r\nsecond\r\nthird\r\n")
        self.assertEqual(len(app.facts("file_opened=")), 1)

    def test_unopenable_output_file_leaves_the_console(self):
        app = self.app(["main=out to console", "main=err on stderr"],
                       application={"Output File": "Z:\\proc\\kite-nowhere\\out.txt"})
        result = app.run()
        self.assert_result(result, 0, "to console\r\n")
        lines = result.stderr.splitlines()
        self.assertEqual(len(lines), 2, result.stderr)
        self.assertTrue(lines[0].startswith('Exception in thread "main" java.io.FileNotFoundException: '
                                            'Z:\\proc\\kite-nowhere\\out.txt ('), lines[0])
        self.assertEqual(lines[1], "on stderr")


if __name__ == "__main__":
    unittest.main()
