// The five conversion functions of the library's enumerations (the EnumFuncs table each enumeration
// hands to the runtime). Only the type tests and allocations depend on the enumeration; the loops over
// the values are shared, out of line, by all enumerations of the library.
#pragma once

#include <string>
#include <typeinfo>

#include "ormid/Array.h"
#include "ormid/Primitive.h"
#include "ormid/Records.h"
#include "ormid/Type.h"
#include "pellum/Ref.h"

namespace Quorl::Detail {

// Raises the type-mismatch exception for `value` (expected class first).
[[noreturn]] void ThrowEnumMismatch(const std::type_info& expected, const Ormid::Any* value);
// `out` := a new array of the names of `ordinals`' values, in index order.
void OrdinalsToNames(const Ormid::Array<int>& ordinals, const Ormid::EnumType* type,
                     Pellum::Ref<Ormid::Array<std::string>>& out);
// Fills `result` (a new enumeration array, count zero) with the ordinals of `names`; on an unknown name
// destroys `result` and lets EnumType::GetValue's exception through.
Ormid::Any* NamesToOrdinals(const Ormid::Array<std::string>& names, const Ormid::EnumType* type,
                            Ormid::Array<int>* result);

template <class E> struct EnumFunctions {
   static int Unbox(const Ormid::Any* value) {
      const auto* box = dynamic_cast<const Ormid::Primitive<E>*>(value);
      if (box == nullptr) {
         ThrowEnumMismatch(typeid(Ormid::Primitive<E>), value);
      }
      return box->GetOrdinal();
   }
   static Ormid::Any* Box(int ordinal) { return new Ormid::Primitive<E>(ordinal); }
   static void ToNames(const Ormid::Any* values, const Ormid::EnumType* type,
                       Pellum::Ref<Ormid::Array<std::string>>& out) {
      const auto* ordinals = dynamic_cast<const Ormid::Array<E>*>(values);
      if (ordinals == nullptr) {
         ThrowEnumMismatch(typeid(Ormid::Array<E>), values);
      }
      OrdinalsToNames(*ordinals->_values, type, out);
   }
   static Ormid::Any* FromNames(const Ormid::Array<std::string>* names, const Ormid::EnumType* type) {
      return NamesToOrdinals(*names, type, new Ormid::Array<E>());
   }
   static Ormid::Any* CreateArray() { return new Ormid::Array<E>(); }

   static constexpr Ormid::EnumFuncs kFuncs{&Unbox, &Box, &ToNames, &FromNames, &CreateArray};
};

} // namespace Quorl::Detail
