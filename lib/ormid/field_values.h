// Private: comparison of one plain field read through its descriptor's getFieldPtr (the reflective
// difference of DynamicData), and the move of one field between two objects of a class through its
// descriptor's swapField (DynamicData::CopyFrom), any.cpp.
#pragma once

#include <string>
#include <vector>

#include "ormid/Any.h"
#include "ormid/Strings.h"
#include "ormid/Type.h"
#include "pellum/Deduplicated.h"
#include "pellum/Optional.h"
#include "pellum/Ref.h"
#include "pellum/System/DateTime.h"

namespace Ormid::Detail {

// Whether two stored plain values (addresses answered by getFieldPtr, null when unset) are the same
// value: both unset, or both set with equal values (a NaN equals nothing). `kind` is not a reference kind.
inline bool SamePlainField(FieldKind kind, const void* a, const void* b) {
   if (a == nullptr || b == nullptr) {
      return a == b;
   }
   switch (kind) {
   case FieldKind::Bool:
      // A required bool and an optional boolean byte both hold 0 or 1 in their first byte.
      return (*static_cast<const unsigned char*>(a) != 0) == (*static_cast<const unsigned char*>(b) != 0);
   case FieldKind::Byte:
      return *static_cast<const signed char*>(a) == *static_cast<const signed char*>(b);
   case FieldKind::Short:
      return *static_cast<const short*>(a) == *static_cast<const short*>(b);
   case FieldKind::Int:
   case FieldKind::Enum:
      return *static_cast<const int*>(a) == *static_cast<const int*>(b);
   case FieldKind::Long:
      return *static_cast<const long*>(a) == *static_cast<const long*>(b);
   case FieldKind::Float:
      return *static_cast<const float*>(a) == *static_cast<const float*>(b);
   case FieldKind::Double:
      return *static_cast<const double*>(a) == *static_cast<const double*>(b);
   case FieldKind::String:
      return *static_cast<const std::string*>(a) == *static_cast<const std::string*>(b);
   case FieldKind::Uri:
      return *static_cast<const Uri*>(a) == *static_cast<const Uri*>(b);
   case FieldKind::TypeName:
      return *static_cast<const TypeName*>(a) == *static_cast<const TypeName*>(b);
   case FieldKind::MethodName:
      return *static_cast<const MethodName*>(a) == *static_cast<const MethodName*>(b);
   case FieldKind::PropertyPath:
      return PropertyPath::Compare(*static_cast<const PropertyPath*>(a),
                                   *static_cast<const PropertyPath*>(b)) == 0;
   case FieldKind::Binary:
      return *static_cast<const std::vector<unsigned char>*>(a) ==
             *static_cast<const std::vector<unsigned char>*>(b);
   case FieldKind::DateTime:
      return static_cast<const Pellum::System::DateTime*>(a)->GetUtcTime() ==
             static_cast<const Pellum::System::DateTime*>(b)->GetUtcTime();
   case FieldKind::Reference:
   case FieldKind::Any:
   case FieldKind::Array:
      break;
   }
   return false;
}

// Moves the value of property `index` of `from` into `to` (two objects of the class whose swapField this
// is), through a slot of the C++ type swapField exchanges (Records.h): `from` is left with the slot's
// default value, the value `to` held is released with the slot.
template <class T> void MoveThrough(SwapFieldFn swap, DynamicData* from, DynamicData* to, int index) {
   T slot{};
   swap(from, index, &slot);
   swap(to, index, &slot);
}
template <class T>
void MoveValue(SwapFieldFn swap, bool optional, DynamicData* from, DynamicData* to, int index) {
   optional ? MoveThrough<Pellum::Optional<T>>(swap, from, to, index) : MoveThrough<T>(swap, from, to, index);
}

inline void MoveField(SwapFieldFn swap, const PropertyRecord& record, DynamicData* from, DynamicData* to,
                      int index) {
   const bool optional = (record.flags & PropertyFlags::Optional) != 0;
   if ((record.flags & PropertyFlags::Deduplicated) != 0) {
      return MoveThrough<Pellum::Deduplicated<std::string>>(swap, from, to, index);
   }
   switch (GetFieldKind(record)) {
   case FieldKind::Bool:
      return optional ? MoveThrough<signed char>(swap, from, to, index)
                      : MoveThrough<bool>(swap, from, to, index);
   case FieldKind::Byte:
      return MoveValue<signed char>(swap, optional, from, to, index);
   case FieldKind::Short:
      return MoveValue<short>(swap, optional, from, to, index);
   case FieldKind::Int:
   case FieldKind::Enum:
      return MoveValue<int>(swap, optional, from, to, index);
   case FieldKind::Long:
      return MoveValue<long>(swap, optional, from, to, index);
   case FieldKind::Float:
      return MoveValue<float>(swap, optional, from, to, index);
   case FieldKind::Double:
      return MoveValue<double>(swap, optional, from, to, index);
   case FieldKind::String:
      return MoveValue<std::string>(swap, optional, from, to, index);
   case FieldKind::Binary:
      return MoveValue<std::vector<unsigned char>>(swap, optional, from, to, index);
   case FieldKind::DateTime:
      return MoveValue<Pellum::System::DateTime>(swap, optional, from, to, index);
   case FieldKind::Uri:
      return MoveValue<Uri>(swap, optional, from, to, index);
   case FieldKind::TypeName:
      return MoveValue<TypeName>(swap, optional, from, to, index);
   case FieldKind::MethodName:
      return MoveValue<MethodName>(swap, optional, from, to, index);
   case FieldKind::PropertyPath:
      return MoveValue<PropertyPath>(swap, optional, from, to, index);
   case FieldKind::Reference:
   case FieldKind::Any:
   case FieldKind::Array:
      return MoveThrough<Pellum::Ref<Any>>(swap, from, to, index);
   }
}

} // namespace Ormid::Detail
