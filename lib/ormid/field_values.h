// Private: comparison of one plain field through the typed layer (the reflective difference of
// DynamicData), and the move of one field between two objects of a class through its
// descriptor's swapField (DynamicData::CopyFrom), any.cpp.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include "ormid/Any.h"
#include "ormid/Property.h"
#include "ormid/Strings.h"
#include "ormid/Type.h"
#include "pellum/Deduplicated.h"
#include "pellum/Optional.h"
#include "pellum/Ref.h"
#include "pellum/System/DateTime.h"

namespace Ormid::Detail {

// Whether two values of one plain kind are the same value (a NaN equals nothing; date-times are compared
// as instants, property paths by their parts).
template <class T> bool SameValue(const T& a, const T& b) {
   if constexpr (std::is_same_v<T, PropertyPath>) {
      return PropertyPath::Compare(a, b) == 0;
   } else if constexpr (std::is_same_v<T, Pellum::System::DateTime>) {
      return a.GetUtcTime() == b.GetUtcTime();
   } else {
      return a == b;
   }
}

// Whether a property of a plain kind holds the same value in `a` and `b`: both unset, or both set to the
// same value, read through the typed layer.
inline bool SameField(const Property& property, const DynamicData* a, const DynamicData* b) {
   bool same = false;
   const bool set = property.Visit(a, [&](const auto& x) {
      property.Visit(b, [&](const auto& y) {
         if constexpr (std::is_same_v<std::decay_t<decltype(x)>, std::decay_t<decltype(y)>>) {
            same = SameValue(x, y);
         }
      });
   });
   return set ? same : !property.Visit(b, [](const auto&) {});
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
