#!/usr/bin/env bash
# Builds the release archives into dist/ and checks what they hold:
#   kite-<version>-windows.zip        kite.exe, kite64.exe, kitew.exe, kitew64.exe,
#                                     kite-brand.exe, app.ini, README.md, LICENSE, docs/
#   kite-<version>-linux-x86_64.tar.gz  kite and kite-brand (stripped), app.ini, README.md,
#                                     LICENSE, docs/
# The version is the CMake project version. Checked before packing: PE machine
# and subsystem of each exe, no debug sections or symbols, kite.exe and
# kitew.exe at most 512 KB, the Linux builds stripped, every documented key in
# the sample app.ini, and a CHANGELOG.md entry for the version. The checks of
# the executables are scripts/release_checks.py's.
#
#   scripts/package.sh [--no-build] [--dist DIR]
#     --no-build  packs what build/ holds (the ctest entry uses it)
#     --dist DIR  writes the archives to DIR instead of dist/
# Ends with 0 and "package: all checks passed" only when every check passed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=1
dist=dist
while [ $# -gt 0 ]; do
  case "$1" in
    --no-build) build=0 ;;
    --dist) dist="$2"; shift ;;
    *) echo "usage: scripts/package.sh [--no-build] [--dist DIR]" >&2; exit 2 ;;
  esac
  shift
done
[ "$build" = 0 ] || bash scripts/build.sh host win32 win64
mkdir -p "$dist"
exec python3 - "$dist" <<'EOF'
import io, pathlib, re, shutil, struct, subprocess, sys, tarfile, tempfile, zipfile

sys.path.insert(0, str(pathlib.Path.cwd() / "scripts"))
from release_checks import executable_checks

dist = pathlib.Path(sys.argv[1]).resolve()
source = pathlib.Path.cwd()
version = re.search(r"project\(kite VERSION ([0-9.]+)", (source / "CMakeLists.txt").read_text()).group(1)
failures = []


def check(ok: bool, what: str):
    print(f"package: {'ok  ' if ok else 'FAIL'} {what}")
    if not ok:
        failures.append(what)


# name, build folder, machine, subsystem (3 console, 2 GUI), size limit
EXECUTABLES = [
    ("kite.exe", "win32", 0x014C, 3, 512 * 1024),
    ("kitew.exe", "win32", 0x014C, 2, 512 * 1024),
    ("kite64.exe", "win64", 0x8664, 3, None),
    ("kitew64.exe", "win64", 0x8664, 2, None),
    ("kite-brand.exe", "win64", 0x8664, 3, None),
]
for name, folder, machine, subsystem, limit in EXECUTABLES:
    path = source / "build" / folder / name
    if not path.exists():
        check(False, f"{name}: built ({path} is missing)")
        continue
    for ok, what in executable_checks(name, path.read_bytes(), machine, subsystem, limit):
        check(ok, what)

# The sample settings file names every key of the "The keys" tables.
configuration = (source / "docs" / "configuration.md").read_text(encoding="utf-8")
keys_part = configuration.split("## The keys", 1)[1].split("\n## ", 1)[0]
documented = re.findall(r"^\| ([A-Z][A-Za-z ]+?) \|", keys_part, re.MULTILINE)
documented = [key for key in documented if key != "Key"]
sample = (source / "samples" / "app.ini").read_text(encoding="utf-8")
written = set(re.findall(r"^([A-Za-z][A-Za-z ]*)=", sample, re.MULTILINE))
missing = [key for key in documented if key not in written]
check(len(documented) > 20 and not missing, f"samples/app.ini: all {len(documented)} documented keys"
      + (f" (missing: {', '.join(missing)})" if missing else ""))

changelog = (source / "CHANGELOG.md").read_text(encoding="utf-8")
check(re.search(rf"^## {re.escape(version)}\b", changelog, re.MULTILINE) is not None,
      f"CHANGELOG.md: an entry for {version}")

with tempfile.TemporaryDirectory(prefix="kite-package-") as work:
    work = pathlib.Path(work)
    # The Linux builds: the launcher and the branding tool, stripped.
    linux_programs = {}
    for program in ("kite", "kite-brand"):
        built = source / "build" / "host" / program
        if not built.exists():
            check(False, f"{program}: built ({built} is missing)")
            continue
        stripped = work / program
        shutil.copy2(built, stripped)
        subprocess.run(["strip", "--strip-all", str(stripped)], check=True)
        listing = subprocess.run(["readelf", "-S", "-W", str(stripped)], check=True, stdout=subprocess.PIPE,
                                 text=True).stdout
        elf = stripped.read_bytes()
        check(elf[:4] == b"\x7fELF" and struct.unpack_from("<H", elf, 18)[0] == 62,
              f"{program}: an x86-64 ELF executable")
        check(".debug" not in listing and ".symtab" not in listing, f"{program}: stripped (no .debug, no .symtab)")
        linux_programs[program] = stripped

    if failures:
        print(f"package: {len(failures)} check(s) failed; no archive written")
        sys.exit(1)

    docs = sorted(p for p in (source / "docs").rglob("*") if p.is_file())
    common = [("README.md", source / "README.md"), ("LICENSE", source / "LICENSE")]
    common += [(str(p.relative_to(source)), p) for p in docs]

    base = f"kite-{version}-windows"
    archive = dist / f"{base}.zip"
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as zipped:
        for name, folder, *_ in EXECUTABLES:
            zipped.write(source / "build" / folder / name, f"{base}/{name}")
        # Windows line ends for the file users open in Notepad.
        zipped.writestr(f"{base}/app.ini", sample.replace("\r\n", "\n").replace("\n", "\r\n"))
        for name, path in common:
            zipped.write(path, f"{base}/{name}")
    with zipfile.ZipFile(archive) as zipped:
        names = set(zipped.namelist())
    expected = {f"{base}/{n}" for n in ("kite.exe", "kite64.exe", "kitew.exe", "kitew64.exe", "kite-brand.exe",
                                         "app.ini", "README.md", "LICENSE", "docs/configuration.md",
                                         "docs/branding.md")}
    check(expected <= names, f"{archive.name}: {len(names)} files, the five executables among them")

    base = f"kite-{version}-linux-x86_64"
    archive = dist / f"{base}.tar.gz"
    with tarfile.open(archive, "w:gz") as packed:
        for program, stripped in linux_programs.items():
            packed.add(stripped, f"{base}/{program}")
        info = tarfile.TarInfo(f"{base}/app.ini")
        payload = sample.encode("utf-8")
        info.size, info.mode = len(payload), 0o644
        packed.addfile(info, io.BytesIO(payload))
        for name, path in common:
            packed.add(path, f"{base}/{name}")
    with tarfile.open(archive) as packed:
        executable = all(packed.getmember(f"{base}/{program}").mode & 0o111 for program in ("kite", "kite-brand"))
        check(executable and len(packed.getnames()) == len(common) + 3,
              f"{archive.name}: {len(packed.getnames())} files, kite and kite-brand executable")

if failures:
    print(f"package: {len(failures)} check(s) failed")
    sys.exit(1)
print(f"package: all checks passed; archives in {dist}")
EOF
