// Building blocks of the reflection accessors of data-object classes (the eight functions of a
// DataTypeInfo, Records.h) and of their field comparisons.
//
// An accessor is a switch over the class's own property indices; each case handles one field according to
// its storage kind with the helpers below, so that every class treats a kind exactly the same way
// (getField, getFieldPtr, setField, swapField; isSet and reset):
//
//   required plain value, string,     GetValue, ValuePtr, SetValue, SwapValue (isSet true, no reset)
//     string-valued, date-time, binary  (a required bool: SetValue and SwapValue take 0 or 1 only)
//   required enumeration ordinal      GetValue, ValuePtr, SetOrdinal, SwapOrdinal
//   optional boolean (signed char)    GetOptBool, OptBoolPtr, SetOptBool, SwapOptBool; IsSetOptBool,
//                                       ResetOptBool
//   Pellum::Optional<T>               GetOptional, OptionalPtr, SetOptional, SwapOptional; IsSetOptional,
//                                       ResetOptional (enumerations: SetOptionalOrdinal,
//                                       SwapOptionalOrdinal)
//   data object, fault (Ref<X>)       GetRef, RefPtr, SetRef<X>, SwapRef<X>; IsSetRef, ResetRef
//   managed-object reference          GetRef, RefPtr, SetMoRef, SwapMoRef; IsSetRef, ResetRef
//   any value (Ref<Any>)              GetRef, RefPtr, SetRef<Any>, SwapRef<Any>; IsSetRef, ResetRef
//   array (Ref<A>)                    GetArray, ArrayPtr, SetRef<A>, SwapRef<A>; IsSetArray, ResetRef
//                                       (of managed-object references: SetMoRef, SwapMoRef)
//   deduplicated string               GetDedup, DedupPtr, SetDedup, SwapDedup; IsSetDedup, ResetDedup
//     (PropertyFlags::Deduplicated)
//
// Values a field cannot hold are refused before anything changes (Pellum::Exception naming the value):
// a boolean byte other than 0 and 1 (-1 for unset optional booleans too), an ordinal outside its
// enumeration, a managed-object reference to a registered type that is not the property's type or derived
// from it (a reference to a type this process does not know is taken: a newer server may name types of
// later versions).
//
// Value arguments: `out`/`in`/`io` point to the plain value (T) for plain and string-valued fields, to the
// whole Pellum::Optional<T> for swapField of an optional field, to one signed char for optional booleans,
// to a std::string for deduplicated strings (swapField: the Pellum::Deduplicated<std::string> handle);
// for references and arrays `out`/`io` point to a Pellum::Ref<Ormid::Any> slot and `in` is the
// Ormid::Any* value itself (null allowed).
//
// Reference semantics: GetRef/GetArray make the caller's slot take a new reference before dropping the one
// it held; SetRef narrows the value to the field's class with a dynamic cast (null stays null; another
// class raises Pellum::ThrowTypeMismatchException(typeid(X), typeid(value)) and leaves the field
// unchanged), then takes the new reference before dropping the old one, so storing the value the field
// already holds is safe; SwapRef narrows the slot's value the same way and exchanges the pointers without
// changing either object's count. RefPtr answers the object as an Ormid::Any* (converted to void*); arrays
// answer null from ArrayPtr and false from IsSetArray when they hold no element. GetArray takes the array
// from the class's array getter, which installs an empty array in a null field (Array.h).
#pragma once

#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "ormid/Any.h"
#include "ormid/Array.h"
#include "ormid/Export.h"
#include "ormid/MoRef.h"
#include "pellum/Deduplicated.h"
#include "pellum/Exception.h"
#include "pellum/Optional.h"
#include "pellum/Ref.h"

namespace Ormid::Field {

// The generic value `in` (an Ormid::Any*, null allowed) narrowed to X.
template <class X> X* Narrow(const void* in) {
   Any* value = const_cast<Any*>(static_cast<const Any*>(in));
   if constexpr (std::is_same_v<X, Any>) {
      return value;
   } else {
      if (value == nullptr) {
         return nullptr;
      }
      X* narrowed = dynamic_cast<X*>(value);
      if (narrowed == nullptr) {
         Pellum::ThrowTypeMismatchException(typeid(X), typeid(*value));
      }
      return narrowed;
   }
}

// Required plain values and string-valued, date-time and binary fields.
template <class T> void GetValue(const T& field, void* out) {
   *static_cast<T*>(out) = field;
}
template <class T> void* ValuePtr(T& field) noexcept {
   return &field;
}
template <class T> void SetValue(T& field, const void* in) {
   field = *static_cast<const T*>(in);
}
template <class T> void SwapValue(T& field, void* io) {
   using std::swap;
   swap(field, *static_cast<T*>(io));
}

// Refuses a boolean byte outside `low`..1 (-1 stands for unset where `low` is -1).
ORMID_API void CheckBoolByte(signed char value, int low);
// A bool is read as its byte: any other byte than 0 and 1 is not a bool.
inline void SetValue(bool& field, const void* in) {
   const signed char byte = *static_cast<const signed char*>(in);
   CheckBoolByte(byte, 0);
   field = byte != 0;
}
inline void SwapValue(bool& field, void* io) {
   signed char& byte = *static_cast<signed char*>(io);
   CheckBoolByte(byte, 0);
   const bool incoming = byte != 0;
   byte = field ? 1 : 0;
   field = incoming;
}

// Optional booleans: one signed char, -1 unset, 0 false, 1 true.
inline void GetOptBool(signed char field, void* out) noexcept {
   *static_cast<signed char*>(out) = field;
}
inline void* OptBoolPtr(signed char& field) noexcept {
   return field < 0 ? nullptr : &field;
}
inline void SetOptBool(signed char& field, const void* in) {
   CheckBoolByte(*static_cast<const signed char*>(in), -1);
   field = *static_cast<const signed char*>(in);
}
inline void SwapOptBool(signed char& field, void* io) {
   CheckBoolByte(*static_cast<signed char*>(io), -1);
   std::swap(field, *static_cast<signed char*>(io));
}
inline bool IsSetOptBool(signed char field) noexcept {
   return field >= 0;
}
inline void ResetOptBool(signed char& field) noexcept {
   field = -1;
}

// Optional plain and string-valued fields (Pellum::Optional<T>). Reading an unset field copies whatever
// it holds; reset keeps the value and clears the flag.
template <class T> void GetOptional(const Pellum::Optional<T>& field, void* out) {
   *static_cast<T*>(out) = field.GetStored();
}
template <class T> void* OptionalPtr(Pellum::Optional<T>& field) noexcept {
   return field.IsSet() ? &field.GetStored() : nullptr;
}
template <class T> void SetOptional(Pellum::Optional<T>& field, const void* in) {
   field.Set(*static_cast<const T*>(in));
}
template <class T> void SwapOptional(Pellum::Optional<T>& field, void* io) {
   field.Swap(*static_cast<Pellum::Optional<T>*>(io));
}
template <class T> bool IsSetOptional(const Pellum::Optional<T>& field) noexcept {
   return field.IsSet();
}
template <class T> void ResetOptional(Pellum::Optional<T>& field) noexcept {
   field.Reset();
}

// Enumeration ordinals: 0 .. count-1 of the enumeration `type`.
ORMID_API void CheckOrdinal(int ordinal, int count, const char* type);
inline void SetOrdinal(int& field, const void* in, int count, const char* type) {
   CheckOrdinal(*static_cast<const int*>(in), count, type);
   field = *static_cast<const int*>(in);
}
inline void SwapOrdinal(int& field, void* io, int count, const char* type) {
   CheckOrdinal(*static_cast<int*>(io), count, type);
   std::swap(field, *static_cast<int*>(io));
}
inline void SetOptionalOrdinal(Pellum::Optional<int>& field, const void* in, int count, const char* type) {
   CheckOrdinal(*static_cast<const int*>(in), count, type);
   field.Set(*static_cast<const int*>(in));
}
inline void SwapOptionalOrdinal(Pellum::Optional<int>& field, void* io, int count, const char* type) {
   Pellum::Optional<int>& incoming = *static_cast<Pellum::Optional<int>*>(io);
   if (incoming.IsSet()) {
      CheckOrdinal(incoming.GetStored(), count, type);
   }
   field.Swap(incoming);
}

// References (data objects, faults, MoRef, any values; arrays for set, swap and reset).
template <class X> void GetRef(const Pellum::Ref<X>& field, void* out) {
   static_cast<Pellum::Ref<Any>*>(out)->Reset(field.GetPtr());
}
template <class X> void* RefPtr(const Pellum::Ref<X>& field) noexcept {
   return static_cast<Any*>(field.GetPtr());
}
template <class X> void SetRef(Pellum::Ref<X>& field, const void* in) {
   field.Reset(Narrow<X>(in));
}
template <class X> void SwapRef(Pellum::Ref<X>& field, void* io) {
   Pellum::Ref<Any>& slot = *static_cast<Pellum::Ref<Any>*>(io);
   X* incoming = Narrow<X>(slot.GetPtr());
   X* outgoing = field.Detach();
   field.Attach(incoming);
   (void)slot.Detach();
   slot.Attach(outgoing);
}

// Managed-object references, or arrays of them (X is DataArray<MoRef>), of a property typed by the
// managed type `type` (see the top of this header; items appended to an array later are not checked).
ORMID_API void CheckManagedReference(const Any* value, const char* type);
template <class X> void SetMoRef(Pellum::Ref<X>& field, const void* in, const char* type) {
   CheckManagedReference(static_cast<const Any*>(in), type);
   SetRef<X>(field, in);
}
template <class X> void SwapMoRef(Pellum::Ref<X>& field, void* io, const char* type) {
   CheckManagedReference(static_cast<Pellum::Ref<Any>*>(io)->GetPtr(), type);
   SwapRef<X>(field, io);
}

template <class X> bool IsSetRef(const Pellum::Ref<X>& field) noexcept {
   return field.GetPtr() != nullptr;
}
template <class X> void ResetRef(Pellum::Ref<X>& field) noexcept {
   field.Reset();
}

// Arrays: `array` is what the class's array getter answers (never null).
template <class A> void GetArray(A* array, void* out) {
   static_cast<Pellum::Ref<Any>*>(out)->Reset(array);
}
template <class A> void* ArrayPtr(const Pellum::Ref<A>& field) noexcept {
   A* array = field.GetPtr();
   return array != nullptr && array->GetCollectionLength() > 0 ? static_cast<Any*>(array) : nullptr;
}
template <class A> bool IsSetArray(const Pellum::Ref<A>& field) noexcept {
   A* array = field.GetPtr();
   return array != nullptr && array->GetCollectionLength() > 0;
}

// Deduplicated strings (Pellum::Deduplicated<std::string>). getField requires a set handle: callers test
// getFieldPtr first.
inline void GetDedup(const Pellum::Deduplicated<std::string>& field, void* out) {
   *static_cast<std::string*>(out) = field.Get();
}
inline void* DedupPtr(const Pellum::Deduplicated<std::string>& field) noexcept {
   return const_cast<std::string*>(field.GetPtr());
}
inline void SetDedup(Pellum::Deduplicated<std::string>& field, const void* in) {
   field.Set(*static_cast<const std::string*>(in));
}
inline void SwapDedup(Pellum::Deduplicated<std::string>& field, void* io) noexcept {
   field.Swap(*static_cast<Pellum::Deduplicated<std::string>*>(io));
}
inline bool IsSetDedup(const Pellum::Deduplicated<std::string>& field) noexcept {
   return !field.IsNull();
}
inline void ResetDedup(Pellum::Deduplicated<std::string>& field) noexcept {
   field.Reset();
}

// Field comparison of the generated _IsEqual / _DiffProperties for the kinds whose rule is not a plain
// `==` (required values compare with ==: a NaN equals nothing; date-times compare by their UTC count).
// Match*: equality under the pattern flag (an unset property of the pattern `b` matches anything; an
// unset property of `a` matches only an unset one). Differs*: the difference rule (set against unset is
// always a difference).
template <class T>
bool MatchOptional(const Pellum::Optional<T>& a, const Pellum::Optional<T>& b, bool pattern) {
   if (!b.IsSet()) {
      return pattern || !a.IsSet();
   }
   return a.IsSet() && a.GetStored() == b.GetStored();
}
template <class T> bool DiffersOptional(const Pellum::Optional<T>& a, const Pellum::Optional<T>& b) {
   return a.IsSet() != b.IsSet() || (a.IsSet() && !(a.GetStored() == b.GetStored()));
}
inline bool MatchOptBool(signed char a, signed char b, bool pattern) noexcept {
   return a == b || (pattern && b < 0);
}
inline bool MatchDedup(const Pellum::Deduplicated<std::string>& a, const Pellum::Deduplicated<std::string>& b,
                       bool pattern) noexcept {
   return a == b || (pattern && b.IsNull());
}

} // namespace Ormid::Field
