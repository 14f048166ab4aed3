// Support of the generated dispatchers (internal to the library).
#pragma once

#include <cstddef>
#include <typeinfo>

#include "ormid/ManagedObject.h"
#include "pellum/Exception.h"

namespace Quorl::Detail {

// Raises Pellum::Exception for a call the dispatcher of `type` cannot carry: an index outside its
// method-object table, or fewer arguments than the method has parameters.
[[noreturn]] void ThrowBadDispatch(const char* type, int index, std::size_t arguments);

// The dispatch target narrowed to the interface I: null stays null (refused as a bad call), another
// managed object raises the type-mismatch exception with I and the target's class.
template <class I> I* DispatchTarget(Ormid::ManagedObject* target, const char* type) {
   if (target == nullptr) {
      ThrowBadDispatch(type, -1, 0);
   }
   I* self = dynamic_cast<I*>(target);
   if (self == nullptr) {
      Ormid::ManagedObject& actual = *target;
      Pellum::ThrowTypeMismatchException(typeid(I), typeid(actual));
   }
   return self;
}

} // namespace Quorl::Detail
