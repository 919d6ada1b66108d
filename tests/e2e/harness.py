"""Shared helpers of the end-to-end suites.

A suite copies a launcher build beside an INI file in a temporary folder,
runs it (natively on Linux, under Wine for kite.exe and kite64.exe) and looks
at its standard output, standard error and exit code.

Every Windows suite runs once per Windows build: KITE_WINE_EXE names the
executable under test (kite64.exe when unset, or kite.exe), and TARGET is
its build. WineLauncher, jvm_double() and WineSuite take everything from
TARGET: the executable, the test-double jvm.dll of the same width and the
Windows tools built with it. A case written with them runs on both
executables unchanged; where the two must differ, the case reads TARGET
(bits, machine, own_view, other_view). tests/e2e/run_suite.py runs a suite
for ctest and reports how many of its cases ran on which executable.

Environment (set by ctest, see tests/CMakeLists.txt):
  KITE_BIN         the Linux build of the launcher
  KITE_WIN64_DIR   build folder of kite64.exe (and its test double and tools)
  KITE_WIN32_DIR   build folder of kite.exe (and its test double and tools)
  KITE_WINE_EXE    the Windows executable under test: kite64.exe or kite.exe
  KITE_HOST_DIR    the host build folder
  KITE_SOURCE_DIR  the source tree
"""

import fcntl
import functools
import hashlib
import importlib.util
import os
import pathlib
import shutil
import subprocess
import tempfile
import time
import unittest
from dataclasses import dataclass

WINE64 = "/usr/lib/wine/wine64"
# The 32-bit loader, from the wine32 package (installed by scripts/setup.sh where a route
# for 32-bit code exists: natively, or through qemu-i386-static).
WINE32 = "/usr/lib/wine/wine"
# The server itself: Debian's /usr/bin/wineserver wrapper puts -p0 before every option.
WINESERVER = "/usr/lib/wine/wineserver64"
QEMU_I386 = "/usr/bin/qemu-i386-static"

SOURCE_DIR = pathlib.Path(os.environ.get("KITE_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
HOST_DIR = pathlib.Path(os.environ.get("KITE_HOST_DIR", SOURCE_DIR / "build" / "host"))
WIN64_DIR = pathlib.Path(os.environ.get("KITE_WIN64_DIR", SOURCE_DIR / "build" / "win64"))
WIN32_DIR = pathlib.Path(os.environ.get("KITE_WIN32_DIR", SOURCE_DIR / "build" / "win32"))
KITE_BIN = pathlib.Path(os.environ.get("KITE_BIN", HOST_DIR / "kite"))

# Variables of the caller's environment that change which runtime the launcher
# finds or what it writes to standard error; the suites set them themselves.
ISOLATED_VARIABLES = ("JAVA_HOME", "KITE_TRACE")

# The exact line the launcher prints for a missing "Main Class".
MAIN_CLASS_MISSING = "Error: Main class in der INI-Datei nicht spezifiziert. \n"


@dataclass
class Result:
    code: int          # exit code as the shell sees it (0..255)
    stdout_bytes: bytes
    stderr_bytes: bytes

    @property
    def stdout(self) -> str:
        return self.stdout_bytes.decode("utf-8", errors="replace")

    @property
    def stderr(self) -> str:
        return self.stderr_bytes.decode("utf-8", errors="replace")


def ini_text(sections: dict) -> str:
    """Builds INI text from {section: {key: value}}; CRLF line ends as on Windows."""
    lines = []
    for section, keys in sections.items():
        lines.append(f"[{section}]")
        for key, value in keys.items():
            lines.append(f"{key}={value}")
        lines.append("")
    return "\r\n".join(lines)


class Sandbox:
    """A temporary folder that is removed at the end of the test."""

    def __init__(self, test: unittest.TestCase | None = None):
        self.root = pathlib.Path(tempfile.mkdtemp(prefix="kite-e2e-"))
        if test is not None:
            test.addCleanup(self.remove)

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def path(self, *parts) -> pathlib.Path:
        return self.root.joinpath(*parts)

    def write(self, relative: str, content, encoding: str = "utf-8") -> pathlib.Path:
        target = self.path(relative)
        target.parent.mkdir(parents=True, exist_ok=True)
        if isinstance(content, bytes):
            target.write_bytes(content)
        else:
            target.write_bytes(content.encode(encoding))
        return target

    def write_ini(self, relative: str, sections: dict, encoding: str = "utf-8") -> pathlib.Path:
        return self.write(relative, ini_text(sections), encoding)

    def copy(self, source, relative: str) -> pathlib.Path:
        target = self.path(relative)
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(source, target)
        return target


def _run(command, env, cwd, timeout, stdin) -> Result:
    completed = subprocess.run(command, env=env, cwd=cwd, timeout=timeout, input=stdin,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return Result(completed.returncode & 0xFF, completed.stdout, completed.stderr)


def _run_to_files(command, env, cwd, timeout, stdin) -> Result:
    """Like _run, with the standard output and error in unnamed files rather than pipes.
    A Windows program that opens a window starts Wine's desktop process, which inherits its
    standard handles and outlives it: a pipe would stay open, and a test wait, as long as that
    process runs."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        completed = subprocess.run(command, env=env, cwd=cwd, timeout=timeout, input=stdin,
                                   stdin=None if stdin is not None else subprocess.DEVNULL, stdout=out, stderr=err)
        out.seek(0)
        err.seek(0)
        return Result(completed.returncode & 0xFF, out.read(), err.read())


class LinuxLauncher:
    """The Linux build copied into a sandbox under a name of the test's choice."""

    def __init__(self, sandbox: Sandbox, relative: str = "app/app"):
        if not KITE_BIN.exists():
            raise unittest.SkipTest(f"{KITE_BIN} is not built")
        self.sandbox = sandbox
        self.path = sandbox.copy(KITE_BIN, relative)
        self.folder = self.path.parent

    def write_ini(self, sections: dict) -> pathlib.Path:
        """Writes the settings file beside the launcher (app -> app.ini)."""
        return self.sandbox.write_ini(str((self.folder / (self.path.stem + ".ini")).relative_to(self.sandbox.root)),
                                      sections)

    def run(self, args=(), env=None, cwd=None, timeout=60, stdin=None, extra_env=None, wrapper=()) -> Result:
        """wrapper: a command that runs the launcher (its arguments follow)."""
        environment = dict(os.environ if env is None else env)
        if env is None:
            # The caller's own Java settings must not decide what a test finds.
            for name in ISOLATED_VARIABLES:
                environment.pop(name, None)
        environment.setdefault("XDG_CONFIG_HOME", str(self.sandbox.path("config")))
        environment.update(extra_env or {})
        return _run([*wrapper, str(self.path), *args], environment, cwd or self.folder, timeout, stdin)


def start_xvfb(numbers: range) -> tuple:
    """An X server of the test's own on the first free display number of numbers (each suite
    takes its own range, so suites that run at once do not meet): (display, process), once
    its socket is there. Skips the calling suite when none is free."""
    if shutil.which("Xvfb") is None:
        raise unittest.SkipTest("Xvfb is not installed (scripts/setup.sh)")
    number = next((n for n in numbers if not os.path.exists(f"/tmp/.X11-unix/X{n}")
                   and not os.path.exists(f"/tmp/.X{n}-lock")), None)
    if number is None:
        raise unittest.SkipTest("no free X display number")
    process = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while not os.path.exists(f"/tmp/.X11-unix/X{number}") and time.monotonic() < deadline:
        time.sleep(0.05)
    return f":{number}", process


def pe_machine(path) -> int | None:
    """The machine field of a PE image's file header, None for anything else."""
    try:
        with open(path, "rb") as image:
            head = image.read(64)
            if len(head) < 64 or head[:2] != b"MZ":
                return None
            image.seek(int.from_bytes(head[60:64], "little"))
            signature = image.read(6)
    except OSError:
        return None
    if len(signature) < 6 or signature[:4] != b"PE\0\0":
        return None
    return int.from_bytes(signature[4:6], "little")


def wine_loader(program) -> str:
    """The Wine loader for a program: the 32-bit one for a 32-bit x86 image, wine64
    for everything else (64-bit images and Wine's own programs such as reg or sc)."""
    return WINE32 if pe_machine(program) == 0x014C else WINE64


@functools.cache
def _i386_probe():
    """scripts/runs_i386.py, which scripts/setup.sh asks too."""
    spec = importlib.util.spec_from_file_location("runs_i386", SOURCE_DIR / "scripts" / "runs_i386.py")
    probe = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(probe)
    return probe


@functools.cache
def executes_i386() -> bool:
    """Whether 32-bit x86 code runs in this process's surroundings, found out by running a tiny
    program: natively, or inside scripts/i386-namespace.sh through qemu-i386-static."""
    return _i386_probe().executes_i386()


def in_i386_namespace() -> bool:
    """Whether this process runs inside scripts/i386-namespace.sh."""
    return os.environ.get("KITE_I386_ROUTE") == "qemu"


def i386_namespace_needed() -> str | None:
    """Where 32-bit code does not run as it is but the qemu route is installed and a private
    namespace can be made: the reason to run the Windows suites inside it; None otherwise.
    tests/e2e/run_suite.py asks this before it runs a Windows suite."""
    if in_i386_namespace() or executes_i386():
        return None
    if not (os.path.exists(QEMU_I386) and os.path.exists(WINE32)):
        return None
    if not _i386_probe().namespace_possible():
        return None
    return "32-bit x86 code runs here through qemu-i386-static in a private namespace (scripts/i386-namespace.sh)"


def i386_route() -> str:
    """How kite.exe runs in this process: "native", "qemu", or "none"."""
    if not executes_i386():
        return "none"
    return "qemu" if in_i386_namespace() else "native"


@dataclass(frozen=True)
class WindowsBuild:
    """One of the two Windows builds: its executable, its test double and its tools."""
    exe_name: str      # kite.exe or kite64.exe
    folder: pathlib.Path
    bits: int          # 32 or 64
    machine: int       # PE machine field of its images: 0x014C or 0x8664

    @property
    def own_view(self) -> int:
        """The registry view the executable reads by itself (reg add /reg:<view>)."""
        return self.bits

    @property
    def other_view(self) -> int:
        """The registry view of the other processor kind, searched only with "Pair Product"."""
        return 96 - self.bits

    @property
    def other(self) -> "WindowsBuild":
        """The paired build: kite64.exe for kite.exe and the other way round."""
        return KITE64 if self.bits == 32 else KITE32

    def why_not_here(self) -> str | None:
        """Why this machine cannot run the build under Wine; None when it can."""
        if not os.path.exists(WINE64):
            return "wine64 is not installed (scripts/setup.sh)"
        if self.bits == 32:
            if not executes_i386():
                if not os.path.exists(QEMU_I386):
                    return ("32-bit x86 code does not run on this machine and qemu-user-static is not installed: "
                            "kite.exe cannot be executed here (scripts/setup.sh says which route it took)")
                return ("32-bit x86 code does not run on this machine, and no private namespace with its own "
                        "binfmt_misc can be made for qemu-i386-static (scripts/runs_i386.py --namespace)")
            if not os.path.exists(WINE32):
                return f"{WINE32} is missing: wine32 is not installed (scripts/setup.sh)"
        return None

    def require(self):
        """Skips the calling test (or suite) when the build cannot run here or is not built."""
        reason = self.why_not_here()
        if reason is not None:
            raise unittest.SkipTest(reason)
        self.exe()

    def exe(self) -> pathlib.Path:
        return self.file(self.exe_name)

    def windowed_exe(self) -> pathlib.Path:
        """The windowed twin (kitew.exe, kitew64.exe): GUI subsystem, errors in a message box."""
        return self.file(self.exe_name.replace("kite", "kitew"))

    def double(self, variant: str = "full") -> pathlib.Path:
        """The test-double jvm.dll of this width (variants: full, no_boot_loader, no_default_args,
        and for the 32-bit build cdecl, whose entry points are declared with the wrong convention)."""
        return self.file("tests", "jvm_double", variant, "jvm.dll")

    def tool(self, name: str) -> pathlib.Path:
        """A Windows test program of this width (tests/win_tools, tests/tools)."""
        for folder in ("win_tools", "tools"):
            if (self.folder / "tests" / folder / name).exists():
                return self.folder / "tests" / folder / name
        return self.file("tests", "win_tools", name)

    def file(self, *parts) -> pathlib.Path:
        path = self.folder.joinpath(*parts)
        if not path.exists():
            raise unittest.SkipTest(f"{path} is not built")
        return path


KITE32 = WindowsBuild("kite.exe", WIN32_DIR, 32, 0x014C)
KITE64 = WindowsBuild("kite64.exe", WIN64_DIR, 64, 0x8664)
_BUILDS = {build.exe_name: build for build in (KITE32, KITE64)}
if os.environ.get("KITE_WINE_EXE", "kite64.exe") not in _BUILDS:
    raise SystemExit(f"KITE_WINE_EXE must be one of {', '.join(_BUILDS)}")
# The Windows executable under test in this process.
TARGET = _BUILDS[os.environ.get("KITE_WINE_EXE", "kite64.exe")]


PREFIX_TEMPLATES = HOST_DIR / "e2e-output" / "wine-templates"


def prefix_problems(prefix: pathlib.Path, with_32bit: bool) -> list:
    """What a usable prefix lacks: the system libraries of each width and the registry files.
    Now and then `wineboot -i` returns at once without having made the prefix, and every later
    start then fails (could not load kernel32.dll)."""
    needed = ["system.reg", "user.reg", "userdef.reg", "drive_c/windows/system32/kernel32.dll"]
    if with_32bit:
        needed.append("drive_c/windows/syswow64/kernel32.dll")
    problems = [name for name in needed if not (prefix / name).is_file() or (prefix / name).stat().st_size == 0]
    if with_32bit and not problems and "Wow6432Node\\\\Microsoft\\\\Windows NT" not in (prefix / "system.reg").read_text(
            encoding="utf-8", errors="replace"):
        problems.append("system.reg without the 32-bit registry view")
    return problems


def _wine_identity() -> str:
    """What a prefix template depends on: the Wine packages and whether 32-bit code runs."""
    parts = [f"route={i386_route()}"]
    for program in (WINE64, WINE32, WINESERVER):
        try:
            info = os.stat(program)
            parts.append(f"{program}:{info.st_size}:{int(info.st_mtime)}")
        except OSError:
            parts.append(f"{program}:missing")
    return "\n".join(parts) + "\n"


def _wine_environment(prefix: pathlib.Path) -> dict:
    env = dict(os.environ)
    env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("DISPLAY", None)
    for name in ISOLATED_VARIABLES:
        env.pop(name, None)
    return env


def _quiet(command, env, timeout) -> int:
    """Runs a Wine command with no pipe of the test as its standard handles."""
    return subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=timeout).returncode


@functools.cache
def prefix_template() -> pathlib.Path:
    """A complete 64-bit prefix (with its 32-bit half where 32-bit code runs), made once per
    build folder and Wine installation by `wineboot -i`, and copied for each suite: making
    one takes half a minute, more through qemu."""
    identity = _wine_identity()
    folder = PREFIX_TEMPLATES / hashlib.sha256(identity.encode()).hexdigest()[:16]
    prefix = folder / "prefix"
    stamp = folder / "identity"
    with_32bit = i386_route() != "none" and os.path.exists(WINE32)
    folder.mkdir(parents=True, exist_ok=True)
    with open(folder / "lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)   # suites of one ctest run may ask at the same time
        if stamp.exists() and stamp.read_text() == identity and not prefix_problems(prefix, with_32bit):
            return prefix
        stamp.unlink(missing_ok=True)
        problems = []
        for _ in range(3):
            shutil.rmtree(prefix, ignore_errors=True)
            env = _wine_environment(prefix)
            try:
                _quiet([WINE64, "wineboot", "-i"], env, 600)
                # The server that wineboot started ends by itself; the registry is on disk then.
                _quiet([WINESERVER, "-w"], env, 300)
            except subprocess.TimeoutExpired:
                _quiet([WINESERVER, "-k"], env, 60)
            problems = prefix_problems(prefix, with_32bit)
            if not problems:
                stamp.write_text(identity)
                return prefix
        raise AssertionError(f"wineboot -i made no complete prefix in {prefix} (missing: {', '.join(problems)})")


# Wine's libraries and programs in a prefix: never written once the prefix is made.
_LINKED_SUFFIXES = {".dll", ".exe", ".drv", ".sys", ".ocx", ".cpl", ".acm", ".tlb", ".ax", ".ds", ".msstyles"}


def copy_prefix(template: pathlib.Path, target: pathlib.Path):
    """A prefix of its own for a suite: a copy of the template, with Wine's libraries and
    programs (about a gigabyte) linked rather than copied; every other file, such as the
    registry and win.ini, is copied, since Wine rewrites those in place. The file
    "wineserver" names the server folder of the template's own session: each copy gets its own."""
    def copy(source, destination):
        if pathlib.PurePath(source).suffix.lower() in _LINKED_SUFFIXES:
            os.link(source, destination)
        else:
            shutil.copy2(source, destination)

    shutil.copytree(template, target, symlinks=True, copy_function=copy,
                    ignore=lambda folder, names: ["wineserver"] if folder == str(template) else [])


class Wine:
    """A private wine prefix for one suite; create in setUpClass, close in tearDownClass.
    The prefix is a 64-bit one: it runs the 32-bit kite.exe as well (WoW64).

    The suite gets a copy of the prefix template and one persistent wineserver, started here
    (so inside scripts/i386-namespace.sh where the suite runs there, and every process it
    starts, services included, can run 32-bit code). Booting starts the service manager and
    RpcSs before the first case, and they stay up.

    Every start of the launcher attaches to the desktop (the common controls it loads do), and
    a desktop without a window needs Wine's desktop process, explorer.exe /desktop, which
    the first one starts. That process ends a moment after the last other process on the
    desktop has ended, so that every start would start it anew and wait for it; and it
    inherits the starter's standard handles, so that a pipe of the test stays open until it
    ends. Its start-up registers with RpcSs: in a session that closes with its last process
    (Debian's wineserver wrapper says -p0) it finds the service manager gone or going, and
    waits up to 2 x 10 s. Here the server and RpcSs stay up, the programs' output goes to
    files (Wine.run), and a console process that stays on the desktop for the whole suite
    (cmd waiting for input that never comes) keeps one desktop process alive from the first
    start on.
    display: the X display of the suite's windows, None for none."""

    def __init__(self, display: str | None = None):
        if not os.path.exists(WINE64):
            raise unittest.SkipTest("wine64 is not installed")
        template = prefix_template()
        self.root = pathlib.Path(tempfile.mkdtemp(prefix="kite-wine-"))
        try:
            prefix = self.root / "prefix"
            copy_prefix(template, prefix)
            with_32bit = i386_route() != "none" and os.path.exists(WINE32)
            problems = prefix_problems(prefix, with_32bit)
            if problems:
                raise AssertionError(f"the copy of the Wine prefix is incomplete: {', '.join(problems)}")
            self.env = _wine_environment(prefix)
            if display is not None:
                self.env["DISPLAY"] = display
            _quiet([WINESERVER, "-p"], self.env, 60)
            # The keeper is on the desktop before booting starts the desktop process.
            self.desktop_keeper = subprocess.Popen([WINE64, "cmd", "/k"], env=self.env, cwd=self.root,
                                                   stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                                   stderr=subprocess.DEVNULL)
            _quiet([WINE64, "wineboot"], self.env, 300)
            if not self.desktop_process_running():
                # A program that asks for the desktop window starts it, with no pipe of the test.
                _quiet([WINE64, "rundll32", "user32.dll,GetDesktopWindow"], self.env, 120)
        except BaseException:
            self.close()
            raise

    def desktop_process_running(self) -> bool:
        """Whether the desktop process of this prefix runs (found by its WINEPREFIX)."""
        wanted = f"WINEPREFIX={self.env['WINEPREFIX']}".encode()
        for entry in pathlib.Path("/proc").iterdir():
            try:
                if (entry.name.isdigit() and b"explorer.exe" in (entry / "cmdline").read_bytes()
                        and wanted in (entry / "environ").read_bytes().split(b"\0")):
                    return True
            except OSError:
                continue
        return False

    def close(self):
        if hasattr(self, "env"):
            _quiet([WINESERVER, "-k"], self.env, 60)
        keeper = getattr(self, "desktop_keeper", None)
        if keeper is not None:
            keeper.stdin.close()
            try:
                keeper.wait(timeout=30)
            except subprocess.TimeoutExpired:
                keeper.kill()
                keeper.wait()
        shutil.rmtree(self.root, ignore_errors=True)

    @staticmethod
    def winpath(path) -> str:
        """The Windows name of a Linux path (drive Z:)."""
        return "Z:" + str(path).replace("/", "\\")

    @staticmethod
    def command(program, args=()) -> list:
        """The command line that runs a Windows program (or one of Wine's own) with its loader."""
        return [wine_loader(program), str(program), *args]

    def run(self, exe, args=(), cwd=None, timeout=60, extra_env=None, stdin=None) -> Result:
        environment = dict(self.env)
        environment.update(extra_env or {})
        return _run_to_files(self.command(exe, args), environment, cwd or pathlib.Path(exe).parent, timeout, stdin)

    def reg(self, *args) -> Result:
        return _run_to_files([WINE64, "reg", *args], self.env, None, 120, None)

    def reg_add(self, key: str, name: str, data: str, view: int | None = None):
        """Adds a string value; key is below HKEY_LOCAL_MACHINE; view 64 or 32, by default
        the own view of the executable under test."""
        view = view or TARGET.own_view
        result = self.reg("add", "HKLM\\" + key, "/v", name, "/d", data, "/f", f"/reg:{view}")
        if result.code != 0:
            raise AssertionError(f"reg add failed: {result.stdout}{result.stderr}")

    def reg_delete(self, key: str, view: int | None = None):
        self.reg("delete", "HKLM\\" + key, "/f", f"/reg:{view or TARGET.own_view}")

    def appdata(self) -> pathlib.Path:
        """The Linux path of the prefix user's APPDATA folder."""
        users = self.root / "prefix" / "drive_c" / "users"
        for user in users.iterdir() if users.exists() else []:
            candidate = user / "AppData" / "Roaming"
            if candidate.exists():
                return candidate
        return users / os.environ.get("USER", "root") / "AppData" / "Roaming"


def target_exe() -> pathlib.Path:
    """The executable under test (TARGET)."""
    return TARGET.exe()


def jvm_double(variant: str = "full") -> pathlib.Path:
    """The test-double jvm.dll of the executable under test's width."""
    return TARGET.double(variant)


def not_through_qemu(why: str):
    """Skips the calling case where kite.exe runs through qemu-i386-static (the qemu route),
    for what the emulator cannot do; why says what, and that kite64.exe runs the case."""
    if TARGET.bits == 32 and i386_route() == "qemu":
        raise unittest.SkipTest(f"not on kite.exe through qemu-i386-static: {why}")


def pair_build() -> WindowsBuild:
    """The paired build of the executable under test, for cases that run both; skips the
    case where that one cannot run here (kite.exe without 32-bit execution)."""
    TARGET.other.require()
    return TARGET.other


def jvm_double_dependency() -> pathlib.Path:
    """The DLL that the with_dependency variant of the double imports."""
    return TARGET.file("tests", "jvm_double", "dependency", "kite_double_dep.dll")


class WineSuite(unittest.TestCase):
    """A suite that runs the executable under test in one private Wine prefix (self.wine);
    needs_double: the suite also needs the test-double jvm.dll."""
    needs_double = False

    @classmethod
    def setUpClass(cls):
        TARGET.require()
        if cls.needs_double:
            jvm_double()
        cls.wine = Wine()

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()


class WineLauncher:
    """The executable under test (or the build given) copied into a sandbox as app.exe
    (or another name) beside its INI."""

    def __init__(self, wine: Wine, sandbox: Sandbox, relative: str = "app/app.exe",
                 build: WindowsBuild | None = None, windowed: bool = False):
        self.wine = wine
        self.sandbox = sandbox
        self.build = build or TARGET
        self.path = sandbox.copy(self.build.windowed_exe() if windowed else self.build.exe(), relative)
        self.folder = self.path.parent

    def write_ini(self, sections: dict, encoding: str = "utf-8") -> pathlib.Path:
        name = self.path.stem + ".ini"
        return self.sandbox.write_ini(str((self.folder / name).relative_to(self.sandbox.root)), sections, encoding)

    def command(self, args=()) -> list:
        """The command line that starts it, for tests that keep it running (subprocess.Popen)."""
        return Wine.command(self.path, args)

    def run(self, args=(), cwd=None, timeout=60, extra_env=None) -> Result:
        return self.wine.run(self.path, args, cwd=cwd, timeout=timeout, extra_env=extra_env)
