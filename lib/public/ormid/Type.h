// Runtime type objects.
//
// Every registered type has exactly one type object, created when its package registers (Registry.h) and
// kept for the life of the process; type objects are not reference counted and never change after
// construction, except for the caches noted below, which are filled thread-safely. All members are safe to
// call from any thread.
//
//   Type               common part: header, kind, wire name, WSDL name, version, array type.
//   PrimitiveType      the runtime's primitive and string-valued types and "anyType".
//   ArrayType          the array type of another type (created on demand by Type::GetArrayType()).
//   DataObjectType     a data object or fault, built from its DataTypeInfo; checked reflection accessors.
//   EnumType           an enumeration, built from its EnumTypeInfo and EnumFuncs.
//   ManagedObjectType  a managed type (ManagedType.h).
//
// Lookup templates: GetNoType<T>() for the runtime's value types, GetDoType<T>() for data-object and fault
// classes, GetEnumType<E>() for enumerations, GetMoType<T>() for managed interfaces. The primary templates
// are declared only; the runtime specialises them for its own types and a type library for the rest. A
// lookup made before the type's package registered returns null.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "ormid/Export.h"
#include "ormid/Records.h"
#include "pellum/Ref.h"

namespace Pellum::System {
class DateTime;
}

namespace Ormid {

class Type;
class ArrayType;
class DataObjectType;
class EnumType;
class ManagedObjectType;
class TypeName;
class MethodName;
class Uri;
class PropertyPath;
class KeyAnyValue;
class LocalizableMessage;
class DynamicProperty;
class MethodFault;
class RuntimeFault;
namespace Fault {
class InvalidArgument;
class InvalidRequest;
class InvalidType;
class ManagedObjectNotFound;
class NotSupported;
class RequestCanceled;
class SecurityError;
class SystemError;
} // namespace Fault

class ORMID_API Type {
public:
   Type(const Type&) = delete;
   Type& operator=(const Type&) = delete;
   virtual ~Type();

   // The header this type was built from; its address is the type's identity.
   const TypeInfo* GetHeader() const noexcept { return _header; }
   TypeKind GetKind() const noexcept { return static_cast<TypeKind>(_header->kind); }
   // Wire name ("quorl.vm.BootOptions", "int", "quorl.vm.BootOptions[]").
   const char* GetName() const noexcept { return _header->name; }
   // Name in the service description ("VirtualMachineBootOptions", "ArrayOfVirtualMachineBootOptions").
   const char* GetWsdlName() const noexcept { return _header->wsdlName; }
   // Name of the version that introduced the type.
   const char* GetVersion() const noexcept { return _header->version; }

   // Primitive and string-valued types and "anyType" (kinds 1 to 14 and 19).
   bool IsPrimitive() const noexcept;
   bool IsEnum() const noexcept { return _header->kind == KindEnum; }
   // Data objects and faults (kinds 16 and 17).
   bool IsDataObject() const noexcept {
      return _header->kind == KindDataObject || _header->kind == KindFault;
   }
   bool IsFault() const noexcept { return _header->kind == KindFault; }
   bool IsManaged() const noexcept { return _header->kind == KindManaged; }
   bool IsArray() const noexcept { return _header->kind == KindArray; }

   // The item type of an array type; null for every other type.
   virtual Type* GetItemType() const noexcept { return nullptr; }
   // The base type of a data object, fault or managed type; null for roots and every other type.
   virtual Type* GetBaseType() const { return nullptr; }

   // The array type whose items are of this type. Created on first use (thread-safe: every caller gets
   // the same object) and owned by this type. Its wire name is this type's name followed by "[]", its
   // WSDL name "ArrayOf" followed by this type's WSDL name with the first letter raised
   // ("ArrayOfString"), its version this type's version.
   ArrayType* GetArrayType() const;

   // True when this type is `other` or derives from it (through GetBaseType(), transitively). Every type
   // is a "anyType"; an array type is an `other` array type when its item type is the other's item type
   // or derives from it.
   bool IsA(const Type* other) const;
   bool IsAssignableFrom(const Type* other) const { return other != nullptr && other->IsA(this); }

   std::string ToString() const { return GetName(); }

protected:
   // Throws Pellum::Exception for a null header or a header without a name.
   explicit Type(const TypeInfo* header);

private:
   const TypeInfo* _header;
   mutable std::atomic<ArrayType*> _arrayType{nullptr};
};

// The runtime's primitive types, string-valued types and "anyType".
class ORMID_API PrimitiveType final : public Type {
public:
   explicit PrimitiveType(const TypeInfo* header);
   ~PrimitiveType() override;
};

// The root managed type "kobl.ManagedObject": the type of every managed-object reference (Ormid::MoRef)
// and the base named by root managed types. It has no members and no stubs of its own.
class ORMID_API ManagedRootType final : public Type {
public:
   explicit ManagedRootType(const TypeInfo* header);
   ~ManagedRootType() override;
};

class ORMID_API ArrayType final : public Type {
public:
   ~ArrayType() override;
   Type* GetItemType() const noexcept override { return _itemType; }

private:
   friend class Type;
   struct Header;
   ArrayType(Type* itemType, std::unique_ptr<Header> header);

   Type* _itemType;
   std::unique_ptr<Header> _ownedHeader;
};

// How the value of a property is stored in its field and handed to the reflection accessors.
enum class FieldKind {
   Bool,         // bool; optional: signed char, -1 unset
   Byte,         // signed char; optional: Pellum::Optional<signed char>
   Short,        // short
   Int,          // int
   Long,         // long (64 bits)
   Float,        // float
   Double,       // double
   Enum,         // int ordinal; optional: Pellum::Optional<int>
   String,       // std::string (also link properties, whatever their type); optional: Pellum::Optional,
                 // or Pellum::Deduplicated<std::string> with PropertyFlags::Deduplicated
   Binary,       // std::vector<unsigned char>
   DateTime,     // Pellum::System::DateTime
   Uri,          // Ormid::Uri
   TypeName,     // Ormid::TypeName
   MethodName,   // Ormid::MethodName
   PropertyPath, // Ormid::PropertyPath
   Reference,    // Pellum::Ref to a data object, fault or Ormid::MoRef (managed types)
   Any,          // Pellum::Ref<Ormid::Any>
   Array,        // Pellum::Ref to an Ormid::DataArray<T> or Ormid::Array<T>
};

// The storage kind of a property from its record: the array flag makes an array; a link is stored as a
// string; otherwise the kind of the value type's header decides. Throws Pellum::Exception for a record
// with a null type or a header kind that no property can have.
ORMID_API FieldKind GetFieldKind(const PropertyRecord& record);
// Reference, Any and Array: fields held through a Pellum::Ref (null when unset, optional or not).
inline bool IsReferenceKind(FieldKind kind) noexcept {
   return kind == FieldKind::Reference || kind == FieldKind::Any || kind == FieldKind::Array;
}
ORMID_API const char* GetFieldKindName(FieldKind kind) noexcept;

// A property found by name: the type that declares it, its own index there and its record. Ormid::Property
// (Property.h) reads and writes it with typed values.
struct PropertyRef {
   const DataObjectType* owner = nullptr;
   int index = -1;
   const PropertyRecord* record = nullptr;
   explicit operator bool() const noexcept { return owner != nullptr; }
};

class ORMID_API DataObjectType final : public Type {
public:
   // Builds the type from its descriptor. Throws Pellum::Exception for a descriptor that cannot describe
   // a data object: null, no header, a header of another kind, no property list, no factories, no isSet,
   // own properties without the four value accessors, or an optional property without reset.
   explicit DataObjectType(const DataTypeInfo* descriptor);
   ~DataObjectType() override;

   const DataTypeInfo* GetDescriptor() const noexcept { return _descriptor; }

   // The base type, resolved through the registry by the descriptor's base header on first use and
   // cached; a base registered by a package that loads later resolves as soon as it is registered. Null
   // for kobl.DynamicData (the only descriptor without a base). Throws Pellum::Exception naming both types
   // when the base header is not registered (yet).
   DataObjectType* GetBase() const;
   Type* GetBaseType() const override { return GetBase(); }

   // Own properties, in declaration order (index = position).
   int GetOwnPropertyCount() const noexcept { return _ownCount; }
   // Throws Pellum::Exception naming the type for an index out of range.
   const PropertyRecord& GetOwnProperty(int index) const;
   // Position of an own property, or -1.
   int FindOwnProperty(std::string_view name) const noexcept;
   // Own and inherited properties.
   int GetPropertyCount() const;
   // A property by name: own properties first (so a redeclared dynamicProperty is found in the class that
   // redeclares it), then the base's, recursively. Empty when there is none.
   PropertyRef FindProperty(std::string_view name) const;
   // Calls f(const DataObjectType* owner, int index, const PropertyRecord& record) for every property,
   // inherited ones first (root first), each type's in declaration order.
   template <class F> void ForEachProperty(F&& f) const {
      if (DataObjectType* base = GetBase()) {
         base->ForEachProperty(f);
      }
      for (int i = 0; i < _ownCount; ++i) {
         f(this, i, _descriptor->properties[i]);
      }
   }

   // A new default-constructed object / a new empty array of the class, through the descriptor's
   // factories.
   Pellum::Ref<DynamicData> Create() const;
   Pellum::Ref<DataArrayBase> CreateArray() const;

   // Whether `value` is an object of this class or of a class derived from it.
   bool IsInstance(const Any* value) const;

   // Checked reflection accessors on an own property (index relative to this type; see Records.h for the
   // value arguments, which change with the storage kind: Ormid::Property, Property.h, is the typed form
   // over them). Each raises Pellum::Exception naming the type and the index when `obj` is null or
   // not an instance of this type, the index is out of range, or the descriptor has no such accessor.
   // Reset unsets every optional property and every reference (data object, MoRef, any value, array),
   // required or not, on every class (a class without optional properties has no reset accessor: its
   // references are unset by swapping null in); it refuses a required plain or string property (it would
   // have no meaning). The accessor's own exceptions (type mismatch, a value the field cannot hold) pass
   // through, and the field is unchanged then.
   // An object of the class this type was last found to describe exactly passes the class check with one
   // comparison (no virtual call, no walk up the bases).
   void GetField(DynamicData* obj, int index, void* out) const;
   void* GetFieldPtr(DynamicData* obj, int index) const;
   void SetField(DynamicData* obj, int index, const void* in) const;
   void SwapField(DynamicData* obj, int index, void* io) const;
   bool IsSet(const DynamicData* obj, int index) const;
   void Reset(DynamicData* obj, int index) const;

   // The C++ type of the value argument of an own property's getField and setField (`swap` false) or
   // swapField (`swap` true), from its record (Records.h): references, any values and arrays answer
   // Pellum::Ref<Ormid::Any> for all three.
   const std::type_info& GetSlotType(int index, bool swap) const;

   // Calls f(const DataObjectType* owner, int index, const PropertyRecord& record) for every property of
   // `obj` (own and inherited, in ForEachProperty's order) that is set: `obj` is checked once (Pellum::
   // Exception when it is null or not an instance of this type), then each type's isSet is asked directly.
   // f may return void, or bool: false stops the walk. Answers the number of set properties visited.
   template <class F> int ForEachSetProperty(const DynamicData* obj, F&& f) const {
      CheckInstance(obj, "ForEachSetProperty");
      int count = 0;
      bool go = true;
      ForEachProperty([&](const DataObjectType* owner, int index, const PropertyRecord& record) {
         if (go && owner->_descriptor->isSet(obj, index)) {
            ++count;
            if constexpr (std::is_same_v<decltype(f(owner, index, record)), bool>) {
               go = f(owner, index, record);
            } else {
               f(owner, index, record);
            }
         }
      });
      return count;
   }
   // Typed forms of GetField, SetField and SwapField: the argument's C++ type is checked against
   // GetSlotType first; another type raises Pellum::TypeMismatchException (the slot type expected, the
   // type given) before anything is read or changed. SetFieldAs of a reference takes the Ref<Any> slot.
   template <class T> void GetFieldAs(DynamicData* obj, int index, T& out) const {
      CheckSlot(index, false, typeid(T));
      GetField(obj, index, static_cast<void*>(&out));
   }
   template <class T> void SetFieldAs(DynamicData* obj, int index, const T& in) const {
      CheckSlot(index, false, typeid(T));
      if constexpr (std::is_same_v<T, Pellum::Ref<Any>>) {
         SetField(obj, index, in.GetPtr());
      } else {
         SetField(obj, index, static_cast<const void*>(&in));
      }
   }
   template <class T> void SwapFieldAs(DynamicData* obj, int index, T& io) const {
      CheckSlot(index, true, typeid(T));
      SwapField(obj, index, static_cast<void*>(&io));
   }

private:
   void CheckSlot(int index, bool swap, const std::type_info& given) const;
   void Check(const DynamicData* obj, int index, const void* accessor, const char* what) const;
   void CheckInstance(const DynamicData* obj, const char* what) const;
   [[noreturn]] void ThrowNotInstance(const DynamicData* obj, const char* what, const char* property,
                                      int index) const;

   const DataTypeInfo* _descriptor;
   int _ownCount = 0;
   mutable std::atomic<DataObjectType*> _base{nullptr};
   mutable std::atomic<const std::type_info*> _exactClass{nullptr}; // a class whose _GetDataType() is this
};

class ORMID_API EnumType final : public Type {
public:
   // Throws Pellum::Exception for a null descriptor, a header that is not of the enumeration kind, a
   // missing names list, an enumeration without values, a repeated name or an incomplete function table.
   EnumType(const EnumTypeInfo* info, const EnumFuncs& funcs);
   ~EnumType() override;

   const EnumTypeInfo* GetInfo() const noexcept { return _info; }
   const EnumFuncs& GetFuncs() const noexcept { return _funcs; }
   int GetValueCount() const noexcept { return static_cast<int>(_byName.size()); }

   // Name of an ordinal. An ordinal outside 0 .. count-1 raises Pellum::Exception naming the enumeration
   // and the ordinal: `unknown ordinal 7 of enumeration quorl.HostSystem.ConnectionState`.
   const char* GetTag(int ordinal) const;
   // Ordinal of a name (exact, case-sensitive). An unknown name raises Pellum::Exception naming the
   // enumeration and the value: `unknown value "foo" of enumeration quorl.HostSystem.ConnectionState`.
   int GetValue(const std::string& name) const;
   // The same without exception: -1 for an unknown name.
   int FindValue(std::string_view name) const noexcept;
   bool IsValid(int ordinal) const noexcept { return ordinal >= 0 && ordinal < GetValueCount(); }

private:
   const EnumTypeInfo* _info;
   EnumFuncs _funcs;
   std::vector<std::pair<std::string_view, int>> _byName; // sorted by name
};

// Lookup templates (see the top of this header).
template <class T> Type* GetNoType();
template <class T> DataObjectType* GetDoType();
template <class E> EnumType* GetEnumType();
template <class T> ManagedObjectType* GetMoType();

// The runtime's value types: "boolean", "byte", "short", "int", "long", "float", "double", "string",
// "binary", "dateTime", "kobl.TypeName", "kobl.MethodName", "kobl.URI", "kobl.PropertyPath", "anyType",
// and for Ormid::MoRef the root managed type "kobl.ManagedObject".
template <> ORMID_API Type* GetNoType<bool>();
template <> ORMID_API Type* GetNoType<signed char>();
template <> ORMID_API Type* GetNoType<short>();
template <> ORMID_API Type* GetNoType<int>();
template <> ORMID_API Type* GetNoType<long>();
template <> ORMID_API Type* GetNoType<float>();
template <> ORMID_API Type* GetNoType<double>();
template <> ORMID_API Type* GetNoType<std::string>();
template <> ORMID_API Type* GetNoType<std::vector<unsigned char>>();
template <> ORMID_API Type* GetNoType<Pellum::System::DateTime>();
template <> ORMID_API Type* GetNoType<TypeName>();
template <> ORMID_API Type* GetNoType<MethodName>();
template <> ORMID_API Type* GetNoType<Uri>();
template <> ORMID_API Type* GetNoType<PropertyPath>();
template <> ORMID_API Type* GetNoType<Any>();
template <> ORMID_API Type* GetNoType<MoRef>();

// The runtime's data-object and fault types.
template <> ORMID_API DataObjectType* GetDoType<DynamicData>();
template <> ORMID_API DataObjectType* GetDoType<KeyAnyValue>();
template <> ORMID_API DataObjectType* GetDoType<LocalizableMessage>();
template <> ORMID_API DataObjectType* GetDoType<DynamicProperty>();
template <> ORMID_API DataObjectType* GetDoType<MethodFault>();
template <> ORMID_API DataObjectType* GetDoType<RuntimeFault>();
template <> ORMID_API DataObjectType* GetDoType<Fault::InvalidArgument>();
template <> ORMID_API DataObjectType* GetDoType<Fault::InvalidRequest>();
template <> ORMID_API DataObjectType* GetDoType<Fault::InvalidType>();
template <> ORMID_API DataObjectType* GetDoType<Fault::ManagedObjectNotFound>();
template <> ORMID_API DataObjectType* GetDoType<Fault::NotSupported>();
template <> ORMID_API DataObjectType* GetDoType<Fault::RequestCanceled>();
template <> ORMID_API DataObjectType* GetDoType<Fault::SecurityError>();
template <> ORMID_API DataObjectType* GetDoType<Fault::SystemError>();

} // namespace Ormid
