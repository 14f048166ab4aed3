"""Syntax trees of schema files, as the parser builds them (names not yet resolved)."""

from __future__ import annotations

from dataclasses import dataclass, field

from .errors import Location


@dataclass(slots=True)
class Ref:
    """A name as written (a type, a version), with where it was written."""

    text: str
    location: Location


@dataclass(slots=True)
class TypeExpr:
    name: Ref
    array: bool = False
    optional: bool = False


@dataclass(slots=True)
class Bits:
    value: int
    location: Location


@dataclass(slots=True)
class PropertyDecl:
    name: str
    location: Location
    type: TypeExpr
    since: Ref | None = None
    privilege: str | None = None
    secret: bool = False
    link: bool = False
    linkable: bool = False
    dedup: bool = False
    bits: list[Bits] = field(default_factory=list)
    modifier_locations: dict[str, Location] = field(default_factory=dict)


@dataclass(slots=True)
class ParamDecl:
    """A parameter; a method result uses the same record with the name "result"."""

    name: str
    location: Location
    type: TypeExpr
    since: Ref | None = None
    privilege: str | None = None
    secret: bool = False
    bits: list[Bits] = field(default_factory=list)
    modifier_locations: dict[str, Location] = field(default_factory=dict)


@dataclass(slots=True)
class TypePrivilegeDecl:
    type_name: str
    privilege: str
    location: Location


@dataclass(slots=True)
class MethodDecl:
    name: str
    location: Location
    params: list[ParamDecl] = field(default_factory=list)
    result: ParamDecl | None = None
    task: bool = False
    wsdl: str | None = None
    privilege: str | None = None
    since: Ref | None = None
    type_privileges: list[TypePrivilegeDecl] | None = None
    faults: list[Ref] = field(default_factory=list)
    feature: str | None = None
    flag_bytes: tuple[int, int, int] | None = None
    modifier_locations: dict[str, Location] = field(default_factory=dict)


@dataclass(slots=True)
class EnumValueDecl:
    name: str
    location: Location


@dataclass(slots=True)
class TypeDecl:
    kind: str  # data | fault | enum | managed
    name: str  # as written; may be dotted
    location: Location
    base: Ref | None = None
    wsdl: str | None = None
    wsdl_location: Location | None = None
    since: Ref | None = None
    inferred: bool = False
    response: Ref | None = None  # `response <Code>` (faults)
    factory: Location | None = None  # where `factory` was written (enumerations)
    runtime: Location | None = None  # where `runtime` was written (data objects and faults)
    noarray: Location | None = None  # where `noarray` was written (data objects and faults)
    properties: list[PropertyDecl] = field(default_factory=list)
    methods: list[MethodDecl] = field(default_factory=list)
    values: list[EnumValueDecl] = field(default_factory=list)
    nested: list["TypeDecl"] = field(default_factory=list)


@dataclass(slots=True)
class PackageFile:
    path: str
    package: str
    package_location: Location
    decls: list[TypeDecl] = field(default_factory=list)


@dataclass(slots=True)
class VersionDecl:
    name: str
    location: Location
    wire: str | None = None
    id: str | None = None
    release: str | None = None
    stage: int | None = None
    flags: int | None = None
    task_type: str | None = None
    task_namespace: str | None = None


@dataclass(slots=True)
class ParentDecl:
    version: Ref
    parent: Ref


@dataclass(slots=True)
class PackageEntryDecl:
    name: str
    location: Location
    expect: dict[str, int] = field(default_factory=dict)


@dataclass(slots=True)
class ProductDecl:
    name: str
    releases: list[str]
    location: Location


@dataclass(slots=True)
class NamespaceFile:
    path: str
    name: str
    location: Location
    dependencies: list[str] = field(default_factory=list)
    products: list[ProductDecl] = field(default_factory=list)
    version_slots: int | None = None
    counts: list[int] | None = None
    counts_location: Location | None = None
    default_wire: str | None = None
    default_task_type: str | None = None
    default_task_namespace: str | None = None
    default_flags: int | None = None
    versions: list[VersionDecl] = field(default_factory=list)
    parents: list[ParentDecl] = field(default_factory=list)
    packages: list[PackageEntryDecl] = field(default_factory=list)
