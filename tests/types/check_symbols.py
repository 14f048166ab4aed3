"""Compares what libquorl-types exports with the schema, each family exactly: type headers (data), factories
of the enumerations marked `factory`, per fault ThrowInternal() and Exception::Throw(), per managed type its
method-object table (data, m + p + 1 pointers), METHOD_ constants, GetMoType<T>, interface and stub
typeinfo. And the binding of the library's references to its own definitions (registration/
preemptible_data.py): no dynamic relocation names its functions, virtual tables, VTTs or type_info, nor
__cxa_pure_virtual; every type header is reached through a relocation naming it (copy relocations).

    python3 tests/types/check_symbols.py <libquorl-types.so> [<nm> <pointer size in bytes>]
"""

import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT))

from generator import load_schema  # noqa: E402
from generator.emit_enum import constants as enum_constants, scope_prefix  # noqa: E402
from generator.emit_managed import ManagedEmitter  # noqa: E402
from generator.emit_registration import enum_factory_types  # noqa: E402
from generator.model import ENUM, FAULT, MANAGED  # noqa: E402
from generator.naming import Names  # noqa: E402

DATA_CLASSES = ("R", "r", "D", "d", "B", "b", "V", "u")
NM = "nm"
POINTER_SIZE = 8
# Virtual tables, VTTs, construction virtual tables, type_info objects and their names.
CLASS_DATA = ("_ZTV", "_ZTT", "_ZTC", "_ZTI", "_ZTS")


def run(*command: str) -> list[str]:
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout.splitlines()


def mangled_symbols(library: str) -> dict[str, tuple[str, int | None]]:
    """name -> (symbol class, size or None) from `nm -DS`."""
    rows = [line.split() for line in run(NM, "-D", "--defined-only", "-S", library)]
    return {r[-1]: (r[-2], int(r[1], 16) if len(r) == 4 else None) for r in rows if len(r) in (3, 4)}


def demangled_symbols(library: str) -> dict[str, str]:
    """demangled name -> symbol class from `nm -DC`."""
    rows = [line.split(None, 2) for line in run(NM, "-D", "--defined-only", "-C", library)]
    return {r[2]: r[1] for r in rows if len(r) == 3}


def symbolic_relocations(library: str) -> set[str]:
    """The symbols that the library's dynamic relocations name (`readelf -rW`; versions stripped)."""
    rows = [line.split() for line in run("readelf", "-rW", library)]
    return {r[4].split("@")[0] for r in rows if len(r) >= 5 and r[2].startswith("R_") and r[4][0] not in "+-"}


def family(label: str, expected: set[str], actual: set[str], problems: list[str] = (), found="exported") -> bool:
    """Prints one line for a family (and up to ten of each kind of problem); true when it is not as expected."""
    missing, extra = sorted(expected - actual), sorted(actual - expected)
    for line in [f"missing {n}" for n in missing[:10]] + [f"unexpected {n}" for n in extra[:10]] + list(problems[:10]):
        print(f"  {label}: {line}")
    bad = bool(missing or extra or problems)
    print(f"{label}: {len(actual)} {found}, {len(expected)} expected, {len(missing)} missing, "
          f"{len(extra)} unexpected{', ' + str(len(problems)) + ' other problems' if problems else ''}"
          f"{'  FAIL' if bad else ''}")
    return bad


def main() -> int:
    global NM, POINTER_SIZE
    if len(sys.argv) not in (2, 4):
        print(__doc__)
        return 2
    library = sys.argv[1]
    if len(sys.argv) == 4:
        NM, POINTER_SIZE = sys.argv[2], int(sys.argv[3])
    model, _ = load_schema(ROOT / "schema")
    names = Names(model)
    mangled = mangled_symbols(library)
    demangled = demangled_symbols(library)
    failed = 0

    def between(prefix: str, suffix: str) -> set[str]:
        return {n[len(prefix):-len(suffix)] for n in demangled if n.startswith(prefix) and n.endswith(suffix)}

    def not_data(found: set[str], kind_of) -> list[str]:
        return [f"{n} is exported as {kind_of(n)}, not as data" for n in sorted(found)
                if kind_of(n) not in DATA_CLASSES]

    headers = {names.header_symbol(t) for t in model.types.values()}
    actual = {n for n in mangled if n.startswith("gQuorl") and n.endswith("TypeInfo")}
    failed += family("type headers", headers, actual, not_data(actual, lambda n: mangled[n][0])
                     + ["two types share a header symbol"] * (len(headers) != len(model.types)))
    failed += family("enumeration-type factories",
                  {names.qualified(model.types[n]).removeprefix("::") for n in enum_factory_types(model)},
                  between("Ormid::EnumType* Ormid::CreateEnumType<", ">(Ormid::EnumTypeInfo const*)"))
    fault_classes = {names.qualified(t).removeprefix("::") for t in model.types.values() if t.kind == FAULT}
    for label, suffix in (("fault ThrowInternal", "::ThrowInternal() const"),
                          ("exception Throw", "::Exception::Throw() const")):
        failed += family(label, {c + suffix for c in fault_classes}, {n for n in demangled if n.endswith(suffix)})

    # Managed types.
    emitters = [ManagedEmitter(model, names, t) for t in model.types.values() if t.kind == MANAGED]
    interfaces = {e.qualified.removeprefix("::") for e in emitters}
    stubs = {e.stub_qualified.removeprefix("::") for e in emitters}
    tables = {e.table_symbol: e.table_length * POINTER_SIZE for e in emitters}
    actual = {n for n in mangled if n.startswith("gQuorl") and n.endswith("MethodObjects")}
    problems = not_data(actual & tables.keys(), lambda n: mangled[n][0])
    problems += [f"{n} has {mangled[n][1]} bytes, not {tables[n]} ({tables[n] // POINTER_SIZE} slots)"
                 for n in sorted(actual & tables.keys()) if mangled[n][1] not in (None, tables[n])]
    failed += family("method-object tables", set(tables), actual, problems)

    # METHOD_ constants; enumerations named "Method" have value constants of the same shape, which are
    # not method constants.
    value_constants = {scope_prefix(names, t).removeprefix("::") + c
                       for t in model.types.values() if t.kind == ENUM for c in enum_constants(names, t)}
    expected = {e.qualified.removeprefix("::") + "::" + e.method_constant(m) for e in emitters for m in e.t.methods}
    actual = {n for n in demangled if "::METHOD_" in n and "(" not in n} - value_constants
    problems = not_data(actual & expected, demangled.get)
    problems += [f"{n} is both a method constant and an enumeration value constant"
                 for n in sorted(expected & value_constants)]
    failed += family("METHOD_ constants", expected, actual, problems)
    failed += family("GetMoType instances", interfaces, between("Ormid::ManagedObjectType* Ormid::GetMoType<", ">()"))

    # Every exported typeinfo of a Quorl class that is neither a data or fault class nor a fault's exception
    # class must be an interface or a stub (an interface whose name ends in "Stub" counts as an interface).
    classes = {n[len("typeinfo for "):] for n in demangled if n.startswith("typeinfo for Quorl::")}
    values = {names.qualified(t).removeprefix("::") for t in model.types.values() if t.kind != MANAGED}
    rest = classes - values - {c + "::Exception" for c in fault_classes}
    actual_stubs = {c for c in rest if c in stubs or (c.endswith("Stub") and c not in interfaces)}
    failed += family("interface typeinfo", interfaces, rest - actual_stubs)
    failed += family("stub typeinfo", stubs, actual_stubs)

    # Binding of the library's references to its own definitions.
    relocated = symbolic_relocations(library)
    named = relocated & mangled.keys()
    failed += family("own functions and class data resolved at load", set(),
                  {n for n in named if mangled[n][0] not in DATA_CLASSES or n.startswith(CLASS_DATA)}, found="named")
    # The slots of abstract classes point at the library's own hidden handler (registration/pure_virtual.cpp).
    failed += family("pure virtual slots resolved at load", set(), relocated & {"__cxa_pure_virtual"}, found="named")
    failed += family("type headers resolved at load (preemptible)", headers, named & headers, found="named")
    return 1 if failed else 0

if __name__ == "__main__":
    sys.exit(main())
