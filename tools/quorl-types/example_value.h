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

// What an example holds, for callers that need more than `show` does (the codec's round-trip tests).
struct ExampleOptions {
   int depth = kExampleDepth;
   // Optional properties get a value too; without, only required ones do.
   bool optionals = true;
   // Required references get an example even below `depth` (down to kCompleteDepth further levels), so
   // that the value is complete: every required property set.
   bool complete = false;
   // Values that stress text forms instead of the plain samples: strings with markup characters, line
   // ends and non-ASCII text, integers at the ends of their range, fractions of a microsecond-precise
   // date-time, binaries with every kind of byte, the last value of an enumeration.
   bool edgeValues = false;
};
inline constexpr int kCompleteDepth = 6;

// An example argument for a parameter (or a value for a result) described by `record`: boxed for plain
// kinds (Ormid::Primitive, enumeration boxes), the array itself for arrays, the object for references.
Pellum::Ref<Ormid::Any> BuildExampleArgument(const Ormid::PropertyRecord& record,
                                             const ExampleOptions& options);
Pellum::Ref<Ormid::DynamicData> BuildExampleValue(const Ormid::DataObjectType& type,
                                                  const ExampleOptions& options);

// The rendering (Ormid::ToString, secrets masked) of BuildExampleValue(type), every line indented by two
// spaces.
std::string ExampleValueText(const Ormid::DataObjectType& type);

} // namespace quorl_types
