// Shared bodies of the enumeration conversion functions (quorl/detail/EnumSupport.h).
#include "quorl/detail/EnumSupport.h"

#include <cstddef>

#include "pellum/Exception.h"

namespace Quorl::Detail {

void ThrowEnumMismatch(const std::type_info& expected, const Ormid::Any* value) {
   if (value == nullptr) {
      throw Pellum::Exception("enumeration conversion of a null value");
   }
   Pellum::ThrowTypeMismatchException(expected, typeid(*value));
}

void OrdinalsToNames(const Ormid::Array<int>& ordinals, const Ormid::EnumType* type,
                     Pellum::Ref<Ormid::Array<std::string>>& out) {
   const std::size_t n = ordinals.size();
   out = Pellum::Ref<Ormid::Array<std::string>>(new Ormid::Array<std::string>(n));
   Ormid::Array<std::string>& names = *out;
   for (std::size_t i = 0; i < n; ++i) {
      names[i] = type->GetTag(ordinals[i]);
   }
}

Ormid::Any* NamesToOrdinals(const Ormid::Array<std::string>& names, const Ormid::EnumType* type,
                            Ormid::Array<int>* result) {
   try {
      const std::size_t n = names.size();
      result->Reserve(n);
      result->Resize(n);
      for (std::size_t i = 0; i < n; ++i) {
         (*result)[i] = type->GetValue(names[i]);
      }
   } catch (...) {
      delete result; // count zero: nobody else holds it
      throw;
   }
   return result;
}

} // namespace Quorl::Detail
