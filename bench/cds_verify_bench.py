#!/usr/bin/env python3
"""What -XX:+VerifySharedSpaces costs a start that maps a dynamic class-data
archive: the JVM then checks the CRC of every archive region it maps (the
runtime's own classes.jsa and the dynamic archive) before using it.

The workload is the one of bench/cds_bench.py: the JDK's own compiler
compiling one small source file. The archive is written once with
-XX:ArchiveClassesAtExit; then each round starts `java` three ways, in an
order that rotates from round to round so that none always runs first:

  plain    no archive option (the runtime's own archive only)
  archive  -XX:SharedArchiveFile=<the dynamic archive>
  verify   the same plus -XX:+VerifySharedSpaces

Printed per way: the medians of the wall time until the process has ended
and of the CPU time it used (user and system, all its threads), the wall
ratio to plain, and verify minus archive in milliseconds. On a busy machine
the CPU time is the steadier of the two.

Usage: bench/cds_verify_bench.py [--jdk /usr/lib/jvm/java-17-openjdk-amd64] [--rounds 20]
"""

import argparse
import os
import pathlib
import resource
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from cds_bench import SOURCE  # noqa: E402


def cpu_of_children() -> float:
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (usage.ru_utime + usage.ru_stime) * 1e3


def measure(command, env) -> tuple:
    """Milliseconds from the spawn until the process has ended, and the CPU
    milliseconds it used; the children run one at a time, so the difference of
    the children's totals is this one's."""
    cpu_before = cpu_of_children()
    started = time.perf_counter_ns()
    completed = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    elapsed = (time.perf_counter_ns() - started) / 1e6
    if completed.returncode != 0 or completed.stdout or completed.stderr:
        raise SystemExit(f"{command[0]} failed ({completed.returncode}): {completed.stdout!r} {completed.stderr!r}")
    return elapsed, cpu_of_children() - cpu_before


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--jdk", type=pathlib.Path, default=pathlib.Path("/usr/lib/jvm/java-17-openjdk-amd64"))
    parser.add_argument("--rounds", type=int, default=20)
    options = parser.parse_args()
    if options.rounds < 1:
        parser.error("--rounds must be at least 1")

    env = {k: v for k, v in os.environ.items() if k not in ("JAVA_HOME", "JAVA_TOOL_OPTIONS", "JDK_JAVA_OPTIONS")}
    with tempfile.TemporaryDirectory(prefix="kite-cds-verify-") as temporary:
        folder = pathlib.Path(temporary)
        source = folder / "Work.java"
        source.write_text(SOURCE)
        archive = folder / "work.jsa"
        java = [str(options.jdk / "bin" / "java")]
        work = ["-Xlog:cds*=off", "com.sun.tools.javac.Main", "-d", str(folder / "out"), str(source)]
        subprocess.run([*java, f"-XX:ArchiveClassesAtExit={archive}", *work], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not archive.exists():
            raise SystemExit(f"{options.jdk} wrote no archive")
        commands = {
            "plain": [*java, *work],
            "archive": [*java, f"-XX:SharedArchiveFile={archive}", *work],
            "verify": [*java, f"-XX:SharedArchiveFile={archive}", "-XX:+VerifySharedSpaces", *work],
        }
        names = list(commands)
        for name in names:  # warms the file cache
            measure(commands[name], env)
        samples = {name: [] for name in names}
        for round_number in range(options.rounds):
            for i in range(len(names)):
                name = names[(round_number + i) % len(names)]
                samples[name].append(measure(commands[name], env))
        size = archive.stat().st_size

    wall = {name: statistics.median(run[0] for run in runs) for name, runs in samples.items()}
    cpu = {name: statistics.median(run[1] for run in runs) for name, runs in samples.items()}
    print(f"JDK {options.jdk}; workload: javac Work.java; dynamic archive {size / 1e6:.1f} MB")
    print(f"{options.rounds} rounds, medians (ms):       wall      CPU   wall/plain")
    for name in names:
        print(f"  {name:8s}                 {wall[name]:8.1f} {cpu[name]:8.1f}   {wall[name] / wall['plain']:.3f}")
    for label, figures in (("wall", wall), ("CPU", cpu)):
        difference = figures["verify"] - figures["archive"]
        print(f"  verify - archive, {label}: {difference:+.1f} ms ({difference / figures['archive'] * 100:+.1f} %)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
