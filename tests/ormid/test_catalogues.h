// The runtime's test types (generated from tests/schemas/ into the build tree) and two helpers of the registry
// tests: a descriptor of a throw-away data type without properties, and a namespace record built on the spot.
#pragma once

#include <cstdint>

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

// A namespace record; the slots are optional.
constexpr Ormid::KoblVersions Catalogue(const char* name, const Ormid::VersionRecord* versions,
                                        uint32_t count, const Ormid::VersionParent* parents,
                                        uint32_t parentCount, int32_t* id = nullptr,
                                        const Ormid::Version** official = nullptr,
                                        const Ormid::Version** internal = nullptr,
                                        const Ormid::Version** current = nullptr, uint32_t slots = 0) {
   return {name,  id,    nullptr,     nullptr, versions, parents, official, internal, current,
           count, slots, parentCount, 0,       0,        0,       0,        0};
}

} // namespace QTest
