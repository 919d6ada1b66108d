"""The Linux launcher with "Main Jar" on real runtimes. The suite builds its
jars with the JDK's own javac and jar tools from tests/java/mainjar/ and
tests/java/splash/, and compares the launcher's start with the java
command's `java -jar` line for line: Main-Class, Add-Opens, a
Launcher-Agent-Class that runs before main, the manifest's Class-Path,
Enable-Native-Access (Temurin 25), sun.java.command as the application sees
it; "Main Class" winning over the manifest; the manifest's
SplashScreen-Image on an X server of the suite's own; and broken jars."""

import os
import pathlib
import shutil
import subprocess
import tempfile
import unittest

import harness

JDK17_HOME = pathlib.Path("/usr/lib/jvm/java-17-openjdk-amd64")
# Present on some machines only; its case is skipped where it is not.
TEMURIN25_HOME = pathlib.Path("/usr/lib/jvm/temurin-25-jdk-amd64")
JAVA_SOURCES = harness.SOURCE_DIR / "tests" / "java"
MANIFEST = ("Main-Class: JarApp\nLauncher-Agent-Class: JarAgent\nAdd-Opens: java.base/java.lang\n"
            "Enable-Native-Access: ALL-UNNAMED\nClass-Path: lib/lib.jar\n")


def jdk_tool(name: str, *args, cwd=None):
    subprocess.run([str(JDK17_HOME / "bin" / name), *args], check=True, cwd=cwd, timeout=120,
                   stdout=subprocess.DEVNULL)


class JarSuite(unittest.TestCase):
    """The jars, built once per class, and a launcher beside them."""

    @classmethod
    def setUpClass(cls):
        if not (JDK17_HOME / "bin" / "javac").exists():
            raise unittest.SkipTest(f"no OpenJDK 17 with javac at {JDK17_HOME}")
        cls.build = pathlib.Path(tempfile.mkdtemp(prefix="kite-jar-"))
        classes = cls.build / "classes"
        jdk_tool("javac", "--release", "17", "-d", str(classes),
                 *map(str, sorted((JAVA_SOURCES / "mainjar").glob("*.java"))),
                 *map(str, sorted((JAVA_SOURCES / "splash").glob("*.java"))))
        (cls.build / "manifest.txt").write_text(MANIFEST)
        (cls.build / "lib").mkdir()
        jdk_tool("jar", "cf", "lib/lib.jar", "-C", "classes", "JarLib.class", cwd=cls.build)
        jdk_tool("jar", "cfm", "app.jar", "manifest.txt", "-C", "classes", "JarApp.class",
                 "-C", "classes", "JarAgent.class", cwd=cls.build)
        # No Main-Class in the manifest the jar tool writes by itself.
        jdk_tool("jar", "cf", "plain.jar", "-C", "classes", "JarApp.class", cwd=cls.build)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.build, ignore_errors=True)

    def launcher(self, home: pathlib.Path, jre=None, jar="app.jar") -> harness.LinuxLauncher:
        """The launcher with the jar (and the jar its Class-Path names) in its folder."""
        launcher = harness.LinuxLauncher(harness.Sandbox(self))
        shutil.copy(self.build / jar, launcher.folder / "app.jar")
        (launcher.folder / "lib").mkdir()
        shutil.copy(self.build / "lib" / "lib.jar", launcher.folder / "lib" / "lib.jar")
        launcher.write_ini({"Java Runtime Environment": {
            "Main Jar": "app.jar", "Maximum Version": "any", "JRE Path": str(home), **(jre or {})}})
        return launcher


class MainJar(JarSuite):
    def compare_with_java_jar(self, home: pathlib.Path) -> str:
        launcher = self.launcher(home)
        jar = launcher.folder / "app.jar"
        arguments = ["a", "b c"]
        # Started from another folder: nothing may be found through the current one.
        java = subprocess.run([str(home / "bin" / "java"), "-jar", str(jar), *arguments], capture_output=True,
                              text=True, timeout=60, cwd=launcher.sandbox.root)
        result = launcher.run(arguments, cwd=launcher.sandbox.root)
        self.assertEqual(java.returncode, 0, java.stderr)
        self.assertEqual((result.code, result.stdout, result.stderr), (0, java.stdout, java.stderr))
        self.assertIn("agent=ran, redefinition false\njava.lang opened=true\nclass-path entry=JarLib\n", result.stdout)
        self.assertIn(f"command={jar} a b c\narguments=a|b c\n", result.stdout)
        return result.stdout

    def test_starts_as_java_jar_does_on_17(self):
        self.assertIn("native access=unknown", self.compare_with_java_jar(JDK17_HOME))

    def test_starts_as_java_jar_does_on_25_with_native_access(self):
        if not (TEMURIN25_HOME / "lib" / "server" / "libjvm.so").exists():
            self.skipTest(f"no Temurin 25 at {TEMURIN25_HOME}")
        self.assertIn("native access=true", self.compare_with_java_jar(TEMURIN25_HOME))

    def test_main_class_wins_and_keeps_the_manifests_module_options(self):
        launcher = self.launcher(TEMURIN25_HOME if TEMURIN25_HOME.exists() else JDK17_HOME,
                                 jre={"Main Class": "JarApp"})
        result = launcher.run(["x"], extra_env={"KITE_TRACE": "1"})
        self.assertEqual(result.code, 0, result.stderr)
        # No launcher agent without the jar mode; Add-Opens given to the VM by Kite.
        self.assertTrue(result.stdout.startswith("agent=null\njava.lang opened=true\nclass-path entry=JarLib\n"),
                        result.stdout)
        self.assertIn("command=JarApp x\n", result.stdout)
        self.assertIn("kite:   --add-opens=java.base/java.lang=ALL-UNNAMED", result.stderr)

    def test_broken_jars_end_with_their_message(self):
        whole = (self.build / "app.jar").read_bytes()
        cases = [
            # (jar content, None for no file; message)
            (None, "Die Jar-Datei {} wurde nicht gefunden oder kann nicht gelesen werden."),
            (whole[:len(whole) // 2], "Die Jar-Datei {} ist besch\u00e4digt oder keine Jar-Datei."),
            (whole[:-30] + bytes(30), "Die Jar-Datei {} ist besch\u00e4digt oder keine Jar-Datei."),
            ((self.build / "plain.jar").read_bytes(),
             "Die Jar-Datei {} nennt keine Main-Class, und die INI-Datei keine Main Class."),
        ]
        for content, message in cases:
            with self.subTest(message=message, size=None if content is None else len(content)):
                launcher = self.launcher(JDK17_HOME)
                jar = launcher.folder / "app.jar"
                if content is None:
                    jar.unlink()
                else:
                    jar.write_bytes(content)
                result = launcher.run()
                self.assertEqual((result.code, result.stdout, result.stderr),
                                 (255, f"Error: {message.format(jar)} \n", ""))


class MainJarSplashOnX(JarSuite):
    """The manifest's SplashScreen-Image, shown by the launcher before the VM exists, as
    the application finds it through java.awt.SplashScreen, against java -jar."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not (JDK17_HOME / "lib" / "libsplashscreen.so").exists():
            raise unittest.SkipTest("the runtime has no splash library (openjdk-17-jre, scripts/setup.sh)")
        for tool in ("Xvfb", "convert"):
            if shutil.which(tool) is None:
                raise unittest.SkipTest(f"{tool} is not installed (scripts/setup.sh)")
        cls.display, cls.xvfb = harness.start_xvfb(range(190, 240))
        subprocess.run(["convert", "-size", "200x100", "xc:blue", str(cls.build / "splash.png")], check=True,
                       timeout=30)
        (cls.build / "splash.txt").write_text("Main-Class: SplashApp\nSplashScreen-Image: splash.png\n")
        jdk_tool("jar", "cfm", "splash.jar", "splash.txt", "-C", "classes", "SplashApp.class", "splash.png",
                 cwd=cls.build)

    @classmethod
    def tearDownClass(cls):
        cls.xvfb.terminate()
        cls.xvfb.wait(timeout=10)
        super().tearDownClass()

    def test_the_manifests_splash_image_is_shown(self):
        launcher = self.launcher(JDK17_HOME, jar="splash.jar")
        jar = launcher.folder / "app.jar"
        environment = {name: value for name, value in os.environ.items() if name not in harness.ISOLATED_VARIABLES}
        environment["DISPLAY"] = self.display
        java = subprocess.run([str(JDK17_HOME / "bin" / "java"), "-jar", str(jar)], capture_output=True, text=True,
                              timeout=60, env=environment)
        self.assertEqual(java.stdout, f"splash visible=true size=200x100 url=jar:file:{jar}!/splash.png\n"
                                      "closed visible=false\n", java.stderr)
        result = launcher.run(env={**environment, "KITE_TRACE": "1"})
        self.assertEqual((result.code, result.stdout), (0, java.stdout), result.stderr)
        self.assertIn(f'splash screen: "splash.png" of "{jar}" shown through {JDK17_HOME}/lib/libsplashscreen.so',
                      result.stderr)
        # "Splash Screen" wins over the manifest's image.
        launcher.write_ini({"Java Runtime Environment": {"Main Jar": "app.jar", "JRE Path": str(JDK17_HOME),
                                                         "Splash Screen": "missing.png"}})
        result = launcher.run(env={**environment, "KITE_TRACE": "1"})
        self.assertEqual((result.code, result.stdout), (0, "no splash\n"), result.stderr)


if __name__ == "__main__":
    unittest.main()
