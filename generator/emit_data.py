"""Emitter of data-object and fault classes, and of the class definitions of managed types (whose
interface members the managed-type emitter writes).

Sections: `declaration` (the class definition for the unit header), `definitions` (out-of-line members
for a part source), `accessors` (the reflection functions, same part source), `detail` (their
declarations for the package's detail header).
"""

from __future__ import annotations

from .emit_enum import print_enum_in_class
from .emit_fields import Field, class_of, field_for
from .emit_managed import ManagedEmitter
from .model import DATA, DEFAULT_RESPONSE_CODE, ENUM, FAULT, MANAGED, ROOT_DATA, Model, Type
from .naming import SUPPORT, Names
from .printer import Printer


def response_code(model: Model, wire: str) -> str:
    """The response code a fault answers: its own (`response <Code>` in the schema), else the default."""
    return model.types[wire].response or DEFAULT_RESPONSE_CODE


def inherited_response_code(model: Model, wire: str | None) -> str:
    """The code a fault class would answer without an override of its own: its nearest base's."""
    while wire is not None:
        t = model.lookup(wire)
        if t is None:
            break
        if t.response is not None:
            return t.response
        wire = t.base
    return DEFAULT_RESPONSE_CODE


ACCESSORS = ("GetField", "GetFieldPtr", "SetField", "SwapField", "IsSet", "Reset")


class ClassEmitter:
    def __init__(self, model: Model, names: Names, t: Type):
        self.model, self.names, self.t = model, names, t
        self.fields: list[Field] = ([field_for(model, names, t, p) for p in t.properties]
                                    if t.kind in (DATA, FAULT) else [])
        self.qualified = names.qualified(t)
        self.global_name = names.unqualified_global(t)
        self.name = names.class_chain(t)[-1]
        self.symbol = names.symbol(t)

    # --- facts -----------------------------------------------------------------------------------
    @property
    def is_fault(self) -> bool:
        return self.t.kind == FAULT

    @property
    def base_class(self) -> str:
        return class_of(self.model, self.names, self.t.base)

    @property
    def base_is_dynamic_data(self) -> bool:
        return self.t.base == ROOT_DATA

    @property
    def overrides_response_code(self) -> bool:
        """Each of the named faults carries its code in its own class; any other fault whose base answers
        another code than InternalServerError overrides it back."""
        t = self.t
        return self.is_fault and (t.response is not None
                                  or inherited_response_code(self.model, t.base) != DEFAULT_RESPONSE_CODE)

    @property
    def has_optional(self) -> bool:
        return any(f.optional for f in self.fields)

    def accessor_name(self, which: str) -> str:
        return f"{self.symbol}_{which}"

    def descriptor_slots(self) -> list[str]:
        """getField .. reset, create, createArray as C++ expressions (null where the slot is empty)."""
        d = self.names.detail
        if self.fields:
            slots = [d + self.accessor_name(a) for a in ACCESSORS[:5]]
            slots.append(d + self.accessor_name("Reset") if self.has_optional else "nullptr")
        else:
            slots = ["nullptr"] * 4 + ["&::Ormid::AlwaysSet", "nullptr"]
        slots += [d + self.accessor_name("Create"), d + self.accessor_name("CreateArray")]
        return slots

    # --- header ----------------------------------------------------------------------------------
    def print_nested_declarations(self, p: Printer) -> None:
        for n in self.t.nested:
            nt = self.model.types[n]
            if nt.kind == ENUM:
                print_enum_in_class(p, self.model, self.names, nt)
            else:
                p.print("class $name$;", name=self.names.class_chain(nt)[-1])
                if nt.kind == MANAGED:
                    p.print("class $name$Stub;", name=self.names.class_chain(nt)[-1])
                    p.print("class $name$Skeleton;", name=self.names.class_chain(nt)[-1])

    def print_declaration(self, p: Printer) -> None:
        t = self.t
        decl = self.names.local_path(t)
        if t.kind == MANAGED:
            me = ManagedEmitter(self.model, self.names, t)
            p.print("""
                // $wire$
                class QUORL_API $decl$ : public virtual $base$ {
                public:""", wire=t.name, decl=decl, base=me.base_interface)
            with p.indent():
                self.print_nested_declarations(p)
                if t.nested:
                    p.blank()
                me.print_interface_body(p)
            p.print("};")
            return
        p.print("""
            // $wire$
            class QUORL_API $decl$ : public $base$ {
            public:""", wire=t.name, decl=decl, base=self.base_class)
        with p.indent():
            if self.is_fault:
                p.print("""
                    // Thrown for this fault: caught by this class or by the exception class of any base.
                    class QUORL_API Exception : public $base$::Exception {
                    public:
                       explicit Exception(::Ormid::MethodFault* fault);
                       Exception(const Exception& other);
                       ~Exception() override;
                       ::Pellum::Exception* Clone() const override;
                       [[noreturn]] void Throw() const override;
                    };""", base=self.base_class)
            self.print_nested_declarations(p)
            if self.is_fault or self.t.nested:
                p.blank()
            p.print("""
                $n$();
                $n$(const $n$& other);
                $n$& operator=(const $n$&) = delete;
                ~$n$() override;

                ::Ormid::Type* _GetType() const override;
                ::Ormid::Any* _Clone() const override;
                bool _IsEqual(const ::Ormid::Any* other, bool pattern) const override;""", n=self.name)
            if not self.is_fault:
                p.print("void _DiffProperties(const ::Ormid::Any* other, const ::Ormid::DiffPath& prefix, "
                        "::Ormid::PropertyDiffSet& diffs) const override;")
            p.print("::Ormid::DataObjectType* _GetDataType() const override;")
            if self.is_fault:
                p.print("""
                    void ThrowInternal() const override;
                    Exception* CreateException() const override;""")
                if self.overrides_response_code:
                    p.print("const ::Pellum::Http::ResponseCode& GetResponseCode() const override;")
            arrays = [f for f in self.fields if f.kind == "array"]
            if arrays:
                p.blank()
                p.print("// Array getters: never null (an empty array is installed on first use; thread-safe).")
                for f in arrays:
                    p.print("$arr$* $getter$();", arr=f.element, getter=f.getter)
            if self.fields:
                p.blank()
                for f in self.fields:
                    p.print("$decl$", decl=f.declaration())
        p.print("};")

    # --- out-of-line members ---------------------------------------------------------------------
    def print_definitions(self, p: Printer) -> None:
        t, g, n, q = self.t, self.global_name, self.name, self.qualified
        p.print("// $wire$", wire=t.name)
        p.print("$g$::$n$() = default;", g=g, n=n)
        # The runtime's classes copy through the runtime itself (the helpers of generated code are not there).
        clone = "::Ormid::CloneNested" if t.runtime else SUPPORT + "CloneRef"
        inits = [f"{self.base_class}(other)"] + [f.copy_init(clone) for f in self.fields]
        p.print("$g$::$n$(const $n$& other)", g=g, n=n)
        with p.indent():
            for i, init in enumerate(inits):
                p.print("$lead$ $init$$comma$", lead=":" if i == 0 else " ", init=init,
                        comma="," if i + 1 < len(inits) else " {}")
        p.print("""
            $g$::~$n$() = default;
            ::Ormid::Type* $g$::_GetType() const { return ::Ormid::GetDoType<$q$>(); }
            ::Ormid::DataObjectType* $g$::_GetDataType() const { return ::Ormid::GetDoType<$q$>(); }
            ::Ormid::Any* $g$::_Clone() const { return new $n$(*this); }""", g=g, n=n, q=q)
        self.print_is_equal(p)
        if not self.is_fault:
            self.print_diff(p)
        if self.is_fault:
            if not t.runtime:  # the runtime's fault classes define their exceptions in the class
                p.print("""
                    $g$::Exception::Exception(::Ormid::MethodFault* fault) : $b$::Exception(fault) {}
                    $g$::Exception::Exception(const Exception& other) = default;
                    $g$::Exception::~Exception() = default;
                    ::Pellum::Exception* $g$::Exception::Clone() const { return new Exception(*this); }
                    void $g$::Exception::Throw() const { throw Exception(*this); }""", g=g, b=self.base_class)
            p.print("""
                void $g$::ThrowInternal() const { throw Exception(const_cast<$n$*>(this)); }
                $g$::Exception* $g$::CreateException() const { return new Exception(const_cast<$n$*>(this)); }""",
                    g=g, n=n)
            if self.overrides_response_code:
                p.print("const ::Pellum::Http::ResponseCode& $g$::GetResponseCode() const "
                        "{ return ::Pellum::Http::ResponseCode::$code$; }", g=g, code=response_code(self.model, t.name))
        for f in self.fields:
            if f.kind == "array":
                p.print("$arr$* $g$::$getter$() { return ::Ormid::GetOrCreateArray($m$); }",
                        arr=f.element, g=g, getter=f.getter, m=f.member)
        p.blank()

    def print_is_equal(self, p: Printer) -> None:
        g = self.global_name
        tests = []
        if not self.base_is_dynamic_data:
            tests.append(f"{self.base_class}::_IsEqual(other, pattern)")
        if not tests and not self.fields:
            p.print("bool $g$::_IsEqual(const ::Ormid::Any*, bool) const { return true; }", g=g)
            return
        if not self.fields:
            p.print("bool $g$::_IsEqual(const ::Ormid::Any* other, bool pattern) const { return $t$; }",
                    g=g, t=tests[0])
            return
        uses_pattern = bool(tests) or any(f.kind not in ("plain", "value") for f in self.fields)
        p.print("bool $g$::_IsEqual(const ::Ormid::Any* other, bool$pattern$) const {", g=g,
                pattern=" pattern" if uses_pattern else "")
        with p.indent():
            p.print("const $n$* o = static_cast<const $n$*>(other);", n=self.name)
            tests += [f.equal_test() for f in self.fields]
            for i, test in enumerate(tests):
                p.print("$lead$$test$$end$", lead="return " if i == 0 else "       && ", test=test,
                        end=";" if i + 1 == len(tests) else "")
        p.print("}")

    def print_diff(self, p: Printer) -> None:
        g = self.global_name
        sig = "const ::Ormid::Any* other, const ::Ormid::DiffPath& prefix, ::Ormid::PropertyDiffSet& diffs"
        if self.base_is_dynamic_data and not self.fields:
            p.print("void $g$::_DiffProperties(const ::Ormid::Any*, const ::Ormid::DiffPath&, "
                    "::Ormid::PropertyDiffSet&) const {}", g=g)
            return
        p.print("void $g$::_DiffProperties($sig$) const {", g=g, sig=sig)
        with p.indent():
            if not self.base_is_dynamic_data:
                p.print("$b$::_DiffProperties(other, prefix, diffs);", b=self.base_class)
            if self.fields:
                p.print("const $n$* o = static_cast<const $n$*>(other);", n=self.name)
                for f in self.fields:
                    p.print("$s$", s=f.diff_statement())
        p.print("}")

    # --- reflection accessors --------------------------------------------------------------------
    def print_detail_declarations(self, p: Printer) -> None:
        s = self.symbol
        if self.fields:
            p.print("""
                void $s$_GetField(::Ormid::DynamicData* obj, int index, void* out);
                void* $s$_GetFieldPtr(::Ormid::DynamicData* obj, int index);
                void $s$_SetField(::Ormid::DynamicData* obj, int index, const void* in);
                void $s$_SwapField(::Ormid::DynamicData* obj, int index, void* io);
                bool $s$_IsSet(const ::Ormid::DynamicData* obj, int index);""", s=s)
            if self.has_optional:
                p.print("void $s$_Reset(::Ormid::DynamicData* obj, int index);", s=s)
        p.print("""
            ::Ormid::DynamicData* $s$_Create();
            ::Ormid::DataArrayBase* $s$_CreateArray();""", s=s)

    def print_accessors(self, p: Printer) -> None:
        s, q = self.symbol, self.qualified
        p.print("// $wire$", wire=self.t.name)
        if self.fields:
            self._switch(p, f"void {s}_GetField(::Ormid::DynamicData* obj, int index, void* out)", "get",
                         "", "return;")
            self._switch(p, f"void* {s}_GetFieldPtr(::Ormid::DynamicData* obj, int index)", "ptr",
                         "return nullptr;", None)
            self._switch(p, f"void {s}_SetField(::Ormid::DynamicData* obj, int index, const void* in)", "set",
                         "", "return;")
            self._switch(p, f"void {s}_SwapField(::Ormid::DynamicData* obj, int index, void* io)", "swap",
                         "", "return;")
            self._switch(p, f"bool {s}_IsSet(const ::Ormid::DynamicData* obj, int index)", "isset",
                         "return true;", None, const=True)
            if self.has_optional:
                self._switch(p, f"void {s}_Reset(::Ormid::DynamicData* obj, int index)", "reset", "", "return;")
        p.print("""
            ::Ormid::DynamicData* $s$_Create() { return new $q$(); }
            ::Ormid::DataArrayBase* $s$_CreateArray() { return new ::Ormid::DataArray<$q$>(); }""", s=s, q=q)
        p.blank()

    def _switch(self, p: Printer, signature: str, which: str, tail: str, after: str | None,
                const: bool = False) -> None:
        cases = [(i, f.accessor(which)) for i, f in enumerate(self.fields)]
        cases = [(i, c) for i, c in cases if c is not None]
        if not cases:
            # No field has a case (isSet of required plain fields only): every index answers `tail`.
            unnamed = signature.replace(" obj,", ",").replace(" index)", ")")
            p.print("$sig$ { $tail$ }", sig=unnamed, tail=tail or "")
            return
        p.print("$sig$ {", sig=signature)
        with p.indent():
            p.print("$c$auto* self = static_cast<$c$$q$*>(obj);", c="const " if const else "", q=self.qualified)
            p.print("switch (index) {")
            for i, code in cases:
                p.print("case $i$: $code$$after$", i=i, code=code,
                        after="" if after is None or code.startswith("return") else " " + after)
            p.print("default: break;")
            p.print("}")
            if tail:
                p.print("$tail$", tail=tail)
        p.print("}")


__all__ = ["ClassEmitter"]
