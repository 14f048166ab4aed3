"""The validated, immutable model of the schema that every back end reads.

All cross references are full wire names ("quorl.vm.BootOptions", "kobl.MethodFault") or
primitive names ("string", "int"); `Model.lookup` turns a name into its Type or RuntimeType.
Versions are full names ("quorl.version.version5", "kobl.version.version0").
"""

from __future__ import annotations

from dataclasses import dataclass
from types import MappingProxyType
from typing import Mapping

from .errors import Location

DATA, FAULT, ENUM, MANAGED = "data", "fault", "enum", "managed"
KINDS = (DATA, FAULT, ENUM, MANAGED)

FLAG_ARRAY = 0x1
FLAG_OPTIONAL = 0x2
FLAG_MANAGED_PROPERTY = 0x4
FLAG_LINKABLE = 0x10
FLAG_LINK = 0x20
FLAG_MARKER_40 = 0x40
FLAG_SECRET = 0x200
FLAG_MARKER_400 = 0x400
FLAG_DEDUP = 0x800  # an optional string stored deduplicated (swapped as a Pellum::Deduplicated handle)


PRIMITIVES = ("string", "boolean", "byte", "short", "int", "long", "float", "double",
              "dateTime", "binary", "anyType")

STAGE_NAMES = {0: "released", 1: "stage1", 2: "feature", 3: "unstable", 4: "disabled"}

# The HTTP response codes a fault may answer (`response <Code>`): the runtime's Pellum::Http::ResponseCode
# constants. A fault that names none answers the default.
RESPONSE_CODES = ("BadRequest", "Unauthorized", "Forbidden", "NotFound", "Conflict", "InternalServerError",
                  "NotImplemented", "ServiceUnavailable")
DEFAULT_RESPONSE_CODE = "InternalServerError"


# The runtime's own namespace: its data objects and faults are the schema of lib/ormid/schema, which every
# other namespace reads as its dependency (`Model.dependency`). Its roots: every data object derives from
# ROOT_DATA, every fault from ROOT_FAULT (itself a data object on ROOT_DATA), every managed type from
# ROOT_MANAGED.
RUNTIME_NAMESPACE = "kobl"
# The runtime's version (of lib/ormid/schema): the version of a method without result and of the
# dynamicProperty redeclaration; every namespace may name it.
RUNTIME_VERSION = "kobl.version.version0"
ROOT_DATA, ROOT_FAULT, ROOT_MANAGED = "kobl.DynamicData", "kobl.MethodFault", "kobl.ManagedObject"


@dataclass(frozen=True, slots=True)
class RuntimeType:
    """A type the object-model runtime provides outside any schema; `kind` is primitive or managed."""

    name: str
    kind: str
    base: str | None = None
    response: str | None = None


def _runtime_types() -> Mapping[str, RuntimeType]:
    """The primitive and string-valued types, and the managed types of the runtime (the root and the
    member-less services of kobl.query and kobl.reflect, which type libraries name as results)."""
    table: dict[str, RuntimeType] = {}
    for name in PRIMITIVES + ("kobl.TypeName", "kobl.MethodName", "kobl.PropertyPath", "kobl.URI"):
        table[name] = RuntimeType(name, "primitive")
    table[ROOT_MANAGED] = RuntimeType(ROOT_MANAGED, MANAGED)
    for name in ("kobl.query.PropertyCollector", "kobl.reflect.DynamicTypeManager",
                 "kobl.reflect.ManagedMethodExecuter"):
        table[name] = RuntimeType(name, MANAGED, ROOT_MANAGED)
    return MappingProxyType(table)


RUNTIME_TYPES: Mapping[str, RuntimeType] = _runtime_types()


@dataclass(frozen=True, slots=True)
class Property:
    """One own property of a data object, fault or managed type, in record order."""

    name: str
    type: str            # item type for arrays
    flags: int           # the whole flag word, 0x4 included on managed-type properties
    privilege: str | None
    version: str
    version_given: bool  # written with `since` rather than taken from the type
    dedup: bool          # stored deduplicated
    location: Location

    @property
    def array(self) -> bool:
        return bool(self.flags & FLAG_ARRAY)

    @property
    def optional(self) -> bool:
        return bool(self.flags & FLAG_OPTIONAL)

    @property
    def secret(self) -> bool:
        return bool(self.flags & FLAG_SECRET)

    @property
    def link(self) -> bool:
        return bool(self.flags & FLAG_LINK)

    @property
    def linkable(self) -> bool:
        return bool(self.flags & FLAG_LINKABLE)


@dataclass(frozen=True, slots=True)
class EnumValue:
    name: str
    ordinal: int
    location: Location


@dataclass(frozen=True, slots=True)
class Param:
    """A parameter, or a method result (named "result")."""

    name: str
    type: str
    flags: int           # 0x1 array, 0x2 optional, 0x200 secret
    privilege: str | None
    version: str
    location: Location

    @property
    def array(self) -> bool:
        return bool(self.flags & FLAG_ARRAY)

    @property
    def optional(self) -> bool:
        return bool(self.flags & FLAG_OPTIONAL)

    @property
    def secret(self) -> bool:
        return bool(self.flags & FLAG_SECRET)


@dataclass(frozen=True, slots=True)
class Method:
    name: str
    wsdl: str                    # operation name on the wire
    task: bool
    privilege: str | None
    type_privileges: tuple[tuple[str, str], ...] | None  # (wire type name, privilege) in order
    result: Param | None
    params: tuple[Param, ...]
    faults: tuple[str, ...]      # full wire names, record order
    version: str
    feature: str | None
    flag_bytes: tuple[int, int, int]
    location: Location

    @property
    def result_version(self) -> str:
        """The version of the result record; a method without result has kobl.version.version0."""
        return self.result.version if self.result is not None else RUNTIME_VERSION


@dataclass(frozen=True, slots=True)
class Type:
    name: str                    # full wire name
    kind: str                    # data | fault | enum | managed
    package: str                 # the package that registers it (the file's package)
    wsdl: str
    version: str
    version_inferred: bool
    base: str | None             # None only for enumerations
    outer: str | None            # the declared type whose body holds this one, if any
    nested: tuple[str, ...]      # types declared in this one's body, in file order
    properties: tuple[Property, ...]
    values: tuple[EnumValue, ...]
    methods: tuple[Method, ...]
    location: Location
    response: str | None = None  # faults: the response code written with `response`, if any
    factory: bool = False        # enumerations: the library exports Ormid::CreateEnumType<E> for it
    runtime: bool = False        # data objects and faults: the class is the runtime's (written by hand)
    no_array: bool = False       # data objects and faults: no array class exists, no property is an array of it

    @property
    def short_name(self) -> str:
        return self.name.rsplit(".", 1)[1]

    @property
    def scope(self) -> str:
        """The wire name without its last component (the package, or an enclosing name)."""
        return self.name.rsplit(".", 1)[0]


@dataclass(frozen=True, slots=True)
class Version:
    name: str                    # "quorl.version.version5"
    wire_namespace: str
    version_id: str
    release_id: str | None
    task_type_name: str
    task_type_namespace: str
    stage: int                   # 0 released, 2 feature, 3 unstable, 4 disabled
    flags: int
    location: Location

    @property
    def suffix(self) -> str:
        return self.name.rsplit(".", 1)[1]

    @property
    def stage_name(self) -> str:
        return STAGE_NAMES.get(self.stage, f"stage{self.stage}")


@dataclass(frozen=True, slots=True)
class Product:
    name: str
    releases: tuple[str, ...]


@dataclass(frozen=True, slots=True)
class Namespace:
    name: str                                  # "quorl"
    dependencies: tuple[str, ...]
    products: tuple[Product, ...]
    version_slots: int | None
    counts: tuple[int, ...]                    # second half of field 12, field 13
    versions: tuple[Version, ...]              # record order
    parents: tuple[tuple[str, str], ...]       # (version, parent) in pair order
    location: Location


@dataclass(frozen=True, slots=True)
class Package:
    name: str
    order: int                                 # 1-based registration order
    file: str
    types: tuple[str, ...]                     # wire names in file order (outer before nested)
    counts: Mapping[str, int]                  # types of the schema per kind
    expected: Mapping[str, int]                # the registration table's counts per kind
    location: Location                         # the package's entry in the namespace file


@dataclass(frozen=True, slots=True)
class Model:
    namespace: Namespace
    packages: tuple[Package, ...]              # registration order
    types: Mapping[str, Type]                  # registration order of packages, file order within
    dependency: "Model | None" = None          # the runtime's namespace (None in the runtime's own model)

    def lookup(self, name: str) -> Type | RuntimeType | None:
        found = self.types.get(name)
        if found is None and self.dependency is not None:
            found = self.dependency.types.get(name)
        return found if found is not None else RUNTIME_TYPES.get(name)

    def kind_of(self, name: str) -> str | None:
        """data, fault, enum, managed or primitive; None for an unknown name."""
        found = self.lookup(name)
        return None if found is None else found.kind

    def is_schema_type(self, name: str) -> bool:
        return name in self.types

    def package(self, name: str) -> Package:
        for pkg in self.packages:
            if pkg.name == name:
                return pkg
        raise KeyError(name)

    def version(self, name: str) -> Version | None:
        for ver in self.namespace.versions:
            if ver.name == name:
                return ver
        return None

    def base_chain(self, name: str) -> tuple[str, ...]:
        """The bases of a type from its direct base up to the runtime root."""
        chain = []
        current = self.lookup(name)
        while current is not None and current.base is not None:
            chain.append(current.base)
            current = self.lookup(current.base)
        return tuple(chain)

    def subtypes(self, name: str) -> tuple[str, ...]:
        """Schema types whose direct base is `name`, in model order."""
        return tuple(t.name for t in self.types.values() if t.base == name)

    def type_list(self, package: str) -> tuple[str, ...]:
        """A package's types in type-list order: data objects and faults, then enumerations,
        then managed types; within the first and last group a base of the same package comes
        before the types derived from it, otherwise file order is kept."""
        pkg = self.package(package)
        groups = ([], [], [])
        for name in pkg.types:
            kind = self.types[name].kind
            groups[0 if kind in (DATA, FAULT) else 1 if kind == ENUM else 2].append(name)
        ordered: list[str] = []
        for group in groups:
            members = set(group)
            placed: set[str] = set()

            def place(n: str) -> None:
                if n in placed:
                    return
                base = self.types[n].base
                if base in members:
                    place(base)
                placed.add(n)
                ordered.append(n)

            for n in group:
                place(n)
        return tuple(ordered)
