"""Compares the symbols that libquorl-types exports with the schema, family by family, each exactly (no
more, no fewer):

  type headers           one gQuorl<Name>TypeInfo per type of the schema (data)
  enum factories         Ormid::CreateEnumType<E> for the enumerations the schema marks `factory`
  fault throws           <Fault>::ThrowInternal() const, one per fault
  exception throws       <Fault>::Exception::Throw() const, one per fault
  method-object tables   g<Type>MethodObjects per managed type (data, m + p + 1 pointers)
  method constants       <Interface>::METHOD_<NAME> per own method of a managed type (data)
  managed type lookups   Ormid::GetMoType<T> per managed type
  interface typeinfo     typeinfo for <Interface> per managed type
  stub typeinfo          typeinfo for <Interface>Stub per managed type

and how the library's references to its own definitions are bound (registration/preemptible_data.py):

  bound at link time     no dynamic relocation names a function, virtual table, VTT or type_info object of
                         the library, nor the C++ runtime's pure-virtual handler (each would be a symbol
                         lookup at every load)
  preemptible headers    every type header is reached through a relocation naming it (a program holding
                         a copy of the header, made by a copy relocation, must be the one the registry
                         knows)

    python3 tests/types/check_symbols.py <path of libquorl-types.so> [<nm> <pointer size in bytes>]

Runs nm twice (mangled with sizes, demangled) and readelf -r, and prints one line per family. A cross build
passes its toolchain's nm and the target's pointer size (the defaults: the host's nm, 8 bytes).
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


def run_nm(library: str, *flags: str) -> list[str]:
    return subprocess.run([NM, "-D", "--defined-only", *flags, library], check=True, capture_output=True,
                          text=True).stdout.splitlines()


def mangled_symbols(library: str) -> dict[str, tuple[str, int | None]]:
    """name -> (symbol class, size or None) from `nm -DS`."""
    out = {}
    for line in run_nm(library, "-S"):
        parts = line.split()
        if len(parts) == 4:
            out[parts[3]] = (parts[2], int(parts[1], 16))
        elif len(parts) == 3:
            out[parts[2]] = (parts[1], None)
    return out


def demangled_symbols(library: str) -> dict[str, str]:
    """demangled name -> symbol class from `nm -DC`."""
    out = {}
    for line in run_nm(library, "-C"):
        parts = line.split(None, 2)
        if len(parts) == 3:
            out[parts[2]] = parts[1]
    return out


def symbolic_relocations(library: str) -> set[str]:
    """The symbols that the library's dynamic relocations name (`readelf -rW`; versions stripped)."""
    out = subprocess.run(["readelf", "-rW", library], check=True, capture_output=True, text=True).stdout
    names = set()
    for line in out.splitlines():
        parts = line.split()
        if len(parts) >= 5 and parts[2].startswith("R_") and not parts[4].startswith(("+", "-")):
            names.add(parts[4].split("@")[0])
    return names


class Report:
    def __init__(self) -> None:
        self.failed = False

    def family(self, label: str, expected: set[str], actual: set[str], problems: list[str] = (),
               found: str = "exported") -> None:
        missing, extra = sorted(expected - actual), sorted(actual - expected)
        for name in missing[:10]:
            print(f"  {label}: missing {name}")
        for name in extra[:10]:
            print(f"  {label}: unexpected {name}")
        for text in problems[:10]:
            print(f"  {label}: {text}")
        bad = bool(missing or extra or problems)
        self.failed |= bad
        print(f"{label}: {len(actual)} {found}, {len(expected)} expected, {len(missing)} missing, "
              f"{len(extra)} unexpected{', ' + str(len(problems)) + ' other problems' if problems else ''}"
              f"{'  FAIL' if bad else ''}")


def strip_global(qualified: str) -> str:
    return qualified[2:] if qualified.startswith("::") else qualified


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
    report = Report()

    # Type headers.
    expected = {names.header_symbol(t) for t in model.types.values()}
    if len(expected) != len(model.types):
        print("two types share a header symbol")
        return 1
    actual = {n for n in mangled if n.startswith("gQuorl") and n.endswith("TypeInfo")}
    report.family("type headers", expected, actual,
                  [f"{n} is exported as {mangled[n][0]}, not as data" for n in sorted(actual)
                   if mangled[n][0] not in DATA_CLASSES])

    # Enumeration-type factories.
    prefix, suffix = "Ormid::EnumType* Ormid::CreateEnumType<", ">(Ormid::EnumTypeInfo const*)"
    actual = {n[len(prefix):-len(suffix)] for n in demangled if n.startswith(prefix) and n.endswith(suffix)}
    wanted = {strip_global(names.qualified(model.types[n])) for n in enum_factory_types(model)}
    report.family("enumeration-type factories", wanted, actual)

    # Faults.
    faults = [t for t in model.types.values() if t.kind == FAULT]
    fault_classes = {strip_global(names.qualified(t)) for t in faults}
    suffix = "::ThrowInternal() const"
    report.family("fault ThrowInternal", {c + suffix for c in fault_classes},
                  {n for n in demangled if n.endswith(suffix)})
    suffix = "::Exception::Throw() const"
    report.family("exception Throw", {c + suffix for c in fault_classes},
                  {n for n in demangled if n.endswith(suffix)})

    # Managed types.
    emitters = [ManagedEmitter(model, names, t) for t in model.types.values() if t.kind == MANAGED]
    interfaces = {strip_global(e.qualified) for e in emitters}
    stubs = {strip_global(e.stub_qualified) for e in emitters}

    tables = {e.table_symbol: e.table_length * POINTER_SIZE for e in emitters}
    actual = {n for n in mangled if n.startswith("gQuorl") and n.endswith("MethodObjects")}
    problems = []
    for n in sorted(actual & tables.keys()):
        kind, size = mangled[n]
        if kind not in DATA_CLASSES:
            problems.append(f"{n} is exported as {kind}, not as data")
        elif size is not None and size != tables[n]:
            problems.append(f"{n} has {size} bytes, not {tables[n]} ({tables[n] // POINTER_SIZE} slots)")
    report.family("method-object tables", set(tables), actual, problems)

    # METHOD_ constants; enumerations named "Method" have value constants of the same shape, which are
    # not method constants.
    value_constants = {strip_global(scope_prefix(names, t)) + c
                       for t in model.types.values() if t.kind == ENUM for c in enum_constants(names, t)}
    expected = {strip_global(e.qualified) + "::" + e.method_constant(m) for e in emitters for m in e.t.methods}
    actual = {n for n in demangled if "::METHOD_" in n and "(" not in n} - value_constants
    problems = [f"{n} is exported as {demangled[n]}, not as data" for n in sorted(actual & expected)
                if demangled[n] not in DATA_CLASSES]
    problems += [f"{n} is both a method constant and an enumeration value constant"
                 for n in sorted(expected & value_constants)]
    report.family("METHOD_ constants", expected, actual, problems)

    prefix, suffix = "Ormid::ManagedObjectType* Ormid::GetMoType<", ">()"
    report.family("GetMoType instances", interfaces,
                  {n[len(prefix):-len(suffix)] for n in demangled if n.startswith(prefix) and n.endswith(suffix)})

    # Run-time type information. Every exported typeinfo of a Quorl class that is neither a data or fault
    # class nor a fault's exception class must be an interface or a stub (an interface whose name happens
    # to end in "Stub" counts as an interface).
    prefix = "typeinfo for "
    classes = {n[len(prefix):] for n in demangled if n.startswith(prefix + "Quorl::")}
    values = {strip_global(names.qualified(t)) for t in model.types.values() if t.kind != MANAGED}
    rest = classes - values - {c + "::Exception" for c in fault_classes}
    actual_stubs = {c for c in rest if c in stubs or (c.endswith("Stub") and c not in interfaces)}
    report.family("interface typeinfo", interfaces, rest - actual_stubs)
    report.family("stub typeinfo", stubs, actual_stubs)

    # Binding of the library's references to its own definitions.
    relocated = symbolic_relocations(library)
    named = relocated & mangled.keys()
    report.family("own functions and class data resolved at load", set(),
                  {n for n in named if mangled[n][0] not in DATA_CLASSES or n.startswith(CLASS_DATA)}, found="named")
    # The slots of abstract classes point at the library's own hidden handler (registration/pure_virtual.cpp).
    report.family("pure virtual slots resolved at load", set(), relocated & {"__cxa_pure_virtual"}, found="named")
    headers = {names.header_symbol(t) for t in model.types.values()}
    report.family("type headers resolved at load (preemptible)", headers, named & headers, found="named")
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main())
