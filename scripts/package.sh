#!/usr/bin/env bash
# Builds the release archives into dist/ and checks what they hold:
#   kite-<version>-windows.zip        kite.exe, kite64.exe, kitew.exe, kitew64.exe,
#                                     app.ini, README.md, LICENSE, docs/
#   kite-<version>-linux-x86_64.tar.gz  kite (stripped), app.ini, README.md, LICENSE, docs/
# The version is the CMake project version. Checked before packing: PE machine
# and subsystem of each exe, no debug sections or symbols, kite.exe and
# kitew.exe at most 512 KB, the Linux build stripped, every documented key in
# the sample app.ini, and a CHANGELOG.md entry for the version.
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

dist = pathlib.Path(sys.argv[1]).resolve()
source = pathlib.Path.cwd()
version = re.search(r"project\(kite VERSION ([0-9.]+)", (source / "CMakeLists.txt").read_text()).group(1)
failures = []


def check(ok: bool, what: str):
    print(f"package: {'ok  ' if ok else 'FAIL'} {what}")
    if not ok:
        failures.append(what)


def pe_facts(data: bytes):
    """machine, subsystem, section names, symbol table pointer and count, debug directory size."""
    nt = struct.unpack_from("<I", data, 60)[0]
    if data[:2] != b"MZ" or data[nt:nt + 4] != b"PE\0\0":
        return None
    machine, sections, _, symbols, symbol_count, optional_size, _ = struct.unpack_from("<HHIIIHH", data, nt + 4)
    optional = nt + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    subsystem = struct.unpack_from("<H", data, optional + 68)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    debug_size = struct.unpack_from("<II", data, directories + 8 * 6)[1]
    table = optional + optional_size
    names = [data[table + 40 * i:table + 40 * i + 8].rstrip(b"\0").decode("latin-1") for i in range(sections)]
    return machine, subsystem, names, symbols, symbol_count, debug_size


# name, build folder, machine, subsystem (3 console, 2 GUI), size limit
EXECUTABLES = [
    ("kite.exe", "win32", 0x014C, 3, 512 * 1024),
    ("kitew.exe", "win32", 0x014C, 2, 512 * 1024),
    ("kite64.exe", "win64", 0x8664, 3, None),
    ("kitew64.exe", "win64", 0x8664, 2, None),
]
for name, folder, machine, subsystem, limit in EXECUTABLES:
    path = source / "build" / folder / name
    if not path.exists():
        check(False, f"{name}: built ({path} is missing)")
        continue
    data = path.read_bytes()
    facts = pe_facts(data)
    if facts is None:
        check(False, f"{name}: a PE image")
        continue
    got_machine, got_subsystem, sections, symbols, symbol_count, debug_size = facts
    check(got_machine == machine, f"{name}: machine {got_machine:#06x}, expected {machine:#06x}")
    check(got_subsystem == subsystem, f"{name}: subsystem {got_subsystem}, expected {subsystem}")
    # Long section names (/4, /19, ...) are how mingw's DWARF sections appear.
    debug = [s for s in sections if s.startswith((".debug", "/"))]
    check(not debug and symbols == 0 and symbol_count == 0 and debug_size == 0,
          f"{name}: no debug sections or symbols (sections {', '.join(sections)})")
    if limit is not None:
        check(len(data) <= limit, f"{name}: {len(data)} bytes, at most {limit}")

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
    linux = work / "kite"
    host_kite = source / "build" / "host" / "kite"
    if host_kite.exists():
        shutil.copy2(host_kite, linux)
        subprocess.run(["strip", "--strip-all", str(linux)], check=True)
        listing = subprocess.run(["readelf", "-S", "-W", str(linux)], check=True, stdout=subprocess.PIPE,
                                 text=True).stdout
        elf = linux.read_bytes()
        check(elf[:4] == b"\x7fELF" and struct.unpack_from("<H", elf, 18)[0] == 62,
              "kite: an x86-64 ELF executable")
        check(".debug" not in listing and ".symtab" not in listing, "kite: stripped (no .debug, no .symtab)")
    else:
        check(False, f"kite: built ({host_kite} is missing)")

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
    expected = {f"{base}/{n}" for n in ("kite.exe", "kite64.exe", "kitew.exe", "kitew64.exe", "app.ini",
                                         "README.md", "LICENSE", "docs/configuration.md")}
    check(expected <= names, f"{archive.name}: {len(names)} files, the four executables among them")

    base = f"kite-{version}-linux-x86_64"
    archive = dist / f"{base}.tar.gz"
    with tarfile.open(archive, "w:gz") as packed:
        packed.add(linux, f"{base}/kite")
        info = tarfile.TarInfo(f"{base}/app.ini")
        payload = sample.encode("utf-8")
        info.size, info.mode = len(payload), 0o644
        packed.addfile(info, io.BytesIO(payload))
        for name, path in common:
            packed.add(path, f"{base}/{name}")
    with tarfile.open(archive) as packed:
        member = packed.getmember(f"{base}/kite")
        check(member.mode & 0o111 != 0 and len(packed.getnames()) == len(common) + 2,
              f"{archive.name}: {len(packed.getnames())} files, kite executable")

if failures:
    print(f"package: {len(failures)} check(s) failed")
    sys.exit(1)
print(f"package: all checks passed; archives in {dist}")
EOF
