// Boxed values: the shared boolean boxes and the box instances the runtime provides.

#include <string>
#include <typeinfo>

#include "ormid/Primitive.h"
#include "pellum/Exception.h"
#include "pellum/Print.h"

namespace Ormid {

namespace {

// The shared boxes hold one reference that is never dropped, so they are never destroyed.
Primitive<bool>* MakeShared(bool value) {
   auto* box = new Primitive<bool>(value);
   box->IncRef();
   return box;
}

} // namespace

Primitive<bool>* const Detail::PrimitiveFactory<bool>::sTrue = MakeShared(true);
Primitive<bool>* const Detail::PrimitiveFactory<bool>::sFalse = MakeShared(false);

void Detail::ThrowBoxMismatch(const std::type_info& expected, const Any* other) {
   if (other == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("comparing a %1 with null", Pellum::DemangleTypeName(expected)));
   }
   Pellum::ThrowTypeMismatchException(expected, typeid(*other));
}

void Detail::ThrowNullBox(const std::type_info& expected) {
   throw Pellum::Exception(Pellum::ASPrint("expected a %1, got null", Pellum::DemangleTypeName(expected)));
}

template class Primitive<bool>;
template class Primitive<signed char>;
template class Primitive<short>;
template class Primitive<int>;
template class Primitive<long>;
template class Primitive<float>;
template class Primitive<double>;
template class Primitive<std::string>;
template class Primitive<std::vector<unsigned char>>;
template class Primitive<Pellum::System::DateTime>;
template class Primitive<TypeName>;
template class Primitive<MethodName>;
template class Primitive<Uri>;
template class Primitive<PropertyPath>;

} // namespace Ormid
