#!/usr/bin/env bash
# Builds the release archives into dist/ and checks what they hold:
#   kite-<version>-windows.zip        kite.exe, kite64.exe, kitew.exe, kitew64.exe,
#                                     kite-brand.exe, app.ini, README.md, CHANGELOG.md,
#                                     LICENSE, THIRD-PARTY.md, docs/
#   kite-<version>-linux-x86_64.tar.gz  kite and kite-brand (stripped), app.ini, README.md,
#                                     CHANGELOG.md, LICENSE, THIRD-PARTY.md, docs/
# README.md is the users' one of each archive (release/README-<system>.md), not
# the repository's. Every file gets the date of the last commit (or
# SOURCE_DATE_EPOCH when set) and, in the tar archive, owner and group 0 with
# no names; the zip archive records no owner at all.
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
import io, os, pathlib, re, shutil, struct, subprocess, sys, tarfile, tempfile, time, zipfile

sys.path.insert(0, str(pathlib.Path.cwd() / "scripts"))
from release_checks import executable_checks

dist = pathlib.Path(sys.argv[1]).resolve()
source = pathlib.Path.cwd()
version = re.search(r"project\(kite VERSION ([0-9.]+)", (source / "CMakeLists.txt").read_text()).group(1)
failures = []

# One date for every file: SOURCE_DATE_EPOCH, else the last commit's, so that
# the archives say when the release was made, not when the build ran.
if os.environ.get("SOURCE_DATE_EPOCH", "").isdigit():
    stamp = int(os.environ["SOURCE_DATE_EPOCH"])
else:
    committed = subprocess.run(["git", "log", "-1", "--format=%ct"], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    stamp = int(committed.stdout.strip()) if committed.returncode == 0 and committed.stdout.strip() else int(time.time())
zip_date = time.gmtime(max(stamp, 315532800))[:6]  # zip dates begin in 1980


def check(ok: bool, what: str):
    print(f"package: {'ok  ' if ok else 'FAIL'} {what}")
    if not ok:
        failures.append(what)


# name, build folder, machine, subsystem (3 console, 2 GUI), size limit. The
# limit of the 32-bit pair catches what would swell them by much at once (a
# stream library, a second copy of a runtime): 640 KiB leaves room for a
# publisher's icons over today's 520 to 540 KiB.
EXECUTABLES = [
    ("kite.exe", "win32", 0x014C, 3, 640 * 1024),
    ("kitew.exe", "win32", 0x014C, 2, 640 * 1024),
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
    common = [("CHANGELOG.md", source / "CHANGELOG.md"), ("LICENSE", source / "LICENSE"),
              ("THIRD-PARTY.md", source / "THIRD-PARTY.md")]
    common += [(str(p.relative_to(source)), p) for p in docs]
    readme = {system: source / "release" / f"README-{system}.md" for system in ("windows", "linux")}

    def zip_add(zipped, name, payload: bytes, mode: int = 0o644):
        info = zipfile.ZipInfo(name, zip_date)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.create_system = 3  # permission bits below; zipfile writes no owner fields
        info.external_attr = (0o100000 | mode) << 16
        zipped.writestr(info, payload)

    def tar_add(packed, name, payload: bytes, mode: int = 0o644):
        info = tarfile.TarInfo(name)
        info.size, info.mode, info.mtime = len(payload), mode, stamp
        info.uid = info.gid = 0
        info.uname = info.gname = ""
        packed.addfile(info, io.BytesIO(payload))

    def archive_checks(archive, entries: dict, wanted: list, readme_path):
        """entries: name -> (mtime, uid, gid, uname, gname, payload)"""
        missing = [name for name in wanted if name not in entries]
        check(not missing, f"{archive.name}: {', '.join(n.split('/', 1)[1] for n in wanted)}"
              + (f" (missing: {', '.join(missing)})" if missing else ""))
        dates = {entry[0] for entry in entries.values()}
        owners = {entry[1:5] for entry in entries.values()}
        check(dates == {stamp}, f"{archive.name}: every file dated {time.strftime('%Y-%m-%d %H:%M', time.gmtime(stamp))} UTC")
        check(owners <= {(0, 0, "", ""), (None, None, None, None)}, f"{archive.name}: no owner but 0/0")
        shipped = next((e[5] for n, e in entries.items() if n.endswith("/README.md") and n.count("/") == 1), b"")
        check(shipped == readme_path.read_bytes(), f"{archive.name}: README.md is the users' ({readme_path.name})")

    base = f"kite-{version}-windows"
    archive = dist / f"{base}.zip"
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as zipped:
        for name, folder, *_ in EXECUTABLES:
            zip_add(zipped, f"{base}/{name}", (source / "build" / folder / name).read_bytes(), 0o755)
        # Windows line ends for the file users open in Notepad.
        zip_add(zipped, f"{base}/app.ini", sample.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8"))
        zip_add(zipped, f"{base}/README.md", readme["windows"].read_bytes())
        for name, path in common:
            zip_add(zipped, f"{base}/{name}", path.read_bytes())
    with zipfile.ZipFile(archive) as zipped:
        names = set(zipped.namelist())
        # A zip entry has no owner; extra fields (where an owner could hide) must be empty.
        stored = zip_date[:5] + (zip_date[5] - zip_date[5] % 2,)  # zip keeps seconds in steps of two
        entries = {i.filename: (stamp if i.date_time == stored else None, None, None, None, None,
                                zipped.read(i) if i.filename.endswith("README.md") else b"")
                   if not i.extra else (stamp, 1, 1, "extra field", "", b"") for i in zipped.infolist()}
    expected = {f"{base}/{n}" for n in ("kite.exe", "kite64.exe", "kitew.exe", "kitew64.exe", "kite-brand.exe",
                                         "app.ini", "README.md", "LICENSE", "docs/configuration.md",
                                         "docs/branding.md")}
    check(expected <= names, f"{archive.name}: {len(names)} files, the five executables among them")
    archive_checks(archive, entries, [f"{base}/{n}" for n in ("README.md", "CHANGELOG.md", "THIRD-PARTY.md",
                                                               "docs/glossary.md", "docs/quick-start-windows.md")],
                   readme["windows"])

    base = f"kite-{version}-linux-x86_64"
    archive = dist / f"{base}.tar.gz"
    with tarfile.open(archive, "w:gz") as packed:
        for program, stripped in linux_programs.items():
            tar_add(packed, f"{base}/{program}", stripped.read_bytes(), 0o755)
        tar_add(packed, f"{base}/app.ini", sample.encode("utf-8"))
        tar_add(packed, f"{base}/README.md", readme["linux"].read_bytes())
        for name, path in common:
            tar_add(packed, f"{base}/{name}", path.read_bytes())
    with tarfile.open(archive) as packed:
        executable = all(packed.getmember(f"{base}/{program}").mode & 0o111 for program in ("kite", "kite-brand"))
        check(executable and len(packed.getnames()) == len(common) + 4,
              f"{archive.name}: {len(packed.getnames())} files, kite and kite-brand executable")
        entries = {m.name: (int(m.mtime), m.uid, m.gid, m.uname, m.gname,
                            packed.extractfile(m).read() if m.name.endswith("README.md") else b"")
                   for m in packed.getmembers()}
    archive_checks(archive, entries, [f"{base}/{n}" for n in ("README.md", "CHANGELOG.md", "THIRD-PARTY.md",
                                                               "docs/glossary.md", "docs/quick-start-linux.md")],
                   readme["linux"])

if failures:
    print(f"package: {len(failures)} check(s) failed")
    sys.exit(1)
print(f"package: all checks passed; archives in {dist}")
EOF
