"""One strategy per field storage kind.

A strategy knows, for one property of a data-object or fault class, how its field is declared and
defaulted, copied, compared (_IsEqual), diffed (_DiffProperties) and reached by the six reflection
accessors. The class emitter only asks; it never looks at property types itself.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import ClassVar

from .model import DATA, ENUM, FAULT, MANAGED, Model, Property, Type
from .naming import Names, cpp_string, package_symbol

PLAIN = {"boolean": "bool", "byte": "signed char", "short": "short", "int": "int", "long": "long",
         "float": "float", "double": "double"}
VALUES = {"string": "std::string", "binary": "std::vector<unsigned char>",
          "dateTime": "::Pellum::System::DateTime", "kobl.TypeName": "::Ormid::TypeName",
          "kobl.MethodName": "::Ormid::MethodName", "kobl.URI": "::Ormid::Uri",
          "kobl.PropertyPath": "::Ormid::PropertyPath"}
# Headers of the primitive and string-valued types, by wire name. Every other type's header is named after
# its wire name (Names.header_symbol; for the runtime's managed types, "kobl.query.PropertyCollector" ->
# gKoblQueryPropertyCollectorTypeInfo), in the global namespace.
PRIMITIVE_HEADERS = {
    "boolean": "::Ormid::gBoolTypeInfo", "byte": "::Ormid::gByteTypeInfo", "short": "::Ormid::gShortTypeInfo",
    "int": "::Ormid::gIntTypeInfo", "long": "::Ormid::gLongTypeInfo", "float": "::Ormid::gFloatTypeInfo",
    "double": "::Ormid::gDoubleTypeInfo", "string": "::Ormid::gStringTypeInfo",
    "binary": "::Ormid::gBinaryTypeInfo", "dateTime": "::Ormid::gDateTimeTypeInfo",
    "kobl.URI": "::Ormid::gUriTypeInfo", "kobl.TypeName": "::Ormid::gTypeNameTypeInfo",
    "kobl.MethodName": "::Ormid::gMethodNameTypeInfo", "kobl.PropertyPath": "::Ormid::gPropertyPathTypeInfo",
    "anyType": "::Ormid::gAnyTypeInfo",
}


class FieldError(ValueError):
    pass


def header_ref(model: Model, names: Names, wire: str) -> str:
    """The C++ expression naming the header of a type (a schema type or a runtime type)."""
    if wire in PRIMITIVE_HEADERS:
        return PRIMITIVE_HEADERS[wire]
    t = model.lookup(wire)
    if isinstance(t, Type):
        return "::" + names.header_symbol(t)
    if t is not None and t.kind == MANAGED:
        return f"::g{package_symbol(wire)}TypeInfo"
    raise FieldError(f"no type header is known for {wire!r}")


def property_record(model: Model, names: Names, prop: Property) -> str:
    """The initializer of a property's record: {&header, flags, name, privilege, version}."""
    priv = "nullptr" if prop.privilege is None else cpp_string(prop.privilege)
    return (f"{{&{header_ref(model, names, prop.type)}, 0x{prop.flags:x}u, {cpp_string(prop.name)}, {priv}, "
            f"{cpp_string(prop.version)}}}")


def class_of(model: Model, names: Names, wire: str) -> str:
    """The C++ class of a data object or fault, of the schema or of the runtime's."""
    t = model.lookup(wire)
    if not isinstance(t, Type):
        raise FieldError(f"no class is known for {wire!r}")
    if t.kind not in (DATA, FAULT):
        raise FieldError(f"{wire} is not a data object or fault")
    return names.qualified(t)


# -- the classifier ---------------------------------------------------------------------------------
@dataclass(frozen=True)
class Storage:
    """What one value of a schema type is in C++, whatever holds it: a field of a data class here, a
    parameter, result or property of a managed type in emit_managed.py. The one place that maps schema
    types to C++ types.

    kind: "plain" (booleans and numbers), "value" (strings, string-valued types, binary, date-time),
    "enum", "object" (data object or fault), "moref" (reference to a managed object) or "any";
    `cpp` is the C++ type of one value (the enumeration, the class); `array` the class holding several."""

    kind: str
    cpp: str
    array: str


def classify(model: Model, names: Names, wire: str) -> Storage:
    target = model.lookup(wire)
    if target is None:
        raise FieldError(f"no C++ storage is known for the type {wire!r}")
    if wire in PLAIN or wire in VALUES:
        kind, cpp = ("plain", PLAIN[wire]) if wire in PLAIN else ("value", VALUES[wire])
        return Storage(kind, cpp, f"::Ormid::Array<{cpp}>")
    if target.kind == ENUM:
        cpp = names.qualified(target)
        return Storage("enum", cpp, f"::Ormid::Array<{cpp}>")
    if wire == "anyType":
        return Storage("any", "::Ormid::Any", "::Ormid::DataArray<::Ormid::Any>")
    if target.kind == MANAGED:
        return Storage("moref", "::Ormid::MoRef", "::Ormid::DataArray<::Ormid::MoRef>")
    if target.kind in (DATA, FAULT):
        cls = class_of(model, names, wire)
        return Storage("object", cls, f"::Ormid::DataArray<{cls}>")
    raise FieldError(f"no C++ storage for the type {wire!r}")


# -- one strategy per field storage kind ------------------------------------------------------------
F = "::Ormid::Field::"  # the accessors' building blocks (ormid/FieldAccess.h)


@dataclass
class Field:
    """How one property is stored and handled. Statement texts use `this->m` / `o->m` for the fields of
    the object and of the other object, `self->m` in accessors; `$`-free, single-line."""

    kind: ClassVar[str] = ""
    prop: Property
    member: str
    ctype: str                  # declared type of the member
    default: str                # member initialiser ("{}", "{-1}")
    optional: bool
    element: str | None = None  # referenced class (references) or array class (arrays)
    getter: str | None = None   # array getter name
    checked: str | None = None  # extra arguments of the checked setters: "count, name" of an enumeration,
                                # the wire name of a managed type
    note: str | None = None     # what the schema type is, where the C++ type does not say it

    # -- class body -------------------------------------------------------------------------------
    def declaration(self) -> str:
        text = f"{self.ctype} {self.member}{self.default};"
        return f"{text} // {self.note}" if self.note else text

    def copy_init(self, clone: str) -> str:
        """The member's initialiser in the copy constructor; `clone` copies a counted object."""
        return f"{self.member}(other.{self.member})"

    # -- comparison -------------------------------------------------------------------------------
    def sides(self) -> tuple[str, str]:
        return f"this->{self.member}", f"o->{self.member}"

    def equal_test(self) -> str:
        """An expression true when the two fields match (`pattern` in scope)."""
        raise NotImplementedError

    def differs(self) -> str:
        return f"!({self.equal_test()})"

    def diff_statement(self) -> str:
        return f"if ({self.differs()}) {{ diffs.Add(prefix, {self.path()}); }}"

    def path(self) -> str:
        return cpp_string("." + self.prop.name)

    def flags(self) -> str:
        return f"0x{self.prop.flags:x}u"

    # -- reflection accessors ---------------------------------------------------------------------
    def accessors(self, f: str) -> dict[str, str]:
        """The statements of the reflection accessors (get, ptr, set, swap, isset, reset) for field
        expression `f`; a required field has no isset or reset."""
        raise NotImplementedError

    def accessor(self, which: str) -> str | None:
        return self.accessors(f"self->{self.member}").get(which)


class PlainField(Field):
    """A required boolean or number, or an enumeration's ordinal (`checked`: its count and name)."""
    kind = "plain"

    def equal_test(self) -> str:
        a, b = self.sides()
        return f"{a} == {b}"

    def accessors(self, f: str) -> dict[str, str]:
        setter, args = ("Ordinal", f", {self.checked}") if self.checked else ("Value", "")
        return {"get": f"{F}GetValue({f}, out);", "ptr": f"return {F}ValuePtr({f});",
                "set": f"{F}Set{setter}({f}, in{args});", "swap": f"{F}Swap{setter}({f}, io{args});"}


class ValueField(PlainField):
    """A required string, string-valued type, binary or date-time."""
    kind = "value"

    def equal_test(self) -> str:
        a, b = self.sides()
        if self.ctype == "::Ormid::PropertyPath":
            return f"::Ormid::PropertyPath::Compare({a}, {b}) == 0"
        if self.ctype == "::Pellum::System::DateTime":
            return f"{a}.GetUtcTime() == {b}.GetUtcTime()"
        return f"{a} == {b}"


class OptBoolField(Field):
    """An optional boolean: one signed char, -1 unset."""
    kind = "optbool"

    def equal_test(self) -> str:
        return f"{F}MatchOptBool({', '.join(self.sides())}, pattern)"

    def differs(self) -> str:
        a, b = self.sides()
        return f"{a} != {b}"

    def accessors(self, f: str) -> dict[str, str]:
        return {"get": f"{F}GetOptBool({f}, out);", "ptr": f"return {F}OptBoolPtr({f});",
                "set": f"{F}SetOptBool({f}, in);", "swap": f"{F}SwapOptBool({f}, io);",
                "isset": f"return {F}IsSetOptBool({f});", "reset": f"{F}ResetOptBool({f});"}


class OptionalField(Field):
    """Any other optional plain or string-valued value, or enumeration ordinal: Pellum::Optional<T>."""
    kind = "optional"

    def equal_test(self) -> str:
        return f"{F}MatchOptional({', '.join(self.sides())}, pattern)"

    def differs(self) -> str:
        return f"{F}DiffersOptional({', '.join(self.sides())})"

    def accessors(self, f: str) -> dict[str, str]:
        setter, args = ("OptionalOrdinal", f", {self.checked}") if self.checked else ("Optional", "")
        return {"get": f"{F}GetOptional({f}, out);", "ptr": f"return {F}OptionalPtr({f});",
                "set": f"{F}Set{setter}({f}, in{args});", "swap": f"{F}Swap{setter}({f}, io{args});",
                "isset": f"return {F}IsSetOptional({f});", "reset": f"{F}ResetOptional({f});"}


class DedupField(Field):
    """A deduplicated string (PropertyFlags::Deduplicated): a shared handle."""
    kind = "dedup"

    def equal_test(self) -> str:
        return f"{F}MatchDedup({', '.join(self.sides())}, pattern)"

    def differs(self) -> str:
        a, b = self.sides()
        return f"!({a} == {b})"

    def accessors(self, f: str) -> dict[str, str]:
        return {"get": f"{F}GetDedup({f}, out);", "ptr": f"return {F}DedupPtr({f});",
                "set": f"{F}SetDedup({f}, in);", "swap": f"{F}SwapDedup({f}, io);",
                "isset": f"return {F}IsSetDedup({f});", "reset": f"{F}ResetDedup({f});"}


class RefField(Field):
    """A counted object: a data object or fault (`element` its class), or a managed-object reference
    (`checked`: the managed type's wire name). Copied deeply, compared and diffed through the runtime."""
    kind = "ref"

    def copy_init(self, clone: str) -> str:
        return f"{self.member}({clone}(other.{self.member}))"

    def equal_test(self) -> str:
        a, b = self.sides()
        return f"::Ormid::AreEqualAnysInt({a}.GetPtr(), {b}.GetPtr(), {self.flags()}, pattern)"

    def diff_statement(self) -> str:
        a, b = self.sides()
        return (f"::Ormid::DiffAnyPropertiesInt({a}.GetPtr(), {b}.GetPtr(), prefix, {self.path()}, "
                f"{self.flags()}, diffs);")

    def setters(self, f: str) -> tuple[str, str]:
        if self.checked:
            return f"{F}SetMoRef({f}, in, {self.checked});", f"{F}SwapMoRef({f}, io, {self.checked});"
        return f"{F}SetRef<{self.element}>({f}, in);", f"{F}SwapRef<{self.element}>({f}, io);"

    def accessors(self, f: str) -> dict[str, str]:
        set_, swap = self.setters(f)
        return {"get": f"{F}GetRef({f}, out);", "ptr": f"return {F}RefPtr({f});", "set": set_, "swap": swap,
                "isset": f"return {F}IsSetRef({f});", "reset": f"{F}ResetRef({f});"}


class AnyField(RefField):
    """A value of any type (Ref<Ormid::Any>)."""
    kind = "any"


class ArrayField(RefField):
    """An array (`element` its class), reached through the class's getter that never answers null."""
    kind = "array"

    def accessors(self, f: str) -> dict[str, str]:
        set_, swap = self.setters(f)
        return {"get": f"{F}GetArray(self->{self.getter}(), out);", "ptr": f"return {F}ArrayPtr({f});",
                "set": set_, "swap": swap, "isset": f"return {F}IsSetArray({f});",
                "reset": f"{F}ResetRef({f});"}


def field_for(model: Model, names: Names, owner: Type, prop: Property) -> Field:
    """The strategy of one property, from the classifier's answer and the property's flags."""
    member, opt = names.member(owner, prop.name), prop.optional
    target = model.lookup(prop.type)
    if target is None:
        raise FieldError(f"{owner.name}.{prop.name}: unknown type {prop.type}")
    note, wire = None, prop.type
    if prop.link:  # a link holds the key of its target
        note, wire = f"key{'s' if prop.array else ''} of {names.qualified(target)[2:]}", "string"
    try:
        s = classify(model, names, wire)
    except FieldError as e:
        raise FieldError(f"{owner.name}.{prop.name}: {e}") from None
    if prop.array:
        checked = cpp_string(wire) if s.kind == "moref" else None
        note = f"references to {wire}" if s.kind == "moref" else note
        return ArrayField(prop, member, f"::Pellum::Ref<{s.array}>", "", opt, s.array,
                          names.array_getter(prop.name), checked, note)
    if prop.dedup:
        return DedupField(prop, member, "::Pellum::Deduplicated<std::string>", "", opt)
    if s.kind == "enum":
        ordinals = f"{len(target.values)}, {cpp_string(target.name)}"
        if not opt:
            return PlainField(prop, member, "int", "{}", opt, checked=ordinals, note=s.cpp[2:])
        return OptionalField(prop, member, "::Pellum::Optional<int>", "", opt, checked=ordinals,
                             note=f"optional {s.cpp[2:]}")
    if s.kind in ("plain", "value"):
        if not opt:
            cls = PlainField if s.kind == "plain" else ValueField
            return cls(prop, member, s.cpp, "{}" if s.kind == "plain" else "", opt, note=note)
        if s.cpp == "bool":
            return OptBoolField(prop, member, "signed char", "{-1}", opt, note="optional boolean: -1 unset, 0, 1")
        return OptionalField(prop, member, f"::Pellum::Optional<{s.cpp}>", "", opt, note=note)
    if s.kind == "any":
        return AnyField(prop, member, "::Pellum::Ref<::Ormid::Any>", "", opt, s.cpp)
    if s.kind == "moref":
        return RefField(prop, member, "::Pellum::Ref<::Ormid::MoRef>", "", opt, s.cpp, checked=cpp_string(wire),
                        note=f"reference to {wire}")
    return RefField(prop, member, f"::Pellum::Ref<{s.cpp}>", "", opt, s.cpp)


def referenced_types(model: Model, prop: Property) -> list[Type]:
    """Schema types a field names in its declaration (data objects, faults, enumerations of arrays)."""
    if prop.link:
        return []
    t = model.types.get(prop.type)
    if t is None:
        return []
    if t.kind in (DATA, FAULT):
        return [t]
    if t.kind == ENUM and prop.array:
        return [t]
    return []
