// Small data types written by hand the way a type library writes them, for the runtime's tests:
//
//   ormidtest.Color            enumeration red, green, blue
//   ormidtest.Part             key: string; weight: int, optional
//   ormidtest.SubPart : Part   depth: double
//
// registered, with the namespace "ormidtest" and its small version catalogue, by one TypeInfoLoader.
// Header-only (inline definitions) so that both test executables can use it. The rules of the other
// storage kinds are tested on generated classes (the library's conformance and reflection tests).
#pragma once

#include <string>
#include <vector>

#include "ormid/Ormid.h"
#include "pellum/Optional.h"

namespace QTest {
enum class Color { Red, Green, Blue };
class Part;
class SubPart;
} // namespace QTest

// The lookup templates of the test types (defined at the end of this header), declared before any use.
template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::Part>();
template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::SubPart>();
template <> inline Ormid::EnumType* Ormid::GetEnumType<QTest::Color>();

namespace QTest {

class Part : public Ormid::DynamicData {
public:
   Ormid::Type* _GetType() const override { return _GetDataType(); }
   Ormid::DataObjectType* _GetDataType() const override { return Ormid::GetDoType<Part>(); }
   Ormid::Any* _Clone() const override { return new Part(*this); }
   bool _IsEqual(const Ormid::Any* other, bool pattern) const override {
      const Part* o = static_cast<const Part*>(other);
      return key == o->key && Ormid::Field::MatchOptional(weight, o->weight, pattern);
   }
   void _DiffProperties(const Ormid::Any* other, const std::string& prefix,
                        Ormid::PropertyDiffSet& diffs) const override {
      const Part* o = static_cast<const Part*>(other);
      if (key != o->key) {
         diffs._changed.push_back(prefix + ".key");
      }
      if (Ormid::Field::DiffersOptional(weight, o->weight)) {
         diffs._changed.push_back(prefix + ".weight");
      }
   }

   std::string key;
   Pellum::Optional<int> weight;
};

class SubPart : public Part {
public:
   Ormid::Type* _GetType() const override { return _GetDataType(); }
   Ormid::DataObjectType* _GetDataType() const override { return Ormid::GetDoType<SubPart>(); }
   Ormid::Any* _Clone() const override { return new SubPart(*this); }
   bool _IsEqual(const Ormid::Any* other, bool pattern) const override {
      return Part::_IsEqual(other, pattern) && depth == static_cast<const SubPart*>(other)->depth;
   }
   void _DiffProperties(const Ormid::Any* other, const std::string& prefix,
                        Ormid::PropertyDiffSet& diffs) const override {
      Part::_DiffProperties(other, prefix, diffs);
      if (!(depth == static_cast<const SubPart*>(other)->depth)) {
         diffs._changed.push_back(prefix + ".depth");
      }
   }

   double depth = 0;
};

// ---------------------------------------------------------------------------------------------------------
// Headers and descriptors.

inline const Ormid::TypeInfo gColorTypeInfo = {Ormid::KindEnum, "ormidtest.Color", "TestColor",
                                               "ormidtest.version.v1"};
inline const Ormid::TypeInfo gPartTypeInfo = {Ormid::KindDataObject, "ormidtest.Part", "TestPart",
                                              "ormidtest.version.v1"};
inline const Ormid::TypeInfo gSubPartTypeInfo = {Ormid::KindDataObject, "ormidtest.SubPart", "TestSubPart",
                                                 "ormidtest.version.v2"};

inline const char* const kColorNames[] = {"red", "green", "blue", nullptr};
inline const Ormid::EnumTypeInfo kColorInfo = {&gColorTypeInfo, kColorNames};

namespace Accessors {

using namespace Ormid;

inline const PropertyRecord kPartProperties[] = {
    {&gStringTypeInfo, 0, "key", nullptr, "ormidtest.version.v1"},
    {&gIntTypeInfo, PropertyFlags::Optional, "weight", nullptr, "ormidtest.version.v2"},
    {}};

inline void PartGetField(DynamicData* obj, int index, void* out) {
   Part* self = static_cast<Part*>(obj);
   index == 0 ? Field::GetValue(self->key, out) : Field::GetOptional(self->weight, out);
}
inline void* PartGetFieldPtr(DynamicData* obj, int index) {
   Part* self = static_cast<Part*>(obj);
   return index == 0 ? Field::ValuePtr(self->key) : Field::OptionalPtr(self->weight);
}
inline void PartSetField(DynamicData* obj, int index, const void* in) {
   Part* self = static_cast<Part*>(obj);
   index == 0 ? Field::SetValue(self->key, in) : Field::SetOptional(self->weight, in);
}
inline void PartSwapField(DynamicData* obj, int index, void* io) {
   Part* self = static_cast<Part*>(obj);
   index == 0 ? Field::SwapValue(self->key, io) : Field::SwapOptional(self->weight, io);
}
inline bool PartIsSet(const DynamicData* obj, int index) {
   return index == 1 ? Field::IsSetOptional(static_cast<const Part*>(obj)->weight) : true;
}
inline void PartReset(DynamicData* obj, int index) {
   if (index == 1) {
      Field::ResetOptional(static_cast<Part*>(obj)->weight);
   }
}

inline const PropertyRecord kSubPartProperties[] = {
    {&gDoubleTypeInfo, 0, "depth", nullptr, "ormidtest.version.v2"}, {}};
inline void SubPartGetField(DynamicData* obj, int, void* out) {
   Field::GetValue(static_cast<SubPart*>(obj)->depth, out);
}
inline void* SubPartGetFieldPtr(DynamicData* obj, int) {
   return Field::ValuePtr(static_cast<SubPart*>(obj)->depth);
}
inline void SubPartSetField(DynamicData* obj, int, const void* in) {
   Field::SetValue(static_cast<SubPart*>(obj)->depth, in);
}
inline void SubPartSwapField(DynamicData* obj, int, void* io) {
   Field::SwapValue(static_cast<SubPart*>(obj)->depth, io);
}

} // namespace Accessors

inline const Ormid::DataTypeInfo kPartDescriptor = {
    &gPartTypeInfo,
    &gKoblDynamicDataTypeInfo,
    Accessors::kPartProperties,
    &Accessors::PartGetField,
    &Accessors::PartGetFieldPtr,
    &Accessors::PartSetField,
    &Accessors::PartSwapField,
    &Accessors::PartIsSet,
    &Accessors::PartReset,
    [] { return static_cast<Ormid::DynamicData*>(new Part()); },
    [] { return static_cast<Ormid::DataArrayBase*>(new Ormid::DataArray<Part>()); },
    0};
inline const Ormid::DataTypeInfo kSubPartDescriptor = {
    &gSubPartTypeInfo,
    &gPartTypeInfo,
    Accessors::kSubPartProperties,
    &Accessors::SubPartGetField,
    &Accessors::SubPartGetFieldPtr,
    &Accessors::SubPartSetField,
    &Accessors::SubPartSwapField,
    &Ormid::AlwaysSet,
    nullptr,
    [] { return static_cast<Ormid::DynamicData*>(new SubPart()); },
    [] { return static_cast<Ormid::DataArrayBase*>(new Ormid::DataArray<SubPart>()); },
    0};

// The descriptor of a data type without own properties (the throw-away types of the registry tests).
inline const Ormid::PropertyRecord kNoProperties[] = {{}};
inline Ormid::DynamicData* CreatePlain() {
   return new Ormid::DynamicData();
}
inline Ormid::DataArrayBase* CreatePlainArray() {
   return new Ormid::DataArray<Ormid::DynamicData>();
}
constexpr Ormid::DataTypeInfo EmptyDescriptor(const Ormid::TypeInfo* type, const Ormid::TypeInfo* base) {
   return {type,    base,         kNoProperties,     nullptr, nullptr, nullptr, nullptr, &Ormid::AlwaysSet,
           nullptr, &CreatePlain, &CreatePlainArray, 0};
}

// ---------------------------------------------------------------------------------------------------------
// Version catalogue "ormidtest": releases v1 < v2 < v3 (v1 extends kobl.version.version0), feature
// versions featureA and featureB over v3, unstable over v3 and both features, disabled over unstable.

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
constexpr Ormid::VersionRecord TestVersion(const char* name, const char* id, Ormid::VersionStage stage) {
   return {name, "ormidtest1", id, nullptr, "ormidtest.Task", "ormidtest1", stage, 0};
}
inline const Ormid::VersionRecord kTestVersionRecords[] = {
    TestVersion("ormidtest.version.disabled", "", Ormid::StageDisabled),
    TestVersion("ormidtest.version.unstable", "uTEST", Ormid::StageUnstable),
    TestVersion("ormidtest.version.featureA", "fA", Ormid::StageFeature),
    TestVersion("ormidtest.version.featureB", "fB", Ormid::StageFeature),
    TestVersion("ormidtest.version.v3", "3.0", Ormid::StageReleased),
    TestVersion("ormidtest.version.v2", "2.0", Ormid::StageReleased),
    TestVersion("ormidtest.version.v1", "1.0", Ormid::StageReleased),
};
inline const Ormid::VersionParent kTestParents[] = {
    {"ormidtest.version.v1", "kobl.version.version0"},
    {"ormidtest.version.v2", "ormidtest.version.v1"},
    {"ormidtest.version.v3", "ormidtest.version.v2"},
    {"ormidtest.version.featureA", "ormidtest.version.v3"},
    {"ormidtest.version.featureB", "ormidtest.version.v3"},
    {"ormidtest.version.unstable", "ormidtest.version.v3"},
    {"ormidtest.version.unstable", "ormidtest.version.featureA"},
    {"ormidtest.version.unstable", "ormidtest.version.featureB"},
    {"ormidtest.version.disabled", "ormidtest.version.unstable"},
};
inline int32_t testNamespaceId = -1;
inline const Ormid::Version* testOfficialVersions[4];
inline const Ormid::Version* testInternalVersions[4];
inline const Ormid::Version* testCurrentVersion;

inline const Ormid::KoblVersions kTestVersions =
    Catalogue("ormidtest", kTestVersionRecords, 7, kTestParents, 9, &testNamespaceId, testOfficialVersions,
              testInternalVersions, &testCurrentVersion, 4);

// ---------------------------------------------------------------------------------------------------------
// Registration: data types first, then the enumeration.

enum TestSlot { SlotPart, SlotSubPart, SlotColor, SlotCount };
inline Ormid::Type* testTypes[SlotCount];

inline Ormid::Type* const* TestTypeList(int& count) {
   testTypes[SlotPart] = Ormid::CreateDataObjectType(&kPartDescriptor);
   testTypes[SlotSubPart] = Ormid::CreateDataObjectType(&kSubPartDescriptor);
   testTypes[SlotColor] = Ormid::CreateEnumType<Color>(&kColorInfo);
   count = SlotCount;
   return testTypes;
}

inline const Ormid::TypeInfoLoader testLoader(&kTestVersions, &TestTypeList);

} // namespace QTest

template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::Part>() {
   return static_cast<Ormid::DataObjectType*>(QTest::testTypes[QTest::SlotPart]);
}
template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::SubPart>() {
   return static_cast<Ormid::DataObjectType*>(QTest::testTypes[QTest::SlotSubPart]);
}
template <> inline Ormid::EnumType* Ormid::GetEnumType<QTest::Color>() {
   return static_cast<Ormid::EnumType*>(QTest::testTypes[QTest::SlotColor]);
}
