// Managed type objects: method-object tables, member lookup, base resolution, property lookup and the
// checked dispatch entry.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "ormid/ManagedType.h"
#include "ormid/Registry.h"
#include "remote_test_objects.h"

using Ormid::ManagedMethod;
using Ormid::ManagedObjectType;

namespace {

ManagedObjectType* LeaseType() {
   return Ormid::GetMoType<RTest::Lease>();
}
ManagedObjectType* EntityType() {
   return Ormid::GetMoType<RTest::Entity>();
}

TEST(RemoteManagedType, RegisteredThroughTheLoaderAndFoundByTheRegistry) {
   ASSERT_NE(LeaseType(), nullptr);
   ASSERT_NE(EntityType(), nullptr);
   Ormid::TypeRegistry& registry = Ormid::TypeRegistry::Get();
   EXPECT_EQ(registry.FindByName("rtest.Lease"), LeaseType());
   EXPECT_EQ(registry.FindByWsdlName("Lease"), LeaseType());
   EXPECT_EQ(registry.FindByHeader(&gRTestEntityTypeInfo), EntityType());
   EXPECT_TRUE(LeaseType()->IsManaged());
   EXPECT_EQ(LeaseType()->GetDescriptor(), &RTestDetail::gLeaseManagedTypeInfo);
}

TEST(RemoteManagedType, MethodObjectTableHoldsMethodsThenPropertiesThenNull) {
   // rtest.Lease: 7 methods, 4 properties -> 12 slots.
   ManagedObjectType* lease = LeaseType();
   ASSERT_EQ(lease->GetOwnMethodCount(), 7u);
   ASSERT_EQ(lease->GetOwnPropertyCount(), 4u);
   ASSERT_EQ(lease->GetMethodObjectCount(), 11u);
   const std::vector<std::string> names = {"progress", "probe",        "describe", "findPeer",
                                           "abort",    "pullFromUrls", "count",    "percentDone",
                                           "mode",     "peers",        "error"};
   for (std::size_t i = 0; i < names.size(); ++i) {
      ManagedMethod* method = gRTestLeaseMethodObjects[i];
      ASSERT_NE(method, nullptr) << "slot " << i;
      EXPECT_EQ(method, lease->GetMethodObject(i));
      EXPECT_EQ(method->GetName(), names[i]);
      EXPECT_EQ(method->GetIndex(), static_cast<int>(i));
      EXPECT_EQ(method->GetOwner(), lease);
      EXPECT_EQ(method->IsProperty(), i >= 7) << names[i];
   }
   EXPECT_EQ(gRTestLeaseMethodObjects[11], nullptr);
   EXPECT_EQ(lease->GetOwnMethod(2), gRTestLeaseMethodObjects[2]);
   EXPECT_EQ(lease->GetOwnProperty(1), gRTestLeaseMethodObjects[8]);
   EXPECT_THROW(lease->GetMethodObject(11), Pellum::Exception);
   EXPECT_THROW(lease->GetOwnMethod(7), Pellum::Exception);
   EXPECT_THROW(lease->GetOwnProperty(4), Pellum::Exception);

   // rtest.Entity: 1 method, 2 properties -> 4 slots, the last null.
   EXPECT_EQ(EntityType()->GetMethodObjectCount(), 3u);
   EXPECT_EQ(gRTestEntityMethodObjects[0]->GetName(), std::string("rename"));
   EXPECT_EQ(gRTestEntityMethodObjects[2]->GetName(), std::string("parent"));
   EXPECT_EQ(gRTestEntityMethodObjects[3], nullptr);
}

TEST(RemoteManagedType, MethodObjectsCarryTheirRecords) {
   ManagedMethod* probe = gRTestLeaseMethodObjects[1];
   EXPECT_EQ(probe->GetFullName(), RTest::Lease::METHOD_PROBE);
   EXPECT_EQ(std::string(probe->GetWsdlName()), "LeaseProbe");
   EXPECT_FALSE(probe->IsTask());
   ASSERT_EQ(probe->GetParamCount(), 5u);
   EXPECT_EQ(std::string(probe->GetParam(3).name), "peer");
   EXPECT_THROW(probe->GetParam(5), Pellum::Exception);
   // Only required plain, string and enumeration parameters need a value: not the array, the optional int,
   // the optional string or the reference; the required bool does.
   EXPECT_FALSE(probe->RequiresValue(0));
   EXPECT_FALSE(probe->RequiresValue(1));
   EXPECT_FALSE(probe->RequiresValue(2));
   EXPECT_FALSE(probe->RequiresValue(3));
   EXPECT_TRUE(probe->RequiresValue(4));
   EXPECT_TRUE(gRTestLeaseMethodObjects[0]->RequiresValue(0));
   EXPECT_FALSE(gRTestLeaseMethodObjects[4]->RequiresValue(0)); // optional fault
   EXPECT_TRUE(probe->HasResult());
   EXPECT_EQ(probe->GetResult().flags, 0x3u);
   ASSERT_EQ(probe->GetFaults().size(), 2u);
   EXPECT_EQ(probe->GetFaults()[0], &gRTestFaultLeaseExpiredTypeInfo);
   EXPECT_EQ(std::string(probe->GetPrivilegeId()), "System.View");
   EXPECT_EQ(std::string(probe->GetVersion()), "rtest.version.v1");

   ManagedMethod* abort = gRTestLeaseMethodObjects[4];
   EXPECT_FALSE(abort->HasResult());
   EXPECT_TRUE(abort->GetFaults().empty());
   EXPECT_EQ(abort->GetPrivilegeId(), nullptr);

   // "_Task" operations answer a task reference.
   EXPECT_TRUE(gRTestLeaseMethodObjects[5]->IsTask());
   EXPECT_TRUE(gRTestEntityMethodObjects[0]->IsTask());

   // A getter: no parameters, no operation name, the property's record as result and read privilege.
   ManagedMethod* peers = gRTestLeaseMethodObjects[9];
   EXPECT_EQ(peers->GetFullName(), "rtest.Lease.peers");
   EXPECT_EQ(peers->GetWsdlName(), nullptr);
   EXPECT_EQ(peers->GetParamCount(), 0u);
   EXPECT_EQ(peers->GetResult().type, &gRTestEntityTypeInfo);
   EXPECT_EQ(peers->GetResult().flags, 0x7u);
   EXPECT_EQ(std::string(peers->GetPrivilegeId()), "System.Read");
   EXPECT_EQ(peers->GetPropertyRecord(), &RTestDetail::gLeaseProperties[2]);
   EXPECT_EQ(peers->GetMethodInfo(), nullptr);
}

TEST(RemoteManagedType, TypeDependentPrivileges) {
   ManagedMethod* rename = gRTestEntityMethodObjects[0];
   EXPECT_EQ(rename->GetPrivilegeId(), nullptr);
   EXPECT_EQ(std::string(rename->GetPrivilegeFor("rtest.Lease")), "Lease.Rename");
   EXPECT_EQ(std::string(rename->GetPrivilegeFor("rtest.Entity")), "Entity.Rename");
   EXPECT_EQ(rename->GetPrivilegeFor("rtest.Other"), nullptr);
   // Without a list, the fixed privilege.
   EXPECT_EQ(std::string(gRTestLeaseMethodObjects[0]->GetPrivilegeFor("rtest.Lease")), "Lease.Update");
}

TEST(RemoteManagedType, FindsMembersOwnThenInherited) {
   ManagedObjectType* lease = LeaseType();
   EXPECT_EQ(lease->FindMethod("probe"), gRTestLeaseMethodObjects[1]);
   EXPECT_EQ(lease->FindMethod("rename"), gRTestEntityMethodObjects[0]);
   EXPECT_EQ(lease->FindMethod(RTest::Lease::METHOD_ABORT), gRTestLeaseMethodObjects[4]);
   EXPECT_EQ(lease->FindMethod(RTest::Entity::METHOD_RENAME), gRTestEntityMethodObjects[0]);
   EXPECT_EQ(lease->FindMethod("rtest.Lease.rename"), nullptr); // not an own method of rtest.Lease
   EXPECT_EQ(lease->FindMethod("rtest.Other.probe"), nullptr);
   EXPECT_EQ(lease->FindMethod("mode"), nullptr); // a property, not a method
   EXPECT_EQ(lease->FindMethod("Probe"), nullptr);
   EXPECT_EQ(EntityType()->FindMethod("probe"), nullptr); // no look down the hierarchy

   EXPECT_EQ(lease->FindMethodByWsdlName("LeasePullFromUrls_Task"), gRTestLeaseMethodObjects[5]);
   EXPECT_EQ(lease->FindMethodByWsdlName("Rename_Task"), gRTestEntityMethodObjects[0]);
   EXPECT_EQ(lease->FindMethodByWsdlName("rename"), nullptr);

   EXPECT_EQ(lease->FindProperty("mode"), gRTestLeaseMethodObjects[8]);
   EXPECT_EQ(lease->FindProperty("name"), gRTestEntityMethodObjects[1]);
   EXPECT_EQ(lease->FindProperty("probe"), nullptr);
}

TEST(RemoteManagedType, PropertyIndexIsExactAndOwnOnly) {
   ManagedObjectType* lease = LeaseType();
   EXPECT_EQ(lease->PropertyIndex("percentDone"), 0u);
   EXPECT_EQ(lease->PropertyIndex("mode"), 1u);
   EXPECT_EQ(lease->PropertyIndex("peers"), 2u);
   EXPECT_EQ(lease->PropertyIndex("error"), 3u);
   for (std::string_view miss : {"mod", "modes", "Mode", "", "percentDon", "percentDonee", "name", "probe"}) {
      EXPECT_EQ(lease->PropertyIndex(miss), ManagedObjectType::kNoProperty) << miss;
   }
   EXPECT_EQ(EntityType()->PropertyIndex("parent"), 1u);
   EXPECT_EQ(EntityType()->PropertyIndex("paren"), ManagedObjectType::kNoProperty);
}

TEST(RemoteManagedType, BaseRegisteredByALaterPackageResolves) {
   // rtest.Lease was created before rtest.Entity was registered.
   EXPECT_EQ(LeaseType()->GetBase(), EntityType());
   EXPECT_EQ(EntityType()->GetBase(), nullptr);
   Ormid::Type* root = Ormid::TypeRegistry::Get().FindByHeader(&Ormid::gKoblManagedObjectTypeInfo);
   ASSERT_NE(root, nullptr);
   EXPECT_EQ(EntityType()->GetBaseType(), root);
   EXPECT_TRUE(LeaseType()->IsA(EntityType()));
   EXPECT_TRUE(LeaseType()->IsA(root));
   EXPECT_FALSE(EntityType()->IsA(LeaseType()));
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
const Ormid::ManagedTypeInfo gLateChildInfo = {
    &gLateChildTypeInfo,    &gLateParentTypeInfo, gNoProperties, gNoMethods, nullptr, nullptr, nullptr,
    gLateChildMethodObjects};
const Ormid::ManagedTypeInfo gLateParentInfo = {&gLateParentTypeInfo,
                                                &Ormid::gKoblManagedObjectTypeInfo,
                                                gNoProperties,
                                                gNoMethods,
                                                nullptr,
                                                nullptr,
                                                nullptr,
                                                gLateParentMethodObjects};
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
   Ormid::ManagedTypeInfo wrongKind = {&gRTestFaultLeaseExpiredTypeInfo,
                                       &Ormid::gKoblManagedObjectTypeInfo,
                                       gNoProperties,
                                       gNoMethods,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       table};
   EXPECT_THROW(Ormid::CreateManagedObjectType(&wrongKind), Pellum::Exception);
   Ormid::ManagedTypeInfo noTable = {&gLateChildTypeInfo,
                                     &Ormid::gKoblManagedObjectTypeInfo,
                                     gNoProperties,
                                     gNoMethods,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr};
   EXPECT_THROW(Ormid::CreateManagedObjectType(&noTable), Pellum::Exception);
}

class RemoteDispatch : public ::testing::Test {
protected:
   Pellum::Ref<RTestImpl::LeaseImpl> lease{new RTestImpl::LeaseImpl("lease-1")};
   Pellum::Ref<RTestImpl::EntityImpl> entity{new RTestImpl::EntityImpl("entity-1")};
   std::vector<Pellum::Ref<Ormid::Any>> args;
   Pellum::Ref<Ormid::Any> result;
};

TEST_F(RemoteDispatch, BoxesResultsAndLeavesVoidResultsNull) {
   args = {Ormid::Box(40)};
   result = Ormid::Box(1); // released by the dispatch
   LeaseType()->Dispatch(lease.GetPtr(), 0, args, result);
   EXPECT_FALSE(result);
   EXPECT_EQ(lease->GetPercentDone(), 40);

   args.clear();
   LeaseType()->Dispatch(lease.GetPtr(), 7, args, result);
   EXPECT_EQ(Ormid::Unbox<int>(result.GetPtr()), 40);
   LeaseType()->Dispatch(lease.GetPtr(), 8, args, result);
   EXPECT_EQ(Ormid::Unbox<std::string>(result.GetPtr()), "pull");
   // Inherited getter through the owner's dispatcher.
   gRTestEntityMethodObjects[1]->Dispatch(lease.GetPtr(), args, result);
   EXPECT_EQ(Ormid::Unbox<std::string>(result.GetPtr()), "entity lease-1");
}

TEST_F(RemoteDispatch, WrongTargetTypeIsATypeMismatch) {
   args = {Ormid::Box(10)};
   try {
      LeaseType()->Dispatch(entity.GetPtr(), 0, args, result);
      FAIL() << "dispatch accepted a target of another type";
   } catch (const Pellum::TypeMismatchException& e) {
      EXPECT_EQ(e.GetExpected(), typeid(RTest::Lease));
      EXPECT_EQ(e.GetActual(), typeid(RTestImpl::EntityImpl));
      EXPECT_NE(std::string(e.what()).find("RTest::Lease"), std::string::npos) << e.what();
   }
}

TEST_F(RemoteDispatch, ArgumentsOfAnotherTypeAreATypeMismatch) {
   args = {Ormid::Box(std::string("forty"))};
   EXPECT_THROW(LeaseType()->Dispatch(lease.GetPtr(), 0, args, result), Pellum::TypeMismatchException);
   // A reference slot holding a box.
   args = {nullptr, nullptr, nullptr, Ormid::Box(3), Ormid::Box(true)};
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
   EXPECT_THROW(LeaseType()->Dispatch(lease.GetPtr(), 11, args, result), Pellum::Exception);
   EXPECT_THROW(LeaseType()->Dispatch(lease.GetPtr(), -1, args, result), Pellum::Exception);
   EXPECT_THROW(LeaseType()->Dispatch(nullptr, 7, args, result), Pellum::Exception);
   EXPECT_EQ(lease->Calls(), 0);
}

} // namespace
