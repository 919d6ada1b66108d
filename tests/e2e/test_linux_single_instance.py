"""The single-instance guard and the paired start of the Linux launcher with
the real JVM: a Java primary that blocks, later starts whose arguments reach
secondaryMain over the instance socket, their exit codes, peers that send a
wrong message or none or go away, the socket's folder, a guard held by a
process that does not listen, and a paired executable started with
posix_spawn."""

import fcntl
import os
import pathlib
import select
import shutil
import socket
import stat
import subprocess
import time
import unittest

import harness

JDK_HOME = pathlib.Path("/usr/lib/jvm/java-17-openjdk-amd64")
JAVA_OUTPUT = pathlib.Path(os.environ.get("KITE_JAVA_CLASSES", harness.HOST_DIR / "tests" / "java"))
SINGLE_JAR = JAVA_OUTPUT / "jars" / "single.jar"
RECORDER = harness.HOST_DIR / "tests" / "tools" / "argv_recorder"

AREA_SIZE = 1040
# Forwarded starts the primary delivers at once; later ones wait.
IN_PROGRESS_LIMIT = 16
# The start-up failure exit code (-1) as a shell sees it.
START_FAILURE = 255
# The lines of a second start that cannot use the guard.
FOLDER_NOT_PRIVATE = ("Error: Der Ordner {} geh\u00f6rt einem anderen Benutzer oder ist f\u00fcr andere Benutzer "
                      "zug\u00e4nglich; die Einzelinstanz kann nicht gepr\u00fcft werden. \n")
NO_SECONDARY_MAIN = ("Error: Das Programm l\u00e4uft bereits und nimmt die Argumente eines weiteren Aufrufs "
                     "nicht an. \n")
PRIMARY_UNREACHABLE = ("Error: Das Programm l\u00e4uft bereits, die laufende Instanz ist aber nicht "
                       "erreichbar. \n")


def argument_area(*args) -> bytes:
    """The message a second start sends: UTF-16LE arguments, each ended by a zero unit."""
    data = b"".join(arg.encode("utf-16-le") + b"\0\0" for arg in args) + b"\0\0"
    return data.ljust(AREA_SIZE, b"\0")


class Instance:
    """A launcher in its own sandbox; start() runs the primary in the background."""

    def __init__(self, test: unittest.TestCase, main_class: str, single: str = "yes"):
        self.test = test
        self.sandbox = harness.Sandbox(test)
        self.launcher = harness.LinuxLauncher(self.sandbox)
        self.launcher.write_ini({
            "Java Runtime Environment": {"Main Class": main_class, "Maximum Version": "any",
                                         "JRE Path": str(JDK_HOME)},
            "Class Path": {"Class Path": str(SINGLE_JAR)},
            "Application": {"Single Instance": single},
        })
        self.run_dir = self.sandbox.path("run")
        self.run_dir.mkdir(mode=0o700)
        self.env = dict(os.environ, XDG_CONFIG_HOME=str(self.sandbox.path("config")),
                        XDG_RUNTIME_DIR=str(self.run_dir))

    def popen(self, args=()):
        process = subprocess.Popen([str(self.launcher.path), *args], cwd=self.launcher.folder, env=self.env,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, encoding="utf-8")
        self.test.addCleanup(lambda: process.poll() is None and process.kill())
        return process

    def start(self, args=("p",)):
        """Starts the primary and waits until its main method runs."""
        process = self.popen(args)
        first = process.stdout.readline()
        if not first.startswith("main "):
            process.kill()
            self.test.fail(first + process.stderr.read())
        return process

    def run(self, args=(), timeout=60) -> harness.Result:
        return self.launcher.run(args, env=self.env, timeout=timeout)

    def sockets(self, folder=None):
        folder = pathlib.Path(folder or self.run_dir)
        return [p for p in folder.glob("kite-*") if stat.S_ISSOCK(p.lstat().st_mode)]

    def lock_files(self):
        return list(self.run_dir.glob("kite-*.lock"))

    @staticmethod
    def open_sockets(process) -> int:
        """How many sockets the process holds open."""
        folder = pathlib.Path(f"/proc/{process.pid}/fd")
        count = 0
        for entry in folder.iterdir():
            try:
                count += os.readlink(entry).startswith("socket:")
            except FileNotFoundError:
                pass
        return count

    def peer(self, message=None, end=True) -> socket.socket:
        """A raw connection to the primary that sends message (and ends its sending side)."""
        (path,) = self.sockets()
        peer = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.test.addCleanup(peer.close)
        peer.settimeout(60)
        peer.connect(str(path))
        if message is not None:
            peer.sendall(message)
        if end:
            peer.shutdown(socket.SHUT_WR)
        return peer


@unittest.skipUnless((JDK_HOME / "lib" / "server" / "libjvm.so").exists(), "no OpenJDK 17")
class LinuxSingleInstance(unittest.TestCase):
    def setUp(self):
        if not SINGLE_JAR.exists():
            self.skipTest(f"{SINGLE_JAR} is not built")

    def test_void_secondary_main_gets_the_arguments_and_releases_at_once(self):
        instance = Instance(self, "SingleVoid")
        primary = instance.start()
        cases = [
            ([], "secondary count=1 <>"),
            (["a b", "Gr\u00fc\u00dfe \U0001F600"], "secondary count=2 <a b> <Gr\u00fc\u00dfe \U0001F600>"),
            (["a", "", "b"], "secondary count=1 <a>"),
            (["", "x"], "secondary count=2 <> <x>"),
            (["x" * 518], "secondary count=1 <" + "x" * 518 + ">"),  # exactly 1040 bytes
        ]
        for args, line in cases:
            with self.subTest(args=args[:2]):
                result = instance.run(args)
                self.assertEqual((result.code, result.stdout, result.stderr), (0, "", ""))
                self.assertEqual(primary.stdout.readline().rstrip("\n"), line)
        # One unit more does not fit: the second start fails without a message.
        result = instance.run(["x" * 519])
        self.assertEqual((result.code, result.stdout), (255, ""))
        result = instance.run(["quit", "6"])
        self.assertEqual(result.code, 0)
        out, _ = primary.communicate(timeout=60)
        self.assertEqual(out, "secondary count=2 <quit> <6>\n")
        self.assertEqual(primary.returncode, 6)

    def test_returning_secondary_main_gives_the_exit_code(self):
        instance = Instance(self, "SingleInt")
        primary = instance.start()
        for value, code in (("5", 5), ("-3", 253), ("0", 0)):
            result = instance.run([value])
            self.assertEqual(result.code, code, result.stderr)
            self.assertEqual(primary.stdout.readline(), f"returning count=1 <{value}>\n")
        # Several second starts at once: each gets its own list and answer.
        secondaries = [(n, instance.popen([str(n)])) for n in range(11, 17)]
        for n, process in secondaries:
            process.communicate(timeout=60)
            self.assertEqual(process.returncode, n)
        self.assertEqual(sorted(primary.stdout.readline() for _ in secondaries),
                         [f"returning count=1 <{n}>\n" for n in range(11, 17)])
        self.assertEqual(instance.run(["quit"]).code, 0)
        primary.communicate(timeout=60)
        self.assertEqual(primary.returncode, 0)

    def test_without_secondary_main_second_starts_end_at_once_with_an_error(self):
        instance = Instance(self, "SingleNone")
        instance.env["KITE_TRACE"] = "1"
        primary = instance.start(["600000", "7"])
        for args in (["x"], ["y", "z"]):
            result = instance.run(args)
            self.assertEqual((result.code, result.stdout), (START_FAILURE, NO_SECONDARY_MAIN))
        # The primary still runs: nothing waited for its end.
        self.assertIsNone(primary.poll())
        primary.kill()
        _, err = primary.communicate(timeout=60)
        # Traced once, and no Java error printed for the expected look-up.
        self.assertEqual(err.count("has no static secondaryMain(String[])"), 1, err)
        self.assertNotIn("NoSuchMethodError", err)

    def test_a_wrong_message_is_dropped_without_delivery(self):
        instance = Instance(self, "SingleInt")
        primary = instance.start()
        area = argument_area("5")
        for message in (b"", area[:-1], area + b"\0"):
            with self.subTest(size=len(message)):
                # Closed without a reply.
                self.assertEqual(instance.peer(message).recv(4), b"")
        self.assertEqual(instance.peer(argument_area("7")).recv(4), (7).to_bytes(4, "little"))
        self.assertEqual(primary.stdout.readline(), "returning count=1 <7>\n")
        self.assertEqual(instance.run(["quit"]).code, 0)
        self.assertEqual(primary.communicate(timeout=60), ("returning count=1 <quit>\n", ""))

    def test_silent_peers_are_bounded_and_cannot_keep_the_primary_alive(self):
        instance = Instance(self, "SingleInt")
        primary = instance.start()
        silent = [instance.peer(end=False) for _ in range(IN_PROGRESS_LIMIT)]
        # This start does not wait for them.
        self.assertEqual(instance.peer(argument_area("7")).recv(4), (7).to_bytes(4, "little"))
        # The reading deadline closes every silent peer.
        for peer in silent:
            self.assertEqual(peer.recv(1), b"")
        # main returns while a peer that sent nothing is still connected.
        instance.peer(end=False)
        self.assertEqual(instance.run(["quit"]).code, 0)
        primary.communicate(timeout=60)
        self.assertEqual(primary.returncode, 0)

    def test_a_flood_of_silent_connections_cannot_lock_out_a_second_start(self):
        instance = Instance(self, "SingleInt")
        primary = instance.start()
        # Read in batches, each batch until its reading deadline, 400 silent
        # connections would keep the second start waiting past its hang
        # guard (60 s); it must get through at once.
        silent = [instance.peer(end=False) for _ in range(400)]
        result = instance.run(["7"])
        self.assertEqual((result.code, result.stdout), (7, ""))
        self.assertEqual(primary.stdout.readline(), "returning count=1 <7>\n")
        for peer in silent:
            peer.close()
        self.assertEqual(instance.run(["quit"]).code, 0)
        primary.communicate(timeout=60)
        self.assertEqual(primary.returncode, 0)

    def test_connections_of_refused_second_starts_are_closed(self):
        instance = Instance(self, "SingleNone")
        primary = instance.popen(["120000", "0"])
        self.assertTrue(primary.stdout.readline().startswith("main "))
        before = Instance.open_sockets(primary)
        # Without secondaryMain each message is answered with the refusal
        # (exit code 0, kind 1), and the primary lets go of the connection,
        # whether its second start stays or has gone.
        staying = instance.peer(argument_area("y"))
        for _ in range(20):
            instance.peer(argument_area("x")).close()
        self.assertEqual(staying.recv(5), (0).to_bytes(4, "little") + b"\x01")
        self.assertEqual(staying.recv(1), b"")
        for _ in range(600):
            if Instance.open_sockets(primary) <= before:
                break
            time.sleep(0.1)
        self.assertEqual(Instance.open_sockets(primary), before)
        primary.kill()
        primary.communicate(timeout=60)

    def test_a_guard_held_without_listener_is_reported(self):
        instance = Instance(self, "SingleNone")
        # A start of its own leaves the lock file behind.
        self.assertEqual(instance.run(["0", "0"]).code, 0)
        (lock_path,) = instance.lock_files()
        socket_path = pathlib.Path(str(lock_path)[:-len(".lock")])
        # System.exit ended that start: its socket file may still be there.
        socket_path.unlink(missing_ok=True)
        with open(lock_path, "a") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            # No socket file; then one that nothing listens on.
            for stale in (False, True):
                with self.subTest(stale_socket=stale):
                    if stale:
                        bound = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                        self.addCleanup(bound.close)
                        bound.bind(str(socket_path))
                    result = instance.run(["x"])
                    self.assertEqual((result.code, result.stdout, result.stderr),
                                     (START_FAILURE, PRIMARY_UNREACHABLE, ""))

    def test_socket_lives_in_a_folder_only_the_user_can_enter(self):
        instance = Instance(self, "SingleInt")
        primary = instance.start()
        (path,) = instance.sockets()
        self.assertEqual(path.lstat().st_uid, os.getuid())
        with open("/proc/net/unix") as table:
            self.assertNotIn(f"@kite-{os.getuid()}-{instance.launcher.path}", table.read())
        self.assertEqual(instance.run(["quit"]).code, 0)
        primary.communicate(timeout=60)
        self.assertEqual(instance.sockets(), [])
        # A runtime folder that others may enter, or that belongs to another
        # user, is passed over for the per-user folder under /tmp.
        fallback = pathlib.Path(f"/tmp/kite-{os.getuid()}")
        folders = [(0o755, os.getuid())] + ([(0o700, 65534)] if os.getuid() == 0 else [])
        for mode, owner in folders:
            with self.subTest(mode=oct(mode), owner=owner):
                os.chown(instance.run_dir, owner, -1)
                instance.run_dir.chmod(mode)
                before = set(instance.sockets(fallback)) if fallback.exists() else set()
                primary = instance.start()
                self.assertEqual(instance.sockets(), [])
                self.assertEqual(len(set(instance.sockets(fallback)) - before), 1)
                info = fallback.lstat()
                self.assertEqual((stat.S_IMODE(info.st_mode), info.st_uid), (0o700, os.getuid()))
                self.assertEqual(instance.run(["4"]).code, 4)
                self.assertEqual(instance.run(["quit"]).code, 0)
                primary.communicate(timeout=60)
                os.chown(instance.run_dir, os.getuid(), -1)

    def test_an_unsafe_socket_folder_fails_the_start(self):
        """/tmp/kite-<uid> of another user, or open to others: an error line, no unguarded run.

        The folder is replaced in a mount namespace of the launcher's own, so
        the machine's real /tmp/kite-<uid> stays as it is."""
        if shutil.which("unshare") is None or subprocess.run(
                ["unshare", "--mount", "--propagation", "private", "true"], capture_output=True).returncode != 0:
            self.skipTest("no mount namespace can be made here")
        instance = Instance(self, "SingleNone")
        env = dict(instance.env)
        env.pop("XDG_RUNTIME_DIR")
        fallback = f"/tmp/kite-{os.getuid()}"
        os.makedirs(fallback, mode=0o700, exist_ok=True)
        # Writable by its group, writable by others, another user's.
        folders = [(0o770, os.getuid()), (0o703, os.getuid())]
        if os.getuid() == 0:
            folders.append((0o700, 65534))
        for mode, owner in folders:
            with self.subTest(mode=oct(mode), owner=owner):
                stand_in = instance.sandbox.path(f"tmp-{mode:o}-{owner}")
                stand_in.mkdir()
                os.chown(stand_in, owner, -1)
                stand_in.chmod(mode)
                wrapper = ["unshare", "--mount", "--propagation", "private", "sh", "-c",
                           'mount --bind "$0" "$1" && shift && exec "$@"', str(stand_in), fallback]
                result = instance.launcher.run(["0", "5"], env=env, wrapper=wrapper)
                self.assertEqual((result.code, result.stdout, result.stderr),
                                 (START_FAILURE, FOLDER_NOT_PRIVATE.format(fallback), ""))
                self.assertEqual(list(stand_in.iterdir()), [])

    def test_capital_yes_leaves_the_guard_off(self):
        instance = Instance(self, "SingleNone", single="Yes")
        first = instance.start(["2500", "4"])
        result = instance.run(["10", "5"])
        self.assertEqual((result.code, result.stdout), (5, "main 10,5\n"))
        first.communicate(timeout=60)
        self.assertEqual(first.returncode, 4)

    def test_another_path_is_another_instance(self):
        instance = Instance(self, "SingleNone")
        first = instance.start(["2500", "4"])
        other = harness.LinuxLauncher(instance.sandbox, "other/app")
        instance.sandbox.copy(instance.launcher.folder / "app.ini", "other/app.ini")
        result = other.run(["10", "5"], env=instance.env)
        self.assertEqual((result.code, result.stdout), (5, "main 10,5\n"))
        first.communicate(timeout=60)


class LinuxPairedStart(unittest.TestCase):
    """A "JRE Path" whose libjvm.so is built for another machine starts the paired executable."""

    def setUp(self):
        if not RECORDER.exists():
            self.skipTest(f"{RECORDER} is not built")
        self.sandbox = harness.Sandbox(self)
        self.launcher = harness.LinuxLauncher(self.sandbox)
        # An ELF header for 32-bit x86 (e_machine 3): the image check reads nothing more.
        header = bytes([0x7F, ord("E"), ord("L"), ord("F"), 1, 1, 1, 0]) + bytes(8) + bytes([3, 0, 3, 0])
        self.sandbox.write("jre/lib/server/libjvm.so", header + bytes(32))
        self.record = self.sandbox.path("record.txt")

    def run_paired(self, args, application, code="0"):
        self.launcher.write_ini({
            "Java Runtime Environment": {"Main Class": "App", "JRE Path": str(self.sandbox.path("jre"))},
            "Application": application,
        })
        return self.launcher.run(args, extra_env={"KITE_RECORDER_FILE": str(self.record),
                                                  "KITE_RECORDER_EXIT": code})

    def test_paired_executable_gets_the_same_argument_vector(self):
        recorder = str(RECORDER)
        cases = [
            ({"Pair Product": recorder, "Pair Return Code": "yes"}, "9", 9),
            ({"Pair Product": recorder, "Pair Return Code": "YES"}, "-2", 254),
            # Killed by SIGKILL: 128 + 9, as a shell reports it.
            ({"Pair Product": recorder, "Pair Return Code": "yes"}, "sig9", 137),
            ({"Pair Product": recorder}, "9", 0),
        ]
        for application, code, expected in cases:
            with self.subTest(application=application):
                self.record.unlink(missing_ok=True)
                result = self.run_paired(["a b", ""], application, code)
                self.assertEqual((result.code, result.stdout, result.stderr), (expected, "", ""))
                for _ in range(50):
                    if self.record.exists():
                        break
                    time.sleep(0.1)
                self.assertEqual(self.record.read_text(), f"<{self.launcher.path}><a b><>\n")

    def test_missing_paired_executable_ends_with_zero(self):
        for application in ({"Pair Product": str(self.sandbox.path("none")), "Pair Return Code": "yes"},
                            {"Pair Product": str(self.sandbox.path("none"))}):
            result = self.run_paired([], application)
            self.assertEqual((result.code, result.stdout, result.stderr), (0, "", ""))


if __name__ == "__main__":
    unittest.main()
