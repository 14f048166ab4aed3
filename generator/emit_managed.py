"""Emitter of managed types: the abstract interface (getters, methods, METHOD_ constants), the client stub
(a synchronous and an asynchronous member per own method and property), the server-side dispatcher, the
property-name lookup, the stub factory, the records of the type's descriptor, and the skeleton (a
header-only implementation whose every own member answers Ormid::Fault::NotSupported).

The C++ form of every parameter and result follows from its schema type and flags alone (`form_of`);
the interface, the stub and the dispatcher all ask the same `Form`, so the three always agree.
"""

from __future__ import annotations

from dataclasses import dataclass

from .emit_fields import classify, header_ref
from .model import DATA, ENUM, FAULT, MANAGED, ROOT_MANAGED, RUNTIME_VERSION, Method, Model, Param, Property, Type
from .naming import SUPPORT, Names, capitalise, cpp_string, escape
from .printer import Printer


class ManagedError(ValueError):
    pass


ITEM = "::Pellum::Ref<::Pellum::System::ScheduledItem>& item"
DONE = "const ::Ormid::CompletionFn& done"


@dataclass(frozen=True)
class Form:
    """How one value (parameter, result or property) of a schema type appears in C++.

    kind: "plain" (a small value passed by value), "value" (passed by const reference), "object" (a
    pointer to a counted object: data object, fault, reference, any value) or "array"."""

    kind: str
    ctype: str              # the value type (plain/value) or the class pointed to (object/array)
    optional: bool

    # -- parameters -------------------------------------------------------------------------------
    def param(self, name: str) -> str:
        if self.kind in ("object", "array"):
            return f"{self.ctype}* {name}"
        if self.optional:
            return f"const ::Pellum::Optional<{self.ctype}>& {name}"
        if self.kind == "plain":
            return f"{self.ctype} {name}"
        return f"const {self.ctype}& {name}"

    def box(self, name: str) -> str:
        """The argument slot's content."""
        if self.kind in ("object", "array"):
            return name
        if self.optional:
            return f"::Ormid::BoxOptional({name})"
        return f"::Ormid::Box({name})"

    def unbox(self, slot: str) -> str:
        """The interface argument made from a received slot (an `::Ormid::Any*`)."""
        if self.kind in ("object", "array"):
            return f"::Ormid::NarrowCast<{self.ctype}>({slot})"
        if self.optional:
            return f"::Ormid::UnboxOptional<{self.ctype}>({slot})"
        return f"::Ormid::Unbox<{self.ctype}>({slot})"

    # -- results ----------------------------------------------------------------------------------
    @property
    def returned(self) -> bool:
        """Returned by value (plain and string-valued results); otherwise through an out-reference."""
        return self.kind in ("plain", "value")

    def return_type(self) -> str:
        return f"::Pellum::Optional<{self.ctype}>" if self.optional else self.ctype

    def out_param(self, name: str) -> str:
        return f"::Pellum::Ref<{self.ctype}>& {name}"

    def result_from(self, answer: str) -> str:
        """The stub's conversion of the boxed answer."""
        if self.kind == "array":
            return f"::Ormid::NarrowArray<{self.ctype}>({answer})"
        if self.kind == "object":
            return f"::Ormid::NarrowCast<{self.ctype}>({answer})"
        if self.optional:
            return f"::Ormid::UnboxOptional<{self.ctype}>({answer})"
        return f"::Ormid::Unbox<{self.ctype}>({answer})"

    def boxed_result(self, value: str) -> str:
        """The dispatcher's box of a returned value."""
        return f"::Ormid::BoxOptional({value})" if self.optional else f"::Ormid::Box({value})"


TASK_FORM = Form("object", "::Ormid::MoRef", False)


def form_of(model: Model, names: Names, wire: str, flags: int) -> Form:
    """The form of a value from the storage classifier shared with the data classes (emit_fields.py)."""
    array, optional = bool(flags & 0x1), bool(flags & 0x2)
    if model.lookup(wire) is None:
        raise ManagedError(f"no C++ form is known for the type {wire!r}")
    s = classify(model, names, wire)
    if array:
        return Form("array", s.array, optional)
    kind = {"plain": "plain", "enum": "plain", "value": "value"}.get(s.kind, "object")
    return Form(kind, s.cpp, optional)


# Locals of the generated members, kept apart from parameter names.
LOCALS = frozenset({"args_", "answer_", "self", "out_", "done", "item"})


@dataclass
class Member:
    """One synchronous interface member: a property getter or a method."""

    slot: int                         # index in the method-object table (and dispatch index)
    name: str                         # C++ member name
    params: list[tuple[str, Form]]    # C++ parameter names and forms, in parameter-record order
    result: Form | None               # None: no result
    out_name: str | None              # name of the out-reference (results not returned by value)
    task: bool
    method: Method | None
    prop: Property | None

    def signature_params(self, with_out: bool = True) -> list[str]:
        out = [f.param(n) for n, f in self.params]
        if with_out and self.out_name is not None:
            out.append(self.result.out_param(self.out_name))
        return out

    @property
    def return_type(self) -> str:
        if self.result is not None and self.out_name is None:
            return self.result.return_type()
        return "void"

    def declaration(self) -> str:
        return f"{self.return_type} {self.name}({', '.join(self.signature_params())})"

    def unnamed_declaration(self) -> str:
        """The declaration with its parameters unnamed (a definition that uses none of them)."""
        params = [f.param("").rstrip() for _, f in self.params]
        if self.out_name is not None:
            params.append(self.result.out_param("").rstrip())
        return f"{self.return_type} {self.name}({', '.join(params)})"

    def async_declaration(self) -> str:
        return f"void {self.name}({', '.join(self.signature_params(False) + [DONE, ITEM])})"


def _param_name(name: str, taken: set[str]) -> str:
    out = escape(name)
    while out in taken or out in LOCALS:
        out += "_"
    taken.add(out)
    return out


class ManagedEmitter:
    def __init__(self, model: Model, names: Names, t: Type):
        if t.kind != MANAGED:
            raise ManagedError(f"{t.name} is not a managed type")
        self.model, self.names, self.t = model, names, t
        self.qualified = names.qualified(t)
        self.global_name = names.unqualified_global(t)
        self.name = names.class_chain(t)[-1]
        self.symbol = names.symbol(t)
        self.stub_name = self.name + "Stub"
        self.stub_qualified = self.qualified + "Stub"
        self.stub_global = self.global_name + "Stub"
        self.skeleton_name = self.name + "Skeleton"
        base = model.types.get(t.base)
        self.base = base if base is not None and base.kind == MANAGED else None
        if self.base is None and t.base != ROOT_MANAGED:
            raise ManagedError(f"{t.name}: the base {t.base} has no interface in this library")
        self.members = self._members()

    # --- facts -----------------------------------------------------------------------------------
    @property
    def method_count(self) -> int:
        return len(self.t.methods)

    @property
    def table_length(self) -> int:
        return len(self.t.methods) + len(self.t.properties) + 1

    @property
    def table_symbol(self) -> str:
        return "g" + self.symbol + "MethodObjects"

    @property
    def base_interface(self) -> str:
        return self.names.qualified(self.base) if self.base else "::Ormid::ManagedObject"

    @property
    def base_stub(self) -> str:
        return self.names.qualified(self.base) + "Stub" if self.base else "::Ormid::StubImpl"

    @property
    def skeleton_qualified(self) -> str:
        return self.qualified + "Skeleton"

    def fn(self, what: str) -> str:
        return f"{self.symbol}_{what}"

    def method_constant(self, m: Method) -> str:
        return "METHOD_" + m.name.upper()

    def _members(self) -> list[Member]:
        m, names, t = self.model, self.names, self.t
        nested = {escape(m.types[n].short_name) for n in t.nested}
        nested |= {escape(m.types[n].short_name) + suffix for n in t.nested if m.types[n].kind == MANAGED
                   for suffix in ("Stub", "Skeleton")}
        getters: list[Member] = []
        for i, prop in enumerate(t.properties):
            form = form_of(m, names, prop.type, prop.flags)
            name = "Get" + capitalise(prop.name)
            out = None if form.returned else _param_name(prop.name, set())
            getters.append(Member(len(t.methods) + i, name, [], form, out, False, None, prop))
        methods: list[Member] = []
        for i, meth in enumerate(t.methods):
            taken: set[str] = set()
            params = [(_param_name(p.name, taken), form_of(m, names, p.type, p.flags)) for p in meth.params]
            if meth.task:
                result, out = TASK_FORM, _param_name("task", taken)
            elif meth.result is not None:
                result = form_of(m, names, meth.result.type, meth.result.flags)
                out = None if result.returned else _param_name("result", taken)
            else:
                result, out = None, None
            methods.append(Member(i, escape(capitalise(meth.name)), params, result, out, meth.task, meth, None))
        members = getters + methods
        seen: dict[str, str] = {}
        for mem in members:
            if mem.name in nested:
                raise ManagedError(f"{t.name}: member {mem.name} would hide the nested type of that name")
            key = mem.name + "(" + ", ".join(f.param("") for _, f in mem.params) + ")"
            if key in seen:
                raise ManagedError(f"{t.name}: two members with the signature {key}")
            seen[key] = mem.name
        constants = [self.method_constant(me) for me in t.methods]
        if len(set(constants)) != len(constants):
            raise ManagedError(f"{t.name}: two methods share a METHOD_ constant name")
        return members

    def inherited_declarations(self) -> set[str]:
        """Member declarations of the ancestor interfaces."""
        out: set[str] = set()
        base = self.base
        while base is not None:
            ancestor = ManagedEmitter(self.model, self.names, base)
            out |= {m.declaration() for m in ancestor.members}
            base = ancestor.base
        return out

    def referenced_types(self) -> list[Type]:
        """Schema types named in the members' signatures (data objects, faults, enumerations)."""
        out: dict[str, Type] = {}
        wires = [p.type for p in self.t.properties]
        for meth in self.t.methods:
            wires += [p.type for p in meth.params]
            if meth.result is not None:
                wires.append(meth.result.type)
        for w in wires:
            t = self.model.types.get(w)
            if t is not None and t.kind in (DATA, FAULT, ENUM):
                out[t.name] = t
        return list(out.values())

    # --- interface -------------------------------------------------------------------------------
    def print_interface_body(self, p: Printer) -> None:
        """Members of the interface class after its nested declarations."""
        if self.t.methods:
            for meth in self.t.methods:
                p.print("static const char $c$[];", c=self.method_constant(meth))
            p.blank()
        p.print("::Ormid::ManagedObjectType* _GetType() const override;")
        if self.members:
            p.blank()
        inherited = self.inherited_declarations()
        for mem in self.members:
            decl = mem.declaration()
            if decl in inherited:
                # A property the type declares again (as a base's): it overrides the base's getter.
                p.print("$decl$ override = 0;", decl=decl)
            else:
                p.print("virtual $decl$ = 0;", decl=decl)

    def print_interface_definitions(self, p: Printer) -> None:
        g = self.global_name
        p.print("// $wire$", wire=self.t.name)
        for meth in self.t.methods:
            p.print("const char $g$::$c$[] = $v$;", g=g, c=self.method_constant(meth),
                    v=cpp_string(f"{self.t.name}.{meth.name}"))
        p.print("::Ormid::ManagedObjectType* $g$::_GetType() const { return ::Ormid::GetMoType<$q$>(); }",
                g=g, q=self.qualified)

    # --- stub ------------------------------------------------------------------------------------
    def print_stub_declaration(self, p: Printer) -> None:
        decl = self.names.local_path(self.t) + "Stub" if self.t.outer else self.stub_name
        p.print("""
            // Client stub of $wire$: every member is a remote call through Ormid::StubImpl.
            class QUORL_API $decl$ : public virtual $iface$, public $base$ {
            public:
               $n$(::Ormid::MoRef* ref, ::Ormid::StubAdapter* adapter, ::Ormid::RequestContext* context);
               ~$n$() override;""", wire=self.t.name, decl=decl, iface=self.qualified, base=self.base_stub,
                n=self.stub_name)
        with p.indent():
            if self.base is None:
                p.print("""
                    ::Ormid::MoRef* _GetRef() const override;
                    void _Invalidate() override;""")
            for mem in self.members:
                p.blank()
                p.print("$decl$ override;", decl=mem.declaration())
                p.print("$decl$;", decl=mem.async_declaration())
        p.print("};")

    def print_stub_definitions(self, p: Printer) -> None:
        g, n, table = self.stub_global, self.stub_name, self.table_symbol
        p.print("""
            // $wire$: stub
            $g$::$n$(::Ormid::MoRef* ref, ::Ormid::StubAdapter* adapter, ::Ormid::RequestContext* context)
               : $b$(ref, adapter, context) {}
            $g$::~$n$() = default;""", wire=self.t.name, g=g, n=n, b=self.base_stub)
        if self.base is None:
            p.print("""
                ::Ormid::MoRef* $g$::_GetRef() const { return ::Ormid::StubImpl::_GetRef(); }
                void $g$::_Invalidate() {}""", g=g)
        for mem in self.members:
            p.print("$rt$ $g$::$name$($ps$) {", rt=mem.return_type, g=g, name=mem.name,
                    ps=", ".join(mem.signature_params()))
            with p.indent():
                self._print_arguments(p, mem)
                method = f"{table}[{mem.slot}]"
                if mem.result is None:
                    p.print("_Invoke_Task($m$, args_);", m=method)
                else:
                    p.print("::Pellum::Ref<::Ormid::Any> answer_;")
                    p.print("_Invoke_Task($m$, args_, answer_);", m=method)
                    conv = mem.result.result_from("answer_.GetPtr()")
                    if mem.out_name is None:
                        p.print("return $c$;", c=conv)
                    else:
                        p.print("$o$ = $c$;", o=mem.out_name, c=conv)
            p.print("}")
            p.print("void $g$::$name$($ps$) {", g=g, name=mem.name,
                    ps=", ".join(mem.signature_params(False) + [DONE, ITEM]))
            with p.indent():
                self._print_arguments(p, mem)
                p.print("_StartInvoke_Task($t$[$s$], args_, done, item);", t=table, s=mem.slot)
            p.print("}")

    @staticmethod
    def _print_arguments(p: Printer, mem: Member) -> None:
        if not mem.params:
            p.print("::Ormid::ArgumentList args_;")
            return
        p.print("::Ormid::ArgumentList args_($n$);", n=len(mem.params))
        for i, (name, form) in enumerate(mem.params):
            p.print("args_[$i$] = $v$;", i=i, v=form.box(name))

    # --- skeleton --------------------------------------------------------------------------------
    def print_skeleton_declaration(self, p: Printer) -> None:
        """The skeleton, defined inline: it derives from the interface and from the base's skeleton (each
        inherited member keeps the one overrider of the skeleton that declares it) and answers each own
        member with Ormid::NotServed naming it. _GetRef() and _Invalidate() stay pure."""
        local = self.names.local_path(self.t)
        decl = local + "Skeleton" if self.t.outer else self.skeleton_name
        bases = f"public virtual {self.qualified}"
        if self.base is not None:
            bases += f", public {self.names.qualified(self.base)}Skeleton"
        p.print("""
            // Skeleton of $wire$: every member raises Ormid::Fault::NotSupported (Ormid::NotServed) until
            // overridden; an implementation provides _GetRef() and _Invalidate() and overrides what it serves.
            class $decl$ : $bases$ {
            public:""", wire=self.t.name, decl=decl, bases=bases)
        with p.indent():
            for mem in self.members:
                p.print('$decl$ override { ::Ormid::NotServed($what$); }', decl=mem.unnamed_declaration(),
                        what=cpp_string(f"{local}::{mem.name}"))
        p.print("};")

    # --- server side -----------------------------------------------------------------------------
    def print_detail_declarations(self, p: Printer) -> None:
        p.print("// $wire$", wire=self.t.name)
        if self.t.properties:
            p.print("uint32_t $f$(const char* name, uint32_t length);", f=self.fn("PropertyIndex"))
        p.print("""
            void $d$(::Ormid::ManagedObject* target, int index, ::Ormid::ArgumentList& args, ::Pellum::Ref<::Ormid::Any>& result);
            ::Ormid::StubImpl* $c$(::Ormid::MoRef* ref, ::Ormid::StubAdapter* adapter, ::Ormid::RequestContext* context);""",
                d=self.fn("Dispatch"), c=self.fn("CreateStub"))

    def print_server_definitions(self, p: Printer) -> None:
        self._print_property_index(p)
        self._print_dispatch(p)
        p.print("""
            ::Ormid::StubImpl* $c$(::Ormid::MoRef* ref, ::Ormid::StubAdapter* adapter, ::Ormid::RequestContext* context) {
               return new $s$(ref, adapter, context);
            }""", c=self.fn("CreateStub"), s=self.stub_qualified)
        p.blank()

    def _print_property_index(self, p: Printer) -> None:
        props = self.t.properties
        if not props:
            return
        by_length: dict[int, list[tuple[int, str]]] = {}
        for i, prop in enumerate(props):
            by_length.setdefault(len(prop.name.encode()), []).append((i, prop.name))
        p.print("uint32_t $f$(const char* name, uint32_t length) {", f=self.fn("PropertyIndex"))
        with p.indent():
            p.print("switch (length) {")
            for length in sorted(by_length):
                p.print("case $n$:", n=length)
                with p.indent():
                    for i, text in by_length[length]:
                        rest = text[1:]
                        cond = f"name[0] == '{text[0]}'"
                        if rest:
                            cond += f" && std::memcmp(name + 1, {cpp_string(rest)}, {len(rest.encode())}) == 0"
                        p.print("if ($c$) { return $i$; }", c=cond, i=i)
                    p.print("break;")
            p.print("default: break;")
            p.print("}")
            p.print("return 0xFFFFFFFFu;")
        p.print("}")

    def _print_dispatch(self, p: Printer) -> None:
        q = self.qualified
        p.print("void $d$(::Ormid::ManagedObject* target, int index, ::Ormid::ArgumentList& args, "
                "::Pellum::Ref<::Ormid::Any>& result) {", d=self.fn("Dispatch"))
        with p.indent():
            p.print("result = nullptr;")
            p.print("$q$* self = $s$DispatchTarget<$q$>(target, $t$);", s=SUPPORT, q=q,
                    t=cpp_string(self.t.name))
            if not self.members:
                p.print("$s$ThrowBadDispatch($t$, index, args.size());", s=SUPPORT, t=cpp_string(self.t.name))
                p.print("(void)self;")
                p.print("(void)result;")
                p.print("}")
                return
            p.print("switch (index) {")
            for mem in sorted(self.members, key=lambda x: x.slot):
                n = len(mem.params)
                p.print("case $s$:", s=mem.slot)
                with p.indent():
                    if n:
                        p.print("if (args.size() < $n$) { break; }", n=n)
                    call_args = [f.unbox(f"args[{i}].GetPtr()") for i, (_, f) in enumerate(mem.params)]
                    if mem.result is None:
                        p.print("self->$m$($a$);", m=mem.name, a=", ".join(call_args))
                    elif mem.out_name is None:
                        p.print("result = $b$;", b=mem.result.boxed_result(f"self->{mem.name}({', '.join(call_args)})"))
                    else:
                        p.print("{")
                        with p.indent():
                            p.print("::Pellum::Ref<$c$> out_;", c=mem.result.ctype)
                            p.print("self->$m$($a$);", m=mem.name, a=", ".join(call_args + ["out_"]))
                            p.print("result = std::move(out_);")
                        p.print("}")
                    p.print("return;")
            p.print("default: break;")
            p.print("}")
            p.print("$s$ThrowBadDispatch($t$, index, args.size());", s=SUPPORT, t=cpp_string(self.t.name))
        p.print("}")

    # --- descriptor records ----------------------------------------------------------------------
    def descriptor(self, props: str, methods: str) -> str:
        return ("{&::" + self.names.header_symbol(self.t) + ", &" + header_ref(self.model, self.names, self.t.base)
                + ", " + props + ", " + methods + ", "
                + (self.names.detail + self.fn('PropertyIndex') if self.t.properties else "nullptr") + ", "
                + f"{self.names.detail}{self.fn('Dispatch')}, {self.names.detail}{self.fn('CreateStub')}, "
                + f"::{self.table_symbol}}}")


def param_record(model: Model, names: Names, p: Param | None, version_if_none: str = RUNTIME_VERSION) -> str:
    if p is None:
        return f'{{nullptr, 0x0u, "result", nullptr, {cpp_string(version_if_none)}}}'
    priv = "nullptr" if p.privilege is None else cpp_string(p.privilege)
    return (f"{{&{header_ref(model, names, p.type)}, 0x{p.flags:x}u, {cpp_string(p.name)}, {priv}, "
            f"{cpp_string(p.version)}}}")


__all__ = ["Form", "ManagedEmitter", "ManagedError", "form_of", "param_record"]
