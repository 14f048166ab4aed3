"""Emitter of the runtime's own namespace (lib/ormid/schema), compiled into libormid.

The classes of the runtime's data objects and faults are declared by hand (`runtime` in the schema:
lib/public/ormid/BaseTypes.h and MethodFault.h), as they carry behaviour of their own: convenience
constructors, the faults' exceptions (defined in the class), the root fault's Throw() and default response
code, and the root kobl.DynamicData whole. From the schema come what every type library generates for its
classes: the ordinary members (copy, comparison, difference, type lookups, the faults' throw slots and
response codes, array getters; not for the root), property records, reflection accessors, factories and
the descriptor of each type. libormid registers the descriptors itself (lib/ormid/kobl_types.cpp), with
the primitive and managed types of the runtime.

Layout under the output folder:
  <ns>/Descriptors.h     the descriptors, Ormid::Detail::k<Symbol>Descriptor (<Symbol>: KoblFaultSystemError)
  <ns>_descriptors.cpp   their definitions, with the accessors and property records
"""

from __future__ import annotations

from .emit_data import ClassEmitter
from .emit_fields import header_ref, property_record
from .model import DATA, FAULT, Model, Type
from .naming import Names
from .printer import Printer


class RuntimeEmitError(ValueError):
    pass


def runtime_outputs(model: Model) -> list[str]:
    ns = model.namespace.name
    return [f"{ns}/Descriptors.h", f"{ns}_descriptors.cpp"]


def _types(model: Model) -> list[Type]:
    types = list(model.types.values())
    plain = [t.name for t in types if t.kind not in (DATA, FAULT) or not t.runtime]
    if plain:
        raise RuntimeEmitError(f"the runtime's namespace declares only data objects and faults whose class is "
                               f"the runtime's ('runtime'); not so: {', '.join(plain)}")
    return types


def _banner(p: Printer, model: Model) -> None:
    p.print("// Generated from the schema of namespace $ns$ by `python3 -m generator emit`: do not edit.",
            ns=model.namespace.name)


def descriptor_name(names: Names, t: Type) -> str:
    return f"k{names.symbol(t)}Descriptor"


def _print_header(p: Printer, model: Model, names: Names, types: list[Type]) -> None:
    _banner(p, model)
    p.print("""
        // Internal to libormid: the descriptors of the runtime's data objects and faults, registered by
        // kobl_types.cpp.
        #pragma once

        #include "ormid/Records.h"

        namespace $root$::Detail {
        """, root=names.root_ns)
    for t in types:
        p.print("extern const ::Ormid::DataTypeInfo $d$; // $wire$", d=descriptor_name(names, t), wire=t.name)
    p.blank()
    p.print("} // namespace $root$::Detail", root=names.root_ns)


def _print_source(p: Printer, model: Model, names: Names, types: list[Type]) -> None:
    ns = model.namespace.name
    _banner(p, model)
    p.print("""
        // Members, reflection accessors, factories, property records and descriptors of the runtime's data
        // objects and faults.

        #include "$ns$/Descriptors.h"
        #include "ormid/BaseTypes.h"
        #include "ormid/FieldAccess.h"
        #include "ormid/MethodFault.h"
        """, ns=ns)
    p.blank()
    for t in types:
        if t.base is not None:
            ClassEmitter(model, names, t).print_definitions(p)
    p.print("""
        namespace $root$::Detail {

        const ::Ormid::PropertyRecord kNoProperties[] = {{}};
        """, root=names.root_ns)
    for t in types:
        ce = ClassEmitter(model, names, t)
        ce.print_accessors(p)
        props = "kNoProperties"
        if t.properties:
            props = f"k{names.symbol(t)}Properties"
            p.print("const ::Ormid::PropertyRecord $n$[] = {", n=props)
            with p.indent():
                for prop in t.properties:
                    p.print("$r$,", r=property_record(model, names, prop))
                p.print("{}};")
        base = f"&{header_ref(model, names, t.base)}" if t.base is not None else "nullptr"
        slots = ce.descriptor_slots()
        p.print("const ::Ormid::DataTypeInfo $d$ = {&::$h$, $base$, $props$,", d=descriptor_name(names, t),
                h=names.header_symbol(t), base=base, props=props)
        with p.indent():
            p.print("$a$, $b$, $c$,", a=slots[0], b=slots[1], c=slots[2])
            p.print("$a$, $b$, $c$,", a=slots[3], b=slots[4], c=slots[5])
            p.print("$a$, $b$, 0};", a=slots[6], b=slots[7])
        p.blank()
    p.print("} // namespace $root$::Detail", root=names.root_ns)


def generate_runtime(model: Model) -> dict[str, str]:
    names = Names(model)
    types = _types(model)
    files = {}
    for path, fn in zip(runtime_outputs(model), (_print_header, _print_source)):
        p = Printer()
        fn(p, model, names, types)
        files[path] = p.text()
    return files
