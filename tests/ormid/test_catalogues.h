// The runtime's test types (generated from tests/schemas/ into the build tree) and two helpers of the registry
// tests: a descriptor of a throw-away data type without properties, and a namespace record built on the spot.
#pragma once

#include "ormid/Ormid.h"
#include "ormidtest/All.h"
#include "ormidtest/Versions.h"
#include "ormidtest/fault/All.h"

namespace QTest {

inline const Ormid::PropertyRecord kNoProperties[] = {{}};
constexpr Ormid::DataTypeInfo EmptyDescriptor(const Ormid::TypeInfo* type, const Ormid::TypeInfo* base) {
   auto create = +[]() -> Ormid::DynamicData* { return new Ormid::DynamicData(); };
   auto createArray = +[]() -> Ormid::DataArrayBase* { return new Ormid::DataArray<Ormid::DynamicData>(); };
   return {type,    base,   kNoProperties, nullptr, nullptr, nullptr, nullptr, &Ormid::AlwaysSet,
           nullptr, create, createArray,   0};
}

// A namespace record, with official version slots when `slots` is not zero.
constexpr Ormid::KoblVersions Catalogue(const char* name, const Ormid::VersionRecord* versions,
                                        uint32_t count, const Ormid::VersionParent* parents = nullptr,
                                        uint32_t parentCount = 0, const Ormid::Version** official = nullptr,
                                        uint32_t slots = 0) {
   return {name,  nullptr, nullptr,     nullptr, versions, parents, official, nullptr, nullptr,
           count, slots,   parentCount, 0,       0,        0,       0,        0};
}

} // namespace QTest
