// Private: the C++ type of one value of a plain field kind, shared by the checked slots of DataObjectType
// (type.cpp) and the typed layer (property.cpp).
#pragma once

#include <typeinfo>

#include "ormid/Type.h"

namespace Ormid::Detail {

// The C++ type of one value of `kind` (`whole`: of its whole Pellum::Optional); Pellum::Ref<Any> for the
// reference kinds (references, any values, arrays).
const std::type_info& PlainValueType(FieldKind kind, bool whole);

} // namespace Ormid::Detail
