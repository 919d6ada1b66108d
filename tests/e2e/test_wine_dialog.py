"""The runtime-not-found dialog of the Windows executable under Wine on a
private X server: its texts and state, the ways to end it, the folder
browser, and what OK records; and the windowed twin's message box. The dialog is driven from outside by
tests/win_tools/dialog_driver (buttons, folder browser, control texts) and by
xdotool (X window, Escape).

The settings name no runtime and the prefix has no registry keys, so every
start ends in the dialog. Runtime folders live on drive C: of the prefix,
whose folder tree Wine's folder browser walks reliably."""

import os
import pathlib
import shutil
import subprocess
import tempfile
import time
import unittest

import harness

CAPTION = "JRE nicht gefunden"
MESSAGE_LATEST = ("Die Java-Laufzeitumgebung (JRE) wurde nicht gefunden. Bitte downloaden und installieren Sie "
                  "eine JRE (neueste Version) von:")
MESSAGE_SERVER = ("Die Java-Laufzeitumgebung (JRE) wurde nicht gefunden. Bitte downloaden und installieren Sie "
                  "eine JRE mit Server JVM (minimum Version 1.8) von:")
PRODUCT = {"Product Name": "Kite Dialog", "Product Code": "KD1"}
# A runtime folder whose name code page 1252 cannot hold (Cyrillic and CJK).
INTERNATIONAL = "\u043a\u043b\u0438\u0435\u043d\u0442 \u5ba2\u6237"
OUTPUT_DIR = harness.HOST_DIR / "e2e-output" / "wine_dialog"
# The driver reads the folder browser's tree texts through memory of the launcher's process.
# qemu-i386-static puts a 32-bit process one page above the host addresses (guest base 0x1000:
# the host's page 0 cannot be mapped), so Wine's server would read and write that memory one
# page off: there the driver reads each text by selecting the item instead.
DRIVER_ENV = {"KITE_DRIVER_SELECT_TO_READ": "1"} if harness.TARGET.bits == 32 and harness.i386_route() == "qemu" else {}


class FileOutput:
    """A process whose output goes to files, not pipes: Wine's desktop process,
    started by the first window of a session, inherits the standard handles and
    would hold a pipe open long after the program itself has ended."""

    def __init__(self, command, env, cwd):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="kite-dialog-out-"))
        self.stdout = open(self.folder / "stdout", "wb")
        self.stderr = open(self.folder / "stderr", "wb")
        self.process = subprocess.Popen(command, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=self.stdout,
                                        stderr=self.stderr)

    def running(self) -> bool:
        return self.process.poll() is None

    def wait_for_end(self, seconds: float) -> bool:
        try:
            self.process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            return False
        return True

    def kill(self):
        if self.running():
            self.process.kill()
        self.wait(60)

    def wait(self, timeout) -> harness.Result:
        self.process.wait(timeout=timeout)
        self.stdout.close()
        self.stderr.close()
        result = harness.Result(self.process.returncode & 0xFF, (self.folder / "stdout").read_bytes(),
                                (self.folder / "stderr").read_bytes())
        shutil.rmtree(self.folder, ignore_errors=True)
        return result


def run_to_files(command, env, cwd, timeout=60) -> harness.Result:
    return FileOutput(command, env, cwd).wait(timeout)


def free_display() -> int:
    for number in range(90, 140):
        if not os.path.exists(f"/tmp/.X11-unix/X{number}") and not os.path.exists(f"/tmp/.X{number}-lock"):
            return number
    raise unittest.SkipTest("no free X display number")


class WineDialog(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for tool in ("Xvfb", "xdotool", "import", "convert"):
            if shutil.which(tool) is None:
                raise unittest.SkipTest(f"{tool} is not installed (scripts/setup.sh)")
        harness.TARGET.require()
        # The driver reads the folder browser's tree items inside the launcher's process:
        # it must be of the launcher's width.
        cls.driver_exe = harness.TARGET.tool("dialog_driver.exe")
        cls.starter_exe = harness.TARGET.tool("bare_starter.exe")
        number = free_display()
        cls.display = f":{number}"
        cls.xvfb = subprocess.Popen(["Xvfb", cls.display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(f"/tmp/.X11-unix/X{number}"):
                break
            time.sleep(0.05)
        try:
            # The suite's wineserver starts with the display: the desktop process it starts
            # with the first window keeps the display it was started with.
            cls.wine = harness.Wine(display=cls.display)
        except BaseException:
            cls.stop_xvfb()
            raise
        # Runtime homes: one with the client layout only, one with the server
        # layout, and a folder without any JVM library.
        drive_c = cls.wine.root / "prefix" / "drive_c"
        for relative in ("kite-dialog/client/bin/client/jvm.dll", "kite-dialog/server/bin/server/jvm.dll",
                         f"kite-dialog/{INTERNATIONAL}/bin/client/jvm.dll"):
            target = drive_c / relative
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(b"not a library")
        (drive_c / "kite-dialog" / "empty" / "bin").mkdir(parents=True, exist_ok=True)
        OUTPUT_DIR.mkdir(parents=True, exist_ok=True)

    @classmethod
    def stop_xvfb(cls):
        cls.xvfb.terminate()
        cls.xvfb.wait(timeout=10)

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()
        cls.stop_xvfb()

    # --- helpers ---------------------------------------------------------------------

    def env(self, extra: dict | None = None) -> dict:
        environment = dict(self.wine.env, **(extra or {}))
        environment["DISPLAY"] = self.display
        return environment

    # The dialog's caption in the language under test; the driver finds the dialog by it.
    caption = CAPTION

    def start(self, settings: dict, application: dict | None = None, extra_env: dict | None = None,
              messages: dict | None = None):
        """Starts app.exe in a new sandbox and waits for the dialog."""
        sandbox = harness.Sandbox(self)
        self.app = harness.WineLauncher(self.wine, sandbox)
        jre = {"Main Class": "com.example.App", **settings}
        sections = {"Java Runtime Environment": jre, "Product Information": PRODUCT,
                    "Class Path": {"Class Path": "D:\\Libs\\app.jar"}}
        if application:
            sections["Application"] = application
        if messages:
            sections["Messages"] = messages
        self.ini = self.app.write_ini(sections)
        self.ini_text = self.ini.read_bytes()
        # What an accepted dialog writes must not reach the next test.
        self.addCleanup(shutil.rmtree, self.wine.appdata() / PRODUCT["Product Name"], True)
        self.process = FileOutput(self.app.command(), self.env(extra_env), self.app.folder)
        self.addCleanup(self.stop_process)
        if self.drive("find", "30000").code != 0:
            running = self.process.running()
            self.process.kill()
            self.fail(f"the dialog did not open (launcher still running: {running})")

    def stop_process(self):
        if not self.process.stdout.closed:
            self.process.kill()

    def finish(self) -> harness.Result:
        return self.process.wait(60)

    def drive(self, *args) -> harness.Result:
        if self.caption != CAPTION:
            args = ("--caption", self.caption, *args)
        return run_to_files(harness.Wine.command(self.driver_exe, args), self.env(DRIVER_ENV), self.driver_exe.parent)

    def reg(self, *args) -> harness.Result:
        return run_to_files([harness.WINE64, "reg", *args], self.env(), self.wine.root)

    def state(self) -> dict:
        result = self.drive("state")
        self.assertEqual(result.code, 0, result.stdout)
        return dict(line.split("=", 1) for line in result.stdout.splitlines() if "=" in line)

    def browse(self, folder: str) -> dict:
        result = self.drive("browse", folder)
        self.assertEqual(result.code, 0, result.stdout)
        self.assertIn("browser-text=Nach dem JRE-Verzeichnis suchen", result.stdout.splitlines())
        return self.state()

    def user_file(self, name: str = "app.ini") -> pathlib.Path:
        return self.wine.appdata() / PRODUCT["Product Name"] / PRODUCT["Product Code"] / name

    def assert_nothing_written(self):
        self.assertFalse((self.wine.appdata() / PRODUCT["Product Name"]).exists())
        self.assertEqual(self.ini.read_bytes(), self.ini_text)

    def x_windows(self) -> list:
        found = subprocess.run(["xdotool", "search", "--name", CAPTION], env={**os.environ, "DISPLAY": self.display},
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, timeout=30)
        return found.stdout.split()

    def screenshot(self, name: str, state: dict) -> pathlib.Path:
        """The screen, and the dialog cut out of it, into the output folder."""
        screen = OUTPUT_DIR / f"{name}-screen.png"
        subprocess.run(["import", "-window", "root", str(screen)], env={**os.environ, "DISPLAY": self.display},
                       check=True, timeout=60)
        left, top, right, bottom = (int(v) for v in state["rect"].split(","))
        dialog = OUTPUT_DIR / f"{name}.png"
        subprocess.run(["convert", str(screen), "-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage",
                        str(dialog)], check=True, timeout=60)
        return dialog

    @staticmethod
    def count_pixels(image: pathlib.Path, condition: str) -> int:
        result = subprocess.run(["convert", str(image), "-fx", condition, "-format", "%[fx:round(mean*w*h)]",
                                 "info:"], stdout=subprocess.PIPE, text=True, check=True, timeout=120)
        return int(result.stdout.strip())

    # --- tests -------------------------------------------------------------------------------------

    def test_opening_shows_the_requirement_and_escape_ends_the_start(self):
        self.start({"Maximum Version": "any"})
        self.assertTrue(self.x_windows(), "no X window named " + CAPTION)
        state = self.state()
        self.assertEqual(state["message"], MESSAGE_LATEST)
        self.assertEqual(state["ok"], "0")
        self.assertEqual(state["folder"], "")
        self.assertEqual(state["link"], "https://adoptium.net/")
        self.assertEqual(state["icon"], "1")
        # Centred over the work area (the whole screen: no task bar here).
        left, top, right, bottom = (int(v) for v in state["rect"].split(","))
        work = [int(v) for v in state["work"].split(",")]
        self.assertLessEqual(abs((left + right) // 2 - (work[0] + work[2]) // 2), 1)
        self.assertLessEqual(abs((top + bottom) // 2 - (work[1] + work[3]) // 2), 1)

        dialog = self.screenshot("runtime-not-found", state)
        self.assertGreater(self.count_pixels(dialog, "r>0.8&&g>0.8&&b>0.8"), 10000, "the dialog looks empty")
        self.assertGreater(self.count_pixels(dialog, "b>0.9&&r<0.2&&g<0.2"), 20, "no link in the default blue")

        subprocess.run(["xdotool", "key", "Escape"], env={**os.environ, "DISPLAY": self.display}, check=True,
                       timeout=30)
        result = self.finish()
        self.assertEqual(result.code, 255)
        self.assertEqual(result.stdout, "")
        self.assertEqual(self.drive("gone", "5000").code, 0)
        self.assert_nothing_written()

    def test_english_texts_and_a_publishers_own(self):
        """Every text of the dialog from the English catalog, one replaced from [Messages], one
        replacement refused for its placeholder."""
        self.caption = "JRE not found"
        self.start({"Maximum Version": "any"}, {"Message Language": "en"},
                   messages={"246": "Quit", "207": "No Java %d here:"})
        result = self.drive("texts")
        self.assertEqual(result.code, 0, result.stdout)
        texts = dict(line.split("=", 1) for line in result.stdout.splitlines() if "=" in line)
        self.assertEqual(texts, {"0": "JRE not found", "207": "No JRE",
                                 "206": "If you have installed a JRE, you can look for it below:",
                                 "208": "JRE path:", "202": "Browse...", "1": "OK", "2": "Quit"})
        self.assertEqual(self.state()["message"],
                         "The Java runtime environment (JRE) was not found. Please download and install a JRE "
                         "(latest version) from:")
        self.assertEqual(self.drive("command", "2").code, 0)
        self.assertEqual(self.finish().code, 255)

    def test_windowed_twin_shows_the_error_in_a_message_box_and_the_redirected_line(self):
        """kitew.exe / kitew64.exe without "Main Class": the German text in an error box
        captioned with the product name (the executable's name without one); dismissed,
        the start ends with 255, and standard output, redirected to a file, has the line."""
        text = harness.MAIN_CLASS_MISSING[len("Error: "):-2]
        for caption, product in ((PRODUCT["Product Name"], PRODUCT), ("app", {})):
            with self.subTest(caption):
                app = harness.WineLauncher(self.wine, harness.Sandbox(self), windowed=True)
                app.write_ini({"Product Information": product, "Java Runtime Environment": {"Maximum Version": "any"}})
                self.process = FileOutput(app.command(), self.env(), app.folder)
                self.addCleanup(self.stop_process)
                self.assertEqual(self.drive("--caption", caption, "find", "30000").code, 0, "no message box")
                box = self.drive("--caption", caption, "box")
                self.assertIn("text=" + text, box.stdout.splitlines())
                self.assertIn("icon=1", box.stdout.splitlines())
                shot = self.screenshot(f"message-box-{caption.replace(' ', '-')}",
                                       dict(line.split("=", 1) for line in box.stdout.splitlines()))
                self.assertGreater(self.count_pixels(shot, "r>0.7&&g<0.3&&b<0.3"), 20, "no red error icon")
                self.assertTrue(self.process.running(), "the start ended before the box was dismissed")
                # Under load a press can reach the box before it takes commands;
                # it is pressed again while the box is still there.
                for _ in range(3):
                    self.drive("--caption", caption, "command", "1")
                    if self.process.wait_for_end(15):
                        break
                result = self.finish()
                self.assertEqual(result.code, 255)
                self.assertEqual(result.stdout, harness.MAIN_CLASS_MISSING)

    def windowed_start(self, script: list, jre: dict | None = None, extra_env: dict | None = None,
                       redirected: bool = False) -> harness.WineLauncher:
        """The windowed twin with the test double as its runtime's JVM library, started as the
        shell starts it: without standard handles. Started from here directly, Wine would hand it
        the test's files as its standard output and error, and it would leave them as they are
        (redirected: so it is started)."""
        if not redirected:
            harness.not_through_qemu("a windowed start without standard handles, whose output reader thread "
                                     "runs beside the Java main thread, dies in the emulator (qemu: uncaught "
                                     "target signal 11) before any box shows; redirected, the same start passes")
        sandbox = harness.Sandbox(self)
        app = harness.WineLauncher(self.wine, sandbox, windowed=True)
        sandbox.copy(harness.jvm_double(), "jre/bin/client/jvm.dll")
        app.write_ini({"Product Information": PRODUCT, "Class Path": {"Class Path": "D:\\Libs\\app.jar"},
                       "Java Runtime Environment": {"Main Class": "com.example.App",
                                                    "JRE Path": harness.Wine.winpath(sandbox.path("jre")),
                                                    **(jre or {})}})
        script_file = sandbox.write("script.txt", "\n".join(script) + "\n")
        env = {"KITE_DOUBLE_SCRIPT": str(script_file), "KITE_DOUBLE_RECORD": str(sandbox.path("record.txt")),
               **(extra_env or {})}
        self.addCleanup(shutil.rmtree, self.local_appdata() / PRODUCT["Product Name"], True)
        command = app.command() if redirected else harness.Wine.command(self.starter_exe,
                                                                        [harness.Wine.winpath(app.path)])
        self.process = FileOutput(command, self.env(env), app.folder)
        self.addCleanup(self.stop_process)
        return app

    def local_appdata(self) -> pathlib.Path:
        return self.wine.appdata().parent / "Local"

    def box_text(self) -> str:
        """The text of the product's message box, once it shows; the box is then dismissed."""
        caption = PRODUCT["Product Name"]
        self.assertEqual(self.drive("--caption", caption, "find", "30000").code, 0, "no message box")
        box = self.drive("--caption", caption, "box").stdout.replace("\r\n", "\n")
        # Under load a press can reach the box before it takes commands.
        for _ in range(3):
            self.drive("--caption", caption, "command", "1")
            if self.drive("--caption", caption, "gone", "5000").code == 0:
                break
        return box[box.index("text=") + len("text="):box.rindex("\nrect=")] if "text=" in box else box

    def test_windowed_twin_shows_the_jvms_own_text_of_a_failed_start(self):
        """What the JVM writes to standard error before main (the double writes to the process's
        handle, as Java's System.err does) is shown below Kite's text: a refused VM option ends
        the creation (255), a missing main class ends the VM through System.exit(1) (1)."""
        cases = (
            ("invalid option", ["main_class=com/example/App"], {"Virtual Machine Parameters": "-Xfoo"},
             "JNI Fehler: konnte die Java VM nicht erzeugen", "Unrecognized option: -Xfoo", 255),
            ("missing class", ["main_class=com/example/Other"], {},
             "Die Java VM hat den Start mit dem Exit-Code 1 beendet.",
             "Error: Could not find or load main class com.example.App\n"
             "Caused by: java.lang.ClassNotFoundException: com.example.App", 1),
        )
        for name, script, jre, kite_text, jvm_text, code in cases:
            with self.subTest(name):
                self.windowed_start(script, jre)
                text = self.box_text()
                self.assertIn(kite_text, text)
                self.assertIn(jvm_text, text)
                self.assertLess(text.index(kite_text), text.index(jvm_text))
                result = self.finish()
                self.assertEqual(result.code, code)
                self.assertEqual(result.stdout, "")
                self.assertFalse((self.local_appdata() / PRODUCT["Product Name"]).exists())

    def test_windowed_twin_with_redirected_streams_leaves_the_jvms_text_there(self):
        """Standard output and error redirected by the starter keep the JVM's text and Kite's
        line; the box of a start the VM ended shows all the same, without the JVM's lines."""
        self.windowed_start(["main_class=com/example/Other"], redirected=True)
        text = self.box_text()
        self.assertEqual(text, "Die Java VM hat den Start mit dem Exit-Code 1 beendet.")
        result = self.finish()
        self.assertEqual(result.code, 1)
        self.assertEqual(result.stdout, "Error: Die Java VM hat den Start mit dem Exit-Code 1 beendet. \n")
        self.assertIn("Error: Could not find or load main class com.example.App", result.stderr)
        self.assertFalse((self.local_appdata() / PRODUCT["Product Name"]).exists())

    def test_windowed_twin_logs_what_main_writes_and_shows_an_uncaught_exception(self):
        """From main's start on, the output goes to the log file; an exception that ends main
        shows its first line in a box, and the start ends with 1."""
        log = self.local_appdata() / PRODUCT["Product Name"] / "app.log"
        app = self.windowed_start(["main_class=com/example/App", "main=err written by main", "main=out on stdout",
                                   "main=throw java.lang.IllegalStateException kaputt"])
        text = self.box_text()
        self.assertIn("Die Java-Anwendung wurde durch eine nicht abgefangene Ausnahme beendet.", text)
        self.assertIn('Exception in thread "main" java.lang.IllegalStateException: kaputt', text)
        self.assertNotIn("written by main", text)
        result = self.finish()
        self.assertEqual(result.code, 1)
        self.assertEqual(log.read_text(encoding="utf-8").splitlines(),
                         ["written by main", "on stdout",
                          'Exception in thread "main" java.lang.IllegalStateException: kaputt'])
        self.assertIn("option_with_extra=vfprintf",
                      (app.folder.parent / "record.txt").read_text(encoding="utf-8").splitlines())

    def test_close_box_and_cancel_end_the_start_without_writing(self):
        for how in ("close", "cancel"):
            with self.subTest(how):
                self.start({"Maximum Version": "any"})
                if how == "close":
                    self.drive("close")
                else:
                    # OK while disabled does nothing; Cancel ends the start.
                    self.drive("command", "1")
                    time.sleep(0.5)
                    self.assertTrue(self.process.running(), "a disabled OK ended the dialog")
                    self.drive("command", "2")
                result = self.finish()
                self.assertEqual(result.code, 255)
                self.assertEqual(result.stdout, "")
                self.assert_nothing_written()

    def test_server_type_needs_the_server_layout_and_browser_colours_apply(self):
        # A green link from the user's browser settings.
        key = "HKCU\\Software\\Microsoft\\Internet Explorer\\Settings"
        self.assertEqual(self.reg("add", key, "/v", "Anchor Color", "/d", "0,128,0", "/f").code, 0)
        self.addCleanup(self.reg, "delete", key, "/v", "Anchor Color", "/f")
        self.start({"Minimum Version": "1.8", "Maximum Version": "any", "JVM Type": "server"})
        state = self.state()
        self.assertEqual(state["message"], MESSAGE_SERVER)
        dialog = self.screenshot("runtime-not-found-server", state)
        self.assertGreater(self.count_pixels(dialog, "g>0.4&&g<0.6&&r<0.1&&b<0.1"), 20, "no link in green")

        state = self.browse("C:\\kite-dialog\\client")
        self.assertEqual(state["folder"], "C:\\kite-dialog\\client")
        self.assertEqual(state["ok"], "0")
        state = self.browse("C:\\kite-dialog\\server")
        self.assertEqual(state["ok"], "1")
        self.drive("command", "2")
        self.assertEqual(self.finish().code, 255)
        self.assert_nothing_written()

    def test_browse_and_ok_record_the_folder_for_both_executables(self):
        pair = harness.TARGET.other.exe_name
        self.start({"Maximum Version": "any"}, {"Pair Product": pair})
        # A cancelled browser changes nothing.
        state = self.browse("-")
        self.assertEqual((state["folder"], state["ok"]), ("", "0"))
        state = self.browse("C:\\kite-dialog\\empty")
        self.assertEqual((state["folder"], state["ok"]), ("C:\\kite-dialog\\empty", "0"))
        state = self.browse("C:\\kite-dialog\\client")
        self.assertEqual((state["folder"], state["ok"]), ("C:\\kite-dialog\\client", "1"))
        # A later browse without a JVM library takes OK back.
        state = self.browse("C:\\kite-dialog\\empty")
        self.assertEqual(state["ok"], "0")
        # A folder named with characters outside the ANSI code page keeps them: the settings
        # files become UTF-16, a new one and an ANSI one that was there before.
        folder = f"C:\\kite-dialog\\{INTERNATIONAL}"
        state = self.browse(folder)
        self.assertEqual(state["ok"], "1")
        self.screenshot("runtime-not-found-ready", state)
        paired_file = self.user_file(pair.replace(".exe", ".ini"))
        paired_file.parent.mkdir(parents=True, exist_ok=True)
        paired_file.write_bytes(b"; Gr\xfc\xdfe\r\n")
        self.drive("command", "1")
        result = self.finish()
        # The chosen library is used at once (the stand-in file cannot be loaded).
        library = f"{folder}\\bin\\client\\jvm.dll"
        self.assertEqual(result.code, 255)
        self.assertIn(f"Konnte Java VM Bibliothek: {library} (Fehlernummer= 193) nicht laden.", result.stdout)

        expected = ["[Java Runtime Environment]", f"JRE Path={folder}\\"]
        for name, before in (("app.ini", []), (paired_file.name, ["; Gr\u00fc\u00dfe"])):
            data = self.user_file(name).read_bytes()
            self.assertTrue(data.startswith(b"\xff\xfe"), name)
            lines = data.decode("utf-16").splitlines()
            self.assertEqual([line for line in lines if line], before + expected, name)
        self.assertEqual(self.ini.read_bytes(), self.ini_text)

        # The next start finds the runtime through "JRE Path" without a dialog.
        again = run_to_files(self.app.command(), self.env(), self.app.folder)
        self.assertEqual(again.code, 255)
        self.assertIn(f"Konnte Java VM Bibliothek: {library}", again.stdout)
        self.assertFalse(self.x_windows())

    def test_runtime_of_the_other_width_chosen_once_serves_both_executables(self):
        # kite.exe is given a 64-bit runtime in the dialog (kite64.exe a 32-bit one): OK records it
        # for both, the partner runs the application, and neither asks again.
        build = harness.pair_build()
        drive_c = self.wine.root / "prefix" / "drive_c"
        library = drive_c / "kite-dialog" / "other" / "bin" / "client" / "jvm.dll"
        library.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(build.double(), library)
        self.addCleanup(shutil.rmtree, drive_c / "kite-dialog" / "other", True)
        sandbox = harness.Sandbox(self)
        partner = harness.WineLauncher(self.wine, sandbox, "partner/partner.exe", build)
        partner.write_ini({"Java Runtime Environment": {"Main Class": "com.example.App"},
                           "Product Information": PRODUCT, "Class Path": {"Class Path": "D:\\Libs\\app.jar"}})
        record = sandbox.path("record.txt")
        double = {"KITE_DOUBLE_SCRIPT": str(sandbox.write("script.txt", "main_class=com/example/App\nmain=exit 42\n")),
                  "KITE_DOUBLE_RECORD": str(record)}
        self.start({"Maximum Version": "any"},
                   {"Pair Product": self.wine.winpath(partner.path), "Pair Return Code": "yes"}, double)
        self.assertEqual(self.browse("C:\\kite-dialog\\other")["ok"], "1")
        self.drive("command", "1")
        result = self.finish()
        self.assertEqual((result.code, result.stdout), (42, ""))
        expected = ["[Java Runtime Environment]", "JRE Path=C:\\kite-dialog\\other\\"]
        for name in ("app.ini", "partner.ini"):
            lines = self.user_file(name).read_bytes().decode("utf-8", "replace").splitlines()
            self.assertEqual([line for line in lines if line], expected, name)
        # The next start of either executable loads the runtime without a dialog: the launcher
        # through its partner, the partner itself.
        for launcher in (self.app, partner):
            with self.subTest(launcher=launcher.path.name):
                again = run_to_files(launcher.command(), self.env(double), launcher.folder)
                self.assertEqual((again.code, again.stdout), (42, ""))
                self.assertFalse(self.x_windows())
        loaded = [line.lower() for line in record.read_text(encoding="utf-8").splitlines()
                  if line.startswith("library=")]
        self.assertEqual(loaded, ["library=c:\\kite-dialog\\other\\bin\\client\\jvm.dll"] * 3)


if __name__ == "__main__":
    unittest.main()
