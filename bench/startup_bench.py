#!/usr/bin/env python3
"""Start-up of the Linux launcher against the JDK's own java command.

Both start the same class (bench/StartupProbe.java) with the same class path
and the same VM options on the same JDK, alternately, --runs times each. For
every run three figures are taken:

  to main   wall-clock time from just before the process is spawned until main
            is entered (the probe prints Instant.now() as its first action)
  process   wall-clock time from the spawn until the process has ended
  peak RSS  the process's peak resident memory (the kernel's maximum RSS)

The medians, the ratios kite/java of the medians and the peak-memory
difference are printed. Once per runtime, when strace is installed, both are
also run under strace, which counts the system calls each makes before it
opens the JVM library: what the launcher itself does before the VM's work.

Every runtime given with --jdk is measured in the same run; without --jdk,
OpenJDK 17 and every newer runtime under /usr/lib/jvm.

Usage: bench/startup_bench.py [--kite build/host/kite] [--jdk HOME ...]
                              [--runs 20] [--vm-options "-Xmx64m"]
"""

import argparse
import os
import pathlib
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]


def prepare(folder: pathlib.Path, kite: pathlib.Path, jdk: pathlib.Path, vm_options: str):
    classes = folder / "classes"
    subprocess.run([str(jdk / "bin" / "javac"), "-d", str(classes), str(ROOT / "bench" / "StartupProbe.java")],
                   check=True)
    launcher = folder / "probe"
    shutil.copy2(kite, launcher)
    ini = ["[Java Runtime Environment]", "Main Class=StartupProbe", "Maximum Version=any", f"JRE Path={jdk}"]
    if vm_options:
        ini.append(f"Virtual Machine Parameters={vm_options}")
    ini += ["", "[Class Path]", f"Class Path={classes}", ""]
    (folder / "probe.ini").write_text("\r\n".join(ini))
    java = [str(jdk / "bin" / "java"), "-cp", str(classes), *shlex.split(vm_options), "StartupProbe"]
    return [str(launcher)], java


def measure(command) -> tuple:
    """(ms to main, ms for the whole process, peak RSS in MiB) of one run."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        started = time.time_ns()
        process = subprocess.Popen(command, stdout=out, stderr=err)
        # wait4 reaps this one child and reports its own peak RSS.
        _, status, usage = os.wait4(process.pid, 0)
        ended = time.time_ns()
        process.returncode = code = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        stdout, stderr = out.read(), err.read()
    if code != 0:
        raise SystemExit(f"{command[0]} failed ({code}): {stdout!r} {stderr!r}")
    entered = int(stdout.split()[0])
    return (entered - started) / 1e6, (ended - started) / 1e6, usage.ru_maxrss / 1024


def syscalls_before_jvm(command) -> int | None:
    """System calls (of every thread) before the JVM library is opened, or None without strace."""
    if not shutil.which("strace"):
        return None
    with tempfile.NamedTemporaryFile(mode="r") as trace:
        subprocess.run(["strace", "-f", "-o", trace.name, *command], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
        for count, line in enumerate(trace):
            if "libjvm.so" in line and "open" in line and not line.rstrip().endswith(("ENOENT (No such file or "
                                                                                        "directory)",)):
                return count
    return None


def runtime_version(jdk: pathlib.Path) -> int:
    """The feature version from the runtime's release file, 0 when unknown."""
    try:
        for line in (jdk / "release").read_text().splitlines():
            if line.startswith("JAVA_VERSION="):
                return int(line.split("=", 1)[1].strip('"').split(".")[0])
    except (OSError, ValueError):
        pass
    return 0


def default_runtimes() -> list:
    """OpenJDK 17 and every newer runtime under /usr/lib/jvm, each once."""
    found = {}
    for home in sorted(pathlib.Path("/usr/lib/jvm").glob("*")):
        real = home.resolve()
        if (real / "bin" / "java").exists() and (real / "bin" / "javac").exists() and runtime_version(real) >= 17:
            found.setdefault(real, home)
    return list(found.values())


def bench(options, jdk: pathlib.Path) -> None:
    with tempfile.TemporaryDirectory(prefix="kite-bench-") as temporary:
        kite, java = prepare(pathlib.Path(temporary), options.kite, jdk, options.vm_options)
        for command in (kite, java):  # warm the file cache and the JDK's class data
            measure(command)
        samples = {"kite": [], "java": []}
        for _ in range(options.runs):
            samples["kite"].append(measure(kite))
            samples["java"].append(measure(java))
        calls = {"kite": syscalls_before_jvm(kite), "java": syscalls_before_jvm(java)}

    print(f"{options.runs} runs each, alternating; JDK {jdk} (Java {runtime_version(jdk)}); "
          f"VM options: {options.vm_options or '(none)'}")
    print(f"{'':10}{'to main (ms)':>14}{'process (ms)':>14}{'peak RSS (MiB)':>16}{'calls before JVM':>18}")
    medians = {}
    for name, runs in samples.items():
        medians[name] = [statistics.median(r[i] for r in runs) for i in range(3)]
        count = "-" if calls[name] is None else str(calls[name])
        print(f"{name:10}{medians[name][0]:14.1f}{medians[name][1]:14.1f}{medians[name][2]:16.1f}{count:>18}")
    ratios = [k / j for k, j in zip(medians["kite"], medians["java"])]
    print(f"{'kite/java':10}{ratios[0]:14.3f}{ratios[1]:14.3f}{ratios[2]:16.3f}")
    print(f"{'kite-java':10}{'':28}{medians['kite'][2] - medians['java'][2]:+16.2f}")
    print()


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--kite", type=pathlib.Path, default=ROOT / "build" / "host" / "kite")
    parser.add_argument("--jdk", type=pathlib.Path, action="append",
                        help="a runtime's home; repeat for several (default: OpenJDK 17 and newer ones)")
    parser.add_argument("--runs", type=int, default=20)
    parser.add_argument("--vm-options", default="")
    options = parser.parse_args()
    if options.runs < 1:
        parser.error("--runs must be at least 1")
    for jdk in options.jdk or default_runtimes():
        bench(options, jdk)
    return 0


if __name__ == "__main__":
    sys.exit(main())
