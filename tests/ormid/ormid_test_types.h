// Small data types written by hand the way a type library writes them, for the runtime's tests:
//
//   ormidtest.Color            enumeration red, green, blue
//   ormidtest.Part             key: string; weight: int, optional
//   ormidtest.SubPart : Part   depth: double
//   ormidtest.Gadget           one property of each storage kind whose rules differ (indices in GadgetIndex)
//
// registered, with the namespace "ormidtest" and its small version catalogue, by one TypeInfoLoader.
// Header-only (inline definitions) so that both test executables can use it. Every storage kind of every
// generated class is walked by the library's own conformance test; these types serve the runtime's unit
// tests.
#pragma once

#include <iterator>
#include <string>
#include <vector>

#include "ormid/Ormid.h"
#include "pellum/Deduplicated.h"
#include "pellum/Optional.h"

namespace QTest {
enum class Color { Red, Green, Blue };
class Part;
class SubPart;
class Gadget;
} // namespace QTest

// The lookup templates of the test types (defined at the end of this header), declared before any use.
template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::Part>();
template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::SubPart>();
template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::Gadget>();
template <> inline Ormid::EnumType* Ormid::GetEnumType<QTest::Color>();

namespace QTest {

// A deep copy of a held value (boxes and references answer themselves).
template <class X> X* CloneOf(const Pellum::Ref<X>& held) {
   return held ? static_cast<X*>(held->_Clone()) : nullptr;
}

class Part : public Ormid::DynamicData {
public:
   Ormid::Type* _GetType() const override;
   Ormid::DataObjectType* _GetDataType() const override;
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
   Ormid::Type* _GetType() const override;
   Ormid::DataObjectType* _GetDataType() const override;
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

enum GadgetIndex {
   kCount,    // int, required
   kSize,     // long, optional
   kEnabled,  // boolean, optional (signed char)
   kRatio,    // double, required
   kPassword, // string, required, secret
   kBlob,     // binary, required
   kColor,    // Color, required (int ordinal)
   kPart,     // Part, optional
   kOwner,    // managed reference, required
   kExtra,    // any, optional
   kParts,    // Part[], optional
   kTags,     // string[], optional
   kColors,   // Color[], optional
   kNote,     // string, optional, deduplicated
   kGadgetPropertyCount
};

class Gadget : public Ormid::DynamicData {
public:
   Gadget() = default;
   Gadget(const Gadget& o)
       : DynamicData(o), count(o.count), size(o.size), enabled(o.enabled), ratio(o.ratio),
         password(o.password), blob(o.blob), color(o.color), part(CloneOf(o.part)), owner(o.owner),
         extra(CloneOf(o.extra)), parts(CloneOf(o.parts)), tags(CloneOf(o.tags)), colors(CloneOf(o.colors)),
         note(o.note) {}

   Ormid::Type* _GetType() const override;
   Ormid::DataObjectType* _GetDataType() const override;
   Ormid::Any* _Clone() const override { return new Gadget(*this); }
   bool _IsEqual(const Ormid::Any* other, bool pattern) const override {
      using namespace Ormid;
      const Gadget* o = static_cast<const Gadget*>(other);
      return count == o->count && Field::MatchOptional(size, o->size, pattern) &&
             Field::MatchOptBool(enabled, o->enabled, pattern) && ratio == o->ratio &&
             password == o->password && blob == o->blob && color == o->color &&
             AreEqualAnysInt(part.GetPtr(), o->part.GetPtr(), 2, pattern) &&
             AreEqualAnysInt(owner.GetPtr(), o->owner.GetPtr(), 0, pattern) &&
             AreEqualAnysInt(extra.GetPtr(), o->extra.GetPtr(), 2, pattern) &&
             AreEqualAnysInt(parts.GetPtr(), o->parts.GetPtr(), 3, pattern) &&
             AreEqualAnysInt(tags.GetPtr(), o->tags.GetPtr(), 3, pattern) &&
             AreEqualAnysInt(colors.GetPtr(), o->colors.GetPtr(), 3, pattern) &&
             Field::MatchDedup(note, o->note, pattern);
   }
   void _DiffProperties(const Ormid::Any* other, const std::string& prefix,
                        Ormid::PropertyDiffSet& diffs) const override {
      using namespace Ormid;
      const Gadget* o = static_cast<const Gadget*>(other);
      auto add = [&](bool differs, const char* n) {
         if (differs) {
            diffs._changed.push_back(prefix + "." + n);
         }
      };
      add(count != o->count, "count");
      add(Field::DiffersOptional(size, o->size), "size");
      add(enabled != o->enabled, "enabled");
      add(!(ratio == o->ratio), "ratio");
      add(password != o->password, "password");
      add(blob != o->blob, "blob");
      add(color != o->color, "color");
      DiffAnyPropertiesInt(part.GetPtr(), o->part.GetPtr(), prefix, ".part", 2, diffs);
      DiffAnyPropertiesInt(owner.GetPtr(), o->owner.GetPtr(), prefix, ".owner", 0, diffs);
      DiffAnyPropertiesInt(extra.GetPtr(), o->extra.GetPtr(), prefix, ".extra", 2, diffs);
      DiffAnyPropertiesInt(parts.GetPtr(), o->parts.GetPtr(), prefix, ".parts", 3, diffs);
      DiffAnyPropertiesInt(tags.GetPtr(), o->tags.GetPtr(), prefix, ".tags", 3, diffs);
      DiffAnyPropertiesInt(colors.GetPtr(), o->colors.GetPtr(), prefix, ".colors", 3, diffs);
      add(!(note == o->note), "note");
   }

   Ormid::DataArray<Part>* GetParts() { return Ormid::GetOrCreateArray(parts); }
   Ormid::Array<std::string>* GetTags() { return Ormid::GetOrCreateArray(tags); }
   Ormid::Array<Color>* GetColors() { return Ormid::GetOrCreateArray(colors); }

   int count = 0;
   Pellum::Optional<long> size;
   signed char enabled = -1;
   double ratio = 0;
   std::string password;
   std::vector<unsigned char> blob;
   int color = 0;
   Pellum::Ref<Part> part;
   Pellum::Ref<Ormid::MoRef> owner;
   Pellum::Ref<Ormid::Any> extra;
   Pellum::Ref<Ormid::DataArray<Part>> parts;
   Pellum::Ref<Ormid::Array<std::string>> tags;
   Pellum::Ref<Ormid::Array<Color>> colors;
   Pellum::Deduplicated<std::string> note;
};

// ---------------------------------------------------------------------------------------------------------
// Headers and descriptors.

inline const Ormid::TypeInfo gColorTypeInfo = {Ormid::KindEnum, "ormidtest.Color", "TestColor",
                                               "ormidtest.version.v1"};
inline const Ormid::TypeInfo gPartTypeInfo = {Ormid::KindDataObject, "ormidtest.Part", "TestPart",
                                              "ormidtest.version.v1"};
inline const Ormid::TypeInfo gSubPartTypeInfo = {Ormid::KindDataObject, "ormidtest.SubPart", "TestSubPart",
                                                 "ormidtest.version.v2"};
inline const Ormid::TypeInfo gGadgetTypeInfo = {Ormid::KindDataObject, "ormidtest.Gadget", "TestGadget",
                                                "ormidtest.version.v1"};

inline const char* const kColorNames[] = {"red", "green", "blue", nullptr};
inline const Ormid::EnumTypeInfo kColorInfo = {&gColorTypeInfo, kColorNames};

namespace Accessors {

using namespace Ormid;

// The reflection accessors are table-driven here: one row of six functions per own property, made from
// the member pointer by the Field helper of the property's storage kind (a type library writes the same
// calls as one switch per accessor).
struct FieldOps {
   void (*get)(DynamicData*, void*);
   void* (*ptr)(DynamicData*);
   void (*set)(DynamicData*, const void*);
   void (*swap)(DynamicData*, void*);
   bool (*isSet)(const DynamicData*);
   void (*reset)(DynamicData*);
};

template <class> struct ClassOf;
template <class C, class F> struct ClassOf<F C::*> { using type = C; };
// The field M of the object `o`.
template <auto M> auto& In(DynamicData* o) {
   return static_cast<typename ClassOf<decltype(M)>::type*>(o)->*M;
}
template <auto M> const auto& In(const DynamicData* o) {
   return static_cast<const typename ClassOf<decltype(M)>::type*>(o)->*M;
}
template <class X> void SetRefOf(Pellum::Ref<X>& field, const void* in) {
   Field::SetRef<X>(field, in);
}
template <class X> void SwapRefOf(Pellum::Ref<X>& field, void* io) {
   Field::SwapRef<X>(field, io);
}

template <auto M>
constexpr FieldOps kValue = {[](DynamicData* o, void* out) { Field::GetValue(In<M>(o), out); },
                             [](DynamicData* o) { return Field::ValuePtr(In<M>(o)); },
                             [](DynamicData* o, const void* in) { Field::SetValue(In<M>(o), in); },
                             [](DynamicData* o, void* io) { Field::SwapValue(In<M>(o), io); },
                             [](const DynamicData*) { return true; },
                             [](DynamicData*) {}};
template <auto M>
constexpr FieldOps kOptional = {[](DynamicData* o, void* out) { Field::GetOptional(In<M>(o), out); },
                                [](DynamicData* o) { return Field::OptionalPtr(In<M>(o)); },
                                [](DynamicData* o, const void* in) { Field::SetOptional(In<M>(o), in); },
                                [](DynamicData* o, void* io) { Field::SwapOptional(In<M>(o), io); },
                                [](const DynamicData* o) { return Field::IsSetOptional(In<M>(o)); },
                                [](DynamicData* o) { Field::ResetOptional(In<M>(o)); }};
template <auto M>
constexpr FieldOps kOptBool = {[](DynamicData* o, void* out) { Field::GetOptBool(In<M>(o), out); },
                               [](DynamicData* o) { return Field::OptBoolPtr(In<M>(o)); },
                               [](DynamicData* o, const void* in) { Field::SetOptBool(In<M>(o), in); },
                               [](DynamicData* o, void* io) { Field::SwapOptBool(In<M>(o), io); },
                               [](const DynamicData* o) { return Field::IsSetOptBool(In<M>(o)); },
                               [](DynamicData* o) { Field::ResetOptBool(In<M>(o)); }};
template <auto M>
constexpr FieldOps kRef = {[](DynamicData* o, void* out) { Field::GetRef(In<M>(o), out); },
                           [](DynamicData* o) { return Field::RefPtr(In<M>(o)); },
                           [](DynamicData* o, const void* in) { SetRefOf(In<M>(o), in); },
                           [](DynamicData* o, void* io) { SwapRefOf(In<M>(o), io); },
                           [](const DynamicData* o) { return Field::IsSetRef(In<M>(o)); },
                           [](DynamicData* o) { Field::ResetRef(In<M>(o)); }};
// Arrays: getField goes through the array getter, which installs an empty array in a null field.
template <auto M>
constexpr FieldOps kArray = {
    [](DynamicData* o, void* out) { Field::GetArray(GetOrCreateArray(In<M>(o)), out); },
    [](DynamicData* o) { return Field::ArrayPtr(In<M>(o)); },
    [](DynamicData* o, const void* in) { SetRefOf(In<M>(o), in); },
    [](DynamicData* o, void* io) { SwapRefOf(In<M>(o), io); },
    [](const DynamicData* o) { return Field::IsSetArray(In<M>(o)); },
    [](DynamicData* o) { Field::ResetRef(In<M>(o)); }};
template <auto M>
constexpr FieldOps kDedup = {[](DynamicData* o, void* out) { Field::GetDedup(In<M>(o), out); },
                             [](DynamicData* o) { return Field::DedupPtr(In<M>(o)); },
                             [](DynamicData* o, const void* in) { Field::SetDedup(In<M>(o), in); },
                             [](DynamicData* o, void* io) { Field::SwapDedup(In<M>(o), io); },
                             [](const DynamicData* o) { return Field::IsSetDedup(In<M>(o)); },
                             [](DynamicData* o) { Field::ResetDedup(In<M>(o)); }};

// The six accessors of a descriptor over a table of rows.
template <const FieldOps* T> void GetField(DynamicData* obj, int index, void* out) {
   T[index].get(obj, out);
}
template <const FieldOps* T> void* GetFieldPtr(DynamicData* obj, int index) {
   return T[index].ptr(obj);
}
template <const FieldOps* T> void SetField(DynamicData* obj, int index, const void* in) {
   T[index].set(obj, in);
}
template <const FieldOps* T> void SwapField(DynamicData* obj, int index, void* io) {
   T[index].swap(obj, io);
}
template <const FieldOps* T> bool IsSet(const DynamicData* obj, int index) {
   return T[index].isSet(obj);
}
template <const FieldOps* T> void Reset(DynamicData* obj, int index) {
   T[index].reset(obj);
}

inline const PropertyRecord kPartProperties[] = {
    {&gStringTypeInfo, 0, "key", nullptr, "ormidtest.version.v1"},
    {&gIntTypeInfo, PropertyFlags::Optional, "weight", nullptr, "ormidtest.version.v2"},
    {}};
inline constexpr FieldOps kPartFields[] = {kValue<&Part::key>, kOptional<&Part::weight>};

inline const PropertyRecord kSubPartProperties[] = {
    {&gDoubleTypeInfo, 0, "depth", nullptr, "ormidtest.version.v2"}, {}};
inline constexpr FieldOps kSubPartFields[] = {kValue<&SubPart::depth>};

inline const PropertyRecord kGadgetProperties[] = {
    {&gIntTypeInfo, 0, "count", nullptr, "ormidtest.version.v1"},
    {&gLongTypeInfo, PropertyFlags::Optional, "size", nullptr, "ormidtest.version.v1"},
    {&gBoolTypeInfo, PropertyFlags::Optional, "enabled", nullptr, "ormidtest.version.v1"},
    {&gDoubleTypeInfo, 0, "ratio", nullptr, "ormidtest.version.v1"},
    {&gStringTypeInfo, PropertyFlags::Secret, "password", nullptr, "ormidtest.version.v1"},
    {&gBinaryTypeInfo, 0, "blob", nullptr, "ormidtest.version.v1"},
    {&gColorTypeInfo, 0, "color", nullptr, "ormidtest.version.v1"},
    {&gPartTypeInfo, PropertyFlags::Optional, "part", nullptr, "ormidtest.version.v1"},
    {&gKoblManagedObjectTypeInfo, 0, "owner", "System.View", "ormidtest.version.v1"},
    {&gAnyTypeInfo, PropertyFlags::Optional, "extra", nullptr, "ormidtest.version.v1"},
    {&gPartTypeInfo, PropertyFlags::Array | PropertyFlags::Optional, "parts", nullptr,
     "ormidtest.version.v1"},
    {&gStringTypeInfo, PropertyFlags::Array | PropertyFlags::Optional, "tags", nullptr,
     "ormidtest.version.v1"},
    {&gColorTypeInfo, PropertyFlags::Array | PropertyFlags::Optional, "colors", nullptr,
     "ormidtest.version.v2"},
    {&gStringTypeInfo, PropertyFlags::Optional, "note", nullptr, "ormidtest.version.v1"},
    {}};
inline constexpr FieldOps kGadgetFields[] = {
    kValue<&Gadget::count>,    kOptional<&Gadget::size>, kOptBool<&Gadget::enabled>, kValue<&Gadget::ratio>,
    kValue<&Gadget::password>, kValue<&Gadget::blob>,    kValue<&Gadget::color>,     kRef<&Gadget::part>,
    kRef<&Gadget::owner>,      kRef<&Gadget::extra>,     kArray<&Gadget::parts>,     kArray<&Gadget::tags>,
    kArray<&Gadget::colors>,   kDedup<&Gadget::note>};
static_assert(std::size(kGadgetFields) == kGadgetPropertyCount);

} // namespace Accessors

inline const Ormid::DataTypeInfo kPartDescriptor = {
    &gPartTypeInfo,
    &gKoblDynamicDataTypeInfo,
    Accessors::kPartProperties,
    &Accessors::GetField<Accessors::kPartFields>,
    &Accessors::GetFieldPtr<Accessors::kPartFields>,
    &Accessors::SetField<Accessors::kPartFields>,
    &Accessors::SwapField<Accessors::kPartFields>,
    &Accessors::IsSet<Accessors::kPartFields>,
    &Accessors::Reset<Accessors::kPartFields>,
    [] { return static_cast<Ormid::DynamicData*>(new Part()); },
    [] { return static_cast<Ormid::DataArrayBase*>(new Ormid::DataArray<Part>()); },
    0};
inline const Ormid::DataTypeInfo kSubPartDescriptor = {
    &gSubPartTypeInfo,
    &gPartTypeInfo,
    Accessors::kSubPartProperties,
    &Accessors::GetField<Accessors::kSubPartFields>,
    &Accessors::GetFieldPtr<Accessors::kSubPartFields>,
    &Accessors::SetField<Accessors::kSubPartFields>,
    &Accessors::SwapField<Accessors::kSubPartFields>,
    &Ormid::AlwaysSet,
    nullptr,
    [] { return static_cast<Ormid::DynamicData*>(new SubPart()); },
    [] { return static_cast<Ormid::DataArrayBase*>(new Ormid::DataArray<SubPart>()); },
    0};
inline const Ormid::DataTypeInfo kGadgetDescriptor = {
    &gGadgetTypeInfo,
    &gKoblDynamicDataTypeInfo,
    Accessors::kGadgetProperties,
    &Accessors::GetField<Accessors::kGadgetFields>,
    &Accessors::GetFieldPtr<Accessors::kGadgetFields>,
    &Accessors::SetField<Accessors::kGadgetFields>,
    &Accessors::SwapField<Accessors::kGadgetFields>,
    &Accessors::IsSet<Accessors::kGadgetFields>,
    &Accessors::Reset<Accessors::kGadgetFields>,
    [] { return static_cast<Ormid::DynamicData*>(new Gadget()); },
    [] { return static_cast<Ormid::DataArrayBase*>(new Ormid::DataArray<Gadget>()); },
    0};

// ---------------------------------------------------------------------------------------------------------
// Version catalogue "ormidtest": releases v1 < v2 < v3 (v1 extends kobl.version.version0), feature
// versions featureA and featureB over v3, unstable over v3 and both features, disabled over unstable.

inline const Ormid::VersionRecord kTestVersionRecords[] = {
    {"ormidtest.version.disabled", "ormidtest1", "", nullptr, "ormidtest.Task", "ormidtest1",
     Ormid::StageDisabled, 4},
    {"ormidtest.version.unstable", "ormidtest1", "uTEST", "uTEST", "ormidtest.Task", "ormidtest1",
     Ormid::StageUnstable, 4},
    {"ormidtest.version.featureA", "ormidtest1", "fA", nullptr, "ormidtest.Task", "ormidtest1",
     Ormid::StageFeature, 4},
    {"ormidtest.version.featureB", "ormidtest1", "fB", nullptr, "ormidtest.Task", "ormidtest1",
     Ormid::StageFeature, 4},
    {"ormidtest.version.v3", "ormidtest1", "3.0", "3.0", "ormidtest.Task", "ormidtest1", Ormid::StageReleased,
     4},
    {"ormidtest.version.v2", "ormidtest1", "2.0", nullptr, "ormidtest.Task", "ormidtest1",
     Ormid::StageReleased, 4},
    {"ormidtest.version.v1", "ormidtest1", "1.0", nullptr, "ormidtest.Task", "ormidtest1",
     Ormid::StageReleased, 6},
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
inline const char* const kTestDependencies[] = {"kobl.query"};
inline const char* const kTestReleases[] = {"3.0", "2.0", "1.0"};
inline const Ormid::ProductRecord kTestProducts[] = {{"Testprod", 3, kTestReleases}};

inline int32_t testNamespaceId = -1;
inline const Ormid::Version* testOfficialVersions[4];
inline const Ormid::Version* testInternalVersions[4];
inline const Ormid::Version* testCurrentVersion;

inline const Ormid::KoblVersions kTestVersions = {"ormidtest",
                                                  &testNamespaceId,
                                                  kTestDependencies,
                                                  kTestProducts,
                                                  kTestVersionRecords,
                                                  kTestParents,
                                                  testOfficialVersions,
                                                  testInternalVersions,
                                                  &testCurrentVersion,
                                                  7,
                                                  4,
                                                  9,
                                                  1,
                                                  1,
                                                  1,
                                                  0,
                                                  0};

// ---------------------------------------------------------------------------------------------------------
// Registration: data types first, then the enumeration.

enum TestSlot { SlotPart, SlotSubPart, SlotGadget, SlotColor, SlotCount };
inline Ormid::Type* testTypes[SlotCount];

inline Ormid::Type* const* TestTypeList(int& count) {
   testTypes[SlotPart] = Ormid::CreateDataObjectType(&kPartDescriptor);
   testTypes[SlotSubPart] = Ormid::CreateDataObjectType(&kSubPartDescriptor);
   testTypes[SlotGadget] = Ormid::CreateDataObjectType(&kGadgetDescriptor);
   testTypes[SlotColor] = Ormid::CreateEnumType<Color>(&kColorInfo);
   count = SlotCount;
   return testTypes;
}

inline const Ormid::TypeInfoLoader testLoader(&kTestVersions, &TestTypeList);

inline Ormid::Type* Part::_GetType() const {
   return testTypes[SlotPart];
}
inline Ormid::DataObjectType* Part::_GetDataType() const {
   return static_cast<Ormid::DataObjectType*>(testTypes[SlotPart]);
}
inline Ormid::Type* SubPart::_GetType() const {
   return testTypes[SlotSubPart];
}
inline Ormid::DataObjectType* SubPart::_GetDataType() const {
   return static_cast<Ormid::DataObjectType*>(testTypes[SlotSubPart]);
}
inline Ormid::Type* Gadget::_GetType() const {
   return testTypes[SlotGadget];
}
inline Ormid::DataObjectType* Gadget::_GetDataType() const {
   return static_cast<Ormid::DataObjectType*>(testTypes[SlotGadget]);
}

} // namespace QTest

template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::Part>() {
   return static_cast<Ormid::DataObjectType*>(QTest::testTypes[QTest::SlotPart]);
}
template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::SubPart>() {
   return static_cast<Ormid::DataObjectType*>(QTest::testTypes[QTest::SlotSubPart]);
}
template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::Gadget>() {
   return static_cast<Ormid::DataObjectType*>(QTest::testTypes[QTest::SlotGadget]);
}
template <> inline Ormid::EnumType* Ormid::GetEnumType<QTest::Color>() {
   return static_cast<Ormid::EnumType*>(QTest::testTypes[QTest::SlotColor]);
}
