// Type registration and lookup: the runtime's own types, a test package, lookups by name, WSDL name and
// header, registration order, refusals, and a base registered by a later package.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ormid_test_types.h"

using namespace Ormid;

namespace {

int PositionOf(const std::vector<Type*>& types, const Type* t) {
   auto it = std::find(types.begin(), types.end(), t);
   return it == types.end() ? -1 : static_cast<int>(it - types.begin());
}

} // namespace

TEST(Registry, TypesAreRegisteredAtLoadAndFound) {
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
       // and the test package's
       {&QTest::gSubPartTypeInfo, GetDoType<QTest::SubPart>(), "ormidtest.SubPart", KindDataObject},
       {&QTest::gColorTypeInfo, GetEnumType<QTest::Color>(), "ormidtest.Color", KindEnum},
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
   // The property collector is a managed type of the kobl.query namespace.
   Type* collector = r.FindByHeader(&gKoblQueryPropertyCollectorTypeInfo);
   ASSERT_NE(collector, nullptr);
   EXPECT_TRUE(collector->IsManaged());
   EXPECT_EQ(collector->GetBaseType(), GetNoType<MoRef>());
}

TEST(Registry, RuntimeTypesBeforeLibraryTypesInRegistrationOrder) {
   std::vector<Type*> types = TypeRegistry::Get().GetTypes();
   EXPECT_EQ(types.size(), TypeRegistry::Get().GetTypeCount());
   EXPECT_EQ(PositionOf(types, GetNoType<bool>()), 0);
   const int dynamicData = PositionOf(types, GetDoType<DynamicData>());
   const int methodFault = PositionOf(types, GetDoType<MethodFault>());
   const int part = PositionOf(types, GetDoType<QTest::Part>());
   const int color = PositionOf(types, GetEnumType<QTest::Color>());
   EXPECT_LT(dynamicData, methodFault);
   EXPECT_LT(methodFault, part);
   // Within a package: the type-list order.
   EXPECT_EQ(PositionOf(types, GetDoType<QTest::SubPart>()), part + 1);
   EXPECT_EQ(color, part + 2);
}

TEST(Registry, LookupsMissWhatIsNotRegistered) {
   TypeRegistry& r = TypeRegistry::Get();
   EXPECT_EQ(r.FindDataObjectType("ormidtest.Part"), GetDoType<QTest::Part>());
   EXPECT_EQ(r.FindEnumType("ormidtest.Part"), nullptr); // of another kind
   EXPECT_EQ(r.FindByName("ormidtest.Nothing"), nullptr);
   EXPECT_EQ(r.FindByName("ormidtest.part"), nullptr); // case matters
   EXPECT_EQ(r.FindByWsdlName("ormidtest.Part"), nullptr);
   const TypeInfo unregistered{KindDataObject, "ormidtest.Unregistered", "Unregistered",
                               "ormidtest.version.v1"};
   EXPECT_EQ(r.FindByHeader(&unregistered), nullptr);
   EXPECT_EQ(r.FindByHeader(nullptr), nullptr);
}

TEST(Registry, ArrayTypesAreCreatedOnceAndFoundByName) {
   TypeRegistry& r = TypeRegistry::Get();
   Type* item = GetDoType<QTest::Part>();
   ArrayType* array = item->GetArrayType();
   ASSERT_NE(array, nullptr);
   EXPECT_EQ(item->GetArrayType(), array);
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
   // Array types are not registered types.
   std::vector<Type*> types = r.GetTypes();
   EXPECT_EQ(PositionOf(types, array), -1);
}

TEST(Registry, TypeRelations) {
   DataObjectType* part = GetDoType<QTest::Part>();
   DataObjectType* sub = GetDoType<QTest::SubPart>();
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

// Small packages built inside the tests.
namespace Pkg {

const PropertyRecord kNone[] = {{}};
DynamicData* CreatePlain() {
   return new DynamicData();
}
DataArrayBase* CreatePlainArray() {
   return new DataArray<DynamicData>();
}
constexpr DataTypeInfo Descriptor(const TypeInfo* type, const TypeInfo* base) {
   return DataTypeInfo{type,    base,       kNone,   nullptr,      nullptr,           nullptr,
                       nullptr, &AlwaysSet, nullptr, &CreatePlain, &CreatePlainArray, 0};
}

const TypeInfo gLateBase{KindDataObject, "ormidtest.later.Base", "LaterBase", "ormidtest.version.v1"};
const TypeInfo gEarlyDerived{KindDataObject, "ormidtest.early.Derived", "EarlyDerived",
                             "ormidtest.version.v1"};
const DataTypeInfo kLateBase = Descriptor(&gLateBase, &gKoblDynamicDataTypeInfo);
const DataTypeInfo kEarlyDerived = Descriptor(&gEarlyDerived, &gLateBase);

Type* slots[4];
const DataTypeInfo* pending[4];
int pendingCount = 0;
int listCalls = 0;

// A type-list function over `pending`, reusing `slots`.
Type* const* PendingList(int& count) {
   ++listCalls;
   for (int i = 0; i < pendingCount; ++i) {
      slots[i] = pending[i] != nullptr ? CreateDataObjectType(pending[i]) : nullptr;
   }
   count = pendingCount;
   return slots;
}

void Stage(const std::vector<const DataTypeInfo*>& descriptors) {
   pendingCount = 0;
   for (const DataTypeInfo* d : descriptors) {
      pending[pendingCount++] = d;
   }
}

} // namespace Pkg

TEST(Registry, BaseRegisteredByALaterPackageResolves) {
   Pkg::Stage({&Pkg::kEarlyDerived});
   Pkg::listCalls = 0;
   TypeInfoLoader early(nullptr, &Pkg::PendingList);
   EXPECT_EQ(Pkg::listCalls, 1); // the type-list function runs once, in the constructor
   ASSERT_EQ(early.GetTypeCount(), 1);
   auto* derived = static_cast<DataObjectType*>(early.GetTypes()[0]);
   try {
      derived->GetBase();
      ADD_FAILURE() << "the base is not registered yet";
   } catch (const Pellum::Exception& e) {
      EXPECT_STREQ(e.what(),
                   "base type ormidtest.later.Base of data type ormidtest.early.Derived is not registered");
   }

   Pkg::Stage({&Pkg::kLateBase});
   TypeInfoLoader late(nullptr, &Pkg::PendingList);
   EXPECT_EQ(derived->GetBase(), late.GetTypes()[0]);
   EXPECT_TRUE(derived->IsA(late.GetTypes()[0]));
   EXPECT_EQ(TypeRegistry::Get().FindByName("ormidtest.early.Derived"), derived);
}

TEST(Registry, RefusesDoubleRegistrationAndBrokenPackages) {
   TypeRegistry& r = TypeRegistry::Get();
   const TypeInfo sameName{KindDataObject, "ormidtest.Part", "OtherWsdl", "ormidtest.version.v1"};
   const TypeInfo sameWsdl{KindDataObject, "ormidtest.Other", "TestPart", "ormidtest.version.v1"};
   const TypeInfo fresh1{KindDataObject, "ormidtest.Fresh", "Fresh1", "ormidtest.version.v1"};
   const TypeInfo fresh2{KindDataObject, "ormidtest.Fresh", "Fresh2", "ormidtest.version.v1"};
   const DataTypeInfo dSameName = Pkg::Descriptor(&sameName, &gKoblDynamicDataTypeInfo);
   const DataTypeInfo dSameWsdl = Pkg::Descriptor(&sameWsdl, &gKoblDynamicDataTypeInfo);
   const DataTypeInfo dFresh1 = Pkg::Descriptor(&fresh1, &gKoblDynamicDataTypeInfo);
   const DataTypeInfo dFresh2 = Pkg::Descriptor(&fresh2, &gKoblDynamicDataTypeInfo);
   const std::size_t before = r.GetTypeCount();

   struct Case {
      std::vector<const DataTypeInfo*> package;
      const char* message;
   } cases[] = {
       {{&QTest::kPartDescriptor}, "type ormidtest.Part is registered twice (same header)"},
       {{&dSameName}, "type name ormidtest.Part is registered twice"},
       {{&dSameWsdl}, "WSDL name TestPart of type ormidtest.Other is already taken by ormidtest.Part"},
       // Two types of one package with the same name: the first is not registered either.
       {{&dFresh1, &dFresh2}, "type name ormidtest.Fresh is registered twice"},
       {{&dFresh1, nullptr}, "entry 1 of a type list of namespace (no namespace) is null"},
   };
   for (const Case& c : cases) {
      Pkg::Stage(c.package);
      try {
         TypeInfoLoader loader(nullptr, &Pkg::PendingList);
         ADD_FAILURE() << "registered: " << c.message;
      } catch (const Pellum::Exception& e) {
         EXPECT_STREQ(e.what(), c.message);
      }
      // The refused package's type objects were never registered: release them.
      for (int i = 0; i < Pkg::pendingCount; ++i) {
         delete Pkg::slots[i];
         Pkg::slots[i] = nullptr;
      }
   }
   EXPECT_EQ(r.GetTypeCount(), before);
   EXPECT_EQ(r.FindByName("ormidtest.Fresh"), nullptr);
   EXPECT_THROW(TypeInfoLoader(nullptr, nullptr), Pellum::Exception);
}

TEST(Registry, CreateDataObjectTypeRefusesBrokenDescriptors) {
   const TypeInfo enumHeader{KindEnum, "ormidtest.NotData", "NotData", "v"};
   const TypeInfo header{KindDataObject, "ormidtest.Broken", "Broken", "v"};
   DataTypeInfo wrongKind = Pkg::Descriptor(&enumHeader, &gKoblDynamicDataTypeInfo);
   DataTypeInfo noBase = Pkg::Descriptor(&header, nullptr);
   DataTypeInfo noFactory = Pkg::Descriptor(&header, &gKoblDynamicDataTypeInfo);
   noFactory.createArray = nullptr;
   DataTypeInfo noAccessors = QTest::kPartDescriptor;
   noAccessors.type = &header;
   noAccessors.swapField = nullptr;
   DataTypeInfo noReset = QTest::kPartDescriptor;
   noReset.type = &header;
   noReset.reset = nullptr;
   EXPECT_THROW(CreateDataObjectType(nullptr), Pellum::Exception);
   for (const DataTypeInfo* d : {&wrongKind, &noBase, &noFactory, &noAccessors, &noReset}) {
      EXPECT_THROW(CreateDataObjectType(d), Pellum::Exception);
   }
}

TEST(Registry, NamespacesInRegistrationOrder) {
   std::vector<const NamespaceInfo*> namespaces = TypeRegistry::Get().GetNamespaces();
   ASSERT_GE(namespaces.size(), 4u);
   EXPECT_EQ(namespaces[0]->name, "kobl");
   EXPECT_EQ(namespaces[1]->name, "kobl.query");
   EXPECT_EQ(namespaces[2]->name, "kobl.reflect");
   for (std::size_t i = 0; i < namespaces.size(); ++i) {
      EXPECT_EQ(namespaces[i]->id, static_cast<int32_t>(i));
   }
   const NamespaceInfo* test = TypeRegistry::Get().FindNamespace("ormidtest");
   ASSERT_NE(test, nullptr);
   EXPECT_EQ(test->record, &QTest::kTestVersions);
   EXPECT_EQ(QTest::testNamespaceId, test->id);
   EXPECT_EQ(TypeRegistry::Get().FindNamespace("nowhere"), nullptr);
}
