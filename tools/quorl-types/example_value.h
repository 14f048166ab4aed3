// An example value of a data object or fault for `quorl-types show`, built through the runtime's
// reflection alone (see example_value.cpp).
#pragma once

#include <string>

#include "ormid/Type.h"
#include "pellum/Ref.h"

namespace quorl_types {

// Levels of nested data objects an example fills below the object itself.
inline constexpr int kExampleDepth = 2;

// A new object of `type`, created by its descriptor, with every property (inherited ones included) set
// through the descriptors' setField to a sample value of the property's kind. Nested data objects, and
// the single element of an array of data objects, are examples of the property's type themselves while
// `depth` is above zero; below that they stay unset. Throws Pellum::Exception naming the type and the
// property when a value cannot be made or stored.
Pellum::Ref<Ormid::DynamicData> BuildExampleValue(const Ormid::DataObjectType& type,
                                                  int depth = kExampleDepth);

// The rendering (Ormid::ToString, secrets masked) of BuildExampleValue(type), every line indented by two
// spaces.
std::string ExampleValueText(const Ormid::DataObjectType& type);

} // namespace quorl_types
