"""One strategy per field storage kind.

A strategy knows, for one property of a data-object or fault class, how its field is declared and
defaulted, copied, compared (_IsEqual), diffed (_DiffProperties) and reached by the six reflection
accessors. The class emitter only asks; it never looks at property types itself.
"""

from __future__ import annotations

from dataclasses import dataclass

from .model import DATA, ENUM, FAULT, MANAGED, Model, Property, Type
from .naming import Names, cpp_string

PLAIN = {"boolean": "bool", "byte": "signed char", "short": "short", "int": "int", "long": "long",
         "float": "float", "double": "double"}
VALUES = {"string": "std::string", "binary": "std::vector<unsigned char>",
          "dateTime": "::Pellum::System::DateTime", "kobl.TypeName": "::Ormid::TypeName",
          "kobl.MethodName": "::Ormid::MethodName", "kobl.URI": "::Ormid::Uri",
          "kobl.PropertyPath": "::Ormid::PropertyPath"}
RUNTIME_DATA_CLASSES = {"kobl.DynamicData": "::Ormid::DynamicData",
                        "kobl.DynamicProperty": "::Ormid::DynamicProperty",
                        "kobl.KeyAnyValue": "::Ormid::KeyAnyValue",
                        "kobl.LocalizableMessage": "::Ormid::LocalizableMessage",
                        "kobl.MethodFault": "::Ormid::MethodFault",
                        "kobl.RuntimeFault": "::Ormid::RuntimeFault"}
for _short in ("InvalidArgument", "InvalidRequest", "InvalidType", "ManagedObjectNotFound", "NotSupported",
               "RequestCanceled", "SecurityError", "SystemError"):
    RUNTIME_DATA_CLASSES["kobl.fault." + _short] = "::Ormid::Fault::" + _short
RUNTIME_MANAGED = ("kobl.ManagedObject", "kobl.query.PropertyCollector", "kobl.reflect.DynamicTypeManager",
                   "kobl.reflect.ManagedMethodExecuter")

# Headers of the runtime's types, by wire name.
RUNTIME_HEADERS = {
    "boolean": "::Ormid::gBoolTypeInfo", "byte": "::Ormid::gByteTypeInfo", "short": "::Ormid::gShortTypeInfo",
    "int": "::Ormid::gIntTypeInfo", "long": "::Ormid::gLongTypeInfo", "float": "::Ormid::gFloatTypeInfo",
    "double": "::Ormid::gDoubleTypeInfo", "string": "::Ormid::gStringTypeInfo",
    "binary": "::Ormid::gBinaryTypeInfo", "dateTime": "::Ormid::gDateTimeTypeInfo",
    "kobl.URI": "::Ormid::gUriTypeInfo", "kobl.TypeName": "::Ormid::gTypeNameTypeInfo",
    "kobl.MethodName": "::Ormid::gMethodNameTypeInfo", "kobl.PropertyPath": "::Ormid::gPropertyPathTypeInfo",
    "anyType": "::Ormid::gAnyTypeInfo",
    "kobl.DynamicData": "::gKoblDynamicDataTypeInfo", "kobl.DynamicProperty": "::gKoblDynamicPropertyTypeInfo",
    "kobl.KeyAnyValue": "::gKoblKeyAnyValueTypeInfo",
    "kobl.LocalizableMessage": "::gKoblLocalizableMessageTypeInfo",
    "kobl.MethodFault": "::Ormid::gKoblMethodFaultTypeInfo", "kobl.RuntimeFault": "::Ormid::gKoblRuntimeFaultTypeInfo",
    "kobl.ManagedObject": "::Ormid::gKoblManagedObjectTypeInfo",
    "kobl.query.PropertyCollector": "::gKoblQueryPropertyCollectorTypeInfo",
    "kobl.reflect.DynamicTypeManager": "::gKoblReflectDynamicTypeManagerTypeInfo",
    "kobl.reflect.ManagedMethodExecuter": "::gKoblReflectManagedMethodExecuterTypeInfo",
}
for _short in ("InvalidArgument", "InvalidRequest", "InvalidType", "ManagedObjectNotFound", "NotSupported",
               "RequestCanceled", "SecurityError", "SystemError"):
    RUNTIME_HEADERS["kobl.fault." + _short] = "::gKoblFault" + _short + "TypeInfo"


class FieldError(ValueError):
    pass


def header_ref(model: Model, names: Names, wire: str) -> str:
    """The C++ expression naming the header of a type (a schema type or a runtime type)."""
    t = model.types.get(wire)
    if t is not None:
        return "::" + names.header_symbol(t)
    if wire in RUNTIME_HEADERS:
        return RUNTIME_HEADERS[wire]
    raise FieldError(f"no type header is known for {wire!r}")


def class_of(model: Model, names: Names, wire: str) -> str:
    """The C++ class of a data object, fault or runtime data type."""
    t = model.types.get(wire)
    if t is not None:
        if t.kind not in (DATA, FAULT):
            raise FieldError(f"{wire} is not a data object or fault")
        return names.qualified(t)
    if wire in RUNTIME_DATA_CLASSES:
        return RUNTIME_DATA_CLASSES[wire]
    raise FieldError(f"no class is known for {wire!r}")


@dataclass
class Field:
    """How one property is stored and handled. Statement texts use `self->m` / `o->m` for the fields
    of the object and of the other object; `$`-free, single-line."""

    prop: Property
    member: str
    ctype: str                  # declared type of the member
    default: str                # member initialiser ("{}", "{-1}")
    kind: str                   # strategy name
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

    def copy_init(self) -> str:
        m = self.member
        if self.kind in ("ref", "any", "array"):
            return f"{m}(::Quorl::Detail::CloneRef(other.{m}))"
        return f"{m}(other.{m})"

    # -- comparison -------------------------------------------------------------------------------
    def equal_test(self) -> str:
        """An expression true when the two fields match (`pattern` in scope)."""
        a, b = f"this->{self.member}", f"o->{self.member}"
        k = self.kind
        if k in ("plain", "value"):
            if self.ctype == "::Ormid::PropertyPath":
                return f"::Ormid::PropertyPath::Compare({a}, {b}) == 0"
            if self.ctype == "::Pellum::System::DateTime":
                return f"{a}.GetUtcTime() == {b}.GetUtcTime()"
            return f"{a} == {b}"
        if k == "optbool":
            return f"::Ormid::Field::MatchOptBool({a}, {b}, pattern)"
        if k == "optional":
            return f"::Ormid::Field::MatchOptional({a}, {b}, pattern)"
        if k == "dedup":
            return f"::Ormid::Field::MatchDedup({a}, {b}, pattern)"
        return f"::Ormid::AreEqualAnysInt({a}.GetPtr(), {b}.GetPtr(), {self.flags()}, pattern)"

    def diff_statement(self) -> str:
        a, b = f"this->{self.member}", f"o->{self.member}"
        path = cpp_string("." + self.prop.name)
        k = self.kind
        if k in ("ref", "any", "array"):
            return (f"::Ormid::DiffAnyPropertiesInt({a}.GetPtr(), {b}.GetPtr(), prefix, {path}, {self.flags()}, "
                    f"diffs);")
        if k == "optional":
            test = f"::Ormid::Field::DiffersOptional({a}, {b})"
        elif k == "optbool":
            test = f"{a} != {b}"
        elif k == "dedup":
            test = f"!({a} == {b})"
        else:
            test = f"!({self.equal_test()})"
        return f"if ({test}) {{ diffs.Add(prefix + {path}); }}"

    def flags(self) -> str:
        return f"0x{self.prop.flags:x}u"

    # -- reflection accessors (`f` is the field expression) ---------------------------------------
    def accessor(self, which: str) -> str | None:
        f = f"self->{self.member}"
        k = self.kind
        F = "::Ormid::Field::"
        c = self.checked
        if k == "plain" and c:  # enumeration ordinal
            return {"get": f"{F}GetValue({f}, out);", "ptr": f"return {F}ValuePtr({f});",
                    "set": f"{F}SetOrdinal({f}, in, {c});", "swap": f"{F}SwapOrdinal({f}, io, {c});"}.get(which)
        if k in ("plain", "value"):
            return {"get": f"{F}GetValue({f}, out);", "ptr": f"return {F}ValuePtr({f});",
                    "set": f"{F}SetValue({f}, in);", "swap": f"{F}SwapValue({f}, io);"}.get(which)
        if k == "optbool":
            return {"get": f"{F}GetOptBool({f}, out);", "ptr": f"return {F}OptBoolPtr({f});",
                    "set": f"{F}SetOptBool({f}, in);", "swap": f"{F}SwapOptBool({f}, io);",
                    "isset": f"return {F}IsSetOptBool({f});", "reset": f"{F}ResetOptBool({f});"}[which]
        if k == "optional":
            setter, args = ("OptionalOrdinal", f", {c}") if c else ("Optional", "")
            return {"get": f"{F}GetOptional({f}, out);", "ptr": f"return {F}OptionalPtr({f});",
                    "set": f"{F}Set{setter}({f}, in{args});", "swap": f"{F}Swap{setter}({f}, io{args});",
                    "isset": f"return {F}IsSetOptional({f});", "reset": f"{F}ResetOptional({f});"}[which]
        if k == "dedup":
            return {"get": f"{F}GetDedup({f}, out);", "ptr": f"return {F}DedupPtr({f});",
                    "set": f"{F}SetDedup({f}, in);", "swap": f"{F}SwapDedup({f}, io);",
                    "isset": f"return {F}IsSetDedup({f});", "reset": f"{F}ResetDedup({f});"}[which]
        x = self.element
        if k in ("ref", "any"):
            set_, swap = (f"SetMoRef({f}, in, {c})", f"SwapMoRef({f}, io, {c})") if c else \
                (f"SetRef<{x}>({f}, in)", f"SwapRef<{x}>({f}, io)")
            return {"get": f"{F}GetRef({f}, out);", "ptr": f"return {F}RefPtr({f});",
                    "set": f"{F}{set_};", "swap": f"{F}{swap};",
                    "isset": f"return {F}IsSetRef({f});", "reset": f"{F}ResetRef({f});"}[which]
        if k == "array":
            set_, swap = (f"SetMoRef({f}, in, {c})", f"SwapMoRef({f}, io, {c})") if c else \
                (f"SetRef<{x}>({f}, in)", f"SwapRef<{x}>({f}, io)")
            return {"get": f"{F}GetArray(self->{self.getter}(), out);", "ptr": f"return {F}ArrayPtr({f});",
                    "set": f"{F}{set_};", "swap": f"{F}{swap};",
                    "isset": f"return {F}IsSetArray({f});", "reset": f"{F}ResetRef({f});"}[which]
        raise FieldError(f"unknown field kind {k}")


def field_for(model: Model, names: Names, owner: Type, prop: Property) -> Field:
    member = names.member(owner, prop.name)
    opt = prop.optional
    target = model.lookup(prop.type)
    if target is None:
        raise FieldError(f"{owner.name}.{prop.name}: unknown type {prop.type}")
    tkind = target.kind
    note = None
    if prop.link:
        tkind, wire = "primitive", "string"  # a link holds the key of its target
        note = f"key{'s' if prop.array else ''} of {names.qualified(target)[2:]}"
    else:
        wire = prop.type

    if prop.array:
        getter = names.array_getter(prop.name)
        if tkind == "primitive" and wire in PLAIN or wire in VALUES:
            item = PLAIN.get(wire) or VALUES[wire]
            arr = f"::Ormid::Array<{item}>"
        elif tkind == ENUM:
            arr = f"::Ormid::Array<{names.qualified(target)}>"
        elif tkind in (MANAGED,) or wire in RUNTIME_MANAGED:
            return Field(prop, member, "::Pellum::Ref<::Ormid::DataArray<::Ormid::MoRef>>", "", "array", opt,
                         "::Ormid::DataArray<::Ormid::MoRef>", getter, checked=cpp_string(wire),
                         note=f"references to {wire}")
        elif wire == "anyType":
            arr = "::Ormid::DataArray<::Ormid::Any>"
        elif tkind in (DATA, FAULT):
            arr = f"::Ormid::DataArray<{class_of(model, names, wire)}>"
        else:
            raise FieldError(f"{owner.name}.{prop.name}: no array storage for {wire}")
        return Field(prop, member, f"::Pellum::Ref<{arr}>", "", "array", opt, arr, getter, note=note)

    if prop.dedup:
        return Field(prop, member, "::Pellum::Deduplicated<std::string>", "", "dedup", opt)
    if tkind == "primitive" and wire in PLAIN:
        ctype = PLAIN[wire]
        if not opt:
            return Field(prop, member, ctype, "{}", "plain", opt, note=note)
        if ctype == "bool":
            return Field(prop, member, "signed char", "{-1}", "optbool", opt,
                         note="optional boolean: -1 unset, 0, 1")
        return Field(prop, member, f"::Pellum::Optional<{ctype}>", "", "optional", opt, note=note)
    if tkind == "primitive" and wire in VALUES:
        ctype = VALUES[wire]
        if not opt:
            return Field(prop, member, ctype, "", "value", opt)
        return Field(prop, member, f"::Pellum::Optional<{ctype}>", "", "optional", opt)
    if tkind == ENUM:
        ordinals = f"{len(target.values)}, {cpp_string(target.name)}"
        enum = names.qualified(target)[2:]
        if not opt:
            return Field(prop, member, "int", "{}", "plain", opt, checked=ordinals, note=enum)
        return Field(prop, member, "::Pellum::Optional<int>", "", "optional", opt, checked=ordinals,
                     note=f"optional {enum}")
    if wire == "anyType":
        return Field(prop, member, "::Pellum::Ref<::Ormid::Any>", "", "any", opt, "::Ormid::Any")
    if tkind == MANAGED or wire in RUNTIME_MANAGED:
        return Field(prop, member, "::Pellum::Ref<::Ormid::MoRef>", "", "ref", opt, "::Ormid::MoRef",
                     checked=cpp_string(wire), note=f"reference to {wire}")
    if tkind in (DATA, FAULT):
        cls = class_of(model, names, wire)
        return Field(prop, member, f"::Pellum::Ref<{cls}>", "", "ref", opt, cls)
    raise FieldError(f"{owner.name}.{prop.name}: no storage for {wire}")


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
