#!/usr/bin/env python3
"""Wall time of a real application started by `java` and by Kite with
"Class Data Archive=Yes", once Kite's first start has written the archive.

The workload is the JDK's own compiler (main class com.sun.tools.javac.Main,
which ends through System.exit) compiling one small source file; it loads a
few thousand classes. Both commands use the same JDK, class path and VM
options. Kite's cache folder is a fresh temporary folder (XDG_CACHE_HOME).

Printed: the first (archive-writing) Kite start against the median `java`
start, then --pairs alternating pairs and the ratio of the medians of the
wall time until the process has ended.

Usage: bench/cds_bench.py [--kite build/host/kite] [--jdk /usr/lib/jvm/java-17-openjdk-amd64]
                          [--pairs 20] [--vm-options "-Xmx256m"]
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


def prepare(folder: pathlib.Path, kite: pathlib.Path, jdk: pathlib.Path, vm_options: str):
    source = folder / "Work.java"
    source.write_text(SOURCE)
    # A one-class jar: Kite needs a class path, and java gets the same one.
    (folder / "lib").mkdir()
    (folder / "Marker.java").write_text("public class Marker {}\n")
    subprocess.run([str(jdk / "bin" / "javac"), "-d", str(folder / "marker"), str(folder / "Marker.java")], check=True)
    jar = folder / "lib" / "marker.jar"
    subprocess.run([str(jdk / "bin" / "jar"), "cf", str(jar), "-C", str(folder / "marker"), "."], check=True)
    arguments = ["-d", str(folder / "out"), str(source)]
    launcher = folder / "javac-kite"
    shutil.copy2(kite, launcher)
    ini = ["[Java Runtime Environment]", "Main Class=com.sun.tools.javac.Main", "Maximum Version=any",
           f"JRE Path={jdk}", "Class Data Archive=Yes"]
    if vm_options:
        ini.append(f"Virtual Machine Parameters={vm_options}")
    ini += ["", "[Class Path]", f"Class Path={jar}", ""]
    (folder / "javac-kite.ini").write_text("\r\n".join(ini))
    java = [str(jdk / "bin" / "java"), "-cp", str(jar), *shlex.split(vm_options), "com.sun.tools.javac.Main",
            *arguments]
    return [str(launcher), *arguments], java


def measure(command, env) -> float:
    """Milliseconds from the spawn until the process has ended."""
    started = time.perf_counter_ns()
    completed = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    elapsed = (time.perf_counter_ns() - started) / 1e6
    if completed.returncode != 0 or completed.stdout or completed.stderr:
        raise SystemExit(f"{command[0]} failed ({completed.returncode}): {completed.stdout!r} {completed.stderr!r}")
    return elapsed


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--kite", type=pathlib.Path, default=ROOT / "build" / "host" / "kite")
    parser.add_argument("--jdk", type=pathlib.Path, default=pathlib.Path("/usr/lib/jvm/java-17-openjdk-amd64"))
    parser.add_argument("--pairs", type=int, default=20)
    parser.add_argument("--vm-options", default="")
    options = parser.parse_args()
    if options.pairs < 1:
        parser.error("--pairs must be at least 1")

    with tempfile.TemporaryDirectory(prefix="kite-cds-bench-") as temporary:
        folder = pathlib.Path(temporary)
        kite, java = prepare(folder, options.kite, options.jdk, options.vm_options)
        env = {k: v for k, v in os.environ.items() if k not in ("JAVA_HOME", "KITE_TRACE", "JAVA_TOOL_OPTIONS")}
        env["XDG_CACHE_HOME"] = str(folder / "cache")
        env["XDG_CONFIG_HOME"] = str(folder / "config")
        first_java = [measure(java, env) for _ in range(3)]  # also warms the file cache
        first_kite = measure(kite, env)  # writes the archive
        archives = [p.name for p in (folder / "cache").rglob("*.jsa")]
        if len(archives) != 1:
            raise SystemExit(f"the first Kite start left {archives} in the cache folder")
        samples = {"java": [], "kite": []}
        for _ in range(options.pairs):
            samples["java"].append(measure(java, env))
            samples["kite"].append(measure(kite, env))

    medians = {name: statistics.median(runs) for name, runs in samples.items()}
    print(f"JDK {options.jdk}; VM options: {options.vm_options or '(none)'}; workload: javac Work.java")
    print(f"first Kite start (writes the archive): {first_kite:.0f} ms, "
          f"{first_kite / statistics.median(first_java):.2f}x the java median of its 3 warm-up runs")
    print(f"{options.pairs} alternating pairs, wall time to the end of the process (median, ms):")
    print(f"  java {medians['java']:8.1f}")
    print(f"  kite {medians['kite']:8.1f}   (archive {archives[0]})")
    print(f"  kite/java {medians['kite'] / medians['java']:.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
