// Type registration and lookup: the runtime's own types, a test package, lookups by name, WSDL name and
// header, registration order, refusals, and a base registered by a later package; enumeration types: names and
// ordinals both ways, generated enumerators and value constants, refused descriptors, the conversion functions;
// the version catalogue: transitive inclusion through parent pairs, the namespace slots, versions of
// dependency namespaces, and refused catalogues.

#include <gtest/gtest.h>

#include <algorithm>

#include "ormidtest/nested/Outer.h"
#include "test_catalogues.h"

using namespace Ormid;
using Ormidtest::Color;

namespace {

int PositionOf(const std::vector<Type*>& types, const Type* t) {
   auto it = std::find(types.begin(), types.end(), t);
   return it == types.end() ? -1 : static_cast<int>(it - types.begin());
}

// A full version name, given by its short name in "ormidtest" or in full.
std::string Full(const std::string& name) {
   return name.find('.') == std::string::npos ? "ormidtest.version." + name : name;
}
const Version& V(const std::string& name) {
   return VersionCatalogue::Get().GetVersion(Full(name));
}

// Packages built inside the tests: a type-list function over `pending`, each entry making one type object.
using Make = std::function<Type*()>;
std::vector<Make> pending;
std::vector<Type*> slots;
int listCalls = 0;

Type* const* PendingList(int& count) {
   ++listCalls;
   slots.clear();
   for (const Make& make : pending) {
      slots.push_back(make ? make() : nullptr);
   }
   count = static_cast<int>(slots.size());
   return slots.data();
}

Make Data(const DataTypeInfo* d) {
   return [d] { return CreateDataObjectType(d); };
}
Make Managed(const ManagedTypeInfo* d) {
   return [d] { return CreateManagedObjectType(d); };
}

const ManagedMethodInfo kNoMethods[1] = {};
ManagedTypeInfo EmptyManaged(const TypeInfo* type, const TypeInfo* base, ManagedMethod** table) {
   return {type, base, QTest::kNoProperties, kNoMethods, nullptr, nullptr, nullptr, table};
}

VersionRecord Release(const char* name) {
   return VersionRecord{name, "x", "1", nullptr, nullptr, nullptr, StageReleased, 0};
}

std::string Refusal(const KoblVersions& record) {
   try {
      VersionCatalogue::Get().RegisterNamespace(&record);
   } catch (const Pellum::Exception& e) {
      return e.what();
   }
   return "registered";
}

} // namespace

// (Every type of the library is found by its keys once registered: tests/types, dlopen_ready.)
TEST(Registry, TypesAreRegisteredAtLoadAndFoundOnlyByTheirOwnKeys) {
   TypeRegistry& r = TypeRegistry::Get();
   struct Expect {
      const TypeInfo* header;
      Type* type;
      const char* name;
      uint64_t kind;
   } expected[] = {
       {&gBoolTypeInfo, GetNoType<bool>(), "boolean", KindBool},
       {&gByteTypeInfo, GetNoType<signed char>(), "byte", KindByte},
       {&gLongTypeInfo, GetNoType<long>(), "long", KindLong},
       {&gBinaryTypeInfo, GetNoType<std::vector<unsigned char>>(), "binary", KindBinary},
       {&gDateTimeTypeInfo, GetNoType<Pellum::System::DateTime>(), "dateTime", KindDateTime},
       {&gUriTypeInfo, GetNoType<Uri>(), "kobl.URI", KindUri},
       {&gPropertyPathTypeInfo, GetNoType<PropertyPath>(), "kobl.PropertyPath", KindPropertyPath},
       {&gAnyTypeInfo, GetNoType<Any>(), "anyType", KindAny},
       {&gKoblManagedObjectTypeInfo, GetNoType<MoRef>(), "kobl.ManagedObject", KindManaged},
       {&gKoblDynamicDataTypeInfo, GetDoType<DynamicData>(), "kobl.DynamicData", KindDataObject},
       {&gKoblLocalizableMessageTypeInfo, GetDoType<LocalizableMessage>(), "kobl.LocalizableMessage",
        KindDataObject},
       {&gKoblMethodFaultTypeInfo, GetDoType<MethodFault>(), "kobl.MethodFault", KindFault},
       {&gKoblFaultSystemErrorTypeInfo, GetDoType<Fault::SystemError>(), "kobl.fault.SystemError", KindFault},
   };
   for (const Expect& e : expected) {
      SCOPED_TRACE(e.name);
      ASSERT_NE(e.type, nullptr);
      EXPECT_EQ(e.type->GetHeader(), e.header);
      EXPECT_EQ(e.type->GetKind(), e.kind);
      EXPECT_STREQ(e.type->GetName(), e.name);
      EXPECT_EQ(r.FindByName(e.name), e.type);
      EXPECT_EQ(r.FindByHeader(e.header), e.type);
      EXPECT_EQ(r.FindByWsdlName(e.header->wsdlName), e.type);
   }
   Type* collector = r.FindByHeader(&gKoblQueryPropertyCollectorTypeInfo);
   ASSERT_NE(collector, nullptr);
   EXPECT_TRUE(collector->IsManaged());
   EXPECT_EQ(collector->GetBaseType(), GetNoType<MoRef>());

   EXPECT_EQ(r.FindDataObjectType("ormidtest.Part"), GetDoType<Ormidtest::Part>());
   EXPECT_EQ(r.FindEnumType("ormidtest.Part"), nullptr); // of another kind
   EXPECT_EQ(r.FindByName("ormidtest.Nothing"), nullptr);
   EXPECT_EQ(r.FindByName("ormidtest.part"), nullptr); // case matters
   EXPECT_EQ(r.FindByWsdlName("ormidtest.Part"), nullptr);
   const TypeInfo unregistered{KindDataObject, "ormidtest.Unregistered", "Unregistered",
                               "ormidtest.version.v1"};
   EXPECT_EQ(r.FindByHeader(&unregistered), nullptr);
   EXPECT_EQ(r.FindByHeader(nullptr), nullptr);
}

TEST(Registry, TypesAndNamespacesInRegistrationOrder) {
   std::vector<Type*> types = TypeRegistry::Get().GetTypes();
   EXPECT_EQ(types.size(), TypeRegistry::Get().GetTypeCount());
   EXPECT_EQ(PositionOf(types, GetNoType<bool>()), 0);
   const int dynamicData = PositionOf(types, GetDoType<DynamicData>());
   const int methodFault = PositionOf(types, GetDoType<MethodFault>());
   const int part = PositionOf(types, GetDoType<Ormidtest::Part>());
   EXPECT_LT(dynamicData, methodFault);
   EXPECT_LT(methodFault, part);
   // Within a package the type-list order: data objects (Part, SubPart, Sample, Task), enumerations,
   // managed types.
   EXPECT_EQ(PositionOf(types, GetDoType<Ormidtest::SubPart>()), part + 1);
   EXPECT_EQ(PositionOf(types, GetEnumType<Ormidtest::Color>()), part + 4);
   EXPECT_EQ(PositionOf(types, GetMoType<Ormidtest::Lease>()), part + 5);

   std::vector<const NamespaceInfo*> namespaces = TypeRegistry::Get().GetNamespaces();
   ASSERT_GE(namespaces.size(), 4u);
   EXPECT_EQ(namespaces[0]->name, "kobl");
   EXPECT_EQ(namespaces[1]->name, "kobl.query");
   EXPECT_EQ(namespaces[2]->name, "kobl.reflect");
   for (std::size_t i = 0; i < namespaces.size(); ++i) {
      EXPECT_EQ(namespaces[i]->id, static_cast<int32_t>(i));
   }
   EXPECT_EQ(TypeRegistry::Get().FindNamespace("ormidtest")->record, &Ormidtest::koblVersions);
   EXPECT_EQ(TypeRegistry::Get().FindNamespace("nowhere"), nullptr);
}

TEST(Registry, ArrayTypesAreCreatedOnceAndFoundByName) {
   TypeRegistry& r = TypeRegistry::Get();
   Type* item = GetDoType<Ormidtest::Part>();
   ArrayType* array = item->GetArrayType();
   ASSERT_NE(array, nullptr);
   EXPECT_TRUE(array->IsArray());
   EXPECT_EQ(array->GetKind(), KindArray);
   EXPECT_EQ(array->GetItemType(), item);
   EXPECT_STREQ(array->GetName(), "ormidtest.Part[]");
   EXPECT_STREQ(array->GetWsdlName(), "ArrayOfTestPart");
   EXPECT_STREQ(array->GetVersion(), "ormidtest.version.v1");
   EXPECT_EQ(r.FindByName("ormidtest.Part[]"), array);
   EXPECT_EQ(r.FindByWsdlName("ArrayOfTestPart"), array);
   EXPECT_EQ(r.FindByWsdlName("ArrayOfString"), GetNoType<std::string>()->GetArrayType());
   EXPECT_EQ(r.FindByName("ormidtest.Nothing[]"), nullptr);
   EXPECT_EQ(PositionOf(r.GetTypes(), array), -1);
}

TEST(Registry, TypeRelations) {
   DataObjectType* part = GetDoType<Ormidtest::Part>();
   DataObjectType* sub = GetDoType<Ormidtest::SubPart>();
   EXPECT_EQ(sub->GetBase(), part);
   EXPECT_EQ(part->GetBase(), GetDoType<DynamicData>());
   EXPECT_EQ(GetDoType<DynamicData>()->GetBase(), nullptr);
   EXPECT_TRUE(sub->IsA(part));
   EXPECT_TRUE(sub->IsA(GetDoType<DynamicData>()));
   EXPECT_TRUE(sub->IsA(GetNoType<Any>()));
   EXPECT_FALSE(part->IsA(sub));
   EXPECT_TRUE(part->IsAssignableFrom(sub));
   EXPECT_TRUE(sub->GetArrayType()->IsA(part->GetArrayType()));
   EXPECT_FALSE(part->GetArrayType()->IsA(sub->GetArrayType()));
   EXPECT_TRUE(GetDoType<Fault::InvalidType>()->IsA(GetDoType<Fault::InvalidRequest>()));
   EXPECT_TRUE(GetDoType<Fault::InvalidType>()->IsA(GetDoType<MethodFault>()));
   EXPECT_TRUE(GetDoType<Fault::InvalidType>()->IsFault());
   EXPECT_FALSE(GetDoType<KeyAnyValue>()->IsFault());

   // Properties: own indices restart at 0 in every type; lookups see inherited ones.
   EXPECT_EQ(sub->GetOwnPropertyCount(), 1);
   EXPECT_EQ(sub->GetPropertyCount(), 3);
   PropertyRef weight = sub->FindProperty("weight");
   ASSERT_TRUE(weight);
   EXPECT_EQ(weight.owner, part);
   EXPECT_EQ(weight.index, 1);
   PropertyRef depth = sub->FindProperty("depth");
   EXPECT_EQ(depth.owner, sub);
   EXPECT_EQ(depth.index, 0);
   EXPECT_FALSE(sub->FindProperty("nothing"));
   std::vector<std::string> order;
   sub->ForEachProperty(
       [&](const DataObjectType*, int, const PropertyRecord& p) { order.push_back(p.name); });
   EXPECT_EQ(order, (std::vector<std::string>{"key", "weight", "depth"}));
   EXPECT_THROW(sub->GetOwnProperty(1), Pellum::Exception);
}

TEST(Registry, BaseRegisteredByALaterPackageResolves) {
   // Registered types live for the process: so do their records.
   static const TypeInfo headers[] = {
       {KindDataObject, "ormidtest.later.Base", "LaterBase", "ormidtest.version.v1"},
       {KindDataObject, "ormidtest.early.Derived", "EarlyDerived", "ormidtest.version.v1"},
       {KindManaged, "ormidtest.later.Parent", "LaterParent", "ormidtest.version.v1"},
       {KindManaged, "ormidtest.early.Child", "EarlyChild", "ormidtest.version.v1"}};
   static const DataTypeInfo lateBase = QTest::EmptyDescriptor(&headers[0], &gKoblDynamicDataTypeInfo);
   static const DataTypeInfo earlyDerived = QTest::EmptyDescriptor(&headers[1], &headers[0]);
   static ManagedMethod* tables[2][1];
   static const ManagedTypeInfo lateParent =
       EmptyManaged(&headers[2], &gKoblManagedObjectTypeInfo, tables[0]);
   static const ManagedTypeInfo earlyChild = EmptyManaged(&headers[3], &headers[2], tables[1]);
   const struct {
      Make derived;
      Make base;
      const char* refusal;
   } rows[] = {
       {Data(&earlyDerived), Data(&lateBase),
        "base type ormidtest.later.Base of data type ormidtest.early.Derived is not registered"},
       {Managed(&earlyChild), Managed(&lateParent),
        "base type ormidtest.later.Parent of managed type ormidtest.early.Child is not registered"},
   };
   for (const auto& row : rows) {
      SCOPED_TRACE(row.refusal);
      pending = {row.derived};
      listCalls = 0;
      TypeInfoLoader early(nullptr, &PendingList);
      EXPECT_EQ(listCalls, 1); // the type-list function runs once, in the constructor
      ASSERT_EQ(early.GetTypeCount(), 1);
      Type* derived = early.GetTypes()[0];
      auto base = [derived]() -> Type* {
         return derived->IsManaged() ? static_cast<Type*>(static_cast<ManagedObjectType*>(derived)->GetBase())
                                     : static_cast<DataObjectType*>(derived)->GetBase();
      };
      try {
         base();
         ADD_FAILURE() << "the base is not registered yet";
      } catch (const Pellum::Exception& e) {
         EXPECT_STREQ(e.what(), row.refusal);
      }
      pending = {row.base};
      TypeInfoLoader late(nullptr, &PendingList);
      EXPECT_EQ(base(), late.GetTypes()[0]);
      EXPECT_TRUE(derived->IsA(late.GetTypes()[0]));
      EXPECT_EQ(TypeRegistry::Get().FindByName(derived->GetName()), derived);
   }
   // A managed type without members: a table of one null slot, no property lookup, nothing to find.
   auto* child = static_cast<ManagedObjectType*>(TypeRegistry::Get().FindByName("ormidtest.early.Child"));
   EXPECT_EQ(child->GetMethodObjectCount(), 0u);
   EXPECT_EQ(tables[1][0], nullptr);
   EXPECT_EQ(child->PropertyIndex("anything"), ManagedObjectType::kNoProperty);
   EXPECT_EQ(child->FindMethod("anything"), nullptr);
}

TEST(Registry, RefusesDoubleRegistrationBrokenPackagesAndBrokenDescriptors) {
   TypeRegistry& r = TypeRegistry::Get();
   const TypeInfo headers[] = {{KindDataObject, "ormidtest.Part", "OtherWsdl", "ormidtest.version.v1"},
                               {KindDataObject, "ormidtest.Other", "TestPart", "ormidtest.version.v1"},
                               {KindDataObject, "ormidtest.Fresh", "Fresh1", "ormidtest.version.v1"},
                               {KindDataObject, "ormidtest.Fresh", "Fresh2", "ormidtest.version.v1"}};
   std::vector<DataTypeInfo> d;
   for (const TypeInfo& header : headers) {
      d.push_back(QTest::EmptyDescriptor(&header, &gKoblDynamicDataTypeInfo));
   }
   const std::size_t before = r.GetTypeCount();
   const struct {
      std::vector<Make> package;
      const char* message;
   } cases[] = {
       {{Data(GetDoType<Ormidtest::Part>()->GetDescriptor())},
        "type ormidtest.Part is registered twice (same header)"},
       {{Data(&d[0])}, "type name ormidtest.Part is registered twice"},
       {{Data(&d[1])}, "WSDL name TestPart of type ormidtest.Other is already taken by ormidtest.Part"},
       // Two types of one package with the same name: the first is not registered either.
       {{Data(&d[2]), Data(&d[3])}, "type name ormidtest.Fresh is registered twice"},
       {{Data(&d[2]), nullptr}, "entry 1 of a type list of namespace (no namespace) is null"},
   };
   for (const auto& c : cases) {
      pending = c.package;
      try {
         TypeInfoLoader loader(nullptr, &PendingList);
         ADD_FAILURE() << "registered: " << c.message;
      } catch (const Pellum::Exception& e) {
         EXPECT_STREQ(e.what(), c.message);
      }
      for (Type* t : slots) { // the refused package's type objects were never registered
         delete t;
      }
   }
   EXPECT_EQ(r.GetTypeCount(), before);
   EXPECT_EQ(r.FindByName("ormidtest.Fresh"), nullptr);
   EXPECT_THROW(TypeInfoLoader(nullptr, nullptr), Pellum::Exception);

   // Descriptors that the type objects' constructors refuse before anything is registered.
   const TypeInfo enumHeader{KindEnum, "ormidtest.NotData", "NotData", "v"};
   const TypeInfo header{KindDataObject, "ormidtest.Broken", "Broken", "v"};
   DataTypeInfo wrongKind = QTest::EmptyDescriptor(&enumHeader, &gKoblDynamicDataTypeInfo);
   DataTypeInfo noBase = QTest::EmptyDescriptor(&header, nullptr);
   DataTypeInfo noFactory = QTest::EmptyDescriptor(&header, &gKoblDynamicDataTypeInfo);
   noFactory.createArray = nullptr;
   DataTypeInfo noAccessors = *GetDoType<Ormidtest::Part>()->GetDescriptor();
   noAccessors.type = &header;
   noAccessors.swapField = nullptr;
   DataTypeInfo noReset = noAccessors;
   noReset.swapField = GetDoType<Ormidtest::Part>()->GetDescriptor()->swapField;
   noReset.reset = nullptr;
   ManagedMethod* table[1] = {};
   const ManagedTypeInfo managedOfDataKind = EmptyManaged(&header, &gKoblManagedObjectTypeInfo, table);
   const ManagedTypeInfo noTable =
       EmptyManaged(&gOrmidtestLeaseTypeInfo, &gKoblManagedObjectTypeInfo, nullptr);
   for (const Make& make :
        {Data(nullptr), Data(&wrongKind), Data(&noBase), Data(&noFactory), Data(&noAccessors), Data(&noReset),
         Managed(nullptr), Managed(&managedOfDataKind), Managed(&noTable)}) {
      EXPECT_THROW(make(), Pellum::Exception);
   }
}

TEST(EnumType, TagsAndValues) {
   EnumType* color = GetEnumType<Color>();
   ASSERT_NE(color, nullptr);
   EXPECT_EQ(color->GetValueCount(), 3);
   // The tag is the descriptor's own text, not a copy.
   // (Compared with the registered descriptor's pointer: with AddressSanitizer, g++ gives each translation
   // unit its own alias of an inline array.)
   EXPECT_EQ(static_cast<const void*>(color->GetTag(1)),
             static_cast<const void*>(color->GetInfo()->names[1]));
   EXPECT_STREQ(color->GetTag(2), "blue");
   EXPECT_EQ(color->GetValue("red"), 0);
   EXPECT_EQ(color->FindValue("green"), 1);
   for (const char* unknown : {"Green", "", "purple"}) {
      SCOPED_TRACE(unknown);
      EXPECT_EQ(color->FindValue(unknown), -1);
      EXPECT_THROW(color->GetValue(unknown), Pellum::Exception);
   }
   for (int bad : {-1, 3, 1000}) {
      EXPECT_THROW(color->GetTag(bad), Pellum::Exception) << bad;
   }
   // Generated enumerators and value constants, escaped where a value is a C++ keyword or starts with a digit:
   // the constants are the descriptor's own texts (the same address), which end with a null.
   using Outer = Ormidtest::Nested::Outer;
   const EnumTypeInfo* mode = GetEnumType<Outer::Mode>()->GetInfo();
   EXPECT_EQ(mode->type, &::gOrmidtestNestedOuterModeTypeInfo);
   EXPECT_EQ((std::vector<int>{int(Outer::Mode::on), int(Outer::Mode::_3des), int(Outer::Mode::delete_)}),
             (std::vector<int>{0, 2, 3}));
   EXPECT_EQ((std::vector<const char*>{mode->names[0], mode->names[2], mode->names[3], mode->names[4]}),
             (std::vector<const char*>{Outer::MODE_ON, Outer::MODE_3DES, Outer::MODE_DELETE, nullptr}));
   EXPECT_STREQ(Outer::MODE_3DES, "3des");
   EXPECT_STREQ(Ormidtest::COLOR_GREEN, "green");
}

TEST(EnumType, ConstructorRefusesBrokenDescriptors) {
   const TypeInfo header{KindEnum, "ormidtest.Broken", "Broken", "v"};
   const TypeInfo dataHeader{KindDataObject, "ormidtest.Broken", "Broken", "v"};
   const char *const none[] = {nullptr}, *const repeated[] = {"a", "b", "a", nullptr},
                     *const single[] = {"only", nullptr};
   const EnumTypeInfo empty{&header, none}, twice{&header, repeated}, wrongKind{&dataHeader, single};
   for (const EnumTypeInfo* info : {static_cast<const EnumTypeInfo*>(nullptr), &empty, &twice, &wrongKind}) {
      EXPECT_THROW(CreateEnumType<Color>(info), Pellum::Exception);
   }
   EnumFuncs incomplete = EnumConv<Color>::kFuncs;
   incomplete.fromNames = nullptr;
   const EnumTypeInfo ok{&header, single};
   EXPECT_THROW(EnumType(&ok, incomplete), Pellum::Exception);

   EnumType one(&ok, EnumConv<Color>::kFuncs);
   EXPECT_EQ(one.GetValue("only"), 0);
   EXPECT_THROW(one.GetTag(1), Pellum::Exception);
}

TEST(EnumType, ConversionFunctions) {
   EnumType* type = GetEnumType<Color>();
   const EnumFuncs& f = type->GetFuncs();
   Pellum::Ref<Any> boxed(f.box(2));
   EXPECT_EQ(boxed->GetRefCount(), 1); // created with count zero; the Ref took the first
   EXPECT_EQ(boxed->_GetType(), type);
   EXPECT_EQ(static_cast<Primitive<Color>*>(boxed.GetPtr())->GetValue(), Color::blue);
   EXPECT_EQ(f.unbox(boxed.GetPtr()), 2);
   EXPECT_THROW(f.unbox(Box(2).GetPtr()), Pellum::TypeMismatchException);

   Array<std::string> names{"blue", "red", "blue"};
   Pellum::Ref<Any> ordinals(f.fromNames(&names, type));
   auto* colors = dynamic_cast<Array<Color>*>(ordinals.GetPtr());
   ASSERT_NE(colors, nullptr);
   ASSERT_EQ(colors->size(), 3u);
   EXPECT_EQ(colors->GetEnum(0), Color::blue);
   EXPECT_EQ((*colors)[1], 0);
   EXPECT_EQ(colors->_values, colors);
   EXPECT_EQ(colors->_GetType(), type->GetArrayType());

   Pellum::Ref<Array<std::string>> back(new Array<std::string>{"stale"});
   f.toNames(colors, type, back);
   EXPECT_EQ(std::vector<std::string>(back->begin(), back->end()),
             (std::vector<std::string>{"blue", "red", "blue"}));

   Pellum::Ref<Any> empty(f.createArray());
   ASSERT_NE(dynamic_cast<Array<Color>*>(empty.GetPtr()), nullptr);
   f.toNames(empty.GetPtr(), type, back);
   EXPECT_EQ(back->size(), 0u);

   // An unknown name or ordinal raises the lookup's exception; another class is a type mismatch with `out`
   // untouched.
   Array<std::string> bad{"red", "mauve"};
   EXPECT_THROW(f.fromNames(&bad, type), Pellum::Exception);
   Array<Color> outOfRange;
   outOfRange.Append(7);
   EXPECT_THROW(f.toNames(&outOfRange, type, back), Pellum::Exception);
   Pellum::Ref<Array<std::string>> keep(new Array<std::string>{"x"});
   Array<int> plain{1};
   EXPECT_THROW(f.toNames(&plain, type, keep), Pellum::TypeMismatchException);
   EXPECT_EQ(keep->size(), 1u);
}

TEST(Versions, InclusionFollowsParentPairsTransitively) {
   // (a, b, whether a is part of b), by short name in "ormidtest" or by full name.
   const struct {
      const char* a;
      const char* b;
      bool partOf;
   } rows[] = {
       // Releases form a chain: a newer release contains everything of the older ones, not the reverse.
       {"v1", "v3", true},
       {"v2", "v3", true},
       {"v2", "v2", true},
       {"v2", "v1", false},
       {"v3", "v1", false},
       // Something tagged with a feature version is part of that feature, unstable and disabled only;
       // features extend the newest release.
       {"featureA", "featureA", true},
       {"featureA", "unstable", true},
       {"featureA", "disabled", true},
       {"featureA", "v3", false},
       {"featureA", "featureB", false},
       {"v1", "featureB", true},
       // Tagged "disabled": part of disabled only.
       {"disabled", "unstable", false},
       {"disabled", "v1", false},
       {"unstable", "disabled", true},
       // Through the dependency: v1 extends kobl.version.version0, so the base namespace is in every version.
       {"kobl.version.version0", "v1", true},
       {"kobl.version.version0", "disabled", true},
       {"v1", "kobl.version.version0", false},
       {"kobl.version.version0", "kobl.query.version.version4", true},
       {"kobl.query.version.version2", "kobl.query.version.version1", false},
   };
   VersionCatalogue& c = VersionCatalogue::Get();
   for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.a) + " in " + row.b);
      EXPECT_EQ(V(row.a).IsPartOf(V(row.b)), row.partOf);
      EXPECT_EQ(V(row.b).Includes(V(row.a)), row.partOf);
      EXPECT_EQ(c.IsPartOf(Full(row.a), Full(row.b)), row.partOf);
   }
   EXPECT_EQ(c.FindVersion("ormidtest.version.v9"), nullptr);
   EXPECT_THROW(c.IsPartOf("ormidtest.version.v1", "ormidtest.version.v9"), Pellum::Exception);
}

TEST(Versions, RecordsParentsStagesAndNamespaceSlots) {
   const Version& unstable = V("unstable");
   EXPECT_EQ(unstable.GetRecord(), &Ormidtest::koblVersions.versions[1]);
   EXPECT_EQ(unstable.GetStage(), StageUnstable);
   using Versions = std::vector<const Version*>;
   EXPECT_EQ(unstable.GetParents(), (Versions{&V("v3"), &V("featureA"), &V("featureB")}));
   EXPECT_EQ(V("disabled").GetParents().size(), 1u);
   EXPECT_EQ(V("kobl.version.version0").GetNamespace(), VersionCatalogue::Get().FindNamespace("kobl"));

   const NamespaceInfo* ns = VersionCatalogue::Get().FindNamespace("ormidtest");
   ASSERT_NE(ns, nullptr);
   EXPECT_EQ(unstable.GetNamespace(), ns);
   EXPECT_EQ(Ormidtest::koblNamespaceId, ns->id);
   EXPECT_GE(ns->id, 3); // after the runtime's three namespaces
   // Official: the released versions in record order (newest first), then null. Internal: unstable, then
   // the released versions. Current: the newest release.
   EXPECT_EQ(Versions(Ormidtest::officialVersions, Ormidtest::officialVersions + 4),
             (Versions{&V("v3"), &V("v2"), &V("v1"), nullptr}));
   EXPECT_EQ(Versions(Ormidtest::internalVersions, Ormidtest::internalVersions + 4),
             (Versions{&unstable, &V("v3"), &V("v2"), &V("v1")}));
   EXPECT_EQ(Ormidtest::GetRcVersion(), &V("v3"));
   EXPECT_EQ(ns->current, &V("v3"));
   ASSERT_EQ(ns->versions.size(), 7u);
   EXPECT_EQ(ns->versions[0], &V("disabled"));

   // A second loader of the same namespace registers types only; the slots keep their values.
   const int32_t id = Ormidtest::koblNamespaceId;
   TypeInfoLoader again(&Ormidtest::koblVersions,
                        [](int& count) -> Type* const* { return count = 0, nullptr; });
   EXPECT_EQ(Ormidtest::koblNamespaceId, id);
   EXPECT_EQ(VersionCatalogue::Get().FindNamespace("ormidtest"), ns);
}

TEST(Versions, RefusedCataloguesLeaveNothingBehind) {
   const VersionRecord aThenB[] = {Release("vt.a"), Release("vt.b")};
   const VersionParent cycle[] = {{"vt.a", "vt.b"}, {"vt.b", "vt.a"}};
   const VersionParent foreign[] = {{"ormidtest.version.v1", "vt.a"}};
   const VersionRecord taken[] = {Release("ormidtest.version.v2")};
   const VersionRecord twice[] = {Release("vt.c"), Release("vt.c")};
   const VersionRecord tooMany[] = {Release("vt.d"), Release("vt.e")};
   const Version* oneSlot[1];
   const struct {
      KoblVersions record;
      const char* refusal;
   } rows[] = {
       {QTest::Catalogue("vt.cycle", aThenB, 2, cycle, 2),
        "the parent pairs form a cycle through version vt.a"},
       {QTest::Catalogue("vt.foreign", aThenB, 2, foreign, 1),
        "parent pair 0 names version ormidtest.version.v1, which is not one of the namespace's versions"},
       {QTest::Catalogue("vt.taken", taken, 1),
        "version ormidtest.version.v2 is declared twice (also by namespace ormidtest)"},
       {QTest::Catalogue("vt.twice", twice, 2), "version vt.c is declared twice"},
       {QTest::Catalogue("vt.slots", tooMany, 2, nullptr, 0, oneSlot, 1),
        "2 released versions do not fit 1 official version slots"},
       {QTest::Catalogue("vt.missing", nullptr, 3), "a count is not zero but its array is missing"},
   };
   for (const auto& row : rows) {
      EXPECT_EQ(Refusal(row.record),
                "version catalogue of namespace " + std::string(row.record.name) + ": " + row.refusal);
      EXPECT_EQ(VersionCatalogue::Get().FindNamespace(row.record.name), nullptr) << row.record.name;
   }
   EXPECT_EQ(Refusal(QTest::Catalogue("ormidtest", aThenB, 2)),
             "namespace ormidtest is already registered with another version catalogue");
   for (const char* name : {"vt.a", "vt.b", "vt.c", "vt.d"}) {
      EXPECT_EQ(VersionCatalogue::Get().FindVersion(name), nullptr) << name;
   }
}

TEST(Versions, ParentKnownByNameGetsItsRecordWhenItsNamespaceRegisters) {
   // vt.user.v1 names vt.dep.v1 before namespace vt.dep exists; vt.dep.v1 extends vt.dep.v0.
   static const VersionRecord user[] = {Release("vt.user.v1")};
   static const VersionParent userParents[] = {{"vt.user.v1", "vt.dep.v1"}};
   static const VersionRecord dep[] = {Release("vt.dep.v1"), Release("vt.dep.v0")};
   static const VersionParent depParents[] = {{"vt.dep.v1", "vt.dep.v0"}};
   static const KoblVersions userNs = QTest::Catalogue("vt.user", user, 1, userParents, 1);
   static const KoblVersions depNs = QTest::Catalogue("vt.dep", dep, 2, depParents, 1);

   VersionCatalogue& c = VersionCatalogue::Get();
   c.RegisterNamespace(&userNs);
   const Version* depV1 = c.FindVersion("vt.dep.v1");
   ASSERT_NE(depV1, nullptr);
   EXPECT_EQ(depV1->GetRecord(), nullptr);
   EXPECT_EQ(depV1->GetNamespace(), nullptr);
   EXPECT_EQ(c.FindVersion("vt.dep.v0"), nullptr);

   c.RegisterNamespace(&depNs);
   EXPECT_EQ(c.FindVersion("vt.dep.v1"), depV1); // the same object, now with its record
   EXPECT_EQ(depV1->GetRecord(), &dep[0]);
   EXPECT_TRUE(c.IsPartOf("vt.dep.v0", "vt.user.v1"));                 // through the newly known pair
   EXPECT_EQ(&c.RegisterNamespace(&depNs), c.FindNamespace("vt.dep")); // the same record again: no-op
}
