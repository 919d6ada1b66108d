#!/usr/bin/env python3
"""Start-up of real applications started by `java` and by Kite with
"Class Data Archive=Yes", once Kite's first start has had the archive made.

Two workloads: the JDK's own compiler (main class com.sun.tools.javac.Main,
which ends through System.exit) compiling one small source file, which loads
a few thousand classes; and hello world. Both commands use the same JDK,
class path and VM options. Kite's cache folder is a fresh temporary folder
(XDG_CACHE_HOME). On 24 and later the archive (the ahead-of-time cache) is
made by a helper after the first start has ended: the script waits for it.

Printed per runtime and workload: the first (recording) Kite start against
the median `java` start, then --pairs alternating pairs and the ratios of
the medians of the wall time and of the CPU time (user + system of the
process and its children) until the process has ended.

Usage: bench/cds_bench.py [--kite build/host/kite] [--jdk HOME ...]
                          [--pairs 20] [--vm-options "-Xmx256m"]
"""

import argparse
import os
import pathlib
import resource
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]
HELLO = """public class Hello {
    public static void main(String[] args) {
        System.out.println("hello");
    }
}
"""
SOURCE = """import java.util.*;
import java.util.stream.*;
public class Work {
    record Pair(String name, int size) {}
    public static void main(String[] args) {
        List<Pair> pairs = Stream.of(args).map(a -> new Pair(a, a.length())).collect(Collectors.toList());
        System.out.println(pairs.stream().mapToInt(Pair::size).sum());
    }
}
"""


def prepare(folder: pathlib.Path, kite: pathlib.Path, jdk: pathlib.Path, vm_options: str, workload: str):
    source = folder / "Work.java"
    source.write_text(SOURCE)
    # A one-class jar: Kite needs a class path, and java gets the same one.
    (folder / "lib").mkdir()
    (folder / "Marker.java").write_text("public class Marker {}\n")
    subprocess.run([str(jdk / "bin" / "javac"), "-d", str(folder / "marker"), str(folder / "Marker.java")], check=True)
    arguments = ["-d", str(folder / "out"), str(source)]
    main_class = "com.sun.tools.javac.Main"
    if workload == "hello":
        (folder / "hello").mkdir()
        (folder / "hello" / "Hello.java").write_text(HELLO)
        subprocess.run([str(jdk / "bin" / "javac"), "-d", str(folder / "marker"), str(folder / "hello" / "Hello.java")],
                       check=True)
        arguments, main_class = [], "Hello"
    jar = folder / "lib" / "marker.jar"
    subprocess.run([str(jdk / "bin" / "jar"), "cf", str(jar), "-C", str(folder / "marker"), "."], check=True)
    launcher = folder / "javac-kite"
    shutil.copy2(kite, launcher)
    ini = ["[Java Runtime Environment]", f"Main Class={main_class}", "Maximum Version=any",
           f"JRE Path={jdk}", "Class Data Archive=Yes"]
    if vm_options:
        ini.append(f"Virtual Machine Parameters={vm_options}")
    ini += ["", "[Class Path]", f"Class Path={jar}", ""]
    (folder / "javac-kite.ini").write_text("\r\n".join(ini))
    java = [str(jdk / "bin" / "java"), "-cp", str(jar), *shlex.split(vm_options), main_class, *arguments]
    return [str(launcher), *arguments], java


def measure(command, env) -> float:
    """Milliseconds of wall time from the spawn until the process has ended."""
    started = time.perf_counter_ns()
    completed = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    elapsed = (time.perf_counter_ns() - started) / 1e6
    if completed.returncode != 0 or completed.stderr or completed.stdout not in (b"", b"hello\n"):
        raise SystemExit(f"{command[0]} failed ({completed.returncode}): {completed.stdout!r} {completed.stderr!r}")
    return elapsed


def run_timed(command, env):
    """(wall ms, CPU ms) of one start; the CPU time of the child alone."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    wall = measure(command, env)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) * 1000
    return wall, cpu


def wait_for_archive(cache: pathlib.Path):
    """The archive once it is whole: no temporary file left beside it."""
    deadline = time.monotonic() + 300
    while time.monotonic() < deadline:
        names = [p.name for p in cache.rglob("*") if p.is_file()]
        if names and all(name.endswith((".jsa", ".aot")) for name in names):
            return names
        time.sleep(0.1)
    raise SystemExit(f"no archive made: {[p.name for p in cache.rglob('*')]}")


def bench(kite_path, jdk, vm_options, workload, pairs):
    with tempfile.TemporaryDirectory(prefix="kite-cds-bench-") as temporary:
        folder = pathlib.Path(temporary)
        kite, java = prepare(folder, kite_path, jdk, vm_options, workload)
        env = {k: v for k, v in os.environ.items() if k not in ("JAVA_HOME", "KITE_TRACE", "JAVA_TOOL_OPTIONS")}
        env["XDG_CACHE_HOME"] = str(folder / "cache")
        env["XDG_CONFIG_HOME"] = str(folder / "config")
        warm = [run_timed(java, env) for _ in range(3)]  # also warms the file cache
        first = run_timed(kite, env)  # records, or writes the archive at exit
        archives = wait_for_archive(folder / "cache")
        if len(archives) != 1:
            raise SystemExit(f"the first Kite start left {archives} in the cache folder")
        samples = {"java": [], "kite": []}
        for _ in range(pairs):
            samples["java"].append(run_timed(java, env))
            samples["kite"].append(run_timed(kite, env))
    wall = {name: statistics.median(s[0] for s in runs) for name, runs in samples.items()}
    cpu = {name: statistics.median(s[1] for s in runs) for name, runs in samples.items()}
    warm_wall = statistics.median(s[0] for s in warm)
    print(f"{jdk.name} {workload}: first Kite start {first[0]:.0f} ms = {first[0] / warm_wall:.2f}x java (wall), "
          f"archive {archives[0]}")
    print(f"  {pairs} pairs, medians: java {wall['java']:.1f} ms wall / {cpu['java']:.0f} ms CPU; "
          f"kite {wall['kite']:.1f} ms wall / {cpu['kite']:.0f} ms CPU")
    print(f"  kite/java: wall {wall['kite'] / wall['java']:.3f}, CPU {cpu['kite'] / cpu['java']:.3f}")
    sys.stdout.flush()


def installed_runtimes():
    """OpenJDK 17 and every other runtime under /usr/lib/jvm with a compiler, once each."""
    homes = []
    for home in sorted(pathlib.Path("/usr/lib/jvm").iterdir()):
        real = home.resolve()
        if (real / "bin" / "javac").exists() and (real / "lib" / "server").exists() and real not in homes:
            homes.append(real)
    return homes


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--kite", type=pathlib.Path, default=ROOT / "build" / "host" / "kite")
    parser.add_argument("--jdk", type=pathlib.Path, action="append",
                        help="a runtime's home; repeat it; default: every runtime under /usr/lib/jvm")
    parser.add_argument("--workload", choices=("javac", "hello"), action="append",
                        help="default: both")
    parser.add_argument("--pairs", type=int, default=20)
    parser.add_argument("--vm-options", default="")
    options = parser.parse_args()
    if options.pairs < 1:
        parser.error("--pairs must be at least 1")
    print(f"VM options: {options.vm_options or '(none)'}; CPU time: user + system of each process")
    for jdk in options.jdk or installed_runtimes():
        for workload in options.workload or ("javac", "hello"):
            bench(options.kite, jdk, options.vm_options, workload, options.pairs)
    return 0


if __name__ == "__main__":
    sys.exit(main())
