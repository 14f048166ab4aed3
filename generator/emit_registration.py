"""Emitter of the registration units: per package the type headers, descriptors, property records,
enumeration descriptors, type array, type-list function, lookup templates and initialiser; the one
ordered initialiser of the library; the version catalogue."""

from __future__ import annotations

from .emit_data import ClassEmitter
from .emit_enum import print_constant_definitions, print_names_list
from .emit_fields import header_ref, property_record
from .emit_managed import ManagedEmitter, param_record
from .model import DATA, ENUM, FAULT, MANAGED, Model, Package
from .naming import ENUM_SUPPORT, EXPORT_HEADER, MANAGED_PRELUDE, SUPPORT, Names, cpp_string, package_symbol, root_namespace
from .printer import Printer

KIND_CODES = {ENUM: 15, DATA: 16, FAULT: 17, MANAGED: 18}


def enum_factory_types(model: Model) -> frozenset[str]:
    """Wire names of the enumerations with an exported `Ormid::CreateEnumType<E>` instance (`factory` in
    the schema); the type-list function builds those through it, the others in place."""
    return frozenset(n for n, t in model.types.items() if t.factory)


def uses_dedup_table(model: Model, pkg: Package) -> bool:
    """Whether a type of the package stores a property deduplicated (its initialiser constructs the table)."""
    return any(prop.dedup for n in pkg.types for prop in model.types[n].properties)


def _str(text: str | None) -> str:
    return "nullptr" if text is None else cpp_string(text)


def register_function(pkg: Package) -> str:
    return "Register" + package_symbol(pkg.name)


def registered_types(model: Model, pkg: Package) -> list[str]:
    """Type-list order: data objects and faults, then enumerations, then managed types."""
    return list(model.type_list(pkg.name))


def print_package_registration(p: Printer, model: Model, names: Names, pkg: Package, includes: list[str]) -> None:
    order = registered_types(model, pkg)
    data = [model.types[n] for n in order if model.types[n].kind in (DATA, FAULT)]
    enums = [model.types[n] for n in order if model.types[n].kind == ENUM]
    managed = [ManagedEmitter(model, names, model.types[n]) for n in order if model.types[n].kind == MANAGED]
    p.print("""
        // Generated from schema/$file$ by `python3 -m generator emit`: do not edit.
        // Registration unit of package $pkg$: type headers, descriptors, property records, type list.""",
            file=pkg.file.rsplit("/", 1)[-1], pkg=pkg.name)
    p.blank()
    for inc in includes:
        p.print('#include "$inc$"', inc=inc)
    p.blank()

    # Type headers of every type of the package (managed types included: property records name them).
    p.print("// Type headers.")
    for n in pkg.types:
        t = model.types[n]
        p.print("const ::Ormid::TypeInfo $h${$k$, $name$, $wsdl$, $ver$};",
                h=names.header_symbol(t), k=KIND_CODES[t.kind], name=cpp_string(t.name),
                wsdl=cpp_string(t.wsdl), ver=cpp_string(t.version))
    p.blank()

    if enums:
        p.print("// Enumeration value constants.")
        for e in enums:
            print_constant_definitions(p, names, e)
        p.blank()

    prop_count = sum(len(t.properties) + 1 for t in data if t.properties)
    p.print("namespace {")
    p.blank()
    if prop_count:
        p.print("// Property records, filled by $fn$() before the package registers.",
                fn=register_function(pkg))
        p.print("::Ormid::PropertyRecord gProperties[$n$];", n=prop_count)
    if any(not t.properties for t in data):
        p.print("const ::Ormid::PropertyRecord kNoProperties[1] = {};")
    p.blank()
    offsets: dict[str, int] = {}
    at = 0
    for t in data:
        if t.properties:
            offsets[t.name] = at
            at += len(t.properties) + 1
    if data:
        p.print("const ::Ormid::DataTypeInfo kDescriptors[$n$] = {", n=len(data))
        with p.indent():
            for t in data:
                ce = ClassEmitter(model, names, t)
                props = f"&gProperties[{offsets[t.name]}]" if t.name in offsets else "kNoProperties"
                own_dyn = int(bool(t.properties) and t.properties[0].name == "dynamicProperty"
                              and t.properties[0].type == "kobl.DynamicProperty")
                p.print("// $wire$", wire=t.name)
                p.print("{&::$h$, &$base$, $props$,", h=names.header_symbol(t),
                        base=header_ref(model, names, t.base), props=props)
                with p.indent():
                    slots = ce.descriptor_slots()
                    p.print("$a$, $b$, $c$,", a=slots[0], b=slots[1], c=slots[2])
                    p.print("$a$, $b$, $c$,", a=slots[3], b=slots[4], c=slots[5])
                    p.print("$a$, $b$, $d$},", a=slots[6], b=slots[7], d=own_dyn)
        p.print("};")
        p.blank()
    for i, e in enumerate(enums):
        print_names_list(p, names, e, f"kNames{i}")
    if enums:
        p.print("const ::Ormid::EnumTypeInfo kEnums[$n$] = {", n=len(enums))
        with p.indent():
            for i, e in enumerate(enums):
                p.print("{&::$h$, kNames$i$},", h=names.header_symbol(e), i=i)
        p.print("};")
        p.blank()
    if managed:
        _print_managed_storage(p, model, names, managed)
    total = len(data) + len(enums) + len(managed)
    p.print("""
        // One slot per type in type-list order; the lookup templates read their slot.
        ::Ormid::Type* gTypes[$n$];""", n=max(total, 1))
    p.blank()
    p.print("::Ormid::Type* const* TypeList(int& count) {")
    with p.indent():
        if data:
            p.print("""
                for (int i = 0; i < $n$; ++i) {
                   gTypes[i] = ::Ormid::CreateDataObjectType(&kDescriptors[i]);
                }""", n=len(data))
        factories = enum_factory_types(model)
        for i, e in enumerate(enums):
            if e.name in factories:
                p.print("gTypes[$slot$] = ::Ormid::CreateEnumType<$q$>(&kEnums[$i$]);",
                        slot=len(data) + i, q=names.qualified(e), i=i)
            else:
                p.print("gTypes[$slot$] = new ::Ormid::EnumType(&kEnums[$i$], $s$EnumFunctions<$q$>::kFuncs);", s=SUPPORT,
                        slot=len(data) + i, q=names.qualified(e), i=i)
        for i, me in enumerate(managed):
            p.print("gTypes[$slot$] = ::Ormid::CreateManagedObjectType(&kManaged[$i$]);",
                    slot=len(data) + len(enums) + i, i=i)
        p.print("count = $n$;", n=total)
        p.print("return gTypes;")
    p.print("}")
    p.blank()
    p.print("alignas(::Ormid::TypeInfoLoader) unsigned char gLoader[sizeof(::Ormid::TypeInfoLoader)];")
    p.blank()
    p.print("} // namespace")
    p.blank()

    # Lookup templates.
    if order:
        p.print("namespace Ormid {")
        for slot, t in enumerate(data):
            p.print("template <> DataObjectType* GetDoType<$q$>() { return static_cast<DataObjectType*>(gTypes[$i$]); }",
                    q=names.qualified(t), i=slot)
        for i, e in enumerate(enums):
            p.print("template <> EnumType* GetEnumType<$q$>() { return static_cast<EnumType*>(gTypes[$i$]); }",
                    q=names.qualified(e), i=len(data) + i)
        for i, me in enumerate(managed):
            p.print("template <> ManagedObjectType* GetMoType<$q$>() { return static_cast<ManagedObjectType*>(gTypes[$i$]); }",
                    q=me.qualified, i=len(data) + len(enums) + i)
        for e in enums:
            if e.name in enum_factory_types(model):
                p.print("template <> EnumType* CreateEnumType<$q$>(const EnumTypeInfo* info) {", q=names.qualified(e))
                p.print("   return new EnumType(info, $s$EnumFunctions<$q$>::kFuncs);", s=SUPPORT, q=names.qualified(e))
                p.print("}")
        p.print("} // namespace Ormid")
        p.blank()

    # Initialiser.
    r = names.root_ns
    p.print("void $r$::Detail::$fn$() {", r=r, fn=register_function(pkg))
    with p.indent():
        if prop_count:
            p.print("::Ormid::PropertyRecord* r = gProperties;")
            for t in data:
                if t.name not in offsets:
                    continue
                p.print("// $wire$", wire=t.name)
                base = offsets[t.name]
                for i, prop in enumerate(t.properties):
                    p.print("r[$i$] = $rec$;", i=base + i, rec=property_record(model, names, prop))
        if managed:
            _print_managed_fill(p, model, names, managed)
        if pkg.name == model.namespace.name:  # the root package
            p.print("::$r$::koblNamespaceId = -1;", r=r)
        p.print("new (gLoader) ::Ormid::TypeInfoLoader(&::$r$::koblVersions, &TypeList);", r=r)
        if uses_dedup_table(model, pkg):
            p.print("::Pellum::Deduplicated<std::string>::_dedupTable.EnsureConstructed();")
    p.print("}")


def _managed_layout(managed: list[ManagedEmitter]) -> dict[str, int]:
    sizes = {"props": 0, "methods": 0, "params": 0}
    for me in managed:
        t = me.t
        if t.properties:
            sizes["props"] += len(t.properties) + 1
        if t.methods:
            sizes["methods"] += len(t.methods) + 1
        for meth in t.methods:
            if meth.params:
                sizes["params"] += len(meth.params) + 1
    return sizes


def _print_managed_storage(p: Printer, model: Model, names: Names, managed: list[ManagedEmitter]) -> None:
    """Record storage (zero-initialised, filled by the initialiser), constant fault and type-privilege
    lists, the managed-type descriptors and the method-object tables."""
    sizes = _managed_layout(managed)
    p.print("// Records of the managed types, filled before the package registers.")
    if sizes["props"]:
        p.print("::Ormid::PropertyRecord gManagedProperties[$n$];", n=sizes["props"])
    if sizes["methods"]:
        p.print("::Ormid::ManagedMethodInfo gMethods[$n$];", n=sizes["methods"])
    if sizes["params"]:
        p.print("::Ormid::ParamInfo gParams[$n$];", n=sizes["params"])
    # The shared terminators, only where some list is empty.
    if any(not me.t.properties for me in managed):
        p.print("const ::Ormid::PropertyRecord kNoManagedProperties[1] = {};")
    if any(not me.t.methods for me in managed):
        p.print("const ::Ormid::ManagedMethodInfo kNoMethods[1] = {};")
    if any(not meth.params for me in managed for meth in me.t.methods):
        p.print("const ::Ormid::ParamInfo kNoParams[1] = {};")
    if any(not meth.faults for me in managed for meth in me.t.methods):
        p.print("const ::Ormid::TypeInfo* const kNoFaults[1] = {};")
    faults: list[str] = []
    for me in managed:
        for meth in me.t.methods:
            if meth.faults:
                faults += [f"&{header_ref(model, names, f)}" for f in meth.faults] + ["nullptr"]
    if faults:
        p.print("// Fault lists of the methods, each ended by a null pointer.")
        p.print("const ::Ormid::TypeInfo* const kFaults[$n$] = {", n=len(faults))
        with p.indent():
            for i in range(0, len(faults), 4):
                p.print("$items$,", items=", ".join(faults[i:i + 4]))
        p.print("};")
    for me in managed:
        for k, meth in enumerate(me.t.methods):
            if meth.type_privileges:
                p.print("const ::Ormid::TypePrivilege k$s$_$k$_TypePrivileges[] = {", s=me.symbol, k=k)
                with p.indent():
                    for type_name, priv in meth.type_privileges:
                        p.print("{$t$, $v$},", t=cpp_string(type_name), v=cpp_string(priv))
                    p.print("{nullptr, nullptr},")
                p.print("};")
    p.blank()
    p.print("const ::Ormid::ManagedTypeInfo kManaged[$n$] = {", n=len(managed))
    prop_at = method_at = 0
    with p.indent():
        for me in managed:
            t = me.t
            props = f"&gManagedProperties[{prop_at}]" if t.properties else "kNoManagedProperties"
            methods = f"&gMethods[{method_at}]" if t.methods else "kNoMethods"
            if t.properties:
                prop_at += len(t.properties) + 1
            if t.methods:
                method_at += len(t.methods) + 1
            p.print("// $wire$", wire=t.name)
            p.print("$d$,", d=me.descriptor(props, methods))
    p.print("};")
    p.blank()
    p.print("} // namespace")
    p.blank()
    for me in managed:
        p.print("::Ormid::ManagedMethod* $s$[$n$];", s=me.table_symbol, n=me.table_length)
    p.blank()
    p.print("namespace {")
    p.blank()


def _print_managed_fill(p: Printer, model: Model, names: Names, managed: list[ManagedEmitter]) -> None:
    prop_at = method_at = param_at = fault_at = 0
    for me in managed:
        t = me.t
        p.print("// $wire$", wire=t.name)
        for i, prop in enumerate(t.properties):
            p.print("gManagedProperties[$i$] = $rec$;", i=prop_at + i, rec=property_record(model, names, prop))
        if t.properties:
            prop_at += len(t.properties) + 1
        for k, meth in enumerate(t.methods):
            params = "kNoParams"
            if meth.params:
                params = f"&gParams[{param_at}]"
                for i, prm in enumerate(meth.params):
                    p.print("gParams[$i$] = $r$;", i=param_at + i, r=param_record(model, names, prm))
                param_at += len(meth.params) + 1
            fault_list = "kNoFaults"
            if meth.faults:
                fault_list = f"&kFaults[{fault_at}]"
                fault_at += len(meth.faults) + 1
            tp = f"k{me.symbol}_{k}_TypePrivileges" if meth.type_privileges else "nullptr"
            priv = "nullptr" if meth.privilege is None else cpp_string(meth.privilege)
            feature = "nullptr" if meth.feature is None else cpp_string(meth.feature)
            f1, f2, f3 = meth.flag_bytes
            p.print("gMethods[$i$] = {$n$, $w$, $priv$, $tp$, $res$, $params$, $faults$, $v$, $feature$, $f1$, $f2$, $f3$};",
                    i=method_at + k, n=cpp_string(meth.name), w=cpp_string(meth.wsdl), priv=priv, tp=tp,
                    res=param_record(model, names, meth.result), params=params, faults=fault_list,
                    v=cpp_string(meth.version), feature=feature, f1=f1, f2=f2, f3=f3)
        if t.methods:
            method_at += len(t.methods) + 1


def print_library_registration(p: Printer, model: Model) -> None:
    p.print("""
        // Generated by `python3 -m generator emit`: do not edit.
        // The library's one ordered initialiser: registers the packages in registration order, whatever
        // the order in which the linker placed their translation units.

        #include <chrono>
        #include <cstdint>

        #include "$root$/Packages.h"
        #include "$root$/detail/Registration.h"

        namespace {

        // Wall-clock time each package's initialiser took, in registration order.
        std::int64_t gRegistrationNanoseconds[$n$];

        void Run(int package, void (*initialiser)()) {
           const auto start = std::chrono::steady_clock::now();
           initialiser();
           gRegistrationNanoseconds[package] =
              std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
        }

        struct Registration {
           Registration() {""", n=len(model.packages), root=model.namespace.name)
    with p.indent(2):
        for i, pkg in enumerate(model.packages):
            p.print("Run($i$, &::$r$::Detail::$fn$);", i=i, r=root_namespace(model), fn=register_function(pkg))
    p.print("""
           }
        };

        const Registration gRegistration;

        } // namespace

        std::int64_t $r$::GetRegistrationNanoseconds(int package) {
           return package >= 0 && package < kPackageCount ? gRegistrationNanoseconds[package] : -1;
        }""", r=root_namespace(model))


def print_packages_header(p: Printer, model: Model) -> None:
    p.print("""
        // Generated from schema/namespace.kobl by `python3 -m generator emit`: do not edit.
        // The packages of the namespace "$ns$" in registration order: what the library carries of each, the
        // registration table's counts, and the time each took to register.
        #pragma once

        #include <cstdint>

        #include "$export$"

        namespace $r$ {

        struct PackageInfo {
           const char* name;
           // Types this library carries, by kind.
           int dataObjects, faults, enumerations, managedTypes;
           // The registration table's counts for the package (what the namespace holds in all).
           int expectedDataObjects, expectedFaults, expectedEnumerations, expectedManagedTypes;
           // Entries of the package's type list (the types registered at load).
           int typeListLength;
        };

        inline constexpr int kPackageCount = $n$;

        extern "C++" QUORL_API const PackageInfo packages[$n$];

        // Nanoseconds the initialiser of package `package` (an index into `packages`) took at load: its
        // records, its type-list function and the runtime's type objects. -1 for an index out of range.
        QUORL_API std::int64_t GetRegistrationNanoseconds(int package);

        } // namespace $r$""", ns=model.namespace.name, n=len(model.packages), export=EXPORT_HEADER,
            r=root_namespace(model))


def print_packages_source(p: Printer, model: Model) -> None:
    p.print("""
        // Generated from schema/namespace.kobl by `python3 -m generator emit`: do not edit.
        #include "$root$/Packages.h"

        const $r$::PackageInfo $r$::packages[$n$] = {""", n=len(model.packages), root=model.namespace.name,
            r=root_namespace(model))
    with p.indent():
        for pkg in model.packages:
            c, e = pkg.counts, pkg.expected
            p.print("{$name$, $d$, $f$, $en$, $m$, $ed$, $ef$, $ee$, $em$, $tl$},", name=cpp_string(pkg.name),
                    d=c[DATA], f=c[FAULT], en=c[ENUM], m=c[MANAGED], ed=e[DATA], ef=e[FAULT], ee=e[ENUM],
                    em=e[MANAGED], tl=len(registered_types(model, pkg)))
    p.print("};")


def print_registration_header(p: Printer, model: Model) -> None:
    p.print("""
        // Generated by `python3 -m generator emit`: do not edit.
        // Package initialisers (internal to the library), called in registration order by registration.cpp.
        #pragma once

        #include <new>

        #include "ormid/Registry.h\"""")
    for h in sorted((f"{model.namespace.name}/Versions.h", ENUM_SUPPORT, MANAGED_PRELUDE)):
        p.print('#include "$h$"', h=h)
    p.blank()
    p.print("namespace $r$::Detail {", r=root_namespace(model))
    for pkg in model.packages:
        p.print("void $fn$();", fn=register_function(pkg))
    p.print("} // namespace $r$::Detail", r=root_namespace(model))


def print_versions_header(p: Printer, model: Model) -> None:
    ns = model.namespace
    p.print("""
        // Generated from schema/namespace.kobl by `python3 -m generator emit`: do not edit.
        // The version catalogue of the namespace "$ns$" and the slots the runtime fills when it registers.
        #pragma once

        #include <cstdint>

        #include "ormid/Records.h"
        #include "$export$"

        namespace $r$ {

        // Number of slots in officialVersions and internalVersions.
        inline constexpr unsigned kVersionSlotCount = $slots$;

        // The namespace record handed to every package registration.
        extern "C++" QUORL_API const ::Ormid::KoblVersions koblVersions;
        // Zero at load, -1 once the main package's initialiser ran; then what the runtime assigns.
        extern "C++" QUORL_API int32_t koblNamespaceId;
        // Filled by the runtime when the namespace registers (released versions; "unstable" and the
        // released versions).
        extern "C++" QUORL_API const ::Ormid::Version* officialVersions[$slots$];
        extern "C++" QUORL_API const ::Ormid::Version* internalVersions[$slots$];
        // The current version slot of the record (null until the runtime stores one).
        QUORL_API const ::Ormid::Version* GetRcVersion();

        } // namespace $r$""", ns=ns.name, slots=ns.version_slots, export=EXPORT_HEADER, r=root_namespace(model))


def print_versions_source(p: Printer, model: Model) -> None:
    ns = model.namespace
    counts = list(ns.counts) + [0, 0, 0]
    p.print("""
        // Generated from schema/namespace.kobl by `python3 -m generator emit`: do not edit.
        #include "$root$/Versions.h"

        int32_t $r$::koblNamespaceId = 0;
        const ::Ormid::Version* $r$::officialVersions[$slots$] = {};
        const ::Ormid::Version* $r$::internalVersions[$slots$] = {};

        namespace {

        const ::Ormid::Version* gCurrentVersion = nullptr;
        """, slots=ns.version_slots, root=ns.name, r=root_namespace(model))
    deps = ", ".join(cpp_string(d) for d in ns.dependencies)
    p.print("const char* const kDependencies[] = {$deps$};", deps=deps)
    for i, prod in enumerate(ns.products):
        p.print("const char* const kReleases$i$[] = {", i=i)
        with p.indent():
            for r in prod.releases:
                p.print("$r$,", r=cpp_string(r))
        p.print("};")
    p.print("const ::Ormid::ProductRecord kProducts[] = {")
    with p.indent():
        for i, prod in enumerate(ns.products):
            p.print("{$n$, $c$, kReleases$i$},", n=cpp_string(prod.name), c=len(prod.releases), i=i)
    p.print("};")
    p.print("const ::Ormid::VersionRecord kVersions[] = {")
    with p.indent():
        for v in ns.versions:
            p.print("{$n$, $w$, $id$, $rel$, $tn$, $tns$, $stage$, $flags$},", n=cpp_string(v.name),
                    w=cpp_string(v.wire_namespace), id=cpp_string(v.version_id), rel=_str(v.release_id),
                    tn=cpp_string(v.task_type_name), tns=cpp_string(v.task_type_namespace), stage=v.stage,
                    flags=v.flags)
    p.print("};")
    p.print("const ::Ormid::VersionParent kParents[] = {")
    with p.indent():
        for v, parent in ns.parents:
            p.print("{$v$, $p$},", v=cpp_string(v), p=cpp_string(parent))
    p.print("};")
    p.print("""

        } // namespace

        const ::Ormid::KoblVersions $r$::koblVersions = {
           $name$, &::$r$::koblNamespaceId, kDependencies, kProducts, kVersions, kParents,
           ::$r$::officialVersions, ::$r$::internalVersions, &gCurrentVersion,
           $nv$, $slots$,
           $np$, $nd$,
           $nprod$, $c0$,
           $c1$, $c2$,
        };

        const ::Ormid::Version* $r$::GetRcVersion() {
           return gCurrentVersion;
        }""", r=root_namespace(model), name=cpp_string(ns.name), nv=len(ns.versions), slots=ns.version_slots, np=len(ns.parents),
            nd=len(ns.dependencies), nprod=len(ns.products), c0=counts[0], c1=counts[1], c2=counts[2])
