// Generated managed types and the runtime's type objects built from them: the rules every descriptor and
// method object keep, member lookups, the dispatchers' refusal of a target of another type, and what stubs
// hand to their adapter beyond the generated conformance tests (tests/types/conformance).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "ormid/Loopback.h"
#include "ormid/ManagedType.h"
#include "ormid/Registry.h"
#include "quorl/HttpNfcLease.h"
#include "quorl/HttpNfcLeaseStub.h"
#include "quorl/Packages.h"
#include "quorl/ResourcePool.h"
#include "quorl/VRPResourceManagerStub.h"

namespace {

using Pellum::MakeRef;
using Pellum::Ref;
using Pellum::System::ScheduledItem;
using Quorl::HttpNfcLease;

constexpr uint32_t kNoProperty = 0xFFFFFFFFu;

Ormid::ManagedObjectType* LeaseType() {
   return Ormid::GetMoType<HttpNfcLease>();
}

uint32_t Lookup(const Ormid::ManagedTypeInfo* d, std::string_view name) {
   return d->propertyIndex(name.data(), static_cast<uint32_t>(name.size()));
}

// Record rules every descriptor keeps; each type's stub factory builds a stub of that type; each
// dispatcher refuses a target of another type before reaching it.
TEST(ManagedDescriptor, EveryTypeFollowsTheRecordRules) {
   // Targets of another type: stubs on an adapter that serves nothing, so a call that reached one would
   // raise ManagedObjectNotFound, not the type mismatch.
   Ref<Ormid::LoopbackAdapter> adapter(new Ormid::LoopbackAdapter(1));
   Ref<HttpNfcLease> leaseStub =
       adapter->GetStub<HttpNfcLease>(MakeRef<Ormid::MoRef>(LeaseType(), "lease-1").GetPtr());
   Ref<Quorl::ResourcePool> poolStub = adapter->GetStub<Quorl::ResourcePool>(
       MakeRef<Ormid::MoRef>(Ormid::GetMoType<Quorl::ResourcePool>(), "pool-1").GetPtr());
   int types = 0, expected = 0;
   for (int i = 0; i < Quorl::kPackageCount; ++i) {
      expected += Quorl::packages[i].managedTypes;
   }
   for (Ormid::Type* t : Ormid::TypeRegistry::Get().GetTypes()) {
      if (t->GetKind() != Ormid::KindManaged || !std::string_view(t->GetName()).starts_with("quorl.")) {
         continue;
      }
      ++types;
      auto* type = &dynamic_cast<Ormid::ManagedObjectType&>(*t);
      const Ormid::ManagedTypeInfo* d = type->GetDescriptor();
      SCOPED_TRACE(type->GetName());
      EXPECT_EQ(d->type, type->GetHeader());
      std::size_t p = 0;
      while (d->properties[p].type != nullptr) {
         const Ormid::PropertyRecord& prop = d->properties[p];
         const std::string name = prop.name;
         EXPECT_EQ(Lookup(d, name), p) << name;
         EXPECT_EQ(Lookup(d, name + "x"), kNoProperty) << name;
         // The length decides, not a terminating zero.
         EXPECT_EQ(d->propertyIndex((name + "x").c_str(), static_cast<uint32_t>(name.size())), p) << name;
         if (type->FindProperty(name.substr(0, name.size() - 1)) == nullptr) {
            EXPECT_EQ(Lookup(d, name.substr(0, name.size() - 1)), kNoProperty) << name;
         }
         ++p;
      }
      EXPECT_EQ(d->propertyIndex == nullptr, p == 0);
      std::size_t m = 0;
      while (d->methods[m].name != nullptr) {
         const Ormid::ManagedMethodInfo& method = d->methods[m];
         SCOPED_TRACE(method.name);
         std::size_t params = 0;
         while (method.params[params].type != nullptr) {
            ++params;
         }
         EXPECT_EQ(type->GetOwnMethod(m)->GetParamCount(), params);
         std::size_t faults = 0;
         while (method.faults[faults] != nullptr) {
            EXPECT_EQ(method.faults[faults]->kind, 17u);
            ++faults;
         }
         EXPECT_EQ(type->GetOwnMethod(m)->GetFaults().size(), faults);
         EXPECT_STREQ(method.result.name, "result");
         if (method.result.type == nullptr) {
            EXPECT_STREQ(method.result.version, "kobl.version.version0");
            EXPECT_EQ(method.result.flags, 0u);
         }
         if (p > 0 && type->FindProperty(method.name) == nullptr) {
            EXPECT_EQ(Lookup(d, method.name), kNoProperty);
         }
         ++m;
      }
      ASSERT_EQ(type->GetOwnMethodCount(), m);
      ASSERT_EQ(type->GetOwnPropertyCount(), p);
      for (std::size_t i = 0; i < m + p; ++i) {
         Ormid::ManagedMethod* member = type->GetMethodObject(i);
         EXPECT_EQ(d->methodObjects[i], member) << "slot " << i;
         EXPECT_EQ(member->GetIndex(), static_cast<int>(i));
         EXPECT_EQ(member->GetOwner(), type);
         EXPECT_EQ(member->IsProperty(), i >= m) << "slot " << i;
         EXPECT_STREQ(member->GetName(), i < m ? d->methods[i].name : d->properties[i - m].name);
         // A method answers its record, a getter its property's record as result and read privilege.
         if (i < m) {
            EXPECT_EQ(member->GetMethodInfo(), &d->methods[i]);
            EXPECT_EQ(member->IsTask(), std::string_view(d->methods[i].wsdlName).ends_with("_Task"));
            EXPECT_EQ(member->HasResult(), d->methods[i].result.type != nullptr);
         } else {
            const Ormid::PropertyRecord& prop = d->properties[i - m];
            EXPECT_EQ(member->GetPropertyRecord(), &prop);
            EXPECT_EQ(member->GetMethodInfo(), nullptr);
            EXPECT_EQ(member->GetWsdlName(), nullptr);
            EXPECT_EQ(member->GetParamCount(), 0u);
            EXPECT_TRUE(member->GetFaults().empty());
            EXPECT_EQ(member->GetResult().type, prop.type);
            EXPECT_EQ(member->GetPrivilegeId(), prop.privilegeId);
         }
         EXPECT_THROW(member->GetParam(member->GetParamCount()), Pellum::Exception);
         // Only a required plain, string or enumeration parameter needs a value (a null slot is refused).
         for (std::size_t k = 0; k < member->GetParamCount(); ++k) {
            const Ormid::ParamInfo& param = member->GetParam(k);
            EXPECT_EQ(member->RequiresValue(k), (param.flags & Ormid::PropertyFlags::Optional) == 0 &&
                                                    !Ormid::IsReferenceKind(Ormid::GetFieldKind(param)))
                << param.name;
         }
         // A method's type-dependent privileges answer per target type, the fixed privilege otherwise.
         const Ormid::TypePrivilege* byType = i < m ? d->methods[i].typePrivileges : nullptr;
         for (const Ormid::TypePrivilege* t = byType; t != nullptr && t->typeName != nullptr; ++t) {
            EXPECT_STREQ(member->GetPrivilegeFor(t->typeName), t->privilegeId);
         }
         EXPECT_EQ(member->GetPrivilegeFor("quorl.NoSuchType"), member->GetPrivilegeId());
         // Lookups find own members first, by wire name and by full name.
         EXPECT_EQ(i < m ? type->FindMethod(member->GetName()) : type->FindProperty(member->GetName()),
                   member);
         if (i < m) {
            EXPECT_EQ(type->FindMethod(member->GetFullName()), member);
         } else if (Ormid::ManagedMethod* method = type->FindMethod(member->GetName())) {
            EXPECT_FALSE(method->IsProperty()) << "a getter found as a method"; // a method of the same name
         }
      }
      // Then the inherited ones, which stay the base's.
      for (Ormid::ManagedObjectType* base = type->GetBase(); base != nullptr; base = base->GetBase()) {
         for (std::size_t i = 0; i < base->GetOwnMethodCount(); ++i) {
            Ormid::ManagedMethod* inherited = base->GetOwnMethod(i);
            Ormid::ManagedMethod* found = type->FindMethod(inherited->GetName());
            ASSERT_NE(found, nullptr) << inherited->GetFullName();
            EXPECT_TRUE(found->GetOwner()->IsA(base)) << inherited->GetFullName(); // the nearest declaration
            EXPECT_EQ(type->FindMethod(inherited->GetFullName()), inherited);
            EXPECT_EQ(type->FindMethod(std::string(type->GetName()) + "." + inherited->GetName()), found);
         }
      }
      EXPECT_EQ(d->methodObjects[m + p], nullptr);
      EXPECT_THROW(type->GetMethodObject(m + p), Pellum::Exception);
      EXPECT_THROW(type->GetOwnMethod(m), Pellum::Exception);
      EXPECT_THROW(type->GetOwnProperty(p), Pellum::Exception);

      if (d->base == &Ormid::gKoblManagedObjectTypeInfo) {
         EXPECT_EQ(type->GetBase(), nullptr);
      } else {
         ASSERT_NE(type->GetBase(), nullptr);
         EXPECT_EQ(type->GetBase()->GetHeader(), d->base);
      }

      Ref<Ormid::MoRef> ref(new Ormid::MoRef(type, "object-1"));
      Ref<Ormid::StubImpl> stub = type->CreateStub(ref.GetPtr(), adapter.GetPtr(), nullptr);
      auto* object = dynamic_cast<Ormid::ManagedObject*>(stub.GetPtr());
      ASSERT_NE(object, nullptr);
      EXPECT_EQ(object->_GetType(), type);
      EXPECT_EQ(object->_GetRef(), ref.GetPtr());

      Ormid::ManagedObject* foreign =
          type == LeaseType() ? static_cast<Ormid::ManagedObject*>(poolStub.GetPtr()) : leaseStub.GetPtr();
      Ormid::ArgumentList args(8);
      Ref<Ormid::Any> result = Ormid::Box(1);
      EXPECT_THROW(d->dispatch(foreign, 0, args, result), Pellum::TypeMismatchException);
      EXPECT_FALSE(result) << "the result is released before anything else";
   }
   EXPECT_EQ(types, expected);
   // A second type object for a descriptor whose table is filled is refused; the table is left alone.
   Ormid::ManagedMethod* first = gQuorlHttpNfcLeaseMethodObjects[0];
   EXPECT_THROW(Ormid::CreateManagedObjectType(LeaseType()->GetDescriptor()), Pellum::Exception);
   EXPECT_EQ(gQuorlHttpNfcLeaseMethodObjects[0], first);
}

// An adapter that answers every call with a preset value.
class AnsweringAdapter : public Ormid::StubAdapter {
public:
   void Invoke(Ormid::MoRef*, Ormid::ManagedMethod*, Ormid::ArgumentList&, Ref<Ormid::Any>& result,
               Ormid::RequestContext*) override {
      result = answer;
   }
   void StartInvoke(Ormid::MoRef*, Ormid::ManagedMethod*, Ormid::ArgumentList&, const Ormid::CompletionFn&,
                    Ref<ScheduledItem>&, Ormid::RequestContext*) override {
      ADD_FAILURE() << "no asynchronous call is made here";
   }

   Ref<Ormid::Any> answer;
};

// What the conformance tests cannot see, since their implementations answer samples: null results and
// answers of the wrong class.
TEST(StubCalls, NullResultsAndAnswersOfTheWrongClass) {
   Ref<AnsweringAdapter> adapter(new AnsweringAdapter());
   auto lease = Ormid::CreateStub<Quorl::HttpNfcLeaseStub>(
       MakeRef<Ormid::MoRef>(LeaseType(), "lease-1").GetPtr(), adapter.GetPtr());

   // A null array result is an empty array (null and unset arguments: the generated conformance tests).
   Ref<Ormid::DataArray<HttpNfcLease::ProbeResult>> probed;
   lease->ProbeUrls(nullptr, Pellum::Optional<int>(), probed);
   ASSERT_TRUE(probed);
   EXPECT_EQ(probed->size(), 0u);

   // A result of the wrong class raises the type mismatch and leaves the out-parameter alone.
   Ref<HttpNfcLease::Info> info(new HttpNfcLease::Info());
   HttpNfcLease::Info* before = info.GetPtr();
   adapter->answer = Ormid::Box(7);
   EXPECT_THROW(lease->GetInfo(info), Pellum::TypeMismatchException);
   EXPECT_EQ(info.GetPtr(), before);
   Ref<Ormid::DataArray<HttpNfcLease::ManifestEntry>> manifest;
   EXPECT_THROW(lease->GetManifest(manifest), Pellum::TypeMismatchException);
   EXPECT_FALSE(manifest);
   EXPECT_THROW(lease->GetMode(), Pellum::TypeMismatchException);

   // An optional plain result: unset for null, the value otherwise.
   auto vrp = Ormid::CreateStub<Quorl::VRPResourceManagerStub>(
       new Ormid::MoRef(Ormid::GetMoType<Quorl::VRPResourceManager>(), "vrp-1"), adapter.GetPtr());
   adapter->answer = nullptr;
   EXPECT_FALSE(vrp->GetVRPofVM(nullptr).IsSet());
   adapter->answer = Ormid::Box(std::string("vrp-1"));
   EXPECT_EQ(vrp->GetVRPofVM(nullptr).GetValue(), "vrp-1");
}

} // namespace
