"""Reads the schema files, checks them and builds the Model.

`load_schema(directory)` is the entry point of the back ends; `build_model(namespace, packages)`
takes source texts directly. Both raise SchemaErrors with every error found (each with its
file:line:column) and return the model together with the warnings.
"""

from __future__ import annotations

import os
import re
from dataclasses import dataclass, field
from pathlib import Path
from types import MappingProxyType

from .errors import Location, SchemaError, SchemaErrors
from .model import (
    DATA, ENUM, FAULT, FLAG_ARRAY, FLAG_DEDUP, FLAG_LINK, FLAG_LINKABLE, FLAG_MANAGED_PROPERTY, FLAG_MARKER_40,
    FLAG_MARKER_400, FLAG_OPTIONAL, FLAG_SECRET, DEFAULT_RESPONSE_CODE, KINDS, MANAGED, PRIMITIVES, RESPONSE_CODES,
    ROOT_DATA, ROOT_FAULT, ROOT_MANAGED, RUNTIME_NAMESPACE, RUNTIME_TYPES, RUNTIME_VERSION,
    EnumValue, Method, Model, Namespace, Package, Param, Product, Property,
    Type, Version,
)
from .parser import parse_namespace, parse_package
from .syntax import MethodDecl, NamespaceFile, PackageFile, ParamDecl, PropertyDecl, Ref, TypeDecl

NAMESPACE_FILE = "namespace.kobl"
SCHEMA_SUFFIX = ".kobl"

# Item types for which no array class exists.
_NO_ARRAY = {"float", "dateTime"}  # and the data objects and faults marked `noarray`
# Single (non-array) parameter and result types for which no boxed value class exists.
_NO_BOXED = {"byte", "short", "float", "double", "kobl.MethodName", "kobl.URI", "kobl.PropertyPath"}
_PROPERTY_BITS = FLAG_LINKABLE | FLAG_LINK | FLAG_MARKER_40 | FLAG_SECRET | FLAG_MARKER_400
_PARAM_BITS = FLAG_SECRET
_ENUM_VALUE = re.compile(r"[A-Za-z0-9_]+\Z")


@dataclass
class _Entry:
    """A declared type while the model is being built."""

    decl: TypeDecl
    name: str
    package: str
    file: str
    outer: str | None
    order: int
    nested: list[str] = field(default_factory=list)
    base: str | None = None
    version: str | None = None
    wsdl: str = ""
    properties: list[Property] = field(default_factory=list)
    values: list[EnumValue] = field(default_factory=list)
    methods: list[Method] = field(default_factory=list)

    @property
    def kind(self) -> str:
        return self.decl.kind

    @property
    def location(self) -> Location:
        return self.decl.location


def _hex(value: int) -> str:
    return f"0x{value:x}"


def _raise_first(name: str) -> str:
    return name[:1].upper() + name[1:]


class _Builder:
    def __init__(self, dependency: Model | None = None) -> None:
        self.dependency = dependency  # the runtime's model, whose types every namespace may name
        self.errors: list[SchemaError] = []
        self.warnings: list[SchemaError] = []
        self.entries: dict[str, _Entry] = {}
        self.by_short: dict[str, list[str]] = {}

    def error(self, location: Location, message: str) -> None:
        self.errors.append(SchemaError(location, message))

    def warn(self, location: Location, message: str) -> None:
        self.warnings.append(SchemaError(location, message))

    def fail_if_errors(self) -> None:
        if self.errors:
            self.errors.sort(key=lambda e: (e.location.file, e.location.line, e.location.column))
            raise SchemaErrors(self.errors, self.warnings)

    # -- namespace ---------------------------------------------------------------------

    def namespace(self, ns: NamespaceFile) -> None:
        self.ns = ns
        self.root = ns.name
        if ns.version_slots is None:
            self.error(ns.location, "the namespace file states 'version-slots N;'")
        if ns.counts is None:
            self.error(ns.location, "the namespace file states 'counts A, B, C;' (second half of field 12, "
                                    "field 13)")
        elif len(ns.counts) != 3:
            self.error(ns.counts_location, f"'counts' holds three numbers (second half of field 12, field 13), "
                                           f"found {len(ns.counts)}")
        seen_deps: set[str] = set()
        for dep in ns.dependencies:
            if dep in seen_deps:
                self.error(ns.location, f"dependency \"{dep}\" is listed twice")
            seen_deps.add(dep)

        self.versions: dict[str, Version] = {}
        for decl in ns.versions:
            full = f"{self.root}.version.{decl.name}"
            if full in self.versions:
                self.error(decl.location, f"version {decl.name} is already declared at "
                                          f"{self.versions[full].location}")
                continue
            if decl.stage not in (0, 1, 2, 3, 4):
                self.error(decl.location, f"stage of version {decl.name} is 0 to 4, found {decl.stage}")
            wire = decl.wire if decl.wire is not None else ns.default_wire
            task = decl.task_type if decl.task_type is not None else ns.default_task_type
            task_ns = decl.task_namespace if decl.task_namespace is not None else ns.default_task_namespace
            flags = decl.flags if decl.flags is not None else ns.default_flags
            missing = [what for what, value in (("wire", wire), ("task", task), ("flags", flags))
                       if value is None]
            if missing:
                self.error(decl.location, f"version {decl.name} has no {', '.join(missing)}: give it in the "
                                          f"record or in 'defaults'")
                continue
            self.versions[full] = Version(full, wire, decl.id, decl.release, task, task_ns, decl.stage,
                                          flags, decl.location)

        self.parents: list[tuple[str, str]] = []
        self.dependency_versions: set[str] = set()
        seen_pairs: dict[tuple[str, str], Location] = {}
        for pair in ns.parents:
            child = self.version_name(pair.version.text)
            parent = self.version_name(pair.parent.text)
            ok = True
            if child not in self.versions:
                self.error(pair.version.location, f"version {pair.version.text} is not in the catalogue: "
                                                  f"only versions of {self.root} have parents here")
                ok = False
            if parent not in self.versions:
                dep = next((d for d in ns.dependencies if parent.startswith(d + ".version.")), None)
                if dep is None:
                    self.error(pair.parent.location,
                               f"parent {pair.parent.text} is neither a version of the catalogue nor a version "
                               f"of a dependency ({', '.join(ns.dependencies) or 'none declared'})")
                    ok = False
                else:
                    self.dependency_versions.add(parent)
            if child == parent:
                self.error(pair.version.location, f"version {pair.version.text} cannot be its own parent")
                ok = False
            if (child, parent) in seen_pairs:
                self.error(pair.version.location, f"parent pair {pair.version.text} -> {pair.parent.text} is "
                                                  f"already stated at {seen_pairs[(child, parent)]}")
                ok = False
            seen_pairs[(child, parent)] = pair.version.location
            if ok:
                self.parents.append((child, parent))
        self.ancestors = self.version_ancestors(ns)

        self.package_entries: dict[str, object] = {}
        for entry in ns.packages:
            if entry.name != self.root and not entry.name.startswith(self.root + "."):
                self.error(entry.location, f"package {entry.name} is not in namespace {self.root}")
            if entry.name in self.package_entries:
                self.error(entry.location, f"package {entry.name} is listed twice")
                continue
            self.package_entries[entry.name] = entry
        self.allowed_versions = set(self.versions) | {RUNTIME_VERSION} | self.dependency_versions

    def version_ancestors(self, ns: NamespaceFile) -> dict[str, frozenset[str]]:
        parents_of: dict[str, list[str]] = {}
        for child, parent in self.parents:
            parents_of.setdefault(child, []).append(parent)
        result: dict[str, frozenset[str]] = {}
        on_path: set[str] = set()
        cycle_reported = False
        # Depth first with a stack of its own (a chain of parents is as long as the catalogue): a version's
        # ancestors are its parents and theirs, gathered once its parents are done.
        for root in list(self.versions) + [c for c, _ in self.parents]:
            if root in result:
                continue
            stack = [(root, iter(parents_of.get(root, ())), set())]
            on_path.add(root)
            while stack:
                name, pending, acc = stack[-1]
                parent = next(pending, None)
                if parent is None:
                    stack.pop()
                    on_path.discard(name)
                    result[name] = frozenset(acc)
                    if stack:
                        stack[-1][2].update(result[name])
                    continue
                acc.add(parent)
                if parent in result:
                    acc |= result[parent]
                elif parent in on_path:
                    if not cycle_reported:
                        loc = self.versions[parent].location if parent in self.versions else ns.location
                        self.error(loc, f"the parent pairs form a cycle through version {parent}")
                        cycle_reported = True
                else:
                    on_path.add(parent)
                    stack.append((parent, iter(parents_of.get(parent, ())), set()))
        return result

    def version_name(self, text: str) -> str:
        return text if "." in text else f"{self.root}.version.{text}"

    def version_of(self, ref: Ref) -> str | None:
        full = self.version_name(ref.text)
        if full not in self.allowed_versions:
            self.error(ref.location, f"unknown version '{ref.text}': not in the version catalogue of the "
                                     f"namespace file ({full})")
            return None
        return full

    def extends(self, newer: str, older: str) -> bool | None:
        """Whether `newer` contains `older`; None when either is outside the catalogue."""
        if newer not in self.versions or older not in self.versions:
            return None
        return newer == older or older in self.ancestors.get(newer, frozenset())

    # -- files and declarations -------------------------------------------------------

    def files(self, files: list[PackageFile]) -> None:
        self.package_files: dict[str, PackageFile] = {}
        for pf in files:
            base = os.path.basename(pf.path)
            if base != pf.package + SCHEMA_SUFFIX:
                self.error(pf.package_location, f"package {pf.package} belongs in a file named "
                                                f"{pf.package}{SCHEMA_SUFFIX}, not {base}")
            if pf.package not in self.package_entries:
                self.error(pf.package_location, f"package {pf.package} is not in the package list of the "
                                                f"namespace file")
                continue
            if pf.package in self.package_files:
                self.error(pf.package_location, f"package {pf.package} is already declared in "
                                                f"{self.package_files[pf.package].path}")
                continue
            self.package_files[pf.package] = pf
        for name, entry in self.package_entries.items():
            if name not in self.package_files:
                self.error(entry.location, f"package {name} is listed but no file declares it "
                                           f"(expected {name}{SCHEMA_SUFFIX})")
        self.order: list[str] = []
        for name in self.package_entries:
            pf = self.package_files.get(name)
            if pf is None:
                continue
            for decl in pf.decls:
                self.declare(decl, pf, pf.package, None)
        for name in self.order:
            entry = self.entries[name]
            self.by_short.setdefault(entry.name.rsplit(".", 1)[1], []).append(name)

    def declare(self, decl: TypeDecl, pf: PackageFile, scope: str, outer: str | None) -> None:
        name = f"{scope}.{decl.name}"
        if name in self.entries:
            self.error(decl.location, f"type {name} is already declared at {self.entries[name].location}")
            return
        owner = self.owning_package(name)
        if owner is not None and owner != pf.package:
            self.error(decl.location, f"type {name} belongs to package {owner}, not to {pf.package}")
        entry = _Entry(decl, name, pf.package, pf.path, outer, len(self.order))
        self.entries[name] = entry
        self.order.append(name)
        if outer is not None:
            self.entries[outer].nested.append(name)
        for child in decl.nested:
            self.declare(child, pf, name, name)

    def owning_package(self, name: str) -> str | None:
        """The longest listed package that is a dotted prefix of `name`."""
        prefix = name
        while "." in prefix:
            prefix = prefix.rsplit(".", 1)[0]
            if prefix in self.package_entries:
                return prefix
        return None

    def dotted_declarations(self) -> None:
        for name in self.order:
            entry = self.entries[name]
            if "." not in entry.decl.name:
                continue
            scope = entry.outer or entry.package
            parts = entry.decl.name.split(".")[:-1]
            prefix = scope
            for part in parts:
                prefix = f"{prefix}.{part}"
                if prefix in self.entries:
                    self.error(entry.location, f"{prefix} is a type of the schema: declare "
                                               f"{entry.decl.name.rsplit('.', 1)[1]} inside its body")
                    break

    # -- name resolution ---------------------------------------------------------------

    def scopes(self, inner: str) -> list[str]:
        """`inner` and each of its dotted prefixes, down to the namespace root."""
        chain = []
        current = inner
        while True:
            chain.append(current)
            if current == self.root or "." not in current:
                break
            current = current.rsplit(".", 1)[0]
        return chain

    def kind(self, name: str) -> str | None:
        entry = self.entries.get(name)
        if entry is not None:
            return entry.kind
        runtime = self.outside(name)
        return runtime.kind if runtime is not None else None

    def outside(self, name: str):
        """A type the namespace names but does not declare: a type of its dependency or of the runtime."""
        found = self.dependency.types.get(name) if self.dependency is not None else None
        return found if found is not None else RUNTIME_TYPES.get(name)

    def resolve(self, ref: Ref, inner: str, faults_only: bool = False) -> str | None:
        text = ref.text
        if text in PRIMITIVES:
            return text
        if text.startswith(self.root + ".") or text.startswith(RUNTIME_NAMESPACE + "."):
            if text in self.entries or self.outside(text) is not None:
                return text
            self.error(ref.location, f"unknown type '{text}'{self.suggest(text)}")
            return None
        chain = self.scopes(inner)
        if faults_only and f"{self.root}.fault" not in chain:
            chain.append(f"{self.root}.fault")
        found = [f"{scope}.{text}" for scope in chain if f"{scope}.{text}" in self.entries]
        if faults_only:
            found = [name for name in found if self.entries[name].kind == FAULT] or found
        if not found:
            self.error(ref.location, f"unknown type '{text}' (looked in {', '.join(chain)})"
                                     f"{self.suggest(text)}")
            return None
        if len(found) > 1:
            self.error(ref.location, f"ambiguous type '{text}': it names {' and '.join(found)}; "
                                     f"qualify it further")
            return None
        return found[0]

    def suggest(self, text: str) -> str:
        short = text.rsplit(".", 1)[-1]
        candidates = self.by_short.get(short, [])
        if not candidates:
            lowered = short.lower()
            candidates = [n for s, names in self.by_short.items() if s.lower() == lowered for n in names]
        if not candidates:
            return ""
        shown = ", ".join(candidates[:3]) + (", …" if len(candidates) > 3 else "")
        return f"; did you mean {shown}?"

    # -- types ---------------------------------------------------------------------------

    def bases(self) -> None:
        for name in self.order:
            entry = self.entries[name]
            decl = entry.decl
            if decl.kind == ENUM:
                if decl.base is not None:
                    self.error(decl.base.location, f"enumeration {name} cannot have a base")
                continue
            if decl.base is None:
                if decl.kind == FAULT:
                    self.error(decl.location, f"fault {name} must name its base (a fault of the schema, "
                                              f"kobl.MethodFault, kobl.RuntimeFault or a kobl.fault.* fault)")
                root = ROOT_DATA if decl.kind == DATA else ROOT_MANAGED
                entry.base = root if root != name else None  # the root of data objects has no base
                continue
            base = self.resolve(decl.base, name.rsplit(".", 1)[0])
            if base is None:
                continue
            base_kind = self.kind(base)
            runtime = base not in self.entries
            if decl.kind == DATA:
                ok = base == ROOT_DATA or (not runtime and base_kind == DATA)
                want = "a data object of the schema or kobl.DynamicData"
            elif name == ROOT_FAULT:
                ok = base == ROOT_DATA
                want = "kobl.DynamicData (it is the root of the faults)"
            elif decl.kind == FAULT:
                ok = base_kind == FAULT
                want = "a fault of the schema, kobl.MethodFault, kobl.RuntimeFault or a kobl.fault.* fault"
            else:
                ok = base == "kobl.ManagedObject" or (not runtime and base_kind == MANAGED)
                want = "a managed type of the schema or kobl.ManagedObject"
            if not ok:
                what = "a primitive type" if base_kind == "primitive" else \
                    f"{'an' if base_kind == ENUM else 'a'} {base_kind} type"
                self.error(decl.base.location, f"the base of {decl.kind} type {name} must be {want}; "
                                               f"{base} is {what}")
                continue
            entry.base = base
        # Each type is walked once: a walk stops at a type an earlier walk went through.
        reported: set[str] = set()
        walked: set[str] = set()
        for name in self.order:
            path: dict[str, int] = {}
            current = name
            while current in self.entries and current not in walked:
                walked.add(current)
                path[current] = len(path)
                current = self.entries[current].base
            if current in path:
                chain = list(path)
                cycle = chain[path[current]:]
                reported.update(cycle)
                first = min(cycle, key=lambda n: self.entries[n].order)
                loop = " -> ".join(cycle[cycle.index(first):] + cycle[:cycle.index(first)] + [first])
                self.error(self.entries[first].location, f"inheritance cycle: {loop}")
        self.cyclic = reported

    def type_versions(self) -> None:
        for name in self.order:
            entry = self.entries[name]
            entry.version = self.version_of(entry.decl.since)
        for name in self.order:
            entry = self.entries[name]
            if entry.version is None:
                continue
            sources = []
            if entry.base in self.entries and self.entries[entry.base].version:
                sources.append(("base", entry.base, self.entries[entry.base].version))
            if entry.outer is not None and self.entries[entry.outer].version:
                sources.append(("enclosing type", entry.outer, self.entries[entry.outer].version))
            for role, other, version in sources:
                if self.extends(entry.version, version) is False:
                    self.warn(entry.decl.since.location, f"{name} (version {entry.version}) is older than its "
                                                         f"{role} {other} ({version})")
            if not entry.decl.inferred:
                continue
            if not sources:
                continue  # nothing of the schema to infer it from: the version stays as written
            newest = sources[0][2]
            for _, _, version in sources[1:]:
                if self.extends(version, newest):
                    newest = version
                elif not self.extends(newest, version):
                    newest = None
                    break
            if newest is None:
                self.warn(entry.decl.since.location, f"version of {name} is marked inferred, but the versions of "
                                                     f"its base and enclosing type are not ordered")
            elif newest != entry.version:
                self.error(entry.decl.since.location,
                           f"inferred version of {name} is the newest of its base's and enclosing type's "
                           f"versions, {newest}, not {entry.version}")

    def annotations(self) -> None:
        """`response <Code>` only on faults and naming a code of the runtime; `factory` only on enumerations."""
        for name in self.order:
            decl = self.entries[name].decl
            if decl.response is not None:
                code = decl.response.text
                if decl.kind != FAULT:
                    self.error(decl.response.location, f"'response' belongs to faults; {name} is a {decl.kind} type")
                elif code not in RESPONSE_CODES:
                    self.error(decl.response.location, f"unknown response code {code!r} on {name}; one of "
                                                       f"{', '.join(RESPONSE_CODES)}")
                elif code == DEFAULT_RESPONSE_CODE:
                    self.warn(decl.response.location, f"response code of {name} is the default; leave it out")
            if decl.factory is not None and decl.kind != ENUM:
                self.error(decl.factory, f"'factory' belongs to enumerations; {name} is a {decl.kind} type")
            for word, where in (("runtime", decl.runtime), ("noarray", decl.noarray)):
                if where is not None and decl.kind not in (DATA, FAULT):
                    self.error(where, f"'{word}' belongs to data objects and faults; {name} is a {decl.kind} type")

    def wsdl_names(self) -> None:
        seen: dict[str, str] = {}
        for name in self.order:
            entry = self.entries[name]
            short = name.rsplit(".", 1)[1]
            wsdl = entry.decl.wsdl if entry.decl.wsdl is not None else short
            if entry.decl.wsdl is not None:
                if not wsdl:
                    self.error(entry.decl.wsdl_location, f"empty WSDL name on {name}")
                elif wsdl == short:
                    self.warn(entry.decl.wsdl_location, f"WSDL name of {name} equals its last component; "
                                                        f"leave 'wsdl' out")
            if wsdl in seen:
                self.error(entry.decl.wsdl_location or entry.location,
                           f"WSDL name {wsdl} of {name} is already used by {seen[wsdl]}")
            else:
                seen[wsdl] = name
            entry.wsdl = wsdl

    # -- members -------------------------------------------------------------------------

    def members(self) -> None:
        self.operations: dict[str, str] = {}
        for name in self.order:
            entry = self.entries[name]
            if entry.kind == ENUM:
                self.enum_values(entry)
                continue
            names: dict[str, Location] = {}
            accessors: dict[str, str] = {}
            for index, decl in enumerate(entry.decl.properties):
                prop = self.property(entry, decl, index)
                if decl.name in names:
                    self.error(decl.location, f"property {decl.name} of {name} is already declared at "
                                              f"{names[decl.name]}")
                    continue
                names[decl.name] = decl.location
                accessor = _raise_first(decl.name)
                if accessor in accessors:
                    self.error(decl.location, f"properties {accessors[accessor]} and {decl.name} of {name} "
                                              f"have the same accessor name Get{accessor}")
                accessors[accessor] = decl.name
                if prop is not None:
                    entry.properties.append(prop)
            if entry.kind == MANAGED:
                self.methods(entry, names)

    def property(self, entry: _Entry, decl: PropertyDecl, index: int) -> Property | None:
        owner = entry.name
        tname = self.resolve(decl.type.name, owner)
        version = entry.version
        if decl.since is not None:
            version = self.version_of(decl.since)
            if version is not None and version == entry.version:
                self.warn(decl.since.location, f"'since' of property {decl.name} repeats the version of {owner}; "
                                               f"leave it out")
            elif version is not None and entry.version and self.extends(version, entry.version) is False:
                self.warn(decl.since.location, f"property {decl.name} ({version}) is older than {owner} "
                                               f"({entry.version})")
        flags = (FLAG_ARRAY if decl.type.array else 0) | (FLAG_OPTIONAL if decl.type.optional else 0)
        if entry.kind == MANAGED:
            flags |= FLAG_MANAGED_PROPERTY
        for bits in decl.bits:
            if bits.value == 0:
                self.error(bits.location, "'+0' adds no flag")
            bad = bits.value & ~_PROPERTY_BITS
            if bad:
                if bad & (FLAG_ARRAY | FLAG_OPTIONAL | FLAG_MANAGED_PROPERTY):
                    self.error(bits.location, f"flag {_hex(bad)} is not written as '+': an array is written "
                                              f"'[]', an optional value '?', and 0x4 comes with managed types")
                else:
                    self.error(bits.location, f"flag {_hex(bad)} is not a property flag (allowed: +16, +32, +64, "
                                              f"+512, +1024)")
            flags |= bits.value & _PROPERTY_BITS
        if decl.secret:
            flags |= FLAG_SECRET
        if decl.link:
            flags |= FLAG_LINK
        if decl.linkable:
            flags |= FLAG_LINKABLE
        if decl.dedup:
            flags |= FLAG_DEDUP
        if tname is None or version is None:
            return None
        where = f"property {decl.name} of {owner}"
        tkind = self.kind(tname)
        loc = decl.type.name.location
        if tkind == FAULT and tname != ROOT_FAULT:
            self.error(loc, f"{where} cannot hold the fault {tname}: only kobl.MethodFault holds a fault value")
        self.check_array(decl.type.array, tname, loc, where)
        data_like = entry.kind in (DATA, FAULT)
        if flags & FLAG_SECRET and tname != "string":
            self.error(decl.modifier_locations.get("secret", loc), f"{where} is secret, so it must be a string, "
                                                                   f"not {tname}")
        if flags & FLAG_LINK:
            at = decl.modifier_locations.get("link", loc)
            if not data_like:
                self.error(at, f"{where}: 'link' belongs on properties of data objects and faults")
            elif tname not in self.entries or tkind != DATA:
                self.error(at, f"{where} is a link, so its type names the data object whose key it holds; "
                               f"{tname} is not a data object of the schema")
        if flags & FLAG_LINKABLE:
            at = decl.modifier_locations.get("linkable", loc)
            if not data_like:
                self.error(at, f"{where}: 'linkable' belongs on properties of data objects and faults")
            elif not decl.type.array:
                self.error(at, f"{where} is linkable, so it must be an array")
            elif tname not in self.entries or tkind != DATA:
                self.error(at, f"{where} is linkable, so its items are data objects of the schema, not {tname}")
        if decl.dedup:
            at = decl.modifier_locations["dedup"]
            if not data_like:
                self.error(at, f"{where}: 'dedup' belongs on properties of data objects")
            elif tname != "string" or decl.type.array or not decl.type.optional:
                self.error(at, f"{where} is stored deduplicated, so it must be an optional string ('string?')")
        if decl.name == "dynamicProperty" and data_like:
            if index != 0 or tname != "kobl.DynamicProperty" or flags != (FLAG_ARRAY | FLAG_OPTIONAL) \
                    or version != RUNTIME_VERSION or decl.privilege is not None:
                self.error(decl.location, f"{where} redeclares the base property dynamicProperty, which is "
                                          f"written first as 'dynamicProperty: kobl.DynamicProperty[]? since "
                                          f"{RUNTIME_VERSION};'")
        return Property(decl.name, tname, flags, decl.privilege, version, decl.since is not None, decl.dedup,
                        decl.location)

    def check_array(self, array: bool, tname: str, loc: Location, where: str) -> None:
        if array and (tname in _NO_ARRAY or self.no_array(tname)):
            self.error(loc, f"{where}: there are no arrays of {tname}")

    def no_array(self, tname: str) -> bool:
        entry = self.entries.get(tname)
        if entry is not None:
            return entry.decl.noarray is not None
        return getattr(self.outside(tname), "no_array", False)

    def inherited(self) -> None:
        """A data object or fault never repeats a property of its bases (dynamicProperty aside); a managed type
        may redeclare a property of its bases as its own (it then has its own record and getter)."""
        # One walk down the inheritance tree (types in a cycle left out), keeping for each property name the
        # nearest base that holds it: linear however long the chains are.
        children: dict[str | None, list[str]] = {}
        for name in self.order:
            if name not in self.cyclic:
                base = self.entries[name].base
                parent = base if base in self.entries and base not in self.cyclic else None
                children.setdefault(parent, []).append(name)
        holders: dict[str, str] = {}
        stack: list = [(n, []) for n in reversed(children.get(None, []))]
        undo_stack: list[list[tuple[str, str | None]]] = []
        while stack:
            item = stack.pop()
            if item is None:  # leaving a type: its properties no longer hold
                for pname, previous in reversed(undo_stack.pop()):
                    if previous is None:
                        del holders[pname]
                    else:
                        holders[pname] = previous
                continue
            name, undo = item
            entry = self.entries[name]
            if entry.kind not in (ENUM, MANAGED):
                for prop in entry.properties:
                    if prop.name in holders and prop.name != "dynamicProperty":
                        self.error(prop.location, f"property {prop.name} of {name} is already a property of its "
                                                  f"base {holders[prop.name]}")
            for pname in dict.fromkeys(p.name for p in entry.properties):
                undo.append((pname, holders.get(pname)))
                holders[pname] = name
            undo_stack.append(undo)
            stack.append(None)
            stack.extend((child, []) for child in reversed(children.get(name, [])))

    def enum_values(self, entry: _Entry) -> None:
        seen: dict[str, Location] = {}
        constants: dict[str, str] = {}
        for value in entry.decl.values:
            if not _ENUM_VALUE.match(value.name):
                self.error(value.location, f"enumeration value \"{value.name}\" of {entry.name} may hold only "
                                           f"letters, digits and '_'")
                continue
            if value.name in seen:
                self.error(value.location, f"value {value.name} of {entry.name} is already listed at "
                                           f"{seen[value.name]}")
                continue
            upper = value.name.upper()
            if upper in constants:
                self.error(value.location, f"values {constants[upper]} and {value.name} of {entry.name} give the "
                                           f"same constant name {upper}")
                continue
            seen[value.name] = value.location
            constants[upper] = value.name
            entry.values.append(EnumValue(value.name, len(entry.values), value.location))

    def methods(self, entry: _Entry, property_names: dict[str, Location]) -> None:
        names: dict[str, Location] = {}
        constants: dict[str, str] = {}
        wsdls: dict[str, str] = {}
        for decl in entry.decl.methods:
            if decl.name in names:
                self.error(decl.location, f"method {decl.name} of {entry.name} is already declared at "
                                          f"{names[decl.name]}")
                continue
            names[decl.name] = decl.location
            upper = decl.name.upper()
            if upper in constants:
                self.error(decl.location, f"methods {constants[upper]} and {decl.name} of {entry.name} give the "
                                          f"same constant name METHOD_{upper}")
            constants[upper] = decl.name
            if decl.name.startswith("get") and len(decl.name) > 3:
                prop = decl.name[3].lower() + decl.name[4:]
                if prop in property_names or decl.name[3:] in property_names:
                    self.warn(decl.location, f"method {decl.name} of {entry.name} has the member name of the "
                                             f"getter of property {decl.name[3:]}")
            method = self.method(entry, decl)
            if method is None:
                continue
            if method.wsdl in wsdls:
                self.error(decl.location, f"operation {method.wsdl} of {entry.name} is already the operation of "
                                          f"method {wsdls[method.wsdl]}")
            wsdls[method.wsdl] = decl.name
            other = self.operations.get(method.wsdl)
            if other is not None and other != entry.name:
                self.warn(decl.location, f"operation {method.wsdl} is also an operation of {other}")
            self.operations.setdefault(method.wsdl, entry.name)
            entry.methods.append(method)

    def method(self, entry: _Entry, decl: MethodDecl) -> Method | None:
        owner = entry.name
        where = f"method {decl.name} of {owner}"
        ok = True
        version = entry.version
        if decl.since is not None:
            version = self.version_of(decl.since)
            if version is not None and version == entry.version:
                self.warn(decl.since.location, f"'since' of {where} repeats the version of {owner}; leave it out")
            elif version is not None and entry.version and self.extends(version, entry.version) is False:
                self.warn(decl.since.location, f"{where} ({version}) is older than {owner} ({entry.version})")
        default_wsdl = _raise_first(decl.name) + ("_Task" if decl.task else "")
        wsdl = decl.wsdl if decl.wsdl is not None else default_wsdl
        wsdl_at = decl.modifier_locations.get("wsdl", decl.location)
        if decl.wsdl is not None and decl.wsdl == default_wsdl:
            self.warn(wsdl_at, f"operation name of {where} is the default; leave 'wsdl' out")
        if not wsdl:
            self.error(wsdl_at, f"empty operation name on {where}")
        elif decl.task and not wsdl.endswith("_Task"):
            self.error(wsdl_at, f"{where} runs as a task, so its operation name ends in _Task, not {wsdl}")
        elif not decl.task and wsdl.endswith("_Task"):
            self.error(wsdl_at, f"operation {wsdl} ends in _Task, so {where} is marked 'task'")
        flag_bytes = decl.flag_bytes or (0, 0, 0)
        if flag_bytes[1] and not decl.task:
            self.error(decl.modifier_locations["flags"], f"flag byte 2 is set only on task methods; {where} is "
                                                         f"not marked 'task'")
        type_privileges = None
        if decl.type_privileges is not None:
            if decl.privilege is not None:
                self.error(decl.modifier_locations["privileges by type"],
                           f"{where} has a privilege, so it cannot also have privileges by type")
            pairs = []
            seen: set[str] = set()
            for pair in decl.type_privileges:
                if pair.type_name in seen:
                    self.error(pair.location, f"type {pair.type_name} is listed twice in the privileges of {where}")
                    ok = False
                seen.add(pair.type_name)
                kind = self.kind(pair.type_name)
                if kind is None:
                    self.warn(pair.location, f"privileges by type of {where} name {pair.type_name}, which is no "
                                             f"type of the schema")
                elif kind != MANAGED:
                    self.error(pair.location, f"privileges by type name managed types; {pair.type_name} is "
                                              f"{'an' if kind == ENUM else 'a'} {kind} type")
                    ok = False
                pairs.append((pair.type_name, pair.privilege))
            type_privileges = tuple(pairs)
        params = []
        seen_params: dict[str, Location] = {}
        for pdecl in decl.params:
            if pdecl.name in seen_params:
                self.error(pdecl.location, f"parameter {pdecl.name} of {where} is already declared at "
                                           f"{seen_params[pdecl.name]}")
                ok = False
                continue
            seen_params[pdecl.name] = pdecl.location
            param = self.param(entry, pdecl, version, f"parameter {pdecl.name} of {where}")
            if param is None:
                ok = False
            else:
                params.append(param)
        result = None
        if decl.result is not None:
            result = self.param(entry, decl.result, version, f"the result of {where}")
            if result is None:
                ok = False
            elif decl.result.since is not None and result.version != version:
                self.warn(decl.result.since.location,
                          f"the result of {where} has version {result.version}, the method {version}: a 'since' "
                          f"right after the result type belongs to the result")
        faults = []
        for ref in decl.faults:
            fname = self.resolve(ref, owner, faults_only=True)
            if fname is None:
                ok = False
                continue
            if self.kind(fname) != FAULT:
                self.error(ref.location, f"{fname} in the faults of {where} is not a fault")
                ok = False
            elif fname in faults:
                self.error(ref.location, f"fault {fname} is listed twice in the faults of {where}")
                ok = False
            else:
                faults.append(fname)
        if not ok or version is None:
            return None
        return Method(decl.name, wsdl, decl.task, decl.privilege, type_privileges, result, tuple(params),
                      tuple(faults), version, decl.feature, flag_bytes, decl.location)

    def param(self, entry: _Entry, decl: ParamDecl, method_version: str | None, where: str) -> Param | None:
        tname = self.resolve(decl.type.name, entry.name)
        version = method_version
        if decl.since is not None:
            version = self.version_of(decl.since)
            if version is not None and version == method_version and decl.name != "result":
                self.warn(decl.since.location, f"'since' of {where} repeats the method's version; leave it out")
            elif version is not None and method_version and self.extends(version, method_version) is False:
                self.warn(decl.since.location, f"{where} ({version}) is older than its method ({method_version})")
        flags = (FLAG_ARRAY if decl.type.array else 0) | (FLAG_OPTIONAL if decl.type.optional else 0)
        for bits in decl.bits:
            bad = bits.value & ~_PARAM_BITS or (0 if bits.value else 1)
            if bad:
                self.error(bits.location, f"{where}: only +512 (secret) may be added to a parameter or result, "
                                          f"found +{bits.value}")
            flags |= bits.value & _PARAM_BITS
        if decl.secret:
            flags |= FLAG_SECRET
        if tname is None or version is None:
            return None
        loc = decl.type.name.location
        if flags & FLAG_SECRET and tname != "string":
            self.error(decl.modifier_locations.get("secret", loc), f"{where} is secret, so it must be a string, "
                                                                   f"not {tname}")
        self.check_array(decl.type.array, tname, loc, where)
        if not decl.type.array and tname in _NO_BOXED:
            self.error(loc, f"{where} cannot be a single {tname}: such values travel only in arrays")
        return Param(decl.name, tname, flags, decl.privilege, version, decl.location)

    # -- totals ----------------------------------------------------------------------------

    def package_counts(self) -> dict[str, dict[str, int]]:
        counts = {name: {k: 0 for k in KINDS} for name in self.package_entries}
        for name in self.order:
            entry = self.entries[name]
            counts[entry.package][entry.kind] += 1
        for name, entry in self.package_entries.items():
            for kind in KINDS:
                have = counts[name][kind]
                expected = entry.expect.get(kind, 0)
                if have > expected:
                    self.error(entry.location, f"package {name} expects {expected} {kind} types, but the schema "
                                               f"declares {have}")
        return counts

    # -- the model ---------------------------------------------------------------------------

    def model(self, counts: dict[str, dict[str, int]]) -> Model:
        ns = self.ns
        namespace = Namespace(
            ns.name, tuple(ns.dependencies),
            tuple(Product(p.name, tuple(p.releases)) for p in ns.products),
            ns.version_slots, tuple(ns.counts or ()), tuple(self.versions.values()), tuple(self.parents),
            ns.location)
        types: dict[str, Type] = {}
        packages = []
        by_package: dict[str, list[str]] = {name: [] for name in self.package_entries}
        for n in self.order:
            by_package[self.entries[n].package].append(n)
        for order, (pname, pentry) in enumerate(self.package_entries.items(), start=1):
            names = tuple(by_package[pname])
            for n in names:
                e = self.entries[n]
                types[n] = Type(n, e.kind, e.package, e.wsdl, e.version, e.decl.inferred,
                                None if e.kind == ENUM else e.base, e.outer, tuple(e.nested),
                                tuple(e.properties), tuple(e.values), tuple(e.methods), e.location,
                                e.decl.response.text if e.decl.response is not None else None,
                                e.decl.factory is not None, e.decl.runtime is not None,
                                e.decl.noarray is not None)
            packages.append(Package(pname, order, self.package_files[pname].path, names,
                                    MappingProxyType(dict(counts[pname])),
                                    MappingProxyType({k: pentry.expect.get(k, 0) for k in KINDS}),
                                    pentry.location))
        return Model(namespace, tuple(packages), MappingProxyType(types), self.dependency)


def build_model(namespace: tuple[str, str], packages: list[tuple[str, str]],
                dependency: Model | None = None) -> tuple[Model, list[SchemaError]]:
    """Build the model from (path, text) pairs; raises SchemaErrors when the schema has errors. Every
    namespace but the runtime's own depends on the runtime's schema (`dependency`, by default the one of
    RUNTIME_SCHEMA)."""
    builder = _Builder()
    try:
        ns = parse_namespace(namespace[1], namespace[0])
    except SchemaError as e:
        builder.errors.append(e)
        ns = None
    if ns is not None and ns.name != RUNTIME_NAMESPACE:
        builder.dependency = dependency if dependency is not None else runtime_model()
    files = []
    for path, text in packages:
        try:
            files.append(parse_package(text, path))
        except SchemaError as e:
            builder.errors.append(e)
    builder.fail_if_errors()
    builder.namespace(ns)
    builder.files(files)
    builder.dotted_declarations()
    builder.fail_if_errors()
    builder.bases()
    builder.type_versions()
    builder.wsdl_names()
    builder.annotations()
    builder.members()
    builder.inherited()
    counts = builder.package_counts()
    builder.fail_if_errors()
    builder.warnings.sort(key=lambda e: (e.location.file, e.location.line, e.location.column))
    return builder.model(counts), builder.warnings


def _display_path(path: Path) -> str:
    try:
        relative = os.path.relpath(path)
    except ValueError:
        return str(path)
    return str(path) if relative.startswith("..") else relative


# The schema of the runtime's namespace (lib/ormid/schema), read once per process.
RUNTIME_SCHEMA = Path(__file__).resolve().parent.parent / "lib" / "ormid" / "schema"
_runtime: list[Model] = []


def runtime_model() -> Model:
    if not _runtime:
        model, _ = load_schema(RUNTIME_SCHEMA)
        if model.namespace.name != RUNTIME_NAMESPACE:
            raise SchemaErrors([SchemaError(model.namespace.location, f"the runtime's schema declares namespace "
                                                                      f"{model.namespace.name}, not {RUNTIME_NAMESPACE}")])
        _runtime.append(model)
    return _runtime[0]


def load_schema(directory: str | os.PathLike) -> tuple[Model, list[SchemaError]]:
    """Read namespace.kobl and every other *.kobl file of `directory` and build the model."""
    folder = Path(directory)
    ns_path = folder / NAMESPACE_FILE
    if not ns_path.is_file():
        raise SchemaErrors([SchemaError(Location(_display_path(ns_path), 1, 1),
                                        f"no {NAMESPACE_FILE} in {_display_path(folder)}")])
    paths = [ns_path] + [p for p in sorted(folder.glob("*" + SCHEMA_SUFFIX)) if p.name != NAMESPACE_FILE]
    texts, errors = [], []
    for path in paths:
        try:
            texts.append((_display_path(path), read_schema_text(path.read_bytes(), _display_path(path))))
        except SchemaError as e:
            errors.append(e)
    if errors:
        raise SchemaErrors(errors)
    return build_model(texts[0], texts[1:])


def read_schema_text(data: bytes, display: str) -> str:
    """The text of a schema file, its line ends made '\\n' as in a file opened as text; SchemaError at the first
    byte that is not UTF-8."""
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        before = data[:e.start].decode("utf-8").replace("\r\n", "\n").replace("\r", "\n")
        line = before.count("\n") + 1
        column = len(before) - before.rfind("\n")
        raise SchemaError(Location(display, line, column),
                          f"byte 0x{data[e.start]:02x} is not UTF-8 ({e.reason}): a schema file is written in "
                          f"UTF-8; replace the character or save the file as UTF-8") from None
    return text.replace("\r\n", "\n").replace("\r", "\n")
