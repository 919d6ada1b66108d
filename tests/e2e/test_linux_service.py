"""Service mode on Linux with the real JVM: the process runs in the foreground,
SIGTERM and SIGINT call the Java stop(), and the systemd notify protocol is
spoken when NOTIFY_SOCKET is set."""

import os
import pathlib
import signal
import socket
import subprocess
import time
import unittest

import harness

JARS = pathlib.Path(os.environ.get("KITE_JAVA_CLASSES", harness.HOST_DIR / "tests" / "java")) / "jars"


class LinuxService(unittest.TestCase):
    def setUp(self):
        if not (JARS / "service.jar").exists():
            self.skipTest("the Java test applications are not built")
        self.sandbox = harness.Sandbox(self)
        self.launcher = harness.LinuxLauncher(self.sandbox, "app/svc")

    def start(self, extra_app=None, extra_env=None, extra_java=None):
        application = {"Application Type": "service"}
        application.update(extra_app or {})
        self.launcher.write_ini({
            "Java Runtime Environment": {"Main Class": "ServiceApp", "Maximum Version": "any", **(extra_java or {})},
            "Class Path": {"Class Path": str(JARS / "service.jar")},
            "Application": application,
        })
        env = dict(os.environ, XDG_CONFIG_HOME=str(self.sandbox.path("config")))
        env.update(extra_env or {})
        process = subprocess.Popen([str(self.launcher.path), "a b"], cwd=self.launcher.folder, env=env,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        first = process.stdout.readline()
        return process, first

    def test_sigterm_calls_stop_and_ends_with_zero(self):
        for stop_signal in (signal.SIGTERM, signal.SIGINT):
            process, first = self.start()
            self.assertEqual(first, "started a b|svc\n")
            process.send_signal(stop_signal)
            out, err = process.communicate(timeout=60)
            self.assertEqual(process.returncode, 0, err)
            self.assertIn("stop called on", out)
            self.assertTrue(out.endswith("main ends\n"), out)

    def test_omit_service_name_leaves_only_the_command_line(self):
        process, first = self.start({"Omit Service Name": "no"})
        self.assertEqual(first, "started a b\n")
        process.send_signal(signal.SIGTERM)
        process.communicate(timeout=60)
        self.assertEqual(process.returncode, 0)

    def test_notify_socket_gets_ready_and_stopping(self):
        path = str(self.sandbox.path("notify.sock"))
        receiver = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        receiver.bind(path)
        receiver.settimeout(60)
        self.addCleanup(receiver.close)
        process, first = self.start(extra_env={"NOTIFY_SOCKET": path})
        self.assertTrue(first.startswith("started"))
        self.assertEqual(receiver.recv(100), b"READY=1")
        process.send_signal(signal.SIGTERM)
        self.assertEqual(receiver.recv(100), b"STOPPING=1")
        process.communicate(timeout=60)
        self.assertEqual(process.returncode, 0)

    def test_a_main_that_returns_keeps_the_service_running_until_sigterm_runs_the_hooks(self):
        # ReturningApp: its static initializer runs after the VM exists and before
        # main; main starts a non-daemon worker and returns; the class
        # has no stop(), so SIGTERM ends the VM through System.exit and its hook runs.
        path = str(self.sandbox.path("notify.sock"))
        receiver = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        receiver.bind(path)
        self.addCleanup(receiver.close)
        folder = self.sandbox.path("returning")
        folder.mkdir()
        self.launcher.write_ini({
            "Java Runtime Environment": {"Main Class": "ReturningApp", "Maximum Version": "any"},
            "Class Path": {"Class Path": str(JARS / "returning.jar")},
            "Application": {"Application Type": "service"},
        })
        env = dict(os.environ, XDG_CONFIG_HOME=str(self.sandbox.path("config")), NOTIFY_SOCKET=path,
                   RETURNING_APP_DIR=str(folder))
        process = subprocess.Popen([str(self.launcher.path)], cwd=self.launcher.folder, env=env,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        receiver.settimeout(60)
        self.assertEqual(receiver.recv(100), b"READY=1")
        # Ready only once main is about to run: the class is already initialized.
        self.assertTrue((folder / "initialized.txt").exists())
        self.assertEqual(process.stdout.readline(), "main returns\n")
        # main has returned; the worker runs on, and so does the service.
        receiver.settimeout(2)
        with self.assertRaises(socket.timeout):
            receiver.recv(100)
        self.assertIsNone(process.poll())
        self.assertFalse((folder / "hook.txt").exists())

        process.send_signal(signal.SIGTERM)
        receiver.settimeout(60)
        self.assertEqual(receiver.recv(100), b"STOPPING=1")
        out, err = process.communicate(timeout=60)
        # A stopped service ends with 0, its shutdown hooks run.
        self.assertEqual((process.returncode, out), (0, ""), err)
        self.assertEqual((folder / "hook.txt").read_text(), "hook ran")

    def test_start_without_runtime_fails_on_both_streams_without_a_prompt(self):
        process, first = self.start(extra_java={"Minimum Version": "99", "JRE Path": "/proc/kite-nowhere"})
        out, err = process.communicate(timeout=60)
        line = ("Error: Die Java-Laufzeitumgebung (JRE) wurde nicht gefunden. Bitte downloaden und installieren "
                "Sie eine JRE (minimum Version 99.0) von: https://adoptium.net/ \n")
        self.assertEqual((process.returncode, first + out, err), (255, line, line))


if __name__ == "__main__":
    unittest.main()
