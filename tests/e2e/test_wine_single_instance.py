"""The single-instance guard of the Windows executable under Wine, with the
test-double jvm.dll playing the Java application: later starts hand their arguments to
the running primary's secondaryMain and end with its reply, the primary's
exit code, or -1 when their arguments do not fit."""

import subprocess
import time
import unittest

import harness


class WineInstance:
    """app.exe beside its INI and a runtime whose jvm.dll is the double playing script."""

    def __init__(self, test: unittest.TestCase, wine: harness.Wine, script: list, single: str = "yes"):
        self.test = test
        self.wine = wine
        self.sandbox = harness.Sandbox(test)
        self.launcher = harness.WineLauncher(wine, self.sandbox)
        self.sandbox.copy(harness.jvm_double(), "jre/bin/client/jvm.dll")
        self.launcher.write_ini({
            "Java Runtime Environment": {"Main Class": "com.example.App", "Maximum Version": "any",
                                         "JRE Path": wine.winpath(self.sandbox.path("jre"))},
            "Class Path": {"Class Path": "D:\\Libs\\app.jar"},
            "Application": {"Single Instance": single},
        })
        script_file = self.sandbox.write("script.txt", "\n".join(["main_class=com/example/App", *script]) + "\n")
        self.record_file = self.sandbox.path("record.txt")
        self.env = dict(wine.env, KITE_DOUBLE_SCRIPT=str(script_file), KITE_DOUBLE_RECORD=str(self.record_file))

    def record(self) -> list:
        return self.record_file.read_text(encoding="utf-8").splitlines() if self.record_file.exists() else []

    def wait_for(self, predicate, what: str, timeout: float = 60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if predicate(self.record()):
                return
            time.sleep(0.1)
        self.test.fail(f"no {what} in the record:\n" + "\n".join(self.record()))

    def popen(self, args=()):
        process = subprocess.Popen(self.launcher.command(args), env=self.env,
                                   cwd=self.launcher.folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE)

        def end():
            if process.poll() is None:
                process.kill()
            process.communicate()

        self.test.addCleanup(end)
        return process

    def start_primary(self):
        process = self.popen(["primary"])
        self.wait_for(lambda lines: "main_called thread=main" in lines, "main call")
        return process

    def run(self, args=()) -> harness.Result:
        return self.wine.run(self.launcher.path, args, extra_env={k: self.env[k] for k in
                                                                  ("KITE_DOUBLE_SCRIPT", "KITE_DOUBLE_RECORD")})

    def deliveries(self) -> list:
        """The argument lists that secondaryMain was called with, in order."""
        lists = []
        for line in self.record():
            if line.startswith("secondary_main_called="):
                lists.append([])
            elif line.startswith("secondary_arg=") and lists:
                lists[-1].append(line[len("secondary_arg="):])
        return lists


class WineSingleInstance(harness.WineSuite):
    needs_double = True

    def test_void_secondary_main_releases_the_second_start_at_once(self):
        instance = WineInstance(self, self.wine, ["secondary_main=void", "secondary=sleep 8000",
                                                  "main=sleep 60000", "main=exit 0"])
        instance.start_primary()
        cases = [
            ([], [""]),                              # one empty string
            (["a", "", "b"], ["a"]),                 # an empty argument after the first ends the list
            (["", "x", "y z"], ["", "x", "y z"]),    # an empty first argument is delivered
            (["x" * 518], ["x" * 518]),              # exactly 1040 bytes
        ]
        for number, (args, delivered) in enumerate(cases, 1):
            with self.subTest(args=[a[:8] for a in args]):
                began = time.monotonic()
                result = instance.run(args)
                # Released before secondaryMain (which sleeps 8 s) has run; a
                # start through qemu on a loaded machine takes seconds itself.
                self.assertLess(time.monotonic() - began, 7)
                self.assertEqual((result.code, result.stdout), (0, ""))
                instance.wait_for(lambda lines: len([l for l in lines if l.startswith("secondary_args=")]) >= number,
                                  "delivery")
                self.assertEqual(instance.deliveries()[number - 1], delivered)
        # One unit more: the second start ends with -1 and nothing is delivered.
        result = instance.run(["x" * 519])
        self.assertEqual((result.code, result.stdout), (255, ""))
        self.assertEqual(len(instance.deliveries()), len(cases))
        self.assertEqual(instance.record().count("secondary_main_called=void thread=main"), 0)
        self.assertEqual(len([l for l in instance.record() if l.startswith("process=")]), 1)

    def test_returning_secondary_main_gives_the_exit_code(self):
        for value in (42, -7):
            with self.subTest(value=value):
                instance = WineInstance(self, self.wine, ["secondary_main=int", f"secondary_result={value}",
                                                          "secondary=sleep 500", "main=sleep 60000", "main=exit 0"])
                primary = instance.start_primary()
                result = instance.run(["1", "2"])
                self.assertEqual((result.code, result.stdout), (value & 0xFF, ""))
                self.assertIn("secondary_main_returned=" + str(value), instance.record())
                self.assertEqual(instance.deliveries(), [["1", "2"]])
                primary.kill()
                primary.wait()

    def test_several_second_starts_at_once_all_end(self):
        harness.not_through_qemu("of twenty second starts at once some end in the emulator with an illegal "
                                 "instruction, a breakpoint or a segmentation fault; one at a time they all "
                                 "pass (the other cases here)")
        for kind, code in (("void", 0), ("int", 5)):
            with self.subTest(kind=kind):
                instance = WineInstance(self, self.wine, [f"secondary_main={kind}", "secondary_result=5",
                                                          "secondary=sleep 300", "main=sleep 60000", "main=exit 0"])
                primary = instance.start_primary()
                secondaries = [instance.popen([str(n)]) for n in range(20)]
                for process in secondaries:
                    process.communicate(timeout=120)
                    self.assertEqual(process.returncode, code)
                instance.wait_for(lambda lines: lines.count("secondary_args=1") == 20, "twenty deliveries")
                primary.kill()
                primary.wait()

    def test_without_secondary_main_the_second_start_ends_at_once_with_an_error(self):
        for missing in ("missing_method_throws=yes", "missing_method_throws=no"):
            with self.subTest(missing=missing):
                instance = WineInstance(self, self.wine, ["secondary_main=none", missing, "main=sleep 600000",
                                                          "main=exit 42"])
                primary = instance.start_primary()
                result = instance.run(["x"])
                self.assertEqual(result.code, 255)
                # The line of message 234 (the umlaut's bytes depend on the code page).
                self.assertTrue(result.stdout.startswith("Error: Das Programm l"), result.stdout)
                self.assertTrue(result.stdout.endswith(" bereits und nimmt die Argumente eines weiteren Aufrufs "
                                                       "nicht an. \n"), result.stdout)
                # The primary still runs: nothing waited for its end.
                self.assertIsNone(primary.poll())
                self.assertFalse(any(line.startswith("exception_described=") for line in instance.record()),
                                 instance.record())
                self.assertEqual(instance.deliveries(), [])
                primary.kill()
                primary.wait()

    def test_a_first_start_that_takes_no_arguments_yet_gives_the_second_its_line(self):
        # The block of a first start whose listener does not run yet: the
        # second start ends at once with message 233 and -1, never silently.
        instance = WineInstance(self, self.wine, ["main=exit 42"])
        holder = subprocess.Popen(
            harness.Wine.command(harness.TARGET.tool("silent_primary.exe"), [self.wine.winpath(instance.launcher.path)]),
            env=instance.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

        def end():
            holder.stdin.close()
            holder.wait(60)

        self.addCleanup(end)
        self.assertEqual(holder.stdout.readline().strip(), b"ready")
        result = instance.run(["x"])
        self.assertEqual(result.code, 255)
        # The umlaut's bytes depend on the code page.
        self.assertTrue(result.stdout.startswith("Error: Das Programm l"), result.stdout)
        self.assertTrue(result.stdout.endswith(" bereits, die laufende Instanz ist aber nicht erreichbar. \n"),
                        result.stdout)
        self.assertNotIn("main_called thread=main", instance.record())

    def test_without_a_reply_the_second_start_ends_with_the_primarys_code(self):
        cases = [
            # The delivery cannot attach to the VM.
            (["secondary_main=int", "attach_result=-1"], "attach_failed=-1"),
        ]
        for script, fact in cases:
            with self.subTest(script=script):
                instance = WineInstance(self, self.wine, [*script, "main=sleep 5000", "main=exit 42"])
                primary = instance.start_primary()
                began = time.monotonic()
                result = instance.run(["x"])
                self.assertEqual((result.code, result.stdout), (42, ""))
                self.assertGreater(time.monotonic() - began, 2)
                primary.communicate(timeout=60)
                self.assertEqual(primary.returncode, 42)
                self.assertTrue(any(line.startswith(fact) for line in instance.record()), instance.record())
                self.assertEqual(instance.deliveries(), [])

    def test_primary_whose_main_returns_stops_its_listener_and_ends(self):
        instance = WineInstance(self, self.wine, ["secondary_main=int", "secondary_result=3", "main=sleep 8000"])
        primary = instance.start_primary()
        self.assertEqual(instance.run(["x"]).code, 3)
        primary.communicate(timeout=60)
        self.assertEqual(primary.returncode, 0)
        self.assertIn("destroy_returned", instance.record())

    def test_capital_yes_leaves_the_guard_off(self):
        instance = WineInstance(self, self.wine, ["secondary_main=int", "secondary_result=9",
                                                  "main=sleep 3000", "main=exit 5"], single="Yes")
        primary = instance.start_primary()
        result = instance.run(["x"])
        self.assertEqual(result.code, 5)
        primary.communicate(timeout=60)
        self.assertEqual(instance.record().count("main_called thread=main"), 2)
        self.assertEqual(instance.deliveries(), [])


if __name__ == "__main__":
    unittest.main()
