"""Every C++ name the back end writes, derived from wire names in one place.

Wire name -> C++:
  package "quorl.vm.device"          namespace Quorl::Vm::Device, folder quorl/vm/device
  type "quorl.vm.BootOptions"        class Quorl::Vm::BootOptions (nested types are nested classes:
                                     Quorl::Vm::BootOptions::BootableDevice)
  type header                        gQuorlVmBootOptionsTypeInfo (the class path without separators)
  enumeration value "notResponding"  enumerator notResponding, constant CONNECTIONSTATE_NOTRESPONDING
  property "bootOrder"               member bootOrder, array getter GetBootOrder()

C++ keywords and names the preprocessor may own are escaped with a trailing underscore; a name that
starts with a digit gets a leading underscore ("3des" -> _3des).
"""

from __future__ import annotations

import re

from .model import RUNTIME_NAMESPACE, Model, Type

# The C++ namespace of the runtime's classes (types marked `runtime`): ::Ormid, then the raised package
# components below the namespace root ("kobl.fault.SystemError" -> ::Ormid::Fault::SystemError).
RUNTIME_CPP_NAMESPACE = "Ormid"

CPP_KEYWORDS = frozenset("""
    alignas alignof and and_eq asm auto bitand bitor bool break case catch char char8_t char16_t char32_t
    class compl concept const consteval constexpr constinit const_cast continue co_await co_return co_yield
    decltype default delete do double dynamic_cast else enum explicit export extern false float for friend
    goto if import inline int long module mutable namespace new noexcept not not_eq nullptr operator or
    or_eq private protected public register reinterpret_cast requires return short signed sizeof static
    static_assert static_cast struct switch template this thread_local throw true try typedef typeid
    typename union unsigned using virtual void volatile wchar_t while xor xor_eq final override
""".split())

# Names that system headers define as macros (or that compilers predefine in some modes).
MACRO_NAMES = frozenset("""
    NULL EOF errno assert stdin stdout stderr major minor makedev unix linux i386 BUFSIZ
    TRUE FALSE DEBUG NDEBUG EDOM ERANGE EINVAL signbit isnan isinf isfinite
""".split())

_IDENT = re.compile(r"[A-Za-z0-9_]+\Z")


# The support of generated code, shared by every namespace the generator emits: the export macro QUORL_API
# (quorl/Export.h), the prelude and helpers of registration/quorl/detail/ and managed/quorl/detail/.
SUPPORT = "::Quorl::Detail::"
# The runtime headers generated headers start with: data objects, faults and enumerations need less than
# managed types (no stubs, dispatch or scheduling); sources use the managed one (the precompiled header).
PRELUDE = "quorl/detail/Prelude.h"
MANAGED_PRELUDE = "quorl/detail/ManagedPrelude.h"
EXPORT_HEADER = "quorl/Export.h"
ENUM_SUPPORT = "quorl/detail/EnumSupport.h"
MANAGED_SUPPORT = "quorl/detail/ManagedSupport.h"


class NamingError(ValueError):
    pass


def escape(name: str) -> str:
    """A C++ identifier for a schema word: keywords and macro names get a trailing underscore, a
    leading digit a leading underscore; names reserved to the implementation (a leading underscore
    followed by an upper-case letter or another underscore, or a double underscore anywhere) are
    refused."""
    if not name or not _IDENT.match(name):
        raise NamingError(f"{name!r} is not a word of letters, digits and underscores")
    if name[0].isdigit():
        name = "_" + name
    elif name in CPP_KEYWORDS or name in MACRO_NAMES:
        name = name + "_"
    if "__" in name or (name[0] == "_" and len(name) > 1 and name[1].isupper()):
        raise NamingError(f"{name!r} is reserved to the C++ implementation")
    return name


def capitalise(word: str) -> str:
    return word[:1].upper() + word[1:]


def package_namespace(package: str) -> tuple[str, ...]:
    """"quorl.vm.device" -> ("Quorl", "Vm", "Device"): every package is under the namespace's root package,
    whose name, raised, is the root C++ namespace."""
    return tuple(escape(capitalise(p)) for p in package.split("."))


def root_namespace(model: Model) -> str:
    """The C++ namespace of the schema's root package: "quorl" -> "Quorl" (the runtime's: Ormid)."""
    if model.namespace.name == RUNTIME_NAMESPACE:
        return RUNTIME_CPP_NAMESPACE
    return package_namespace(model.namespace.name)[0]


def package_folder(package: str) -> str:
    """"quorl.vm.device" -> "quorl/vm/device"."""
    return package.replace(".", "/")


def package_stem(package: str) -> str:
    """File-name stem of a package's sources: the last component ("device", "quorl")."""
    return package.rsplit(".", 1)[-1]


def package_symbol(package: str) -> str:
    """An identifier fragment unique per package: "quorl.vm.device" -> "QuorlVmDevice"."""
    return "".join(package_namespace(package))


class Names:
    """The C++ names of the schema's types; built once per model."""

    def __init__(self, model: Model):
        self.model = model
        self._packages = {p.name for p in model.packages}
        self.root = model.namespace.name                 # "quorl": the folder of the namespace-wide files
        self.root_ns = root_namespace(model)             # "Quorl"
        self.detail = f"::{self.root_ns}::Detail::"      # the namespace of the generated internal functions

    # --- types -----------------------------------------------------------------------------------
    def top_level(self, t: Type) -> Type:
        while t.outer is not None:
            t = self.model.lookup(t.outer)
        return t

    def outer_chain(self, t: Type) -> list[Type]:
        """The type and its enclosing types, outermost first."""
        chain = [t]
        while chain[0].outer is not None:
            chain.insert(0, self.model.lookup(chain[0].outer))
        return chain

    def wire_namespace(self, t: Type) -> tuple[str, ...]:
        """The namespace the wire name gives the type's top-level class: the package's, plus the dotted
        components of a declaration such as `data Unlisted.Leaf` (kept as written)."""
        top = self.top_level(t)
        ns = package_namespace(top.package)
        extra = top.scope[len(top.package):].lstrip(".")
        if extra:
            ns += tuple(escape(part) for part in extra.split("."))
        return ns

    def namespace(self, t: Type) -> tuple[str, ...]:
        """Namespace of the type's top-level class: the wire name's, or the runtime's for its classes."""
        ns = self.wire_namespace(t)
        return (RUNTIME_CPP_NAMESPACE,) + ns[1:] if self.top_level(t).runtime else ns

    def class_chain(self, t: Type) -> tuple[str, ...]:
        """Class names from the top-level class down to the type: ("BootOptions", "BootableDevice")."""
        return tuple(escape(x.short_name) for x in self.outer_chain(t))

    def local_path(self, t: Type) -> str:
        """The class path inside its namespace: "BootOptions::BootableDevice"."""
        return "::".join(self.class_chain(t))

    def qualified(self, t: Type) -> str:
        """Fully qualified: "::Quorl::Vm::BootOptions::BootableDevice"."""
        return "::" + "::".join(self.namespace(t) + self.class_chain(t))

    def unqualified_global(self, t: Type) -> str:
        """Qualified without the leading "::" (for out-of-class definitions)."""
        return self.qualified(t)[2:]

    def symbol(self, t: Type) -> str:
        """Identifier fragment of the type: "QuorlVmBootOptionsBootableDevice"."""
        return "".join(self.wire_namespace(t) + self.class_chain(t))

    def header_symbol(self, t: Type) -> str:
        return "g" + self.symbol(t) + "TypeInfo"

    def unit_header(self, t: Type) -> str:
        """Include path of the header that holds the type's top-level unit."""
        top = self.top_level(t)
        ns = self.wire_namespace(top)
        folder = top.package.split(".")
        extra = list(ns[len(package_namespace(top.package)):])
        return "/".join(folder + extra + [escape(top.short_name) + ".h"])

    # --- members ---------------------------------------------------------------------------------
    def member(self, owner: Type, prop_name: str) -> str:
        """The data member of a property. A property named like a type nested in its class
        ("ZindCacheConfigInfo" of quorl.vm.device.VirtualDisk) or like a member the generator adds
        gets a trailing underscore, so qualified type names keep naming the type."""
        name = escape(prop_name)
        taken = {escape(self.model.types[n].short_name) for n in owner.nested}
        taken.update(("Exception", "ThrowInternal", "CreateException", "GetResponseCode", "ToString"))
        taken.update(self.array_getter(p.name) for p in owner.properties if p.array)
        while name in taken:
            name += "_"
        return name

    @staticmethod
    def array_getter(prop_name: str) -> str:
        return "Get" + capitalise(prop_name)

    @staticmethod
    def enumerator(value: str) -> str:
        return escape(value)

    @staticmethod
    def enum_constant(enum_short_name: str, value: str) -> str:
        """"ConnectionState", "notResponding" -> "CONNECTIONSTATE_NOTRESPONDING"."""
        for word in (enum_short_name, value):
            if not _IDENT.match(word):
                raise NamingError(f"{word!r} is not a word of letters, digits and underscores")
        return f"{enum_short_name.upper()}_{value.upper()}"


def cpp_string(text: str) -> str:
    """A C++ string literal for `text` (the schema's texts are printable ASCII)."""
    out = ['"']
    for ch in text:
        if ch in '"\\':
            out.append("\\" + ch)
        elif " " <= ch <= "~":
            out.append(ch)
        else:
            out.append(f"\\x{ord(ch):02x}\"\"")
    out.append('"')
    return "".join(out)
