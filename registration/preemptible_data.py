"""Writes the dynamic list that libquorl-types is linked with: the data objects of its object files that a
program may name, which stay preemptible, while every other reference of the library to what it defines
itself is bound at link time.

    python3 registration/preemptible_data.py READELF OUT OBJECT...

Listed: every defined object (data or thread-local) of default visibility, except virtual tables, VTTs,
construction virtual tables, type_info objects and their names (_ZTV, _ZTT, _ZTC, _ZTI, _ZTS). Those, and
every function, are then reached through relative relocations instead of a symbol lookup at each load.
They may safely exist twice in a process: the C++ runtime compares classes by their type names, and a
virtual table is never compared at all. A listed object may not: a program built as a position-dependent
or g++ PIE executable gets its own copy of an object it names (a copy relocation), and the library must
then use that copy (type headers whose addresses the registry answers, method-object tables the library
fills, constants compared by address).
"""

import subprocess
import sys
from pathlib import Path

BOUND_LOCALLY = ("_ZTV", "_ZTT", "_ZTC", "_ZTI", "_ZTS")


def is_elf(path: str) -> bool:
    with open(path, "rb") as f:
        return f.read(4) == b"\x7fELF"


def preemptible(readelf: str, objects: list[str]) -> list[str]:
    # The target's objects may include a precompiled header: only ELF files are read.
    elf = [o for o in objects if is_elf(o)]
    run = subprocess.run([readelf, "-sW", *elf], capture_output=True, text=True)
    if run.returncode != 0:
        raise SystemExit(f"{readelf} -sW failed: {run.stderr.strip()[:2000]}")
    out = run.stdout
    names = set()
    for line in out.splitlines():
        # Num: Value Size Type Bind Vis Ndx Name
        fields = line.split()
        if len(fields) < 8 or not fields[0].endswith(":"):
            continue
        kind, bind, vis, section, name = fields[3], fields[4], fields[5], fields[6], fields[7]
        if (kind in ("OBJECT", "TLS") and bind in ("GLOBAL", "WEAK", "UNIQUE") and vis == "DEFAULT"
                and section != "UND" and not name.startswith(BOUND_LOCALLY)):
            names.add(name)
    return sorted(names)


def main() -> int:
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    names = preemptible(sys.argv[1], sys.argv[3:])
    text = "{\n" + "".join(f"  {n};\n" for n in names) + "};\n"
    out = Path(sys.argv[2])
    if not out.exists() or out.read_text() != text:
        out.write_text(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
