"""The Windows executable as a Windows service under Wine, with the test-double jvm.dll
playing the Java application: installed with sc create, started with net
start or sc start (start arguments reach main), stopped with net stop or sc
stop (the Java stop() is called), and reported stopped when main returns or
calls System.exit(0).

A service does not get the test's environment, so the double reads its
script from jvm_double.script beside the jvm.dll, and the script names the
record file. Service processes live only as long as the wineserver, which
harness.Wine keeps for the whole suite."""

import collections
import itertools
import re
import time
import unittest

import harness

RUNNING, STOP_PENDING, START_PENDING, STOPPED = 4, 3, 2, 1
START_WAIT_HINT = 10000
SERVICE_SPECIFIC_ERROR = 1066
Status = collections.namedtuple("Status", "state wait_hint exit_code service_exit_code")


class ServiceApp:
    """app.exe in service mode beside its INI, a runtime whose jvm.dll is the
    double playing script, and the service NAME installed for it."""

    names = itertools.count(1)

    def __init__(self, test: unittest.TestCase, wine: harness.Wine, script: list, application: dict = None,
                 command_line: str = "", java: dict = None):
        self.test = test
        self.wine = wine
        self.name = f"KiteSvc{next(self.names)}"
        self.sandbox = harness.Sandbox(test)
        self.launcher = harness.WineLauncher(wine, self.sandbox)
        self.sandbox.copy(harness.jvm_double(), "jre/bin/client/jvm.dll")
        self.launcher.write_ini({
            "Java Runtime Environment": {"Main Class": "com.example.App", "Maximum Version": "any",
                                         "JRE Path": wine.winpath(self.sandbox.path("jre")), **(java or {})},
            "Class Path": {"Class Path": "\\app.jar"},
            "Application": {"Application Type": "service", **(application or {})},
        })
        self.sandbox.write("app/app.jar", b"")
        self.record_file = self.sandbox.path("record.txt")
        self.sandbox.write("jre/bin/client/jvm_double.script",
                           "\n".join([f"record={self.record_file}", "main_class=com/example/App", *script]) + "\n")
        self.bin_path = (wine.winpath(self.launcher.path) + " " + command_line).strip()

    def install(self):
        result = self.wine_command("sc", "create", self.name, "binPath=", self.bin_path)
        self.test.assertEqual(result.code, 0, result.stdout)
        # A service stuck in a state (its process already gone) ends with the wineserver.
        self.test.addCleanup(self.wine_command, "sc", "delete", self.name)

    def wine_command(self, *args) -> harness.Result:
        return self.wine.run(args[0], args[1:], cwd=self.sandbox.root, timeout=60)

    def query(self, with_checkpoint: bool = False):
        """The service's status as sc query shows it; with_checkpoint: and its checkpoint."""
        deadline = time.monotonic() + 5
        while True:
            # Now and then Wine's sc prints nothing at all: ask again.
            result = self.wine_command("sc", "query", self.name)
            state = re.search(r"STATE\s*:\s*(\d+)", result.stdout)
            hint = re.search(r"WAIT_HINT\s*:\s*0x([0-9a-fA-F]+)", result.stdout)
            code = re.search(r"WIN32_EXIT_CODE\s*:\s*(\d+)", result.stdout)
            service_code = re.search(r"SERVICE_EXIT_CODE\s*:\s*(-?\d+)", result.stdout)
            checkpoint = re.search(r"CHECKPOINT\s*:\s*0x([0-9a-fA-F]+)", result.stdout)
            if state and hint and code and service_code and checkpoint:
                status = Status(int(state.group(1)), int(hint.group(1), 16), int(code.group(1)),
                                int(service_code.group(1)) & 0xFFFFFFFF)
                return (status, int(checkpoint.group(1), 16)) if with_checkpoint else status
            if time.monotonic() > deadline:
                self.test.fail(f"sc query {self.name} ended with {result.code}: {result.stdout}{result.stderr}")
            time.sleep(0.1)

    def wait_for_state(self, state: int, timeout: float = 30) -> Status:
        deadline = time.monotonic() + timeout
        while True:
            current = self.query()
            if current.state == state or time.monotonic() > deadline:
                self.test.assertEqual(current.state, state, "\n".join(self.record()))
                return current
            time.sleep(0.1)

    def record(self) -> list:
        return self.record_file.read_text(encoding="utf-8").splitlines() if self.record_file.exists() else []

    def wait_for(self, fact: str, timeout: float = 30):
        deadline = time.monotonic() + timeout
        while fact not in self.record():
            if time.monotonic() > deadline:
                self.test.fail(f"no {fact} in the record:\n" + "\n".join(self.record()))
            time.sleep(0.1)

    def main_arguments(self) -> list:
        return [line[len("arg="):] for line in self.record() if line.startswith("arg=")]


class WineService(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        harness.TARGET.require()
        harness.jvm_double()
        # Service processes end with the wineserver, which harness.Wine keeps for the whole suite.
        cls.wine = harness.Wine()

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def test_stop_control_calls_java_stop_and_the_service_stops(self):
        service = ServiceApp(self, self.wine, ["has_stop=yes", "main=wait_stop", "stop=out stopping"])
        service.install()
        result = service.wine_command("net", "start", service.name)
        self.assertEqual(result.code, 0, result.stdout)
        service.wait_for("waiting_for_stop thread=main")
        self.assertEqual(service.query(), (RUNNING, 0, 0, 0))

        result = service.wine_command("net", "stop", service.name)
        self.assertEqual(result.code, 0, result.stdout)
        # The wait hint of the stop request stays in the last report.
        self.assertEqual(service.wait_for_state(STOPPED), (STOPPED, 3000, 0, 0))
        record = service.record()
        # stop() releases main's wait: the two return in either order.
        stop = record.index("stop_called thread=Thread-0")
        self.assertLess(stop, record.index("main_returned"))
        self.assertIn("stop_returned", record[stop:])
        self.assertIn("detached=Thread-0", record[stop:])
        self.assertEqual(service.main_arguments(), [service.name])
        # The dispatcher has returned: the teardown destroys the VM.
        service.wait_for("destroy_returned")

    def test_start_arguments_follow_the_command_line(self):
        cases = [
            # The "Cmd" words come after the start arguments.
            ({"Cmd": "c1"}, ["a", "b c"], ["cmd", "NAME", "a", "b c", "c1"]),
            ({}, [], ["cmd", "NAME"]),
            # Any text sets "Omit Service Name", even one that means no.
            ({"Omit Service Name": "no"}, ["a", "b c"], ["cmd", "a", "b c"]),
        ]
        for application, start_args, expected in cases:
            with self.subTest(application=application, start_args=start_args):
                # main returns at once: running, then stopped without a stop control.
                service = ServiceApp(self, self.wine, [], application, command_line="cmd")
                service.install()
                result = service.wine_command("sc", "start", service.name, *start_args)
                self.assertEqual(result.code, 0, result.stdout)
                service.wait_for_state(STOPPED)
                service.wait_for("main_returned")
                self.assertEqual(service.main_arguments(),
                                 [service.name if arg == "NAME" else arg for arg in expected])

    def test_how_the_application_ends_decides_the_last_report(self):
        cases = [
            # System.exit(0) through the exit hook reports stopped before the process ends.
            (["main=sleep 300", "main=exit 0"], "exit_hook_returned", 0, 0),
            # A VM that cannot be created: stopped with the launcher's -1 as the service's code.
            (["create_result=-4"], "create_result=-4", SERVICE_SPECIFIC_ERROR, 0xFFFFFFFF),
            # Any other System.exit code is reported as the service's code, before the process ends.
            (["main=sleep 300", "main=exit 3"], "exit_hook_returned", SERVICE_SPECIFIC_ERROR, 3),
            # main throws: 1, as the java command ends.
            (["main=throw java.lang.IllegalStateException kaputt"], "main_threw=java.lang.IllegalStateException",
             SERVICE_SPECIFIC_ERROR, 1),
        ]
        for script, fact, exit_code, service_exit_code in cases:
            with self.subTest(script=script):
                service = ServiceApp(self, self.wine, script)
                service.install()
                result = service.wine_command("net", "start", service.name)
                self.assertEqual(result.code, 0, result.stdout)
                service.wait_for(fact)
                self.assertEqual(service.wait_for_state(STOPPED), (STOPPED, 0, exit_code, service_exit_code))
                self.assertNotIn("main_returned", service.record())

    def test_a_start_without_runtime_fails_without_a_dialog(self):
        # No runtime: the start ends before the VM, with no dialog, and the service
        # manager is told so. The error line also goes to the event log, which
        # Wine does not keep (checked in the unit tests).
        service = ServiceApp(self, self.wine, [], java={"JRE Path": "Z:\\proc\\kite-nowhere"})
        service.install()
        service.wine_command("net", "start", service.name)
        self.assertEqual(service.wait_for_state(STOPPED), (STOPPED, 0, SERVICE_SPECIFIC_ERROR, 0xFFFFFFFF))
        self.assertEqual(service.record(), [])

    def test_exit_hook_during_teardown_finds_a_live_listener(self):
        # main returns at once; a non-daemon thread calls System.exit(0) while the
        # teardown's DestroyJavaVM waits for it, after the dispatcher has returned:
        # the hook runs to its end. (A call into destroyed service objects does not
        # crash here on its own; what this pins is the order of the events.)
        service = ServiceApp(self, self.wine, ["main=thread_exit 1500 0"])
        service.install()
        self.assertEqual(service.wine_command("net", "start", service.name).code, 0)
        service.wait_for("exit_hook_returned")
        record = service.record()
        self.assertLess(record.index("destroy_called thread=unattached"), record.index("system_exit=0 thread=Thread-0"))

    def test_running_is_reported_once_main_is_called(self):
        # The VM takes 6 s to be made: start pending meanwhile, with the
        # checkpoint renewed, and running only once the VM exists.
        service = ServiceApp(self, self.wine, ["create_delay=6000", "has_stop=yes", "main=wait_stop"])
        service.install()
        result = service.wine_command("sc", "start", service.name)
        self.assertEqual(result.code, 0, result.stdout)
        seen = []
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            status, checkpoint = service.query(with_checkpoint=True)
            created = "create_result=0" in service.record()
            seen.append((status.state, status.wait_hint, checkpoint, created))
            if status.state != START_PENDING:
                break
            time.sleep(0.2)
        pending = [entry for entry in seen if entry[0] == START_PENDING]
        self.assertTrue(pending, seen)
        self.assertEqual({entry[1] for entry in pending}, {START_WAIT_HINT}, seen)
        self.assertGreater(max(entry[2] for entry in pending), 1, seen)
        self.assertEqual(seen[-1][0::3], (RUNNING, True), seen)
        self.assertEqual(service.wine_command("net", "stop", service.name).code, 0)
        self.assertEqual(service.wait_for_state(STOPPED), (STOPPED, 3000, 0, 0))

    def test_a_stop_during_the_start_is_carried_out_once_main_is_called(self):
        service = ServiceApp(self, self.wine, ["create_delay=3000", "main=sleep 60000"])
        service.install()
        self.assertEqual(service.wine_command("sc", "start", service.name).code, 0)
        result = service.wine_command("sc", "stop", service.name)
        self.assertEqual(result.code, 0, result.stdout)
        self.assertEqual(service.wait_for_state(STOPPED), (STOPPED, 3000, 0, 0))
        record = service.record()
        self.assertLess(record.index("create_result=0"), record.index("system_exit=0 thread=Thread-0"))

    def test_without_java_stop_a_stop_ends_the_vm_through_system_exit(self):
        cases = [
            # main still runs.
            (["main=sleep 60000"], "main_called thread=main", 0, 0),
            # main has returned; its non-daemon thread keeps the service running.
            (["main=thread 60000"], "main_returned", 0, 0),
            # main has thrown meanwhile: the stop keeps the failure's 1.
            (["main=thread 60000", "main=throw java.lang.IllegalStateException kaputt"],
             "main_threw=java.lang.IllegalStateException", SERVICE_SPECIFIC_ERROR, 1),
        ]
        for script, fact, exit_code, service_exit_code in cases:
            with self.subTest(script=script):
                service = ServiceApp(self, self.wine, script)
                service.install()
                self.assertEqual(service.wine_command("net", "start", service.name).code, 0)
                service.wait_for(fact)
                self.assertEqual(service.query(), (RUNNING, 0, 0, 0))
                result = service.wine_command("sc", "stop", service.name)
                self.assertEqual(result.code, 0, result.stdout)
                self.assertEqual(service.wait_for_state(STOPPED), (STOPPED, 3000, exit_code, service_exit_code))
                record = service.record()
                # On the stop's own thread, attached after any thread of main's.
                self.assertTrue([line for line in record
                                 if line.startswith(f"system_exit={service_exit_code} thread=Thread-")], record)
                self.assertIn("exit_hook_returned", record)
                self.assertFalse([line for line in record if line.startswith("exception_described")], record)

    def test_started_from_a_console(self):
        # Under Wine the failing dispatcher call may first wait up to 10 s for
        # the pipe of the service started last.
        cases = [
            # Not started by the service manager: nothing printed, no VM, 1063 (39 in 8 bits).
            ("service", 1063 & 0xFF, []),
            # The comparison is case-sensitive: an ordinary console launch.
            ("Service", 0, ["x"]),
        ]
        for application_type, code, arguments in cases:
            with self.subTest(application_type=application_type):
                service = ServiceApp(self, self.wine, [], {"Application Type": application_type})
                result = service.launcher.run(["x"])
                self.assertEqual((result.code, result.stdout), (code, ""))
                self.assertEqual(service.main_arguments(), arguments)
                self.assertEqual(any(line.startswith("library=") for line in service.record()), bool(arguments))


if __name__ == "__main__":
    unittest.main()
