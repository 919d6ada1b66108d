"""Jetty 9 from Debian's jetty9 package as a service of the Linux build. Jetty's
main returns once the server is up, and only its shutdown hook stops it.

Kite is given what Debian's own start script would run (`jetty.sh check` prints
it: the JVM options, start.jar and Jetty's arguments, with the state file that
etc/jetty-started.xml writes) and runs it in service mode under a fake
NOTIFY_SOCKET. Debian's script runs the same server from the same inputs, so
the two are compared rather than held against written-down answers. Each runs
on a free loopback port with a temporary jetty.base of one static page; the
system's own /var/lib/jetty9 is not touched."""

import os
import pathlib
import re
import signal
import socket
import subprocess
import time
import unittest
import urllib.request
import zipfile

import harness

JETTY_HOME = pathlib.Path("/usr/share/jetty9")
JETTY_SH = JETTY_HOME / "bin" / "jetty.sh"


def free_port() -> int:
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class JettyBase:
    """A jetty.base with the http and deploy modules on a free loopback port
    and one static page, and the environment that points jetty.sh at it."""

    def __init__(self, sandbox: harness.Sandbox, name: str):
        self.root = sandbox.path(name)
        self.port = free_port()
        self.page = f"served from {name}\n"
        sandbox.write(f"{name}/start.d/server.ini",
                      f"--module=http,deploy\njetty.http.host=127.0.0.1\njetty.http.port={self.port}\n")
        sandbox.write(f"{name}/webapps/root/index.html", self.page)
        (self.root / "tmp").mkdir()
        self.state_file = self.root / "jetty.state"
        self.env = dict(os.environ, JETTY_HOME=str(JETTY_HOME), JETTY_BASE=str(self.root),
                        JETTY_STATE=str(self.state_file), JETTY_RUN=str(self.root), TMPDIR=str(self.root / "tmp"))

    def debian_settings(self) -> dict:
        """What Debian's script would run, from its "check" listing (NAME = value lines)."""
        listing = subprocess.run([str(JETTY_SH), "check"], env=self.env, cwd=self.root, timeout=60,
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True).stdout
        return {m.group(1): m.group(2).strip() for m in re.finditer(r"^(\w+)\s+=\s+(.*)$", listing, re.M)}

    def states(self) -> list:
        """The life-cycle states the state file recorded, in order."""
        text = self.state_file.read_text() if self.state_file.exists() else ""
        return [line.split()[0] for line in text.splitlines() if line.strip()]

    def get_page(self, process: subprocess.Popen, timeout: float = 90) -> str:
        deadline = time.monotonic() + timeout
        while True:
            try:
                with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/", timeout=10) as response:
                    return response.read().decode()
            except OSError as error:
                if process.poll() is not None or time.monotonic() > deadline:
                    raise AssertionError(f"no page on port {self.port} ({error}); "
                                         f"process: {process.poll()}") from error
                time.sleep(0.2)

    def wait_for_state(self, state: str, timeout: float = 60):
        deadline = time.monotonic() + timeout
        while state not in self.states():
            if time.monotonic() > deadline:
                raise AssertionError(f"no {state} in {self.state_file}: {self.states()}")
            time.sleep(0.1)


class LinuxJetty(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not JETTY_SH.exists():
            raise unittest.SkipTest("Debian's jetty9 package is not installed (scripts/setup.sh installs it)")

    def setUp(self):
        self.sandbox = harness.Sandbox(self)

    def start(self, command: list, base: JettyBase, extra_env: dict = None) -> subprocess.Popen:
        out = open(base.root / "out.txt", "w")
        self.addCleanup(out.close)
        process = subprocess.Popen(command, cwd=base.root, env=dict(base.env, **(extra_env or {})),
                                   stdout=out, stderr=subprocess.STDOUT)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        return process

    def test_jetty_serves_and_sigterm_runs_its_shutdown_as_with_debians_script(self):
        # Debian's way: jetty.sh run execs java, which ends with 143 on SIGTERM.
        debian = JettyBase(self.sandbox, "debian")
        process = self.start([str(JETTY_SH), "run"], debian)
        debian_page = debian.get_page(process)
        debian.wait_for_state("STARTED")
        process.send_signal(signal.SIGTERM)
        process.wait(timeout=60)
        debian_states = debian.states()

        # Kite with the same inputs: what jetty.sh would run, turned into settings.
        base = JettyBase(self.sandbox, "kite")
        settings = base.debian_settings()
        java_home = pathlib.Path(os.path.realpath(settings["JAVA"])).parent.parent
        with zipfile.ZipFile(settings["JETTY_START"]) as jar:
            manifest = jar.read("META-INF/MANIFEST.MF").decode()
        main_class = re.search(r"^Main-Class:\s*(\S+)", manifest, re.M).group(1)
        launcher = harness.LinuxLauncher(self.sandbox, "opt/jetty/jetty")
        launcher.write_ini({
            "Java Runtime Environment": {"Main Class": main_class, "JRE Path": str(java_home),
                                         "Virtual Machine Parameters": settings["JAVA_OPTIONS"]},
            "Class Path": {"Class Path": settings["JETTY_START"]},
            # The service's name would reach start.jar as an argument.
            "Application": {"Application Type": "service", "Omit Service Name": "yes",
                            "Cmd": settings["JETTY_ARGS"]},
        })
        notify_path = str(self.sandbox.path("notify.sock"))
        receiver = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        receiver.bind(notify_path)
        self.addCleanup(receiver.close)
        process = self.start([str(launcher.path)], base, {"NOTIFY_SOCKET": notify_path,
                                                         "XDG_CONFIG_HOME": str(self.sandbox.path("config"))})
        page = base.get_page(process)
        base.wait_for_state("STARTED")
        receiver.settimeout(1)
        self.assertEqual(receiver.recv(100), b"READY=1")
        # Jetty's main has returned by now or does so in a moment; its threads
        # serve on, and the service is still running.
        time.sleep(2)
        with self.assertRaises(socket.timeout):
            receiver.recv(100)
        self.assertIsNone(process.poll())
        self.assertEqual(base.get_page(process), page)

        process.send_signal(signal.SIGTERM)
        receiver.settimeout(60)
        self.assertEqual(receiver.recv(100), b"STOPPING=1")
        exit_code = process.wait(timeout=60)
        output = (base.root / "out.txt").read_text()

        self.assertEqual((page, debian_page), (base.page, debian.page))
        # Jetty's own shutdown ran under Kite as under Debian's script.
        self.assertEqual(debian_states[-1:], ["STOPPED"], (debian.root / "out.txt").read_text())
        self.assertEqual(base.states(), debian_states, output)
        # A stopped service ends with 0.
        self.assertEqual(exit_code, 0, output)


if __name__ == "__main__":
    unittest.main()
