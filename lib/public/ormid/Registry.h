// Type registration and lookup.
//
// A type library registers its types package by package while the dynamic loader runs its static
// initialisers: each package constructs one Ormid::TypeInfoLoader with its namespace's version record and
// its type-list function. The loader calls the type-list function once, right away, in the constructing
// thread; the function creates one type object per descriptor (CreateDataObjectType, CreateEnumType<E> or
// the EnumType constructor, CreateManagedObjectType) and returns them with their count. The loader then
// registers the namespace (first loader of the namespace only: Versions.h) and the types, in order, in the
// process-wide TypeRegistry. Types are never unregistered and live for the process.
//
// Base types are named in descriptors by their headers and resolved lazily, on first use, through the
// registry, so a package may register before the package of its bases.
//
// The registry answers lookups by wire name, by WSDL name and by header address, and lists the types in
// registration order. The runtime registers its own types ("kobl", "kobl.query" and "kobl.reflect"
// namespaces) when libormid loads, before any library that depends on it.
//
// Concurrency: registration may also happen later (a library opened at run time), so the registry's maps
// are guarded by a reader-writer lock: lookups take it shared and run concurrently with each other.
// Registration takes it exclusively; the type-list function runs before the lock is taken.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "ormid/Enum.h"
#include "ormid/Export.h"
#include "ormid/Records.h"
#include "ormid/Type.h"
#include "ormid/Versions.h"

namespace Ormid {

// A package's type-list function: writes the number of types into `count` and returns the type array.
using TypeListFn = Type* const* (*)(int& count);

class ORMID_API TypeInfoLoader {
public:
   // Runs `typeList` once and registers the namespace of `versions` (may be null: types without a
   // namespace) and the returned types. Raises Pellum::Exception for a null function, a negative count,
   // a null type, or a type whose header, wire name or WSDL name is already registered (registering a type
   // twice is a bug); nothing of the package is registered then.
   TypeInfoLoader(const KoblVersions* versions, TypeListFn typeList);
   TypeInfoLoader(const TypeInfoLoader&) = delete;
   TypeInfoLoader& operator=(const TypeInfoLoader&) = delete;

   const KoblVersions* GetVersions() const noexcept { return _versions; }
   Type* const* GetTypes() const noexcept { return _types; }
   int GetTypeCount() const noexcept { return _count; }

private:
   const KoblVersions* _versions;
   Type* const* _types = nullptr;
   int _count = 0;
};

class ORMID_API TypeRegistry {
public:
   static TypeRegistry& Get();

   // By wire name ("quorl.vm.BootOptions"); "<name>[]" answers the array type of <name>. Null when
   // unknown.
   Type* FindByName(std::string_view name) const;
   // By WSDL name ("VirtualMachineBootOptions"); "ArrayOf<Name>" answers the array type of the type whose
   // WSDL name is <Name> (or <name> with its first letter lowered). Null when unknown.
   Type* FindByWsdlName(std::string_view name) const;
   // By header address. Null when unknown.
   Type* FindByHeader(const TypeInfo* header) const;
   // Typed lookups by wire name: null when unknown or of another kind.
   DataObjectType* FindDataObjectType(std::string_view name) const;
   EnumType* FindEnumType(std::string_view name) const;

   // The registered types in registration order (a snapshot).
   std::vector<Type*> GetTypes() const;
   std::size_t GetTypeCount() const;

   // Registered namespaces (VersionCatalogue).
   const NamespaceInfo* FindNamespace(std::string_view name) const noexcept;
   std::vector<const NamespaceInfo*> GetNamespaces() const;

   // Registers `count` types (and the namespace of `versions` unless already registered); what
   // TypeInfoLoader does after running the type-list function. Raises Pellum::Exception as described
   // there; on failure no type of the batch is registered.
   void Register(const KoblVersions* versions, Type* const* types, int count);

private:
   TypeRegistry() = default;
};

// A new type object for a data-object or fault descriptor (DataObjectType's constructor; throws for an
// invalid descriptor). The object lives for the process.
ORMID_API DataObjectType* CreateDataObjectType(const DataTypeInfo* descriptor);
// A new managed type object; also fills the descriptor's method-object table (ManagedType.h).
ORMID_API ManagedObjectType* CreateManagedObjectType(const ManagedTypeInfo* descriptor);

} // namespace Ormid
