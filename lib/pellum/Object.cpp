#include "pellum/Object.h"

#include <typeinfo>

#include "pellum/Exception.h"

namespace Pellum {

ObjectImpl::~ObjectImpl() = default;

std::string ObjectImpl::ToString() const {
   return DemangleTypeName(typeid(*this));
}

Object::~Object() = default;

} // namespace Pellum
