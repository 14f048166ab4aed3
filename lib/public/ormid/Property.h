// Typed reflection: a property of a data-object class read and written with its value's own C++ type.
//
//   Ormid::DataObjectType* type = Ormid::GetDoType<Quorl::Vm::BootOptions>();
//   Ormid::Property delay(*type, "bootDelay");                 // own or inherited, by name
//   delay.Set(options, Pellum::Optional<long>(500));
//   Pellum::Optional<long> ms = delay.Get<Pellum::Optional<long>>(options);
//
// The descriptor's accessors (DataTypeInfo, Records.h) take `void*` whose meaning changes with the storage
// kind and the accessor; Property checks the C++ type a call names against the property's record first
// and then hands the accessor what it expects. Each property has one value type V, the same for Get, Set
// and Swap:
//
//   required bool                               bool
//   optional boolean                            Pellum::Optional<bool>
//   required byte, short, int, long, float,     the value itself: signed char, short, int, long, float,
//     double, string, binary, date-time,          double, std::string, std::vector<unsigned char>,
//     URI, type name, method name, path           Pellum::System::DateTime, Ormid::Uri, Ormid::TypeName,
//                                                 Ormid::MethodName, Ormid::PropertyPath
//   the same, optional                          Pellum::Optional of it
//   enumeration                                 int, the ordinal (Pellum::Optional<int> when optional)
//   deduplicated string (PropertyFlags::        Pellum::Optional<std::string>
//     Deduplicated)
//   link (PropertyFlags::Link)                  std::string (Pellum::Optional<std::string> when optional)
//   data object, fault, managed-object          Pellum::Ref<X> for Ormid::Any or any class derived from
//     reference, any value, array                 it; null is unset
//
// GetValueType() answers typeid(V) (Pellum::Ref<Ormid::Any> for the reference kinds).
//
// Every accessor refuses, before it reads or changes anything:
//   - a value type that is not the property's V: Pellum::TypeMismatchException (expected GetValueType(),
//     actual typeid of the type named);
//   - a null object or an object that is not of the declaring type or derived from it: Pellum::Exception
//     naming the property and both types.
// The field's own checks then apply, and a refused value leaves the field unchanged: a reference of
// another class than the field's (Pellum::TypeMismatchException naming both classes), an ordinal outside
// the enumeration, a managed-object reference to a registered type that is not the property's
// (Pellum::Exception naming the value).
//
// Nothing allocates beyond what copying the value itself needs (Get of a long string copies it; Visit
// copies nothing). A Property is a small value, cheap to copy; keep one per property rather than looking
// the name up on every access. All members are const and safe to call from any thread on objects that
// are not being changed concurrently.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "ormid/Any.h"
#include "ormid/Export.h"
#include "ormid/Records.h"
#include "ormid/Strings.h"
#include "ormid/Type.h"
#include "pellum/Exception.h"
#include "pellum/Optional.h"
#include "pellum/Ref.h"
#include "pellum/System/DateTime.h"

namespace Ormid {

namespace Detail {

template <class T> struct RefTarget { static constexpr bool value = false; };
template <class X> struct RefTarget<Pellum::Ref<X>> {
   static constexpr bool value = std::is_base_of_v<Any, X>;
   using type = X;
};
template <class T> struct OptionalValue { static constexpr bool value = false; };
template <class T> struct OptionalValue<Pellum::Optional<T>> {
   static constexpr bool value = true;
   using type = T;
};

// The storage kind a plain C++ type stands for; Any (no plain kind) for every other type. An int is an
// Int or an enumeration ordinal.
template <class T> constexpr FieldKind PlainKindOf() noexcept {
   if constexpr (std::is_same_v<T, bool>) {
      return FieldKind::Bool;
   } else if constexpr (std::is_same_v<T, signed char>) {
      return FieldKind::Byte;
   } else if constexpr (std::is_same_v<T, short>) {
      return FieldKind::Short;
   } else if constexpr (std::is_same_v<T, int>) {
      return FieldKind::Int;
   } else if constexpr (std::is_same_v<T, long>) {
      return FieldKind::Long;
   } else if constexpr (std::is_same_v<T, float>) {
      return FieldKind::Float;
   } else if constexpr (std::is_same_v<T, double>) {
      return FieldKind::Double;
   } else if constexpr (std::is_same_v<T, std::string>) {
      return FieldKind::String;
   } else if constexpr (std::is_same_v<T, std::vector<unsigned char>>) {
      return FieldKind::Binary;
   } else if constexpr (std::is_same_v<T, Pellum::System::DateTime>) {
      return FieldKind::DateTime;
   } else if constexpr (std::is_same_v<T, Uri>) {
      return FieldKind::Uri;
   } else if constexpr (std::is_same_v<T, TypeName>) {
      return FieldKind::TypeName;
   } else if constexpr (std::is_same_v<T, MethodName>) {
      return FieldKind::MethodName;
   } else if constexpr (std::is_same_v<T, PropertyPath>) {
      return FieldKind::PropertyPath;
   } else {
      return FieldKind::Any;
   }
}

} // namespace Detail

class ORMID_API Property {
public:
   // The property `name` of `type`, own or inherited (DataObjectType::FindProperty). Throws Pellum::Exception
   // naming the type and the name when the type has no such property.
   Property(const DataObjectType& type, std::string_view name);
   // A property found before; Pellum::Exception for an empty PropertyRef.
   explicit Property(const PropertyRef& ref);
   // Own property `index` of `owner`; Pellum::Exception for an index out of range.
   Property(const DataObjectType& owner, int index);

   // The type that declares the property, the property's position among that type's own properties and
   // its record.
   const DataObjectType& GetOwner() const noexcept { return *_owner; }
   int GetIndex() const noexcept { return _index; }
   const PropertyRecord& GetRecord() const noexcept { return *_record; }
   const char* GetName() const noexcept { return _record->name; }
   FieldKind GetKind() const noexcept { return _kind; }
   bool IsOptional() const noexcept { return (_record->flags & PropertyFlags::Optional) != 0; }
   bool IsDeduplicated() const noexcept { return (_record->flags & PropertyFlags::Deduplicated) != 0; }
   // typeid of the value type V (see the top of this header).
   const std::type_info& GetValueType() const noexcept;
   // Whether V is the property's value type.
   template <class V> bool Takes() const noexcept;

   // The property's value: a copy of a plain value; an unset optional as an unset Pellum::Optional (its
   // stored value is not read); a reference as a new Ref (null when unset; an array property with no
   // array answers the empty array the class installs then, Array.h). Throws Pellum::TypeMismatchException
   // for another V, and for a Ref<X> when the object held is not an X.
   template <class V> V Get(DynamicData* obj) const;
   // Stores `value`; an unset Pellum::Optional or a null Ref unsets the property. Throws as described at
   // the top of this header, leaving the field unchanged.
   template <class V> void Set(DynamicData* obj, const V& value) const;
   // Exchanges `value` with the property's value. Same refusals as Get and Set, with nothing exchanged.
   template <class V> void Swap(DynamicData* obj, V& value) const;
   // Whether the property has a value: a set optional, a non-null reference, an array with an element;
   // always true for a required plain value.
   bool IsSet(const DynamicData* obj) const;
   // Unsets an optional property or a reference (DataObjectType::Reset): Pellum::Exception for a required
   // plain value.
   void Reset(DynamicData* obj) const;

   // Reads the stored value in place, without copying, whatever its type: when the property has a value
   // (IsSet), calls f once with it and answers true; otherwise answers false. f receives bool, signed
   // char, short, int (also for enumeration ordinals: GetKind() tells), long, float, double, or a const
   // reference to std::string, std::vector<unsigned char>, Pellum::System::DateTime, Ormid::Uri,
   // Ormid::TypeName, Ormid::MethodName or Ormid::PropertyPath, or a non-null const Ormid::Any* for the
   // reference kinds. A generic lambda `[&](const auto& value) { ... }` takes them all.
   template <class F> bool Visit(const DynamicData* obj, F&& f) const;

private:
   void Init();
   void CheckObject(const DynamicData* obj) const {
      if (obj == nullptr || obj->_GetDataType() != _owner) {
         CheckDerived(obj);
      }
   }
   void CheckDerived(const DynamicData* obj) const;
   template <class V> void CheckValue() const {
      if (!Takes<V>()) {
         Pellum::ThrowTypeMismatchException(GetValueType(), typeid(V));
      }
   }
   template <class V> void SwapThroughCopy(DynamicData* obj, V& value) const {
      V old = Get<V>(obj);
      Set(obj, value);
      value = std::move(old);
   }
   template <class X> static X* Narrow(Any* value) {
      if constexpr (std::is_same_v<X, Any>) {
         return value;
      } else {
         X* narrowed = dynamic_cast<X*>(value);
         if (narrowed == nullptr && value != nullptr) {
            Pellum::ThrowTypeMismatchException(typeid(X), typeid(*value));
         }
         return narrowed;
      }
   }

   const DataObjectType* _owner = nullptr;
   const DataTypeInfo* _descriptor = nullptr;
   const PropertyRecord* _record = nullptr;
   int _index = -1;
   FieldKind _kind = FieldKind::Any;
};

template <class V> bool Property::Takes() const noexcept {
   if constexpr (Detail::RefTarget<V>::value) {
      return IsReferenceKind(_kind);
   } else if constexpr (Detail::OptionalValue<V>::value) {
      using T = typename Detail::OptionalValue<V>::type;
      constexpr FieldKind plain = Detail::PlainKindOf<T>();
      return IsOptional() && plain != FieldKind::Any &&
             (plain == _kind || (plain == FieldKind::Int && _kind == FieldKind::Enum));
   } else {
      constexpr FieldKind plain = Detail::PlainKindOf<V>();
      return !IsOptional() && plain != FieldKind::Any &&
             (plain == _kind || (plain == FieldKind::Int && _kind == FieldKind::Enum));
   }
}

template <class V> V Property::Get(DynamicData* obj) const {
   CheckValue<V>();
   CheckObject(obj);
   if constexpr (Detail::RefTarget<V>::value) {
      Pellum::Ref<Any> slot;
      _descriptor->getField(obj, _index, &slot);
      return V(Narrow<typename Detail::RefTarget<V>::type>(slot.GetPtr()));
   } else if constexpr (Detail::OptionalValue<V>::value) {
      using T = typename Detail::OptionalValue<V>::type;
      const void* stored = _descriptor->getFieldPtr(obj, _index);
      if (stored == nullptr) {
         return V();
      }
      if constexpr (std::is_same_v<T, bool>) {
         return V(*static_cast<const signed char*>(stored) != 0);
      } else {
         return V(*static_cast<const T*>(stored));
      }
   } else {
      V out{};
      _descriptor->getField(obj, _index, &out);
      return out;
   }
}

template <class V> void Property::Set(DynamicData* obj, const V& value) const {
   CheckValue<V>();
   CheckObject(obj);
   if constexpr (Detail::RefTarget<V>::value) {
      _descriptor->setField(obj, _index, static_cast<const Any*>(value.GetPtr()));
   } else if constexpr (Detail::OptionalValue<V>::value) {
      using T = typename Detail::OptionalValue<V>::type;
      if (!value.IsSet()) {
         _descriptor->reset(obj, _index); // every class with an optional property has reset
      } else if constexpr (std::is_same_v<T, bool>) {
         const signed char byte = value.GetStored() ? 1 : 0;
         _descriptor->setField(obj, _index, &byte);
      } else {
         _descriptor->setField(obj, _index, &value.GetStored());
      }
   } else if constexpr (std::is_same_v<V, bool>) {
      const signed char byte = value ? 1 : 0; // a bool is handed over as its byte
      _descriptor->setField(obj, _index, &byte);
   } else {
      _descriptor->setField(obj, _index, &value);
   }
}

template <class V> void Property::Swap(DynamicData* obj, V& value) const {
   CheckValue<V>();
   CheckObject(obj);
   if constexpr (Detail::RefTarget<V>::value) {
      using X = typename Detail::RefTarget<V>::type;
      // swapField refuses an incoming value of another class than the field's; an outgoing one that is
      // not an X goes back into the field.
      Pellum::Ref<Any> slot(value.GetPtr());
      _descriptor->swapField(obj, _index, &slot);
      X* outgoing = nullptr;
      if constexpr (std::is_same_v<X, Any>) {
         outgoing = slot.GetPtr();
      } else if (Any* held = slot.GetPtr();
                 held != nullptr && (outgoing = dynamic_cast<X*>(held)) == nullptr) {
         const std::type_info& actual = typeid(*held);
         _descriptor->swapField(obj, _index, &slot);
         Pellum::ThrowTypeMismatchException(typeid(X), actual);
      }
      value = V(outgoing);
   } else if constexpr (std::is_same_v<V, bool> || std::is_same_v<V, Pellum::Optional<bool>>) {
      SwapThroughCopy(obj, value); // stored as a byte
   } else {
      if constexpr (std::is_same_v<V, Pellum::Optional<std::string>>) {
         if (IsDeduplicated()) {
            SwapThroughCopy(obj, value); // stored as a shared handle
            return;
         }
      }
      _descriptor->swapField(obj, _index, &value);
   }
}

template <class F> bool Property::Visit(const DynamicData* obj, F&& f) const {
   CheckObject(obj);
   const void* p = _descriptor->getFieldPtr(const_cast<DynamicData*>(obj), _index);
   if (p == nullptr) {
      return false;
   }
   switch (_kind) {
   case FieldKind::Bool:
      // A required bool and an optional boolean byte both hold 0 or 1 in their first byte.
      f(*static_cast<const unsigned char*>(p) != 0);
      break;
   case FieldKind::Byte:
      f(*static_cast<const signed char*>(p));
      break;
   case FieldKind::Short:
      f(*static_cast<const short*>(p));
      break;
   case FieldKind::Int:
   case FieldKind::Enum:
      f(*static_cast<const int*>(p));
      break;
   case FieldKind::Long:
      f(*static_cast<const long*>(p));
      break;
   case FieldKind::Float:
      f(*static_cast<const float*>(p));
      break;
   case FieldKind::Double:
      f(*static_cast<const double*>(p));
      break;
   case FieldKind::String:
      f(*static_cast<const std::string*>(p));
      break;
   case FieldKind::Binary:
      f(*static_cast<const std::vector<unsigned char>*>(p));
      break;
   case FieldKind::DateTime:
      f(*static_cast<const Pellum::System::DateTime*>(p));
      break;
   case FieldKind::Uri:
      f(*static_cast<const Uri*>(p));
      break;
   case FieldKind::TypeName:
      f(*static_cast<const TypeName*>(p));
      break;
   case FieldKind::MethodName:
      f(*static_cast<const MethodName*>(p));
      break;
   case FieldKind::PropertyPath:
      f(*static_cast<const PropertyPath*>(p));
      break;
   case FieldKind::Reference:
   case FieldKind::Any:
   case FieldKind::Array:
      f(static_cast<const Any*>(p));
      break;
   }
   return true;
}

} // namespace Ormid
