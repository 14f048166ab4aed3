// Managed type objects built from descriptors registered in an order the runtime has to cope with, refused
// descriptors, and request contexts. (The runtime's managed types, stubs, dispatch and loopback adapter are
// driven with generated types in the library's tests: managed_test, loopback_test and
// loopback_concurrency_test.)

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ormid/ManagedType.h"
#include "ormid/Registry.h"
#include "ormid/Stub.h"

using Ormid::ManagedObjectType;

namespace {

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

   Ormid::ManagedMethod* table[1] = {};
   const Ormid::ManagedTypeInfo wrongKind =
       EmptyType(&gKoblFaultInvalidArgumentTypeInfo, &Ormid::gKoblManagedObjectTypeInfo, table);
   const Ormid::ManagedTypeInfo noTable =
       EmptyType(&gLateChildTypeInfo, &Ormid::gKoblManagedObjectTypeInfo, nullptr);
   EXPECT_THROW(Ormid::CreateManagedObjectType(&wrongKind), Pellum::Exception);
   EXPECT_THROW(Ormid::CreateManagedObjectType(&noTable), Pellum::Exception);
}

TEST(RemoteRequestContext, EntriesAndScopes) {
   Pellum::Ref<Ormid::RequestContext> context(new Ormid::RequestContext());
   context->Set("b", Ormid::Box(2).GetPtr());
   context->Set("a", nullptr);
   EXPECT_TRUE(context->Contains("a"));
   EXPECT_FALSE(context->Get("a"));
   EXPECT_EQ(context->GetKeys(), (std::vector<std::string>{"a", "b"}));
   EXPECT_EQ(context->ToString().rfind("RequestContext{a=(null), b=", 0), 0u) << context->ToString();
   EXPECT_TRUE(context->Remove("a"));
   EXPECT_FALSE(context->Remove("a"));
   EXPECT_EQ(context->size(), 1u);

   Pellum::Ref<Ormid::RequestContext> inner(new Ormid::RequestContext());
   {
      Ormid::RequestContext::Scope outerScope(context.GetPtr());
      EXPECT_EQ(Ormid::RequestContext::GetCurrent(), context.GetPtr());
      {
         Ormid::RequestContext::Scope innerScope(inner.GetPtr());
         EXPECT_EQ(Ormid::RequestContext::GetCurrent(), inner.GetPtr());
      }
      EXPECT_EQ(Ormid::RequestContext::GetCurrent(), context.GetPtr());
   }
   EXPECT_EQ(Ormid::RequestContext::GetCurrent(), nullptr);
}

} // namespace
