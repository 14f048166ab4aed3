"""Emitter of enumerations: the C++ enumeration with the ordinals of its values, one exported constant per
value (in the scope that encloses the enumeration; the descriptor's names list points at them), the
descriptor and the lookup template."""

from __future__ import annotations

from .model import Model, Type
from .naming import Names, cpp_string
from .printer import Printer


def constants(names: Names, t: Type) -> list[str]:
    return [names.enum_constant(t.short_name, v.name) for v in t.values]


def _print_enum_body(p: Printer, names: Names, t: Type) -> None:
    p.print("// $wire$", wire=t.name)
    p.print("enum class $name$ : int {", name=names.class_chain(t)[-1])
    with p.indent():
        for v in t.values:
            p.print("$e$ = $o$,", e=names.enumerator(v.name), o=v.ordinal)
    p.print("};")


def print_enum_in_class(p: Printer, model: Model, names: Names, t: Type) -> None:
    """Inside the enclosing class: the enumeration and its constants as static members."""
    _print_enum_body(p, names, t)
    for c in constants(names, t):
        p.print("static const char $c$[];", c=c)


def print_enum_at_namespace(p: Printer, names: Names, t: Type) -> None:
    _print_enum_body(p, names, t)
    for c in constants(names, t):
        p.print('extern "C++" QUORL_API const char $c$[];', c=c)


def scope_prefix(names: Names, t: Type) -> str:
    """Qualified name of the scope that holds the enumeration's constants, with a trailing "::"."""
    q = names.unqualified_global(t)
    return q.rsplit("::", 1)[0] + "::"


def print_constant_definitions(p: Printer, names: Names, t: Type) -> None:
    prefix = scope_prefix(names, t)
    for v, c in zip(t.values, constants(names, t)):
        p.print("const char $prefix$$c$[] = $text$;", prefix=prefix, c=c, text=cpp_string(v.name))


def print_names_list(p: Printer, names: Names, t: Type, list_name: str) -> None:
    prefix = "::" + scope_prefix(names, t)
    items = ", ".join(prefix + c for c in constants(names, t))
    p.print("const char* const $l$[] = {$items$, nullptr};", l=list_name, items=items)
