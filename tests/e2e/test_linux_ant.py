"""Apache Ant, as Debian packages it, started by the Linux launcher with the
main class, class path, options and leading arguments of Debian's own start
script (/usr/bin/ant), and compared with that script run with the same
inputs: output and exit code of -version, of a build whose target fails, and
of arguments with blanks and characters beyond ASCII."""

import os
import pathlib
import re
import subprocess
import unittest

import harness

JDK_HOME = pathlib.Path("/usr/lib/jvm/java-17-openjdk-amd64")
ANT_HOME = pathlib.Path("/usr/share/ant")
ANT_SCRIPT = pathlib.Path("/usr/bin/ant")

BUILD_FILE = """<project name="probe" default="show">
  <target name="show">
    <echo message="[${message}]"/>
    <echo message="java.command=${sun.java.command}"/>
  </target>
  <target name="broken" depends="show">
    <fail message="target failed on purpose"/>
  </target>
</project>
"""


def comparable(text: str) -> str:
    """The output without what differs from one run to the next."""
    text = re.sub(r"Total time: .*", "Total time: -", text)
    # Debian's script starts java with the class path on its command line,
    # the launcher has it in its settings: the command seen by the
    # application is compared on its own.
    return re.sub(r"java\.command=.*", "java.command=-", text)


class Ant(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not ANT_SCRIPT.exists() or not (ANT_HOME / "lib" / "ant-launcher.jar").exists():
            raise unittest.SkipTest("Debian's ant package is not installed (scripts/setup.sh installs it)")
        if not (JDK_HOME / "lib" / "server" / "libjvm.so").exists():
            raise unittest.SkipTest(f"no OpenJDK 17 at {JDK_HOME}")

    def setUp(self):
        self.sandbox = harness.Sandbox(self)
        self.work = self.sandbox.path("work")
        self.work.mkdir()
        (self.work / "build.xml").write_text(BUILD_FILE, encoding="utf-8")
        self.launcher = harness.LinuxLauncher(self.sandbox, "ant/ant")
        # What /usr/bin/ant runs: the launcher jar on the class path, Ant's
        # home and library folder as properties, and "-cp <CLASSPATH>" (empty
        # here) before the user's arguments.
        self.launcher.write_ini({
            "Java Runtime Environment": {
                "Main Class": "org.apache.tools.ant.launch.Launcher", "Maximum Version": "any",
                "JRE Path": str(JDK_HOME),
                "Virtual Machine Parameters": f"-Dant.home={ANT_HOME} -Dant.library.dir={ANT_HOME / 'lib'}"
                                              " -Djava.security.manager=allow"},
            "Class Path": {"Class Path": str(ANT_HOME / "lib" / "ant-launcher.jar")},
            "Application": {"Leading Cmd": '-cp ""'},
        })
        self.environment = {key: value for key, value in os.environ.items()
                            if key not in harness.ISOLATED_VARIABLES and key not in ("ANT_HOME", "ANT_OPTS",
                                                                                       "ANT_ARGS", "CLASSPATH")}
        self.environment.update({"JAVA_HOME": str(JDK_HOME), "LC_ALL": "C.UTF-8",
                                 "HOME": str(self.sandbox.path("home")),
                                 "XDG_CONFIG_HOME": str(self.sandbox.path("config"))})

    def both(self, args):
        script = subprocess.run([str(ANT_SCRIPT), *args], cwd=self.work, env=self.environment,
                                capture_output=True, timeout=120)
        kite = subprocess.run([str(self.launcher.path), *args], cwd=self.work, env=self.environment,
                              capture_output=True, timeout=120)
        return script, kite

    def test_same_output_and_exit_code_as_debians_script(self):
        cases = [
            ["-version"],
            ["-f", "build.xml"],
            ["broken"],
            ["-Dmessage=zwei Wörter – ß ∑ 😀", "show"],
            ["-Dmessage=", "-quiet", "show"],
            ["no-such-target"],
        ]
        for args in cases:
            with self.subTest(args=args):
                script, kite = self.both(args)
                self.assertEqual(kite.returncode, script.returncode, kite.stdout + kite.stderr)
                self.assertEqual(comparable(kite.stdout.decode("utf-8")), comparable(script.stdout.decode("utf-8")))
                self.assertEqual(comparable(kite.stderr.decode("utf-8")), comparable(script.stderr.decode("utf-8")))
        # The failing target really failed, and the argument beyond ASCII
        # really arrived, in both.
        self.assertNotEqual(self.both(["broken"])[1].returncode, 0)
        self.assertIn("[zwei Wörter – ß ∑ 😀]", self.both(["-Dmessage=zwei Wörter – ß ∑ 😀"])[1].stdout.decode())

    def test_the_application_sees_its_main_class_and_arguments_as_the_command(self):
        _, kite = self.both(["-Dmessage=a b", "show"])
        self.assertIn("java.command=org.apache.tools.ant.launch.Launcher -cp  -Dmessage=a b show",
                      kite.stdout.decode())


if __name__ == "__main__":
    unittest.main()
