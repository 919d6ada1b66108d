"""Runtime discovery of the Windows executable under Wine: vendor registry
keys in both registry views, the private runtime, "JRE Path", and the image
check of the JVM library that sends the start to the paired executable.

Runtime homes are folders in the sandbox (drive Z:) whose JVM library is the
test-double jvm.dll; the double records its own path when it is loaded, so
the record tells which library the executable chose. The 32-bit and 64-bit
images for the image check are small DLLs built by the two mingw compilers.
The own registry view is the executable's width (/reg:64 for kite64.exe,
/reg:32 for kite.exe); the other view is the other one."""

import pathlib
import shutil
import subprocess
import unittest

import harness

JDK = "Software\\JavaSoft\\Java Development Kit"
JRE = "Software\\JavaSoft\\Java Runtime Environment"
JROCKIT_JDK = "Software\\JRockit\\Java Development Kit"
IBM_JRE = "Software\\IBM\\Java2 Runtime Environment"
# main ends through System.exit: a runtime from the IBM key keeps the Java main
# thread in the VM after main returns.
SCRIPT = "main_class=com/example/App\nmain=exit 0\n"
PAIRED_EXIT_CODE = 42


def build_dll(compiler: str, target: pathlib.Path) -> pathlib.Path:
    """A DLL with one export, built by a mingw compiler: a real image of its processor."""
    if shutil.which(compiler) is None:
        raise unittest.SkipTest(f"{compiler} is not installed")
    target.parent.mkdir(parents=True, exist_ok=True)
    source = target.with_suffix(".c")
    source.write_text("__declspec(dllexport) int kite_probe(void) { return 1; }\n")
    subprocess.run([compiler, "-shared", "-s", "-o", str(target), str(source)], check=True, timeout=120)
    return target


class WineDiscovery(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        harness.TARGET.require()
        cls.double = harness.jvm_double()
        cls.wine = harness.Wine()
        cls.images = pathlib.Path(cls.wine.root) / "images"
        try:
            cls.dll32 = build_dll("i686-w64-mingw32-gcc", cls.images / "x86" / "jvm.dll")
            cls.dll64 = build_dll("x86_64-w64-mingw32-gcc", cls.images / "x64" / "jvm.dll")
            # An arm64 image: neither executable's own kind.
            cls.dll_arm64 = cls.images / "arm64" / "jvm.dll"
            image = bytearray(cls.dll64.read_bytes())
            header = int.from_bytes(image[60:64], "little")
            image[header + 4:header + 6] = (0xAA64).to_bytes(2, "little")
            cls.dll_arm64.parent.mkdir(parents=True, exist_ok=True)
            cls.dll_arm64.write_bytes(bytes(image))
            # The image of the executable's own width, and the one of the other width.
            cls.own_dll, cls.other_dll = ((cls.dll64, cls.dll32) if harness.TARGET.bits == 64
                                          else (cls.dll32, cls.dll64))
        except BaseException:
            cls.wine.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def setUp(self):
        self.sandbox = harness.Sandbox(self)
        self.app = harness.WineLauncher(self.wine, self.sandbox)
        self.script = self.sandbox.write("double.script", SCRIPT)
        self.record = self.sandbox.path("record.txt")

    # --- helpers ------------------------------------------------------------------------

    def home(self, name: str, layouts=("client",), library: pathlib.Path | None = None,
             java_dll: bool = False) -> pathlib.Path:
        """A runtime home in the sandbox with the double (or another file) as each layout's jvm.dll."""
        home = self.sandbox.path("runtimes", *name.split("/"))
        for layout in layouts:
            self.sandbox.copy(library or self.double, str((home / "bin" / layout / "jvm.dll")
                                                           .relative_to(self.sandbox.root)))
        if java_dll:
            self.sandbox.write(str((home / "bin" / "java.dll").relative_to(self.sandbox.root)), b"MZ")
        return home

    def register(self, key: str, version: str, java_home, view: int | None = None):
        """Registers a runtime in the given view, by default the executable's own one."""
        self.wine.reg_add(f"{key}\\{version}", "JavaHome", harness.Wine.winpath(java_home), view)
        # Registry keys of one test must not reach the next one.
        self.addCleanup(self.wine.reg_delete, f"{key}\\{version}", view)

    def launch(self, jre: dict | None = None, application: dict | None = None,
               class_path: str | None = None) -> harness.Result:
        sections = {"Java Runtime Environment": {"Main Class": "com.example.App", **(jre or {})}}
        sections["Class Path"] = {"Class Path": class_path or "D:\\Libs\\app.jar"}
        if application:
            sections["Application"] = application
        self.app.write_ini(sections)
        return self.app.run(extra_env={"KITE_DOUBLE_SCRIPT": str(self.script),
                                       "KITE_DOUBLE_RECORD": str(self.record)})

    def loaded(self) -> list:
        """The JVM libraries loaded in this test, as the double recorded them (lower case)."""
        if not self.record.exists():
            return []
        lines = self.record.read_text(encoding="utf-8").splitlines()
        return [line.split("=", 1)[1].lower() for line in lines if line.startswith("library=")]

    def assert_loaded(self, result: harness.Result, library: pathlib.Path, code: int = 0):
        self.assertEqual(result.code, code, result.stdout + result.stderr)
        self.assertEqual(self.loaded(), [harness.Wine.winpath(library).lower()])

    def paired_product(self) -> tuple:
        """A paired executable (the executable under test again) configured with a runtime of its
        own; returns the executable and the library it loads."""
        home = self.home("pair-runtime")
        pair = self.sandbox.copy(harness.target_exe(), "pair/pair.exe")
        self.sandbox.write_ini("pair/pair.ini", {"Java Runtime Environment": {
            "Main Class": "com.example.App", "JRE Path": harness.Wine.winpath(home)},
            "Class Path": {"Class Path": "D:\\Libs\\app.jar"}})
        return pair, home / "bin" / "client" / "jvm.dll"

    def launch_with_pair(self, jre: dict, pair: pathlib.Path) -> harness.Result:
        """Like launch, with "Pair Product" and "Pair Return Code"; whichever process runs the Java
        application ends with PAIRED_EXIT_CODE, and the record tells which library it loaded."""
        sections = {"Java Runtime Environment": {"Main Class": "com.example.App", **jre},
                    "Class Path": {"Class Path": "D:\\Libs\\app.jar"},
                    "Application": {"Pair Product": harness.Wine.winpath(pair), "Pair Return Code": "yes"}}
        self.app.write_ini(sections)
        script = self.sandbox.write("exit.script", SCRIPT.replace("exit 0", f"exit {PAIRED_EXIT_CODE}"))
        return self.app.run(extra_env={"KITE_DOUBLE_SCRIPT": str(script), "KITE_DOUBLE_RECORD": str(self.record)})

    # --- tests ----------------------------------------------------------------------------

    def test_ranking_of_javasoft_keys(self):
        jdk7 = self.home("jdk7/jre", ("server",))
        jre8 = self.home("jre8", ("client", "server"))
        self.register(JDK, "1.7", jdk7.parent)
        self.register(JRE, "1.8", jre8)
        self.register(JRE, "1.8.0_151", self.sandbox.path("runtimes", "missing"))  # no library there
        cases = [
            ({}, jre8 / "bin" / "client" / "jvm.dll"),
            ({"JVM Type": "server"}, jre8 / "bin" / "server" / "jvm.dll"),
            # The JavaSoft JRE counts as server only without a client JVM.
            ({"JVM Type": "favor_server"}, jdk7 / "bin" / "server" / "jvm.dll"),
            ({"Maximum Version": "1.7"}, jdk7 / "bin" / "server" / "jvm.dll"),
            ({"Preferred versions": "1.6;1.7"}, jdk7 / "bin" / "server" / "jvm.dll"),
            ({"JVM Source": "only_JDK", "JVM Type": "server"}, jdk7 / "bin" / "server" / "jvm.dll"),
        ]
        for settings, library in cases:
            with self.subTest(settings=settings):
                self.record.unlink(missing_ok=True)
                self.assert_loaded(self.launch(settings), library)

    def test_vm_provider_selects_the_vendor_keys(self):
        jrockit = self.home("jrockit6/jre", ("jrockit",))
        ibm = self.home("ibm9", ("classic",))
        sun = self.home("sun8")
        self.register(JROCKIT_JDK, "1.6.0_45", jrockit.parent)
        self.register(IBM_JRE, "9.0", ibm)
        self.register(JRE, "1.8", sun)
        cases = [
            ({}, sun / "bin" / "client" / "jvm.dll"),
            ({"VM Provider": "JRockit"}, jrockit / "bin" / "jrockit" / "jvm.dll"),
            ({"VM Provider": "favor_sun"}, sun / "bin" / "client" / "jvm.dll"),
            ({"VM Provider": "any"}, ibm / "bin" / "classic" / "jvm.dll"),
        ]
        for settings, library in cases:
            with self.subTest(settings=settings):
                self.record.unlink(missing_ok=True)
                self.assert_loaded(self.launch(settings), library)

    def test_only_a_runtime_from_the_ibm_key_keeps_the_java_main_thread(self):
        # Which provider keeps the main thread is decided alike in both widths.
        harness.not_through_qemu("a process that a second thread ends (ExitProcess) while its main thread "
                                 "waits dies in the emulator (qemu: uncaught target signal 11) after the exit "
                                 "hook has returned")
        ibm = self.home("ibm9", ("classic",))
        sun = self.home("sun8")
        self.register(IBM_JRE, "9.0", ibm)
        self.register(JRE, "1.8", sun)
        # favor_sun admits IBM runtimes but loads the JavaSoft one: main returns and the launch
        # ends as with any other provider.
        self.script.write_text("main_class=com/example/App\nmain=out returned\n")
        result = self.launch({"VM Provider": "favor_sun"}, class_path="D:\\Libs\\app.jar")
        self.assert_loaded(result, sun / "bin" / "client" / "jvm.dll")
        self.assertEqual(result.stdout, "returned\r\n")
        self.assertIn("detached=main", self.record.read_text().splitlines())
        # The IBM runtime: the Java main thread stays in the VM, attached, until a Java thread
        # ends the process through System.exit.
        self.record.unlink()
        self.script.write_text("main_class=com/example/App\nmain=thread_exit 200 7\n")
        result = self.launch({"VM Provider": "any"}, class_path="D:\\Libs\\app.jar")
        self.assert_loaded(result, ibm / "bin" / "classic" / "jvm.dll", 7)
        record = self.record.read_text().splitlines()
        self.assertEqual(record[record.index("main_returned"):], ["main_returned", "system_exit=7 thread=Thread-0",
                                                           "exit_hook_returned"])

    def test_private_runtime_before_the_registry(self):
        self.register(JRE, "17", self.home("jre17"))
        private = self.app.folder / "jre"
        self.sandbox.copy(self.double, str((private / "bin" / "server" / "jvm.dll").relative_to(self.sandbox.root)))
        self.sandbox.write(str((private / "bin" / "java.dll").relative_to(self.sandbox.root)), b"MZ")
        self.assert_loaded(self.launch(), private / "bin" / "server" / "jvm.dll")

    def test_jre_path_wins_over_bounds_and_registry(self):
        self.register(JRE, "1.8", self.home("jre8"))
        configured = self.home("configured", ("server",))
        result = self.launch({"JRE Path": harness.Wine.winpath(configured), "Minimum Version": "99"})
        self.assert_loaded(result, configured / "bin" / "server" / "jvm.dll")

    def test_other_view_only_with_a_paired_product(self):
        # The other view: the 32-bit one for kite64.exe, the 64-bit one for kite.exe.
        self.register(JRE, "1.8", self.home("other-view"), view=harness.TARGET.other_view)
        # Without "Pair Product" the other view is not searched: the dialog would be next.
        self.assertEqual(self.launch().code, 255)
        self.assertEqual(self.loaded(), [])
        # With it, a runtime there starts the paired executable, which loads its own runtime.
        pair, pair_library = self.paired_product()
        self.assert_loaded(self.launch_with_pair({}, pair), pair_library, PAIRED_EXIT_CODE)
        # A runtime in the own view is used by the executable itself.
        own = self.home("own-view")
        self.register(JRE, "1.6", own)
        self.record.unlink()
        self.assert_loaded(self.launch_with_pair({}, pair), own / "bin" / "client" / "jvm.dll", PAIRED_EXIT_CODE)

    def test_image_check_of_the_configured_library(self):
        own = self.home("own", library=self.own_dll)
        other = self.home("other", library=self.other_dll)
        pair, pair_library = self.paired_product()
        # A library of the other width, or of another processor altogether (kite64.exe: not x64;
        # kite.exe: not x86): the paired executable runs in the launcher's place.
        for home in (other, self.home("arm64", library=self.dll_arm64)):
            with self.subTest(home=home.name):
                self.record.unlink(missing_ok=True)
                result = self.launch_with_pair({"JRE Path": harness.Wine.winpath(home)}, pair)
                self.assert_loaded(result, pair_library, PAIRED_EXIT_CODE)
        # An image of the executable's own kind: no paired start (it is no JVM, so the load fails).
        self.record.unlink()
        result = self.launch_with_pair({"JRE Path": harness.Wine.winpath(own)}, pair)
        self.assertEqual(result.code, 255, result.stdout)
        self.assertEqual(self.loaded(), [])
        self.assertTrue(result.stdout.startswith("Error: "), result.stdout)
        # The other width without a paired product is loaded by the executable itself, and fails.
        result = self.launch({"JRE Path": harness.Wine.winpath(other)})
        self.assertEqual(result.code, 255, result.stdout)
        self.assertTrue(result.stdout.startswith("Error: "), result.stdout)
        self.assertEqual(self.loaded(), [])


if __name__ == "__main__":
    unittest.main()
