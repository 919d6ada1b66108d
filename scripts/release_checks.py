"""The checks scripts/package.sh makes on the executables it packs, kept here
so that the end-to-end suites hold branded executables to the same ones."""

import struct


def pe_facts(data: bytes):
    """machine, subsystem, section names, symbol table pointer and count, debug
    directory size; None for anything that is not a PE image."""
    if len(data) < 64 or data[:2] != b"MZ":
        return None
    nt = struct.unpack_from("<I", data, 60)[0]
    if data[nt:nt + 4] != b"PE\0\0":
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


def executable_checks(name: str, data: bytes, machine: int, subsystem: int, limit: int | None):
    """(passed, what) for each release check of one Windows executable."""
    facts = pe_facts(data)
    if facts is None:
        return [(False, f"{name}: a PE image")]
    got_machine, got_subsystem, sections, symbols, symbol_count, debug_size = facts
    # Long section names (/4, /19, ...) are how mingw's DWARF sections appear.
    debug = [s for s in sections if s.startswith((".debug", "/"))]
    checks = [
        (got_machine == machine, f"{name}: machine {got_machine:#06x}, expected {machine:#06x}"),
        (got_subsystem == subsystem, f"{name}: subsystem {got_subsystem}, expected {subsystem}"),
        (not debug and symbols == 0 and symbol_count == 0 and debug_size == 0,
         f"{name}: no debug sections or symbols (sections {', '.join(sections)})"),
    ]
    if limit is not None:
        checks.append((len(data) <= limit, f"{name}: {len(data)} bytes, at most {limit}"))
    return checks
