// Managed type objects: member records and lookups, base resolution, and the checked dispatch entry. (The
// method-object table of every generated type is checked against its descriptor by the library's
// managed-descriptor test.)

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ormid/ManagedType.h"
#include "ormid/Registry.h"
#include "remote_lease_types.h"

using Ormid::ManagedMethod;
using Ormid::ManagedObjectType;

namespace {

ManagedObjectType* LeaseType() {
   return Ormid::GetMoType<RTest::Lease>();
}
ManagedObjectType* EntityType() {
   return Ormid::GetMoType<RTest::Entity>();
}

TEST(RemoteManagedType, RegisteredAndTheBaseFromTheLaterPackageResolves) {
   ASSERT_NE(LeaseType(), nullptr);
   ASSERT_NE(EntityType(), nullptr);
   Ormid::TypeRegistry& registry = Ormid::TypeRegistry::Get();
   EXPECT_EQ(registry.FindByName("rtest.Lease"), LeaseType());
   EXPECT_EQ(registry.FindByWsdlName("Lease"), LeaseType());
   EXPECT_EQ(registry.FindByHeader(&gRTestEntityTypeInfo), EntityType());
   // rtest.Lease was created before rtest.Entity was registered.
   EXPECT_EQ(LeaseType()->GetBase(), EntityType());
   EXPECT_EQ(EntityType()->GetBase(), nullptr);
   Ormid::Type* root = registry.FindByHeader(&Ormid::gKoblManagedObjectTypeInfo);
   EXPECT_EQ(EntityType()->GetBaseType(), root);
   EXPECT_TRUE(LeaseType()->IsA(root));
   EXPECT_FALSE(EntityType()->IsA(LeaseType()));
}

TEST(RemoteManagedType, MethodObjectsCarryTheirRecords) {
   ManagedMethod* probe = gRTestLeaseMethodObjects[1];
   EXPECT_EQ(probe, LeaseType()->GetOwnMethod(1));
   EXPECT_THROW(LeaseType()->GetOwnMethod(3), Pellum::Exception);
   EXPECT_THROW(LeaseType()->GetMethodObject(5), Pellum::Exception);
   EXPECT_EQ(probe->GetFullName(), RTest::Lease::METHOD_PROBE);
   EXPECT_STREQ(probe->GetWsdlName(), "LeaseProbe");
   EXPECT_FALSE(probe->IsTask());
   ASSERT_EQ(probe->GetParamCount(), 4u);
   EXPECT_STREQ(probe->GetParam(2).name, "peer");
   EXPECT_THROW(probe->GetParam(4), Pellum::Exception);
   // Only required plain, string and enumeration parameters need a value: not the array, the optional int
   // or the reference; the required bool does.
   const std::vector<bool> needsValue = {false, false, false, true};
   for (std::size_t i = 0; i < needsValue.size(); ++i) {
      EXPECT_EQ(probe->RequiresValue(i), needsValue[i]) << probe->GetParam(i).name;
   }
   EXPECT_TRUE(gRTestLeaseMethodObjects[0]->RequiresValue(0));
   EXPECT_EQ(probe->GetResult().flags, 0x3u);
   ASSERT_EQ(probe->GetFaults().size(), 2u);
   EXPECT_EQ(probe->GetFaults()[1], &gKoblFaultNotSupportedTypeInfo);
   EXPECT_FALSE(gRTestLeaseMethodObjects[0]->HasResult());
   EXPECT_TRUE(gRTestEntityMethodObjects[0]->IsTask()); // "_Task" operations answer a task reference

   // A getter: no parameters, no operation name, the property's record as result and read privilege.
   ManagedMethod* mode = gRTestLeaseMethodObjects[4];
   EXPECT_EQ(mode->GetFullName(), "rtest.Lease.mode");
   EXPECT_EQ(mode->GetWsdlName(), nullptr);
   EXPECT_EQ(mode->GetParamCount(), 0u);
   EXPECT_EQ(mode->GetResult().type, &Ormid::gStringTypeInfo);
   EXPECT_STREQ(mode->GetPrivilegeId(), "System.Read");
   EXPECT_EQ(mode->GetPropertyRecord(), &RTestDetail::gLeaseProperties[1]);
   EXPECT_EQ(mode->GetMethodInfo(), nullptr);
}

TEST(RemoteManagedType, TypeDependentPrivileges) {
   ManagedMethod* rename = gRTestEntityMethodObjects[0];
   EXPECT_EQ(rename->GetPrivilegeId(), nullptr);
   EXPECT_STREQ(rename->GetPrivilegeFor("rtest.Lease"), "Lease.Rename");
   EXPECT_STREQ(rename->GetPrivilegeFor("rtest.Entity"), "Entity.Rename");
   EXPECT_EQ(rename->GetPrivilegeFor("rtest.Other"), nullptr);
   // Without a list, the fixed privilege.
   EXPECT_STREQ(gRTestLeaseMethodObjects[0]->GetPrivilegeFor("rtest.Lease"), "Lease.Update");
}

TEST(RemoteManagedType, FindsMembersOwnThenInherited) {
   ManagedObjectType* lease = LeaseType();
   ManagedMethod* probe = gRTestLeaseMethodObjects[1];
   ManagedMethod* rename = gRTestEntityMethodObjects[0];
   const struct {
      const char* name;
      ManagedMethod* method;
   } methods[] = {
       {"probe", probe},
       {"rename", rename},
       {"rtest.Lease.probe", probe},
       {"rtest.Entity.rename", rename},
       {"rtest.Lease.rename", nullptr}, // not an own method of rtest.Lease
       {"rtest.Other.probe", nullptr},
       {"mode", nullptr}, // a property, not a method
       {"Probe", nullptr},
   };
   for (const auto& row : methods) {
      EXPECT_EQ(lease->FindMethod(row.name), row.method) << row.name;
   }
   EXPECT_EQ(EntityType()->FindMethod("probe"), nullptr); // no look down the hierarchy
   EXPECT_EQ(lease->FindMethodByWsdlName("Rename_Task"), rename);
   EXPECT_EQ(lease->FindMethodByWsdlName("rename"), nullptr);
   EXPECT_EQ(lease->FindProperty("mode"), gRTestLeaseMethodObjects[4]);
   EXPECT_EQ(lease->FindProperty("name"), gRTestEntityMethodObjects[1]);
   EXPECT_EQ(lease->FindProperty("probe"), nullptr);
   // The descriptor's lookup knows the own properties only.
   EXPECT_EQ(lease->PropertyIndex("mode"), 1u);
   EXPECT_EQ(lease->PropertyIndex("name"), ManagedObjectType::kNoProperty);
}

// A derived type registered alone first: its base is unknown until the base's package registers.
const Ormid::TypeInfo gLateChildTypeInfo = {Ormid::KindManaged, "rtest.late.Child", "LateChild",
                                            "rtest.version.v1"};
const Ormid::TypeInfo gLateParentTypeInfo = {Ormid::KindManaged, "rtest.late.Parent", "LateParent",
                                             "rtest.version.v1"};
const Ormid::PropertyRecord gNoProperties[1] = {};
const Ormid::ManagedMethodInfo gNoMethods[1] = {};
Ormid::ManagedMethod* gLateChildMethodObjects[1];
Ormid::ManagedMethod* gLateParentMethodObjects[1];
Ormid::ManagedTypeInfo EmptyType(const Ormid::TypeInfo* type, const Ormid::TypeInfo* base,
                                 Ormid::ManagedMethod** table) {
   return {type, base, gNoProperties, gNoMethods, nullptr, nullptr, nullptr, table};
}
const Ormid::ManagedTypeInfo gLateChildInfo =
    EmptyType(&gLateChildTypeInfo, &gLateParentTypeInfo, gLateChildMethodObjects);
const Ormid::ManagedTypeInfo gLateParentInfo =
    EmptyType(&gLateParentTypeInfo, &Ormid::gKoblManagedObjectTypeInfo, gLateParentMethodObjects);
Ormid::Type* gLateChildTypes[1];
Ormid::Type* gLateParentTypes[1];

TEST(RemoteManagedType, BaseRegisteredAfterTheFirstLookupResolvesThen) {
   static Ormid::TypeInfoLoader child(nullptr, [](int& count) -> Ormid::Type* const* {
      gLateChildTypes[0] = Ormid::CreateManagedObjectType(&gLateChildInfo);
      count = 1;
      return gLateChildTypes;
   });
   auto* type = static_cast<ManagedObjectType*>(gLateChildTypes[0]);
   static bool parentRegistered = false;
   if (!parentRegistered) {
      try {
         type->GetBase();
         ADD_FAILURE() << "an unregistered base resolved";
      } catch (const Pellum::Exception& e) {
         // The message names both types.
         EXPECT_NE(std::string(e.what()).find("rtest.late.Parent"), std::string::npos) << e.what();
         EXPECT_NE(std::string(e.what()).find("rtest.late.Child"), std::string::npos) << e.what();
      }
   }
   static Ormid::TypeInfoLoader parent(nullptr, [](int& count) -> Ormid::Type* const* {
      gLateParentTypes[0] = Ormid::CreateManagedObjectType(&gLateParentInfo);
      count = 1;
      return gLateParentTypes;
   });
   parentRegistered = true;
   EXPECT_EQ(type->GetBase(), gLateParentTypes[0]);
   // A type without members: a table of one null slot, no property lookup, nothing to find.
   EXPECT_EQ(type->GetMethodObjectCount(), 0u);
   EXPECT_EQ(gLateChildMethodObjects[0], nullptr);
   EXPECT_EQ(type->PropertyIndex("anything"), ManagedObjectType::kNoProperty);
   EXPECT_EQ(type->FindMethod("anything"), nullptr);
}

TEST(RemoteManagedType, CreationRefusesBadDescriptors) {
   EXPECT_THROW(Ormid::CreateManagedObjectType(nullptr), Pellum::Exception);
   // The table of rtest.Lease is filled: a second type object for the descriptor is refused, and the
   // table keeps pointing at the registered type's method objects.
   ManagedMethod* first = gRTestLeaseMethodObjects[0];
   EXPECT_THROW(Ormid::CreateManagedObjectType(&RTestDetail::gLeaseManagedTypeInfo), Pellum::Exception);
   EXPECT_EQ(gRTestLeaseMethodObjects[0], first);

   Ormid::ManagedMethod* table[1] = {};
   const Ormid::ManagedTypeInfo wrongKind =
       EmptyType(&gKoblFaultInvalidArgumentTypeInfo, &Ormid::gKoblManagedObjectTypeInfo, table);
   const Ormid::ManagedTypeInfo noTable =
       EmptyType(&gLateChildTypeInfo, &Ormid::gKoblManagedObjectTypeInfo, nullptr);
   EXPECT_THROW(Ormid::CreateManagedObjectType(&wrongKind), Pellum::Exception);
   EXPECT_THROW(Ormid::CreateManagedObjectType(&noTable), Pellum::Exception);
}

class RemoteDispatch : public ::testing::Test {
protected:
   Pellum::Ref<RTestImpl::LeaseImpl> lease{new RTestImpl::LeaseImpl("lease-1")};
   Pellum::Ref<RTestImpl::EntityImpl> entity{new RTestImpl::EntityImpl("entity-1")};
   Ormid::ArgumentList args;
   Pellum::Ref<Ormid::Any> result;
};

TEST_F(RemoteDispatch, BoxesResultsAndLeavesVoidResultsNull) {
   args = {Ormid::Box(40)};
   result = Ormid::Box(1); // released by the dispatch
   LeaseType()->Dispatch(lease.GetPtr(), 0, args, result);
   EXPECT_FALSE(result);
   EXPECT_EQ(lease->GetPercentDone(), 40);

   args.clear();
   LeaseType()->Dispatch(lease.GetPtr(), 3, args, result);
   EXPECT_EQ(Ormid::Unbox<int>(result.GetPtr()), 40);
   // Inherited getter through the owner's dispatcher.
   gRTestEntityMethodObjects[1]->Dispatch(lease.GetPtr(), args, result);
   EXPECT_EQ(Ormid::Unbox<std::string>(result.GetPtr()), "entity lease-1");
}

TEST_F(RemoteDispatch, WrongTargetsAndArgumentsAreTypeMismatches) {
   args = {Ormid::Box(10)};
   try {
      LeaseType()->Dispatch(entity.GetPtr(), 0, args, result);
      FAIL() << "dispatch accepted a target of another type";
   } catch (const Pellum::TypeMismatchException& e) {
      EXPECT_EQ(e.GetExpected(), typeid(RTest::Lease));
      EXPECT_EQ(e.GetActual(), typeid(RTestImpl::EntityImpl));
   }
   args = {Ormid::Box(std::string("forty"))};
   EXPECT_THROW(LeaseType()->Dispatch(lease.GetPtr(), 0, args, result), Pellum::TypeMismatchException);
   // A reference slot holding a box.
   args = {nullptr, nullptr, Ormid::Box(3), Ormid::Box(true)};
   EXPECT_THROW(LeaseType()->Dispatch(lease.GetPtr(), 1, args, result), Pellum::TypeMismatchException);
   EXPECT_EQ(lease->Calls(), 0);
}

TEST_F(RemoteDispatch, RefusesMalformedCallsBeforeTheImplementation) {
   // Wrong number of arguments: InvalidRequest.
   args = {Ormid::Box(1), Ormid::Box(2)};
   EXPECT_THROW(LeaseType()->Dispatch(lease.GetPtr(), 0, args, result),
                Ormid::Fault::InvalidRequest::Exception);
   // A null slot for a required plain value: InvalidArgument naming the parameter.
   args = {nullptr};
   try {
      LeaseType()->Dispatch(lease.GetPtr(), 0, args, result);
      FAIL() << "a missing required argument reached the implementation";
   } catch (const Ormid::Fault::InvalidArgument::Exception& e) {
      auto* fault = dynamic_cast<Ormid::Fault::InvalidArgument*>(e.GetFault());
      ASSERT_NE(fault, nullptr);
      EXPECT_EQ(fault->invalidProperty.GetValue(), "percent");
   }
   // Runtime bugs: an index outside the table, a null target.
   args.clear();
   EXPECT_THROW(LeaseType()->Dispatch(lease.GetPtr(), 5, args, result), Pellum::Exception);
   EXPECT_THROW(LeaseType()->Dispatch(lease.GetPtr(), -1, args, result), Pellum::Exception);
   EXPECT_THROW(LeaseType()->Dispatch(nullptr, 3, args, result), Pellum::Exception);
   EXPECT_EQ(lease->Calls(), 0);
}

} // namespace
