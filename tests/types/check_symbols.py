"""Compares the symbols that libquorl-types exports with the schema: one gQuorl<Name>TypeInfo per type of
the schema, no more, no fewer; the enumeration-type factories Ormid::CreateEnumType<E> exactly for the
enumerations the generator chose (35, all of the host package).

    python3 tests/types/check_symbols.py <path of libquorl-types.so>
"""

import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT))

from generator import load_schema  # noqa: E402
from generator.emit_registration import enum_factory_types  # noqa: E402
from generator.naming import Names  # noqa: E402


def exported_headers(library: str) -> set[str]:
    out = subprocess.run(["nm", "-D", "--defined-only", library], check=True, capture_output=True,
                         text=True).stdout
    names = set()
    for line in out.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[2].startswith("gQuorl") and parts[2].endswith("TypeInfo"):
            if parts[1] not in ("R", "r", "D", "d", "B", "b", "V", "u"):
                raise SystemExit(f"{parts[2]} is exported as {parts[1]}, not as data")
            names.add(parts[2])
    return names


def exported_enum_factories(library: str) -> set[str]:
    out = subprocess.run(["nm", "-DC", "--defined-only", library], check=True, capture_output=True,
                         text=True).stdout
    prefix, suffix = "Ormid::EnumType* Ormid::CreateEnumType<", ">(Ormid::EnumTypeInfo const*)"
    found = set()
    for line in out.splitlines():
        at = line.find(prefix)
        if at >= 0 and line.endswith(suffix):
            found.add(line[at + len(prefix):-len(suffix)])
    return found


def main() -> int:
    model, _ = load_schema(ROOT / "schema")
    names = Names(model)
    expected = {names.header_symbol(t) for t in model.types.values()}
    if len(expected) != len(model.types):
        print("two types share a header symbol")
        return 1
    actual = exported_headers(sys.argv[1])
    missing, extra = sorted(expected - actual), sorted(actual - expected)
    for name in missing[:20]:
        print(f"missing: {name}")
    for name in extra[:20]:
        print(f"unexpected: {name}")
    print(f"{len(actual)} exported type headers, {len(expected)} types in the schema, "
          f"{len(missing)} missing, {len(extra)} unexpected")
    factories = exported_enum_factories(sys.argv[1])
    wanted = {names.qualified(model.types[n]).lstrip(":") for n in enum_factory_types(model)}
    if factories != wanted or len(wanted) != 35:
        print(f"enumeration-type factories: {len(factories)} exported, {len(wanted)} expected; "
              f"missing {sorted(wanted - factories)[:5]}, unexpected {sorted(factories - wanted)[:5]}")
        return 1
    print(f"{len(factories)} exported enumeration-type factories")
    return 1 if missing or extra else 0


if __name__ == "__main__":
    sys.exit(main())
