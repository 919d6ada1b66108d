"""Runs one end-to-end suite for ctest. A suite none of whose cases could run
here ends with 77, which ctest reports as skipped, never as passed.

A Windows suite (test_wine_*.py) runs on the executable that KITE_WINE_EXE
names (kite64.exe or kite.exe); it prints how many of its cases ran there and
keeps that count for the summary at the end of the ctest run
(CTestCustom.cmake, written by tests/CMakeLists.txt).

Where 32-bit x86 code does not run natively but the qemu route is installed
(scripts/setup.sh), a Windows suite runs whole inside scripts/i386-namespace.sh,
on either executable: kite.exe needs it, and kite64.exe starts kite.exe in the
cases of the real pair. Inside, a kite.exe suite whose probe still cannot run
32-bit code fails: the route is there and broken, which a skip would hide.

    run_suite.py <test_x.py>         run the suite
    run_suite.py --begin <folder>    forget the counts of an earlier ctest run
    run_suite.py --summary <folder>  how many Windows cases ran and were skipped per executable
(<folder>: e2e-output/wine-cases in the host build folder, where the suites write)
"""

import importlib
import json
import os
import pathlib
import shutil
import sys
import unittest

import harness

SKIPPED = 77  # SKIP_RETURN_CODE of the suites in tests/CMakeLists.txt
COUNTS = harness.HOST_DIR / "e2e-output" / "wine-cases"


def run(suite_file: str) -> int:
    name = pathlib.Path(suite_file).stem
    windows = "KITE_WINE_EXE" in os.environ
    if windows and harness.i386_namespace_needed():
        namespace = harness.SOURCE_DIR / "scripts" / "i386-namespace.sh"
        sys.stdout.flush()
        os.execv("/bin/bash", ["bash", str(namespace), sys.executable, os.path.abspath(__file__), suite_file])
    cases = unittest.defaultTestLoader.loadTestsFromModule(importlib.import_module(name))
    total = cases.countTestCases()
    reason = harness.TARGET.why_not_here() if windows else None
    if windows and harness.TARGET.bits == 32 and harness.in_i386_namespace() and not harness.executes_i386():
        print(f"{name} on {harness.TARGET.exe_name}: FAILED: inside scripts/i386-namespace.sh 32-bit x86 code "
              "still does not run (qemu-i386-static and its binfmt_misc rule)", flush=True)
        return 1
    if reason is None:
        result = unittest.TextTestRunner(verbosity=2).run(cases)
        # Cases that ran to an outcome; a class whose set-up skipped holds none of them.
        ran = result.testsRun - sum(1 for test, _ in result.skipped if isinstance(test, unittest.TestCase))
        reasons = sorted({why for _, why in result.skipped})
        code = 0 if result.wasSuccessful() else 1
    else:
        ran, reasons, code = 0, [reason], 0
    route = f" (32-bit code: {harness.i386_route()})" if windows and harness.TARGET.bits == 32 else ""
    line = f"{name}{f' on {harness.TARGET.exe_name}' if windows else ''}: {ran} of {total} cases ran{route}"
    if total > ran:
        line += f", {total - ran} skipped ({'; '.join(reasons)})"
    print(line, flush=True)
    if windows:
        COUNTS.mkdir(parents=True, exist_ok=True)
        (COUNTS / f"{name}.{harness.TARGET.exe_name}.json").write_text(json.dumps(
            {"exe": harness.TARGET.exe_name, "ran": ran, "skipped": total - ran, "reasons": reasons,
             "route": harness.i386_route()}))
    return SKIPPED if code == 0 and ran == 0 else code


def begin(folder: pathlib.Path):
    shutil.rmtree(folder, ignore_errors=True)


def summary(folder: pathlib.Path):
    counts = [json.loads(path.read_text()) for path in sorted(folder.glob("*.json"))]
    for build in (harness.KITE64, harness.KITE32):
        mine = [count for count in counts if count["exe"] == build.exe_name]
        if not mine:
            continue
        ran = sum(count["ran"] for count in mine)
        skipped = sum(count["skipped"] for count in mine)
        line = f"Windows cases on {build.exe_name}: {ran} ran, {skipped} skipped, in {len(mine)} suites"
        if build.bits == 32:
            routes = sorted({count.get("route", "none") for count in mine})
            line += f" (32-bit code: {', '.join(routes)})"
        reasons = sorted({reason for count in mine if count["skipped"] for reason in count["reasons"]})
        if reasons:
            line += f" (skipped: {'; '.join(reasons)})"
        print(line)


if __name__ == "__main__":
    if sys.argv[1] == "--begin":
        begin(pathlib.Path(sys.argv[2]))
    elif sys.argv[1] == "--summary":
        summary(pathlib.Path(sys.argv[2]))
    else:
        sys.exit(run(sys.argv[1]))
