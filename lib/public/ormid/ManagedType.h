// Managed types and their method objects.
//
// Ormid::ManagedObjectType is the runtime type object of one managed type, built from the type's constant
// descriptor (Ormid::ManagedTypeInfo, Records.h) by Ormid::CreateManagedObjectType when a package's
// type-list function runs. It owns one Ormid::ManagedMethod per own method and per own property and
// writes them into the descriptor's method-object table:
//
//   slot 0 .. m-1      the own methods, in method-record order
//   slot m .. m+p-1    the getters of the own properties, in property-record order
//   slot m+p           stays null
//
// The slot number of a method object is also the index the type's dispatcher takes. Stubs read the table
// directly (it is filled once the type exists and never changes afterwards).
//
// Inherited members belong to the base type; the base is named in the descriptor by its header and found
// through the type registry the first time it is needed, so a base registered by a package that loads
// later still resolves. Root types name the runtime's kobl.ManagedObject as base; GetBase() answers null
// for them.
//
// Type objects and method objects live for the process; every member is safe to call from any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ormid/Export.h"
#include "ormid/ManagedObject.h"
#include "ormid/Records.h"
#include "ormid/Type.h"
#include "pellum/Ref.h"

namespace Ormid {

class Any;
class ManagedObjectType;
class MoRef;
class RequestContext;
class StubAdapter;
class StubImpl;

// One callable member of a managed type: a method, or the getter of a property.
class ORMID_API ManagedMethod {
public:
   ManagedMethod(const ManagedMethod&) = delete;
   ManagedMethod& operator=(const ManagedMethod&) = delete;

   // The type that declares the member.
   ManagedObjectType* GetOwner() const noexcept { return _owner; }
   // Slot in the owner's method-object table: the dispatch index.
   int GetIndex() const noexcept { return _index; }
   bool IsProperty() const noexcept { return _property != nullptr; }

   // Wire name of the method ("getManifest") or of the property ("initializeProgress").
   const char* GetName() const noexcept { return _name; }
   // Owner's wire name, a dot, the member's name ("quorl.HttpNfcLease.getManifest"): for a method the
   // text of its METHOD_ constant.
   const std::string& GetFullName() const noexcept { return _fullName; }
   // Operation name on the wire ("HttpNfcLeaseGetManifest"); null for a property getter.
   const char* GetWsdlName() const noexcept;
   // True for a method whose operation name ends in "_Task": the call answers the reference of the task
   // object that carries the work, whatever result type the record declares.
   bool IsTask() const noexcept { return _isTask; }

   // The result record: the method's result (type null when it has none), or for a getter a record
   // holding the property's type, flags, name, read privilege and version.
   const ParamInfo& GetResult() const noexcept { return _result; }
   bool HasResult() const noexcept { return _result.type != nullptr; }
   // The parameters in order (none for a getter).
   std::span<const ParamInfo> GetParams() const noexcept { return {_params, _paramCount}; }
   std::size_t GetParamCount() const noexcept { return _paramCount; }
   // Parameter i; throws Pellum::Exception naming the member when i is out of range.
   const ParamInfo& GetParam(std::size_t i) const;
   // True when parameter i is required and of a plain, string or enumeration type: such a slot cannot be
   // null (an unset optional or a null reference can).
   bool RequiresValue(std::size_t i) const noexcept {
      return i < _paramCount && (i < 64 ? (_requiredMask >> i) & 1 : _requiresValue[i - 64]);
   }
   // Headers of the declared faults in record order (none for a getter).
   std::span<const TypeInfo* const> GetFaults() const noexcept { return {_faults, _faultCount}; }

   // The privilege a caller needs: the method's fixed privilege, or a property's read privilege; null
   // when none is fixed (the text "dynamic" means the server decides per call).
   const char* GetPrivilegeId() const noexcept;
   // The privilege for a call on an object of type `typeName`: the matching entry of the method's
   // type-dependent list when it has one, otherwise GetPrivilegeId().
   const char* GetPrivilegeFor(std::string_view typeName) const noexcept;
   // Version name from which the member exists.
   const char* GetVersion() const noexcept;

   // The records the member was built from: exactly one of the two is non-null.
   const ManagedMethodInfo* GetMethodInfo() const noexcept { return _method; }
   const PropertyRecord* GetPropertyRecord() const noexcept { return _property; }

   // Runs the member on a local implementation object through the owner's dispatcher (see
   // ManagedObjectType::Dispatch).
   void Dispatch(ManagedObject* target, std::vector<Pellum::Ref<Any>>& args, Pellum::Ref<Any>& result) const;

   // The full name.
   std::string ToString() const { return _fullName; }

private:
   friend class ManagedObjectType;
   ManagedMethod(ManagedObjectType* owner, int index, const ManagedMethodInfo* method);
   ManagedMethod(ManagedObjectType* owner, int index, const PropertyRecord* property);

   ManagedObjectType* _owner;
   int _index;
   const ManagedMethodInfo* _method = nullptr;
   const PropertyRecord* _property = nullptr;
   const char* _name;
   std::string _fullName;
   bool _isTask = false;
   ParamInfo _result{};
   const ParamInfo* _params = nullptr;
   std::size_t _paramCount = 0;
   uint64_t _requiredMask = 0;       // RequiresValue of the first 64 parameters, a bit each
   std::vector<bool> _requiresValue; // of the parameters after the first 64
   const TypeInfo* const* _faults = nullptr;
   std::size_t _faultCount = 0;
};

class ORMID_API ManagedObjectType : public Type {
public:
   // What PropertyIndex answers for a name that is not an own property.
   static constexpr uint32_t kNoProperty = 0xFFFFFFFFu;

   // Builds the type from its descriptor and fills the descriptor's method-object table. Throws
   // Pellum::Exception for a descriptor that cannot describe a managed type (no header, a header that is
   // not of the managed kind, no method-object table, no dispatcher or stub factory) or whose table is
   // already filled (a second type for the same descriptor); the table is left untouched then.
   explicit ManagedObjectType(const ManagedTypeInfo* info);
   ~ManagedObjectType() override;

   const ManagedTypeInfo* GetDescriptor() const noexcept { return _info; }

   // The base managed type, or null for a root type (base kobl.ManagedObject). Resolved through the
   // registry on first use and cached. Throws Pellum::Exception naming both types when the base header is
   // not registered (yet), or is registered as something other than a managed type.
   ManagedObjectType* GetBase() const;
   // The base as a plain type: the managed base, or the root type kobl.ManagedObject for a root type, so
   // that Type::IsA(root) holds for every managed type.
   Type* GetBaseType() const override;

   std::size_t GetOwnMethodCount() const noexcept { return _methodCount; }
   std::size_t GetOwnPropertyCount() const noexcept { return _propertyCount; }
   // m + p: the number of filled slots of the method-object table.
   std::size_t GetMethodObjectCount() const noexcept { return _members.size; }
   // Slot `index` of the table; throws Pellum::Exception naming the type when out of range.
   ManagedMethod* GetMethodObject(std::size_t index) const;
   // Own method i (slot i) and own property getter i (slot m + i); throw when out of range.
   ManagedMethod* GetOwnMethod(std::size_t i) const;
   ManagedMethod* GetOwnProperty(std::size_t i) const;

   // Lookups, own members first, then the base's (recursively); null when nothing matches.
   // FindMethod takes the method's wire name ("powerOn") or a full name ("quorl.VirtualMachine.powerOn"):
   // the type part must name this type or a base, and the method is looked up from that type, so what it
   // inherits is found through it ("quorl.view.ListView.destroy", declared by quorl.view.View). Properties
   // are not methods: use FindProperty.
   ManagedMethod* FindMethod(std::string_view name) const;
   // By operation name ("PowerOnVM_Task").
   ManagedMethod* FindMethodByWsdlName(std::string_view operation) const;
   // The getter of a property, by property name, own or inherited.
   ManagedMethod* FindProperty(std::string_view name) const;
   // Position of the own property `name` through the descriptor's lookup function (exact, case-sensitive,
   // whole-length); kNoProperty when there is none (always for a type without own properties).
   uint32_t PropertyIndex(std::string_view name) const;

   // Carries one call onto a local implementation object through the descriptor's dispatcher. `index` is a
   // slot of this type's own table. Checked first, and refused without reaching the implementation:
   //   - a null target, or an index outside 0 .. m+p-1: Pellum::Exception (a runtime bug);
   //   - a number of arguments other than the member's parameter count: an Ormid::Fault::InvalidRequest
   //     fault, raised as its exception;
   //   - a null slot for a required parameter of a plain, string or enumeration type: an
   //     Ormid::Fault::InvalidArgument fault whose invalidProperty names the parameter.
   // The dispatcher itself raises Pellum's type-mismatch exception for a target that does not implement
   // this type's interface or an argument of another type; whatever the implementation throws passes
   // through. `result` is null afterwards for a member without result.
   void Dispatch(ManagedObject* target, int index, std::vector<Pellum::Ref<Any>>& args,
                 Pellum::Ref<Any>& result) const;

   // A new client stub of this type for `ref` through the descriptor's stub factory. The stub keeps
   // references to all three; `context` may be null. Throws Pellum::Exception for a null ref or adapter.
   Pellum::Ref<StubImpl> CreateStub(MoRef* ref, StubAdapter* adapter, RequestContext* context) const;

private:
   const ManagedTypeInfo* _info;
   std::size_t _methodCount = 0;
   std::size_t _propertyCount = 0;
   // The method objects in slot order, in one allocation.
   struct Members {
      ManagedMethod* data = nullptr;
      std::size_t size = 0;
      std::size_t capacity = 0;
      Members() = default;
      Members(const Members&) = delete;
      Members& operator=(const Members&) = delete;
      ~Members();
   };
   Members _members;
   // The lookups: [0, m) the methods by name, [m, 2m) the methods by operation name, [2m, 2m + p) the
   // property getters by name, each range sorted by its key.
   std::vector<ManagedMethod*> _sorted;
   mutable std::atomic<Type*> _base{nullptr}; // resolved base type (the root type for root types)
};

// Creates the type object of one managed descriptor and fills its method-object table (see
// ManagedObjectType's constructor). The object lives for the process; registering it is the loader's
// job (the type-list function returns it to TypeInfoLoader).
ORMID_API ManagedObjectType* CreateManagedObjectType(const ManagedTypeInfo* info);

} // namespace Ormid
