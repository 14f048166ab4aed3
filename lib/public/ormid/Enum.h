// Enumeration support: the five conversion functions of an enumeration (EnumFuncs, Records.h) as generic
// templates, and CreateEnumType<E>().
//
// A type library declares its enumeration E as a C++ enumeration whose enumerators have the ordinals of
// the value names, and only instantiates these templates:
//
//   Ormid::EnumType* t = Ormid::CreateEnumType<Quorl::HostSystem::ConnectionState>(&descriptor);
//
// CreateEnumType<E> builds the type with EnumTraits<E>::funcs, which is EnumConv<E>::kFuncs unless the
// library specialises EnumTraits<E> with a table of its own.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>

#include "ormid/Array.h"
#include "ormid/Primitive.h"
#include "ormid/Records.h"
#include "ormid/Type.h"
#include "pellum/Exception.h"
#include "pellum/Ref.h"

namespace Ormid {

template <class E> struct EnumConv {
   static_assert(std::is_enum_v<E>, "EnumConv<E> needs an enumeration type");

   // Ordinal held by a Primitive<E>; another dynamic class raises the type-mismatch exception (expected
   // Primitive<E>).
   static int Unbox(const Any* value) {
      const Primitive<E>* box = dynamic_cast<const Primitive<E>*>(value);
      if (box == nullptr) {
         Pellum::ThrowTypeMismatchException(typeid(Primitive<E>), typeid(*value));
      }
      return box->GetOrdinal();
   }
   // A new Primitive<E> holding `ordinal`, count zero.
   static Any* Box(int ordinal) { return new Primitive<E>(ordinal); }
   // `values` (an Array<E>, else the type-mismatch exception before `out` is touched) to a new
   // Array<std::string> of as many elements, stored in `out` (dropping what `out` held), then element i
   // set to type->GetTag(ordinal i) in index order; an unknown ordinal raises GetTag's exception.
   static void ToNames(const Any* values, const EnumType* type, Pellum::Ref<Array<std::string>>& out) {
      const Array<E>* ordinals = dynamic_cast<const Array<E>*>(values);
      if (ordinals == nullptr) {
         Pellum::ThrowTypeMismatchException(typeid(Array<E>), typeid(*values));
      }
      const std::size_t n = static_cast<std::size_t>(ordinals->GetCollectionLength());
      out = Pellum::Ref<Array<std::string>>(new Array<std::string>(n));
      Array<std::string>& names = *out;
      for (std::size_t i = 0; i < n; ++i) {
         names[i] = type->GetTag((*ordinals)[i]);
      }
   }
   // A new Array<E> (count zero) with element i = type->GetValue(name i); an unknown name raises
   // GetValue's exception and nothing is returned.
   static Any* FromNames(const Array<std::string>* names, const EnumType* type) {
      const std::size_t n = names->size();
      std::unique_ptr<Array<E>> result(new Array<E>());
      result->Reserve(n);
      result->Resize(n);
      for (std::size_t i = 0; i < n; ++i) {
         (*result)[i] = type->GetValue((*names)[i]);
      }
      return result.release();
   }
   // A new empty Array<E>, count zero.
   static Any* CreateArray() { return new Array<E>(); }

   static constexpr EnumFuncs kFuncs{&Unbox, &Box, &ToNames, &FromNames, &CreateArray};
};

// The conversion table of E; specialise to hand the runtime a table of one's own.
template <class E> struct EnumTraits { static constexpr const EnumFuncs& funcs = EnumConv<E>::kFuncs; };

// A new EnumType for `info` with E's conversion functions (EnumType's constructor checks the descriptor;
// on failure the storage is released and the exception propagates).
template <class E> EnumType* CreateEnumType(const EnumTypeInfo* info) {
   return new EnumType(info, EnumTraits<E>::funcs);
}

} // namespace Ormid
