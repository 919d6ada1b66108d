"""Shared helpers of the end-to-end suites.

A suite copies a launcher build beside an INI file in a temporary folder,
runs it (natively on Linux, under wine64 for kite64.exe) and looks at its
standard output, standard error and exit code.

Environment (set by ctest, see tests/CMakeLists.txt):
  KITE_BIN         the Linux build of the launcher
  KITE_WIN64_DIR   build folder of kite64.exe (and the Windows test tools)
  KITE_WIN32_DIR   build folder of kite.exe
  KITE_HOST_DIR    the host build folder
  KITE_SOURCE_DIR  the source tree
"""

import os
import pathlib
import shutil
import subprocess
import tempfile
import unittest
from dataclasses import dataclass

WINE64 = "/usr/lib/wine/wine64"
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver64"

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

    def run(self, args=(), env=None, cwd=None, timeout=60, stdin=None, extra_env=None) -> Result:
        environment = dict(os.environ if env is None else env)
        if env is None:
            # The caller's own Java settings must not decide what a test finds.
            for name in ISOLATED_VARIABLES:
                environment.pop(name, None)
        environment.setdefault("XDG_CONFIG_HOME", str(self.sandbox.path("config")))
        environment.update(extra_env or {})
        return _run([str(self.path), *args], environment, cwd or self.folder, timeout, stdin)


class Wine:
    """A private wine prefix for one suite; create in setUpClass, close in tearDownClass."""

    def __init__(self):
        if not os.path.exists(WINE64):
            raise unittest.SkipTest("wine64 is not installed")
        self.root = pathlib.Path(tempfile.mkdtemp(prefix="kite-wine-"))
        self.env = dict(os.environ)
        self.env.update(WINEPREFIX=str(self.root / "prefix"), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("DISPLAY", None)
        for name in ISOLATED_VARIABLES:
            self.env.pop(name, None)
        # The first start creates the prefix.
        subprocess.run([WINE64, "wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300)

    def close(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.root, ignore_errors=True)

    @staticmethod
    def winpath(path) -> str:
        """The Windows name of a Linux path (drive Z:)."""
        return "Z:" + str(path).replace("/", "\\")

    def run(self, exe, args=(), cwd=None, timeout=60, extra_env=None, stdin=None) -> Result:
        environment = dict(self.env)
        environment.update(extra_env or {})
        return _run([WINE64, str(exe), *args], environment, cwd or pathlib.Path(exe).parent, timeout, stdin)

    def reg(self, *args) -> Result:
        return _run([WINE64, "reg", *args], self.env, None, 120, None)

    def reg_add(self, key: str, name: str, data: str, view: int = 64):
        """Adds a string value; key is below HKEY_LOCAL_MACHINE; view 64 or 32."""
        result = self.reg("add", "HKLM\\" + key, "/v", name, "/d", data, "/f", f"/reg:{view}")
        if result.code != 0:
            raise AssertionError(f"reg add failed: {result.stdout}{result.stderr}")

    def reg_delete(self, key: str, view: int = 64):
        self.reg("delete", "HKLM\\" + key, "/f", f"/reg:{view}")

    def appdata(self) -> pathlib.Path:
        """The Linux path of the prefix user's APPDATA folder."""
        users = self.root / "prefix" / "drive_c" / "users"
        for user in users.iterdir() if users.exists() else []:
            candidate = user / "AppData" / "Roaming"
            if candidate.exists():
                return candidate
        return users / os.environ.get("USER", "root") / "AppData" / "Roaming"


def win64_exe() -> pathlib.Path:
    exe = WIN64_DIR / "kite64.exe"
    if not exe.exists():
        raise unittest.SkipTest(f"{exe} is not built")
    return exe


def jvm_double(variant: str = "full") -> pathlib.Path:
    """The test-double jvm.dll of the win64 build (variants: full, no_boot_loader, no_default_args,
    with_dependency, which imports the DLL jvm_double_dependency() names)."""
    dll = WIN64_DIR / "tests" / "jvm_double" / variant / "jvm.dll"
    if not dll.exists():
        raise unittest.SkipTest(f"{dll} is not built")
    return dll


def jvm_double_dependency() -> pathlib.Path:
    """The DLL that the with_dependency variant of the double imports."""
    dll = WIN64_DIR / "tests" / "jvm_double" / "dependency" / "kite_double_dep.dll"
    if not dll.exists():
        raise unittest.SkipTest(f"{dll} is not built")
    return dll


class WineSuite(unittest.TestCase):
    """A suite that runs kite64.exe in one private Wine prefix (self.wine);
    needs_double: the suite also needs the test-double jvm.dll."""
    needs_double = False

    @classmethod
    def setUpClass(cls):
        win64_exe()
        if cls.needs_double:
            jvm_double()
        cls.wine = Wine()

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()


class WineLauncher:
    """kite64.exe copied into a sandbox as app.exe (or another name) beside its INI."""

    def __init__(self, wine: Wine, sandbox: Sandbox, relative: str = "app/app.exe"):
        self.wine = wine
        self.sandbox = sandbox
        self.path = sandbox.copy(win64_exe(), relative)
        self.folder = self.path.parent

    def write_ini(self, sections: dict, encoding: str = "utf-8") -> pathlib.Path:
        name = self.path.stem + ".ini"
        return self.sandbox.write_ini(str((self.folder / name).relative_to(self.sandbox.root)), sections, encoding)

    def run(self, args=(), cwd=None, timeout=60, extra_env=None) -> Result:
        return self.wine.run(self.path, args, cwd=cwd, timeout=timeout, extra_env=extra_env)
