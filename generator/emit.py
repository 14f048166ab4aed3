"""The back end's driver: plans the generated files from the model and writes them.

Layout under the output folder (the build tree's `api/`):
  quorl/<package folders>/<TopLevel>.h   one header per top-level unit (the type and its nested types)
  quorl/<package folders>/<TopLevel>Stub.h   the client stubs of a unit's managed types
  quorl/<package folders>/<TopLevel>Skeleton.h   the skeletons of a unit's managed types (header only:
                                            implementations that answer every member NotSupported)
  quorl/<package folders>/Fwd.h          forward declarations and the type-header constants of a package
  quorl/<package folders>/All.h          every unit header of a package
  quorl/<package folders>/<stem>_detail.h   internal: the reflection functions of the package
  quorl/<package folders>/<stem>_partN.cpp  class members and accessors, at most PART_BOUND classes each
  quorl/<package folders>/<stem>_managedN.cpp  interfaces, stubs and dispatchers, at most MANAGED_BOUND
                                            members each
  quorl/<package folders>/<stem>_registration.cpp   the package's registration unit
  quorl/Versions.h, versions.cpp        the version catalogue
  quorl/Packages.h, packages.cpp        the packages: counts and registration times
  quorl/detail/Registration.h, registration.cpp   the ordered initialiser of the library

Output is deterministic; a file is rewritten only when its content changes.
"""

from __future__ import annotations

import os
from dataclasses import dataclass, field
from pathlib import Path

from .emit_data import ClassEmitter
from .emit_managed import ManagedEmitter
from .emit_enum import print_enum_at_namespace
from .emit_fields import referenced_types
from .emit_registration import (enum_factory_types, print_library_registration, print_package_registration,
                                print_packages_header, print_packages_source, print_registration_header,
                                print_versions_header, print_versions_source)
from .emit_runtime import generate_runtime, runtime_outputs
from .model import DATA, ENUM, FAULT, MANAGED, RUNTIME_NAMESPACE, Model, Package, Type
from .naming import EXPORT_HEADER, MANAGED_PRELUDE, MANAGED_SUPPORT, PRELUDE, Names, package_folder, package_stem
from .printer import Printer

# Classes (data objects and faults) per part source. Every source pays a fixed cost (the precompiled
# header, the unit headers it includes, the compiler's start-up): ~240 classes per source (about 10 s
# of compilation) cut the library's compile time by 8 % against 80, and the many sources of the other
# targets still keep both cores busy at the end.
PART_BOUND = 240
# Interface members (methods and getters) per managed part source: each costs a synchronous and an
# asynchronous stub member and a dispatcher case.
MANAGED_BOUND = 480



class EmitError(ValueError):
    pass


def chunks(items: list, bound: int, weight) -> list[list]:
    """Consecutive groups of `items` whose weights add up to at most `bound` (an item heavier than the
    bound stands alone); items of weight 0 are left out."""
    out: list[list] = []
    count = 0
    for item in items:
        n = weight(item)
        if n == 0:
            continue
        if not out or count + n > bound:
            out.append([])
            count = 0
        out[-1].append(item)
        count += n
    return out


@dataclass
class Unit:
    top: Type
    header: str
    classes: list[Type] = field(default_factory=list)   # data, faults, shells, in definition order
    enums_at_namespace: list[Type] = field(default_factory=list)
    needs_units: set[str] = field(default_factory=set)  # other unit headers
    needs_fwd: set[str] = field(default_factory=set)    # packages whose Fwd.h is needed
    complete: set[str] = field(default_factory=set)     # unit headers the definitions need
    field_units: set[str] = field(default_factory=set)  # unit headers of the classes fields hold
    stub_needs: set[str] = field(default_factory=set)   # stub headers of other units (base stubs)
    skeleton_needs: set[str] = field(default_factory=set)   # skeleton headers of other units (bases)

    @property
    def data_classes(self) -> list[Type]:
        return [c for c in self.classes if c.kind in (DATA, FAULT)]

    @property
    def managed_classes(self) -> list[Type]:
        return [c for c in self.classes if c.kind == MANAGED]

    @property
    def stub_header(self) -> str:
        return self.header[:-2] + "Stub.h"

    @property
    def skeleton_header(self) -> str:
        return self.header[:-2] + "Skeleton.h"


class Plan:
    def __init__(self, model: Model):
        self.model = model
        self.names = Names(model)
        self.units: dict[str, Unit] = {}        # by top-level wire name
        self.package_units: dict[str, list[Unit]] = {p.name: [] for p in model.packages}
        self._plan_units()
        self._check_cycles()

    # --- units -----------------------------------------------------------------------------------
    def unit_of(self, t: Type) -> Unit:
        return self.units[self.names.top_level(t).name]

    def _members(self, t: Type) -> list[Type]:
        out = [t]
        for n in t.nested:
            out.extend(self._members(self.model.types[n]))
        return out

    def _plan_units(self) -> None:
        m, names = self.model, self.names
        for pkg in m.packages:
            for n in pkg.types:
                t = m.types[n]
                if t.outer is not None:
                    continue
                members = self._members(t)
                if not members:
                    continue
                unit = Unit(t, names.unit_header(t))
                self.units[t.name] = unit
                self.package_units[pkg.name].append(unit)
        for unit in self.units.values():
            members = self._members(unit.top)
            if unit.top.kind == ENUM:
                unit.enums_at_namespace.append(unit.top)
            classes = [c for c in members if c.kind != ENUM]
            unit.classes = self._order(unit, classes)
            unit.needs_fwd.add(unit.top.package)
            for c in unit.data_classes:
                base = m.types.get(c.base)
                if base is not None:
                    self._need_complete_header(unit, base)
                for prop in c.properties:
                    for r in referenced_types(m, prop):
                        self._need_declaration(unit, r)
                        if r.kind != ENUM:
                            unit.complete.add(self.unit_of(r).header)
                            if self.unit_of(r) is not unit:
                                unit.field_units.add(self.unit_of(r).header)
            for c in unit.managed_classes:
                me = ManagedEmitter(m, names, c)
                if me.base is not None:
                    self._need_complete_header(unit, me.base)
                    other = self.unit_of(me.base)
                    if other is not unit:
                        unit.stub_needs.add(other.stub_header)
                        unit.skeleton_needs.add(other.skeleton_header)
                for r in me.referenced_types():
                    self._need_declaration(unit, r)
                    if r.kind != ENUM:
                        unit.complete.add(self.unit_of(r).header)

    def _need_complete_header(self, unit: Unit, t: Type) -> None:
        other = self.unit_of(t)
        if other is not unit:
            unit.needs_units.add(other.header)

    def _need_declaration(self, unit: Unit, t: Type) -> None:
        if t.outer is None:
            unit.needs_fwd.add(t.package)
        else:
            self._need_complete_header(unit, self.model.types[t.outer])

    def _order(self, unit: Unit, classes: list[Type]) -> list[Type]:
        """Definition order inside a unit: an outer class and a base before what needs them, and the
        outer of every nested type a field names before the class of the field."""
        m = self.model
        inside = {c.name for c in classes}
        before: dict[str, list[str]] = {c.name: [] for c in classes}
        for c in classes:
            if c.outer is not None:
                before[c.name].append(c.outer)
            if c.base in inside:
                before[c.name].append(c.base)
            for prop in c.properties if c.kind in (DATA, FAULT) else ():
                for r in referenced_types(m, prop):
                    if r.outer in inside and r.outer != c.name:
                        before[c.name].append(r.outer)
        ordered: list[Type] = []
        state: dict[str, int] = {}

        def visit(name: str) -> None:
            if state.get(name) == 2:
                return
            if state.get(name) == 1:
                raise EmitError(f"{unit.top.name}: circular definition order at {name}")
            state[name] = 1
            for dep in before[name]:
                visit(dep)
            state[name] = 2
            ordered.append(m.types[name])

        for c in classes:
            visit(c.name)
        return ordered

    def _check_cycles(self) -> None:
        by_header = {u.header: u for u in self.units.values()}
        state: dict[str, int] = {}

        def visit(h: str, path: list[str]) -> None:
            if state.get(h) == 2:
                return
            if state.get(h) == 1:
                raise EmitError("circular unit headers: " + " -> ".join(path + [h]))
            state[h] = 1
            for dep in sorted(by_header[h].needs_units):
                visit(dep, path + [h])
            state[h] = 2

        for h in sorted(by_header):
            visit(h, [])

    # --- parts -----------------------------------------------------------------------------------
    def managed_parts(self, pkg: Package) -> list[list[Unit]]:
        return chunks(self.package_units[pkg.name], MANAGED_BOUND,
                      lambda u: sum(len(c.methods) + len(c.properties) + 1 for c in u.managed_classes))

    def parts(self, pkg: Package) -> list[list[Unit]]:
        return chunks(self.package_units[pkg.name], PART_BOUND, lambda u: len(u.data_classes))

    # --- file names ------------------------------------------------------------------------------
    @staticmethod
    def fwd_header(pkg: str) -> str:
        return f"{package_folder(pkg)}/Fwd.h"

    @staticmethod
    def all_header(pkg: str) -> str:
        return f"{package_folder(pkg)}/All.h"

    @staticmethod
    def detail_header(pkg: str) -> str:
        return f"{package_folder(pkg)}/{package_stem(pkg)}_detail.h"

    def outputs(self) -> list[str]:
        r = self.names.root
        files = [f"{r}/Versions.h", "versions.cpp", f"{r}/Packages.h", "packages.cpp",
                 f"{r}/detail/Registration.h", "registration.cpp"]
        for pkg in self.model.packages:
            folder, stem = package_folder(pkg.name), package_stem(pkg.name)
            files += [self.fwd_header(pkg.name), self.all_header(pkg.name), self.detail_header(pkg.name)]
            files += [u.header for u in self.package_units[pkg.name]]
            files += [u.stub_header for u in self.package_units[pkg.name] if u.managed_classes]
            files += [u.skeleton_header for u in self.package_units[pkg.name] if u.managed_classes]
            files += [f"{folder}/{stem}_part{i}.cpp" for i in range(len(self.parts(pkg)))]
            files += [f"{folder}/{stem}_managed{i}.cpp" for i in range(len(self.managed_parts(pkg)))]
            files.append(f"{folder}/{stem}_registration.cpp")
        return files


# --- file contents -------------------------------------------------------------------------------

def _banner(p: Printer, source: str) -> None:
    p.print("// Generated from schema/$s$ by `python3 -m generator emit`: do not edit.", s=source)


def _open_namespace(p: Printer, ns: tuple[str, ...]) -> None:
    p.print("namespace $ns$ {", ns="::".join(ns))


def _close_namespace(p: Printer, ns: tuple[str, ...]) -> None:
    p.print("} // namespace $ns$", ns="::".join(ns))


def emit_unit_header(plan: Plan, unit: Unit) -> str:
    m, names = plan.model, plan.names
    p = Printer()
    _banner(p, m.package(unit.top.package).file.rsplit("/", 1)[-1])
    p.print("// $wire$ and its nested types.", wire=unit.top.name)
    p.print("#pragma once")
    p.blank()
    factories = enum_factory_types(m)
    unit_enums = [t for t in (m.types[n] for n in _all_names(m, unit.top)) if t.kind == ENUM]
    prelude = MANAGED_PRELUDE if unit.managed_classes else PRELUDE
    includes = [prelude] + sorted(plan.fwd_header(x) for x in unit.needs_fwd) + sorted(unit.needs_units)
    if any(e.name in factories for e in unit_enums):
        includes.insert(0, "ormid/Enum.h")
    for inc in includes:
        p.print('#include "$inc$"', inc=inc)
    p.blank()
    ns = names.namespace(unit.top)
    _open_namespace(p, ns)
    p.blank()
    for e in unit.enums_at_namespace:
        print_enum_at_namespace(p, names, e)
        p.blank()
    for c in unit.classes:
        ClassEmitter(m, names, c).print_declaration(p)
        p.blank()
    _close_namespace(p, ns)
    specs = [c for c in unit.classes if c.kind in (DATA, FAULT)]
    enums = [t for t in (m.types[n] for n in _all_names(m, unit.top)) if t.kind == ENUM]
    if specs or enums or unit.managed_classes:
        p.blank()
        p.print("namespace Ormid {")
        for c in specs:
            p.print("template <> QUORL_API DataObjectType* GetDoType<$q$>();", q=names.qualified(c))
        for c in unit.managed_classes:
            p.print("template <> QUORL_API ManagedObjectType* GetMoType<$q$>();", q=names.qualified(c))
        for e in enums:
            p.print("template <> QUORL_API EnumType* GetEnumType<$q$>();", q=names.qualified(e))
        for e in enums:
            if e.name in factories:
                p.print("template <> QUORL_API EnumType* CreateEnumType<$q$>(const EnumTypeInfo* info);",
                        q=names.qualified(e))
        p.print("} // namespace Ormid")
    # The classes the fields hold, complete after this unit's own definitions (so that units naming each
    # other need no order): a field converts to ::Ormid::Any* and an array field is usable with this
    # header alone.
    trailing = sorted(unit.field_units - unit.needs_units)
    if trailing:
        p.blank()
        p.print("// The classes held by the fields above.")
        for inc in trailing:
            p.print('#include "$inc$"', inc=inc)
    return p.text()


def _all_names(m: Model, t: Type) -> list[str]:
    out = [t.name]
    for n in t.nested:
        out.extend(_all_names(m, m.types[n]))
    return out


def emit_fwd(plan: Plan, pkg: Package) -> str:
    m, names = plan.model, plan.names
    p = Printer()
    _banner(p, pkg.file.rsplit("/", 1)[-1])
    p.print("""
        // Package $pkg$: forward declarations of its top-level classes and enumerations, and the
        // headers of all its types.
        #pragma once

        #include "ormid/Records.h"
        #include "$export$"
        """, pkg=pkg.name, export=EXPORT_HEADER)
    by_ns: dict[tuple[str, ...], list[Type]] = {}
    for unit in plan.package_units[pkg.name]:
        by_ns.setdefault(names.namespace(unit.top), []).append(unit.top)
    for ns, tops in by_ns.items():
        _open_namespace(p, ns)
        for t in tops:
            if t.kind == ENUM:
                p.print("enum class $n$ : int;", n=names.class_chain(t)[-1])
            else:
                p.print("class $n$;", n=names.class_chain(t)[-1])
        _close_namespace(p, ns)
        p.blank()
    p.print("// Type headers (kind, wire name, WSDL name, version).")
    for n in pkg.types:
        p.print('extern "C++" QUORL_API const ::Ormid::TypeInfo $h$;', h=names.header_symbol(m.types[n]))
    managed = [m.types[n] for n in pkg.types if m.types[n].kind == MANAGED]
    if managed:
        p.blank()
        p.print("// Method-object tables of the managed types (own methods, own properties, one null slot), filled")
        p.print("// by the runtime when the package registers; the stubs name their methods through them.")
        for t in managed:
            me = ManagedEmitter(m, names, t)
            p.print('extern "C++" QUORL_API ::Ormid::ManagedMethod* $s$[$n$];', s=me.table_symbol,
                    n=me.table_length)
    return p.text()


def emit_all(plan: Plan, pkg: Package) -> str:
    p = Printer()
    _banner(p, pkg.file.rsplit("/", 1)[-1])
    p.print("// Every class and enumeration of package $pkg$.", pkg=pkg.name)
    p.print("#pragma once")
    p.blank()
    p.print('#include "$h$"', h=plan.fwd_header(pkg.name))
    for unit in plan.package_units[pkg.name]:
        p.print('#include "$h$"', h=unit.header)
    return p.text()


def emit_detail(plan: Plan, pkg: Package) -> str:
    p = Printer()
    _banner(p, pkg.file.rsplit("/", 1)[-1])
    p.print("""
        // Internal to the library: the reflection functions and factories of package $pkg$'s classes,
        // defined in the part sources and named by the descriptors of the registration unit.
        #pragma once

        #include "$prelude$"

        namespace $root$::Detail {""", pkg=pkg.name, prelude=MANAGED_PRELUDE, root=plan.names.root_ns)
    for unit in plan.package_units[pkg.name]:
        for c in unit.data_classes:
            p.print("// $wire$", wire=c.name)
            ClassEmitter(plan.model, plan.names, c).print_detail_declarations(p)
        for c in unit.managed_classes:
            ManagedEmitter(plan.model, plan.names, c).print_detail_declarations(p)
    p.print("} // namespace $root$::Detail", root=plan.names.root_ns)
    return p.text()


def emit_part(plan: Plan, pkg: Package, units: list[Unit], index: int) -> str:
    m, names = plan.model, plan.names
    p = Printer()
    _banner(p, pkg.file.rsplit("/", 1)[-1])
    p.print("// Part $i$ of package $pkg$: class members and reflection accessors.", i=index, pkg=pkg.name)
    p.blank()
    headers = {plan.detail_header(pkg.name)}
    for u in units:
        headers.add(u.header)
        headers |= u.complete
        headers |= u.needs_units
    for h in sorted(headers):
        p.print('#include "$h$"', h=h)
    p.blank()
    emitters = [ClassEmitter(m, names, c) for u in units for c in u.data_classes]
    for ce in emitters:
        ce.print_definitions(p)
    p.print("namespace $root$::Detail {", root=names.root_ns)
    p.blank()
    for ce in emitters:
        ce.print_accessors(p)
    p.print("} // namespace $root$::Detail", root=names.root_ns)
    return p.text()


def emit_stub_header(plan: Plan, unit: Unit) -> str:
    m, names = plan.model, plan.names
    p = Printer()
    _banner(p, m.package(unit.top.package).file.rsplit("/", 1)[-1])
    p.print("// Client stubs of $wire$ and of the managed types nested in it.", wire=unit.top.name)
    p.print("//")
    p.print("// A call borrows its arguments for the call only. Values start with reference count 0, so a value")
    p.print("// must already be held by a Pellum::Ref when it is passed (`auto spec = Pellum::MakeRef<T>();`):")
    p.print("// a bare `new T` passed to a member is freed when the call releases its arguments.")
    p.print("#pragma once")
    p.blank()
    for inc in [unit.header] + sorted(unit.stub_needs):
        p.print('#include "$inc$"', inc=inc)
    p.blank()
    ns = names.namespace(unit.top)
    _open_namespace(p, ns)
    p.blank()
    for c in _stub_order(m, unit):
        ManagedEmitter(m, names, c).print_stub_declaration(p)
        p.blank()
    _close_namespace(p, ns)
    return p.text()


def emit_skeleton_header(plan: Plan, unit: Unit) -> str:
    m, names = plan.model, plan.names
    p = Printer()
    _banner(p, m.package(unit.top.package).file.rsplit("/", 1)[-1])
    p.print("// Skeletons of $wire$ and of the managed types nested in it.", wire=unit.top.name)
    p.print("#pragma once")
    p.blank()
    for inc in ["ormid/NotServed.h", unit.header] + sorted(unit.skeleton_needs):
        p.print('#include "$inc$"', inc=inc)
    p.blank()
    ns = names.namespace(unit.top)
    _open_namespace(p, ns)
    p.blank()
    for c in _stub_order(m, unit):
        ManagedEmitter(m, names, c).print_skeleton_declaration(p)
        p.blank()
    _close_namespace(p, ns)
    return p.text()


def _stub_order(m: Model, unit: Unit) -> list[Type]:
    """A unit's managed classes with a base stub (or skeleton) of the same unit before its derived ones."""
    inside = {c.name: c for c in unit.managed_classes}
    out: list[Type] = []

    def visit(c: Type) -> None:
        if c in out:
            return
        if c.base in inside:
            visit(inside[c.base])
        out.append(c)

    for c in unit.managed_classes:
        visit(c)
    return out


def emit_managed_part(plan: Plan, pkg: Package, units: list[Unit], index: int) -> str:
    m, names = plan.model, plan.names
    p = Printer()
    _banner(p, pkg.file.rsplit("/", 1)[-1])
    p.print("// Managed part $i$ of package $pkg$: interfaces, client stubs, dispatchers.", i=index, pkg=pkg.name)
    p.blank()
    headers = {plan.detail_header(pkg.name), MANAGED_SUPPORT}
    for u in units:
        headers |= {u.header, u.stub_header} | u.complete | u.needs_units
    for h in sorted(headers):
        p.print('#include "$h$"', h=h)
    p.blank()
    emitters = [ManagedEmitter(m, names, c) for u in units for c in _stub_order(m, u)]
    for me in emitters:
        me.print_interface_definitions(p)
        me.print_stub_definitions(p)
        p.blank()
    p.print("namespace $root$::Detail {", root=names.root_ns)
    p.blank()
    for me in emitters:
        me.print_server_definitions(p)
    p.print("} // namespace $root$::Detail", root=names.root_ns)
    return p.text()


def emit_registration_unit(plan: Plan, pkg: Package) -> str:
    p = Printer()
    # Property records and bases may name the headers of any package's types.
    includes = sorted({plan.all_header(pkg.name), plan.detail_header(pkg.name),
                       f"{plan.names.root}/detail/Registration.h"}
                      | {plan.fwd_header(other.name) for other in plan.model.packages})
    print_package_registration(p, plan.model, plan.names, pkg, includes)
    return p.text()


def generate(model: Model) -> dict[str, str]:
    """Every generated file: relative path -> content."""
    if model.namespace.name == RUNTIME_NAMESPACE:
        return generate_runtime(model)
    plan = Plan(model)
    files: dict[str, str] = {}

    def put(path: str, printer_fn) -> None:
        p = Printer()
        printer_fn(p, model)
        files[path] = p.text()

    r = plan.names.root
    put(f"{r}/Versions.h", print_versions_header)
    put("versions.cpp", print_versions_source)
    put(f"{r}/Packages.h", print_packages_header)
    put("packages.cpp", print_packages_source)
    put(f"{r}/detail/Registration.h", print_registration_header)
    put("registration.cpp", print_library_registration)
    for pkg in model.packages:
        folder, stem = package_folder(pkg.name), package_stem(pkg.name)
        files[plan.fwd_header(pkg.name)] = emit_fwd(plan, pkg)
        files[plan.all_header(pkg.name)] = emit_all(plan, pkg)
        files[plan.detail_header(pkg.name)] = emit_detail(plan, pkg)
        for unit in plan.package_units[pkg.name]:
            files[unit.header] = emit_unit_header(plan, unit)
        for unit in plan.package_units[pkg.name]:
            if unit.managed_classes:
                files[unit.stub_header] = emit_stub_header(plan, unit)
                files[unit.skeleton_header] = emit_skeleton_header(plan, unit)
        for i, units in enumerate(plan.parts(pkg)):
            files[f"{folder}/{stem}_part{i}.cpp"] = emit_part(plan, pkg, units, i)
        for i, units in enumerate(plan.managed_parts(pkg)):
            files[f"{folder}/{stem}_managed{i}.cpp"] = emit_managed_part(plan, pkg, units, i)
        files[f"{folder}/{stem}_registration.cpp"] = emit_registration_unit(plan, pkg)
    expected = plan.outputs()
    if sorted(expected) != sorted(files) or len(set(expected)) != len(expected):
        raise EmitError("the planned outputs and the generated files differ")
    return files


def remove_stale(files: dict[str, str], out: str | os.PathLike) -> list[str]:
    """Delete generated files below `out` that the schema no longer yields (a removed type's header would
    otherwise still be installed). Only files that carry the generated-file banner are touched."""
    root = Path(out)
    removed = []
    if not root.is_dir():
        return removed
    for path in sorted(root.rglob("*")):
        rel = path.relative_to(root).as_posix()
        if not path.is_file() or rel in files or path.suffix not in (".h", ".cpp"):
            continue
        with path.open("rb") as f:
            if not f.read(20).startswith(b"// Generated"):
                continue
        path.unlink()
        removed.append(rel)
    return removed


def write_files(files: dict[str, str], out: str | os.PathLike) -> int:
    """Write the files below `out`, each only when its content changed, and remove stale generated
    files. Returns the number written."""
    root = Path(out)
    remove_stale(files, out)
    written = 0
    for rel in sorted(files):
        path = root / rel
        data = files[rel].encode("utf-8")
        try:
            if path.read_bytes() == data:
                continue
        except OSError:
            pass
        path.parent.mkdir(parents=True, exist_ok=True)
        tmp = path.with_name(path.name + ".tmp")
        tmp.write_bytes(data)
        os.replace(tmp, path)
        written += 1
    return written


def output_list(model: Model) -> list[str]:
    if model.namespace.name == RUNTIME_NAMESPACE:
        return runtime_outputs(model)
    return Plan(model).outputs()
