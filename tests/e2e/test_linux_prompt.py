"""The runtime-not-found dialog of the Linux launcher: a prompt on the terminal
(driven here through a pseudo-terminal), and no prompt without one.

"JVM Source" names no known source, so the runtime folders under /usr/lib/jvm
are not searched and every start without "JRE Path" ends in the prompt."""

import os
import pathlib
import pty
import select
import subprocess
import time
import unittest

import harness

JDK_HOME = pathlib.Path("/usr/lib/jvm/java-17-openjdk-amd64")
JAVA_OUTPUT = pathlib.Path(os.environ.get("KITE_JAVA_CLASSES", harness.HOST_DIR / "tests" / "java"))
PRODUCT = {"Product Name": "Kite Prompt", "Product Code": "KP1"}
PROMPT = "JRE Pfad: "
HEAD = ("JRE nicht gefunden\r\n"
        "Die Java-Laufzeitumgebung (JRE) wurde nicht gefunden. Bitte downloaden und installieren Sie eine JRE "
        "(neueste Version) von: https://adoptium.net/\r\n"
        "Wenn Sie ein JRE installiert haben, k\u00f6nnen Sie unten danach suchen:\r\n")


class TerminalSession:
    """The launcher on a pseudo-terminal: standard input and output are the terminal."""

    def __init__(self, launcher: harness.LinuxLauncher, cwd=None):
        self.master, slave = pty.openpty()
        environment = dict(os.environ)
        environment["XDG_CONFIG_HOME"] = str(launcher.sandbox.path("config"))
        self.process = subprocess.Popen([str(launcher.path)], stdin=slave, stdout=slave, stderr=subprocess.PIPE,
                                        env=environment, cwd=cwd or launcher.folder, close_fds=True)
        os.close(slave)
        self.output = b""

    def read_until(self, text: str, timeout=30) -> str:
        deadline = time.monotonic() + timeout
        while text.encode() not in self.output:
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not self._read(remaining):
                raise AssertionError(f"no {text!r} in {self.output.decode(errors='replace')!r}")
        return self.output.decode()

    def answer(self, line: str):
        os.write(self.master, line.encode() + b"\n")

    def end_input(self):
        os.write(self.master, b"\x04")  # Ctrl-D at the start of a line

    def finish(self, timeout=60) -> int:
        deadline = time.monotonic() + timeout
        while self.process.poll() is None and time.monotonic() < deadline:
            self._read(0.2)
        code = self.process.wait(timeout=max(1, deadline - time.monotonic()))
        while self._read(0.2):
            pass
        self.process.stderr.close()
        os.close(self.master)
        return code & 0xFF

    def _read(self, timeout) -> bool:
        ready, _, _ = select.select([self.master], [], [], timeout)
        if not ready:
            return False
        try:
            data = os.read(self.master, 4096)
        except OSError:  # the terminal's other side is closed
            return False
        self.output += data
        return bool(data)


class LinuxPrompt(unittest.TestCase):
    def launcher(self, main_class="ArgsApp", class_path=None, extra=None) -> harness.LinuxLauncher:
        launcher = harness.LinuxLauncher(harness.Sandbox(self))
        jre = {"Main Class": main_class, "Maximum Version": "any", "JVM Source": "none"}
        sections = {"Java Runtime Environment": jre, "Product Information": PRODUCT, **(extra or {})}
        if class_path:
            sections["Class Path"] = {"Class Path": class_path}
        launcher.write_ini(sections)
        return launcher

    def user_file(self, launcher) -> pathlib.Path:
        return launcher.sandbox.path("config", PRODUCT["Product Name"], PRODUCT["Product Code"], "app.ini")

    def test_without_a_terminal_the_start_ends_silently(self):
        launcher = self.launcher()
        result = launcher.run(stdin=b"/usr/lib/jvm/java-17-openjdk-amd64\n")
        self.assertEqual((result.code, result.stdout), (255, ""))
        self.assertFalse(self.user_file(launcher).exists())

    def test_empty_answer_and_end_of_input_cancel(self):
        for how in ("empty", "eof"):
            with self.subTest(how):
                launcher = self.launcher()
                session = TerminalSession(launcher)
                self.assertEqual(session.read_until(PROMPT), HEAD + PROMPT)
                if how == "empty":
                    session.answer("")
                else:
                    session.end_input()
                self.assertEqual(session.finish(), 255)
                self.assertFalse(self.user_file(launcher).exists())

    def test_english_prompt_with_a_replaced_text(self):
        launcher = self.launcher(extra={"Application": {"Message Language": "en"},
                                        "Messages": {"247": "Nothing usable in %s", "243": "Java folder%s"}})
        session = TerminalSession(launcher)
        head = ("JRE not found\r\n"
                "The Java runtime environment (JRE) was not found. Please download and install a JRE "
                "(latest version) from: https://adoptium.net/\r\n"
                "If you have installed a JRE, you can look for it below:\r\n")
        # 243 with a placeholder its original lacks is refused: the English label stays.
        self.assertEqual(session.read_until("JRE path: "), head + "JRE path: ")
        session.answer("/nowhere")
        session.read_until("Nothing usable in /nowhere\r\nJRE path: ")
        session.answer("")
        self.assertEqual(session.finish(), 255)

    def test_a_runtime_named_at_the_prompt_runs_now_and_at_the_next_start(self):
        if not (JDK_HOME / "lib" / "server" / "libjvm.so").exists():
            self.skipTest(f"no OpenJDK 17 at {JDK_HOME}")
        classes = JAVA_OUTPUT / "classes" / "args"
        if not classes.exists():
            self.skipTest(f"the Java test applications are not built in {JAVA_OUTPUT}")
        launcher = self.launcher(class_path=str(classes))
        # A relative answer is taken from the current folder and remembered absolute.
        session = TerminalSession(launcher, cwd=JDK_HOME.parent)
        session.read_until(PROMPT)
        session.answer(f"{JDK_HOME.name}/lib")  # not the runtime home: asked again
        session.read_until(f"Kein JRE: {JDK_HOME}/lib\r\n" + PROMPT)
        session.answer(JDK_HOME.name)
        self.assertEqual(session.finish(), 0)
        self.assertIn("count=0", session.output.decode())
        self.assertIn(f"JRE Path={JDK_HOME}/", self.user_file(launcher).read_text().splitlines())

        again = launcher.run(stdin=b"")
        self.assertEqual(again.code, 0, again.stdout)
        self.assertIn("count=0", again.stdout)
        self.assertNotIn(PROMPT, again.stdout)


if __name__ == "__main__":
    unittest.main()
