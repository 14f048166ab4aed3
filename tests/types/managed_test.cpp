// Generated managed types: descriptors and their records, method-object tables, property lookup, the
// dispatchers (driven with a local implementation of quorl.HttpNfcLease) and the client stubs (driven end
// to end through the loopback adapter against that implementation).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ormid/Loopback.h"
#include "ormid/ManagedType.h"
#include "ormid/Registry.h"
#include "quorl/ExtensibleManagedObject.h"
#include "quorl/HttpNfcLease.h"
#include "quorl/HttpNfcLeaseStub.h"
#include "quorl/KeyValue.h"
#include "quorl/ManagedEntity.h"
#include "quorl/Packages.h"
#include "quorl/ResourcePool.h"
#include "quorl/ResourcePoolStub.h"
#include "quorl/VRPResourceManagerStub.h"
#include "quorl/VirtualMachineStub.h"
#include "quorl/fault/HttpFault.h"
#include "quorl/fault/InvalidState.h"
#include "quorl/fault/SSLVerifyFault.h"
#include "quorl/fault/Timedout.h"

namespace {

using Pellum::Ref;
using Pellum::System::ScheduledItem;
using Quorl::HttpNfcLease;

constexpr uint32_t kNoProperty = 0xFFFFFFFFu;
constexpr std::chrono::seconds kWait(20);

// A local lease: what the dispatcher and, behind the loopback adapter, the stub talk to. It records what
// it receives; Progress with a negative value raises the declared fault Timedout, Complete on a lease
// that is already done raises InvalidState.
class LeaseImpl : public virtual HttpNfcLease {
public:
   explicit LeaseImpl(const std::string& id) : _ref(new Ormid::MoRef(Ormid::GetMoType<HttpNfcLease>(), id)) {}

   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}

   int GetInitializeProgress() override {
      ++calls;
      return 100;
   }
   int GetTransferProgress() override {
      ++calls;
      return percent.load();
   }
   std::string GetMode() override {
      ++calls;
      return MODE_PULL;
   }
   void GetCapabilities(Ref<Capabilities>& out) override {
      ++calls;
      out = capabilities;
   }
   void GetInfo(Ref<Info>& out) override {
      ++calls;
      out = info;
   }
   State GetState() override {
      ++calls;
      return state.load();
   }
   void GetError(Ref<Ormid::MethodFault>& out) override {
      ++calls;
      out = error;
   }
   void GetManifest(Ref<Ormid::DataArray<ManifestEntry>>& result) override {
      ++calls;
      result = manifest;
   }
   void SetManifestChecksumType(Ormid::DataArray<Quorl::KeyValue>* types) override {
      ++calls;
      checksumTypes = types;
   }
   void Complete() override {
      ++calls;
      if (state.exchange(State::done) == State::done) {
         Ref<Quorl::Fault::InvalidState>(new Quorl::Fault::InvalidState())->Throw();
      }
   }
   void Abort(Ormid::MethodFault* fault) override {
      ++calls;
      aborted = true;
      abortFault = fault;
   }
   void Progress(int value) override {
      ++calls;
      if (value < 0) {
         Ref<Quorl::Fault::Timedout>(new Quorl::Fault::Timedout())->Throw();
      }
      percent = value;
   }
   void PullFromUrls(Ormid::DataArray<SourceFile>* files, Ref<Ormid::MoRef>& task) override {
      ++calls;
      task = new Ormid::MoRef("quorl.Task", "pull-" + std::to_string(files == nullptr ? 0 : files->size()));
   }
   void ProbeUrls(Ormid::DataArray<SourceFile>* files, const Pellum::Optional<int>& timeout,
                  Ref<Ormid::DataArray<ProbeResult>>& result) override {
      ++calls;
      probeFiles = files;
      probeTimeout = timeout;
      result = probeAnswer;
   }

   std::atomic<int> calls{0};
   std::atomic<int> percent{0};
   std::atomic<State> state{State::initializing};
   Ref<Capabilities> capabilities;
   Ref<Info> info;
   Ref<Ormid::MethodFault> error;
   Ref<Ormid::DataArray<ManifestEntry>> manifest;
   Ref<Ormid::DataArray<Quorl::KeyValue>> checksumTypes;
   bool aborted = false;
   Ref<Ormid::MethodFault> abortFault;
   Ref<Ormid::DataArray<SourceFile>> probeFiles;
   Pellum::Optional<int> probeTimeout;
   Ref<Ormid::DataArray<ProbeResult>> probeAnswer;

private:
   Ref<Ormid::MoRef> _ref;
};

Ormid::ManagedObjectType* LeaseType() {
   return Ormid::GetMoType<HttpNfcLease>();
}

const Ormid::ManagedTypeInfo* LeaseDescriptor() {
   return LeaseType()->GetDescriptor();
}

uint32_t Lookup(const Ormid::ManagedTypeInfo* d, std::string_view name) {
   return d->propertyIndex(name.data(), static_cast<uint32_t>(name.size()));
}

// --- quorl.HttpNfcLease: the descriptor and its records --------------------------------------------------

const char* const kLeaseProperties[] = {
    "initializeProgress", "transferProgress", "mode", "capabilities", "info", "state", "error"};

TEST(ManagedDescriptor, HttpNfcLeaseHeaderPropertiesAndLookup) {
   const Ormid::ManagedTypeInfo* d = LeaseDescriptor();
   EXPECT_EQ(d->type, &gQuorlHttpNfcLeaseTypeInfo);
   EXPECT_EQ(d->base, &Ormid::gKoblManagedObjectTypeInfo);
   EXPECT_EQ(gQuorlHttpNfcLeaseTypeInfo.kind, 18u);
   EXPECT_STREQ(gQuorlHttpNfcLeaseTypeInfo.version, "quorl.version.version5");
   EXPECT_EQ(LeaseType()->GetBase(), nullptr);

   const Ormid::TypeInfo* types[] = {&Ormid::gIntTypeInfo,
                                     &Ormid::gIntTypeInfo,
                                     &Ormid::gStringTypeInfo,
                                     &gQuorlHttpNfcLeaseCapabilitiesTypeInfo,
                                     &gQuorlHttpNfcLeaseInfoTypeInfo,
                                     &gQuorlHttpNfcLeaseStateTypeInfo,
                                     &Ormid::gKoblMethodFaultTypeInfo};
   const uint32_t flags[] = {4, 4, 4, 4, 6, 4, 6};
   const char* versions[] = {"version5", "version12", "version12", "version12",
                             "version5", "version5",  "version5"};
   for (uint32_t i = 0; i < 7; ++i) {
      const Ormid::PropertyRecord& p = d->properties[i];
      EXPECT_STREQ(p.name, kLeaseProperties[i]);
      EXPECT_EQ(p.type, types[i]) << p.name;
      EXPECT_EQ(p.flags, flags[i]) << p.name;
      EXPECT_EQ(p.privilegeId, nullptr) << p.name;
      EXPECT_EQ(p.version, std::string("quorl.version.") + versions[i]) << p.name;
      EXPECT_EQ(Lookup(d, kLeaseProperties[i]), i);
      EXPECT_EQ(LeaseType()->PropertyIndex(kLeaseProperties[i]), i);
   }
   EXPECT_EQ(d->properties[7].type, nullptr);

   // Whole-length, case-sensitive: prefixes, extensions, other cases and method names are not properties.
   for (const char* other : {"stat", "states", "", "State", "infoX", "inf", "getManifest",
                             "initializeprogress", "transferProgres", "errors", "modes"}) {
      EXPECT_EQ(Lookup(d, other), kNoProperty) << '"' << other << '"';
   }
   // The length decides, not a terminating zero: "state" cut to four characters is no property.
   EXPECT_EQ(d->propertyIndex("stateX", 5), 5u);
   EXPECT_EQ(d->propertyIndex("state", 4), kNoProperty);
}

struct ParamRow {
   const Ormid::TypeInfo* type;
   uint32_t flags;
   const char* name;
   const char* version;
};

struct MethodRow {
   const char* name;
   const char* wsdlName;
   const char* constant;
   const Ormid::TypeInfo* result;
   uint32_t resultFlags;
   const char* resultVersion;
   std::vector<ParamRow> params;
   std::vector<const Ormid::TypeInfo*> faults;
   const char* privilege;
   const char* version;
   uint8_t flag2;
};

TEST(ManagedDescriptor, HttpNfcLeaseMethodRecords) {
   const char* v5 = "quorl.version.version5";
   const char* v12 = "quorl.version.version12";
   const char* v7020 = "quorl.version.v7_0_2_0";
   const char* none = "kobl.version.version0";
   const Ormid::TypeInfo* timedout = &gQuorlFaultTimedoutTypeInfo;
   const Ormid::TypeInfo* invalidState = &gQuorlFaultInvalidStateTypeInfo;
   const ParamRow files = {&gQuorlHttpNfcLeaseSourceFileTypeInfo, 3, "files", v12};
   const MethodRow rows[] = {
       {"getManifest",
        "HttpNfcLeaseGetManifest",
        HttpNfcLease::METHOD_GETMANIFEST,
        &gQuorlHttpNfcLeaseManifestEntryTypeInfo,
        3,
        "quorl.version.version6",
        {},
        {timedout, invalidState},
        nullptr,
        "quorl.version.version6",
        0},
       {"setManifestChecksumType",
        "HttpNfcLeaseSetManifestChecksumType",
        HttpNfcLease::METHOD_SETMANIFESTCHECKSUMTYPE,
        nullptr,
        0,
        none,
        {{&gQuorlKeyValueTypeInfo, 3, "deviceUrlsToChecksumTypes", v12}},
        {invalidState},
        nullptr,
        v12,
        0},
       {"complete",
        "HttpNfcLeaseComplete",
        HttpNfcLease::METHOD_COMPLETE,
        nullptr,
        0,
        none,
        {},
        {timedout, invalidState},
        nullptr,
        v5,
        0},
       {"abort",
        "HttpNfcLeaseAbort",
        HttpNfcLease::METHOD_ABORT,
        nullptr,
        0,
        none,
        {{&Ormid::gKoblMethodFaultTypeInfo, 2, "fault", v5}},
        {timedout, invalidState},
        nullptr,
        v5,
        0},
       {"progress",
        "HttpNfcLeaseProgress",
        HttpNfcLease::METHOD_PROGRESS,
        nullptr,
        0,
        none,
        {{&Ormid::gIntTypeInfo, 0, "percent", v5}},
        {timedout},
        nullptr,
        v5,
        0},
       {"pullFromUrls",
        "HttpNfcLeasePullFromUrls_Task",
        HttpNfcLease::METHOD_PULLFROMURLS,
        nullptr,
        0,
        none,
        {files},
        {invalidState, &gQuorlFaultHttpFaultTypeInfo, &gQuorlFaultSSLVerifyFaultTypeInfo},
        "dynamic",
        v12,
        1},
       {"probeUrls",
        "HttpNfcLeaseProbeUrls",
        HttpNfcLease::METHOD_PROBEURLS,
        &gQuorlHttpNfcLeaseProbeResultTypeInfo,
        3,
        v7020,
        {{files.type, 3, "files", v7020}, {&Ormid::gIntTypeInfo, 2, "timeout", v7020}},
        {invalidState},
        nullptr,
        v7020,
        0},
   };
   const Ormid::ManagedMethodInfo* methods = LeaseDescriptor()->methods;
   for (std::size_t i = 0; i < std::size(rows); ++i) {
      const MethodRow& want = rows[i];
      const Ormid::ManagedMethodInfo& m = methods[i];
      SCOPED_TRACE(want.name);
      EXPECT_STREQ(m.name, want.name);
      EXPECT_STREQ(m.wsdlName, want.wsdlName);
      EXPECT_STREQ(m.privilegeId, want.privilege);
      EXPECT_EQ(m.typePrivileges, nullptr);
      EXPECT_EQ(m.result.type, want.result);
      EXPECT_EQ(m.result.flags, want.resultFlags);
      EXPECT_STREQ(m.result.name, "result");
      EXPECT_EQ(m.result.privilegeId, nullptr);
      EXPECT_STREQ(m.result.version, want.resultVersion);
      for (std::size_t k = 0; k < want.params.size(); ++k) {
         EXPECT_EQ(m.params[k].type, want.params[k].type);
         EXPECT_EQ(m.params[k].flags, want.params[k].flags);
         EXPECT_STREQ(m.params[k].name, want.params[k].name);
         EXPECT_EQ(m.params[k].privilegeId, nullptr);
         EXPECT_STREQ(m.params[k].version, want.params[k].version);
      }
      ASSERT_NE(m.params, nullptr) << "a method without parameters still has the terminator";
      EXPECT_EQ(m.params[want.params.size()].type, nullptr);
      ASSERT_NE(m.faults, nullptr) << "a method without faults still has the terminator";
      for (std::size_t k = 0; k < want.faults.size(); ++k) {
         EXPECT_EQ(m.faults[k], want.faults[k]) << "fault " << k;
      }
      EXPECT_EQ(m.faults[want.faults.size()], nullptr);
      EXPECT_STREQ(m.version, want.version);
      EXPECT_EQ(m.feature, nullptr);
      EXPECT_EQ(m.flag1, 0);
      EXPECT_EQ(m.flag2, want.flag2);
      EXPECT_EQ(m.flag3, 0);
      // The name constant is the text the runtime derives for the method object in slot i.
      EXPECT_EQ(std::string(want.constant), std::string("quorl.HttpNfcLease.") + want.name);
      ASSERT_NE(gQuorlHttpNfcLeaseMethodObjects[i], nullptr);
      EXPECT_EQ(gQuorlHttpNfcLeaseMethodObjects[i]->GetFullName(), want.constant);
   }
   EXPECT_EQ(methods[std::size(rows)].name, nullptr);
}

TEST(ManagedDescriptor, HttpNfcLeaseMethodObjectTable) {
   Ormid::ManagedObjectType* type = LeaseType();
   ASSERT_EQ(LeaseDescriptor()->methodObjects, gQuorlHttpNfcLeaseMethodObjects);
   ASSERT_EQ(std::size(gQuorlHttpNfcLeaseMethodObjects), 15u);
   EXPECT_EQ(type->GetOwnMethodCount(), 7u);
   EXPECT_EQ(type->GetOwnPropertyCount(), 7u);
   for (std::size_t i = 0; i < 14; ++i) {
      Ormid::ManagedMethod* m = gQuorlHttpNfcLeaseMethodObjects[i];
      ASSERT_NE(m, nullptr) << "slot " << i;
      EXPECT_EQ(m, type->GetMethodObject(i));
      EXPECT_EQ(m->GetIndex(), static_cast<int>(i));
      EXPECT_EQ(m->GetOwner(), type);
      EXPECT_EQ(m->IsProperty(), i >= 7) << "slot " << i;
   }
   EXPECT_STREQ(gQuorlHttpNfcLeaseMethodObjects[7]->GetName(), "initializeProgress");
   EXPECT_STREQ(gQuorlHttpNfcLeaseMethodObjects[13]->GetName(), "error");
   EXPECT_TRUE(gQuorlHttpNfcLeaseMethodObjects[5]->IsTask());
   EXPECT_EQ(gQuorlHttpNfcLeaseMethodObjects[14], nullptr);
}

// --- quorl.ManagedEntity and derived types ---------------------------------------------------------------

TEST(ManagedDescriptor, RenameAndDestroyOfManagedEntityCarryTypePrivileges) {
   Ormid::ManagedObjectType* entity = Ormid::GetMoType<Quorl::ManagedEntity>();
   ASSERT_NE(entity, nullptr);
   struct Expect {
      const char* method;
      const char* operation;
      std::size_t pairs;
      const char* firstType;
      const char* firstPrivilege;
      const char* lastType;
      const char* lastPrivilege;
   };
   const Expect expects[] = {
       {"rename", "Rename_Task", 12, "quorl.VirtualApp", "Pakt.Rename", "quorl.Folder", "Folder.Rename"},
       {"destroy", "Destroy_Task", 14, "quorl.ComputeResource", "Host.Inventory.RemoveHostFromCluster",
        "quorl.dvs.DistributedVirtualPortgroup", "DVPortgroup.Delete"},
   };
   for (const Expect& e : expects) {
      SCOPED_TRACE(e.method);
      Ormid::ManagedMethod* method = entity->FindMethod(e.method);
      ASSERT_NE(method, nullptr);
      ASSERT_EQ(method->GetOwner(), entity);
      const Ormid::ManagedMethodInfo* info = method->GetMethodInfo();
      EXPECT_STREQ(info->wsdlName, e.operation);
      EXPECT_EQ(info->privilegeId, nullptr);
      ASSERT_NE(info->typePrivileges, nullptr);
      std::size_t n = 0;
      while (info->typePrivileges[n].typeName != nullptr) {
         EXPECT_NE(info->typePrivileges[n].privilegeId, nullptr);
         ++n;
      }
      EXPECT_EQ(info->typePrivileges[n].privilegeId, nullptr) << "the list ends with a pair of nulls";
      ASSERT_EQ(n, e.pairs);
      EXPECT_STREQ(info->typePrivileges[0].typeName, e.firstType);
      EXPECT_STREQ(info->typePrivileges[0].privilegeId, e.firstPrivilege);
      EXPECT_STREQ(info->typePrivileges[n - 1].typeName, e.lastType);
      EXPECT_STREQ(info->typePrivileges[n - 1].privilegeId, e.lastPrivilege);
      EXPECT_STREQ(method->GetPrivilegeFor(e.firstType), e.firstPrivilege);
      EXPECT_STREQ(method->GetPrivilegeFor("quorl.Network"), "System.Read");
      EXPECT_EQ(method->GetPrivilegeFor("quorl.HttpNfcLease"), nullptr);
   }
   EXPECT_STREQ(entity->FindMethod("rename")->GetPrivilegeFor("quorl.StoragePod"), nullptr);
   EXPECT_STREQ(entity->FindMethod("destroy")->GetPrivilegeFor("quorl.StoragePod"), "Folder.Delete");
}

TEST(ManagedDescriptor, DerivedTypesPointToTheirBasesAndLookupsAnswerTheRegistry) {
   Ormid::TypeRegistry& registry = Ormid::TypeRegistry::Get();
   Ormid::ManagedObjectType* pool = Ormid::GetMoType<Quorl::ResourcePool>();
   Ormid::ManagedObjectType* entity = Ormid::GetMoType<Quorl::ManagedEntity>();
   Ormid::ManagedObjectType* extensible = Ormid::GetMoType<Quorl::ExtensibleManagedObject>();
   ASSERT_NE(pool, nullptr);
   EXPECT_EQ(pool, registry.FindByName("quorl.ResourcePool"));
   EXPECT_EQ(pool, registry.FindByHeader(&gQuorlResourcePoolTypeInfo));
   EXPECT_EQ(entity, registry.FindByName("quorl.ManagedEntity"));
   EXPECT_EQ(extensible, registry.FindByName("quorl.ExtensibleManagedObject"));
   EXPECT_EQ(LeaseType(), registry.FindByName("quorl.HttpNfcLease"));

   EXPECT_EQ(pool->GetDescriptor()->base, &gQuorlManagedEntityTypeInfo);
   EXPECT_EQ(entity->GetDescriptor()->base, &gQuorlExtensibleManagedObjectTypeInfo);
   EXPECT_EQ(extensible->GetDescriptor()->base, &Ormid::gKoblManagedObjectTypeInfo);
   EXPECT_EQ(pool->GetBase(), entity);
   EXPECT_EQ(entity->GetBase(), extensible);
   EXPECT_EQ(extensible->GetBase(), nullptr);
   EXPECT_TRUE(pool->IsA(extensible));

   // Inherited members belong to the base's table: a pool finds rename in the entity's descriptor, and
   // its own table holds only its own members.
   Ormid::ManagedMethod* rename = pool->FindMethod("rename");
   ASSERT_NE(rename, nullptr);
   EXPECT_EQ(rename->GetOwner(), entity);
   EXPECT_EQ(rename, gQuorlManagedEntityMethodObjects[rename->GetIndex()]);
   EXPECT_EQ(pool->GetMethodObject(0)->GetOwner(), pool);
}

// --- Every managed type of the library -------------------------------------------------------------------

std::vector<Ormid::ManagedObjectType*> LibraryManagedTypes() {
   std::vector<Ormid::ManagedObjectType*> out;
   for (Ormid::Type* t : Ormid::TypeRegistry::Get().GetTypes()) {
      if (t->GetKind() == Ormid::KindManaged && std::string_view(t->GetName()).substr(0, 6) == "quorl.") {
         auto* managed = dynamic_cast<Ormid::ManagedObjectType*>(t);
         EXPECT_NE(managed, nullptr) << t->GetName();
         if (managed != nullptr) {
            out.push_back(managed);
         }
      }
   }
   return out;
}

// Record rules every descriptor keeps; each type's stub factory builds a stub of that type; each
// dispatcher refuses a target of another type before reaching it.
TEST(ManagedDescriptor, EveryTypeFollowsTheRecordRules) {
   std::vector<Ormid::ManagedObjectType*> types = LibraryManagedTypes();
   int expected = 0;
   for (int i = 0; i < Quorl::kPackageCount; ++i) {
      expected += Quorl::packages[i].managedTypes;
   }
   ASSERT_EQ(static_cast<int>(types.size()), expected);

   Ref<Ormid::LoopbackAdapter> adapter(new Ormid::LoopbackAdapter(1));
   Ref<LeaseImpl> lease(new LeaseImpl("lease-any"));
   Ref<Ormid::MoRef> poolRef(new Ormid::MoRef(Ormid::GetMoType<Quorl::ResourcePool>(), "pool-1"));
   Ref<Quorl::ResourcePool> poolStub = adapter->GetStub<Quorl::ResourcePool>(poolRef.GetPtr());
   for (Ormid::ManagedObjectType* type : types) {
      const Ormid::ManagedTypeInfo* d = type->GetDescriptor();
      SCOPED_TRACE(type->GetName());
      EXPECT_EQ(d->type, type->GetHeader());
      std::size_t p = 0;
      while (d->properties[p].type != nullptr) {
         const Ormid::PropertyRecord& prop = d->properties[p];
         EXPECT_NE(prop.flags & 0x4u, 0u) << prop.name;
         const std::string name = prop.name;
         EXPECT_EQ(Lookup(d, name), p) << name;
         EXPECT_EQ(Lookup(d, name + "x"), kNoProperty) << name;
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
         EXPECT_STREQ(method.result.name, "result");
         if (method.result.type == nullptr) {
            EXPECT_STREQ(method.result.version, "kobl.version.version0");
            EXPECT_EQ(method.result.flags, 0u);
         }
         const std::string_view operation = method.wsdlName;
         if (method.flag2 != 0) {
            EXPECT_TRUE(operation.ends_with("_Task")) << operation;
         }
         if (method.typePrivileges != nullptr) {
            EXPECT_EQ(method.privilegeId, nullptr);
         }
         if (p > 0 && type->FindProperty(method.name) == nullptr) {
            EXPECT_EQ(Lookup(d, method.name), kNoProperty);
         }
         ++m;
      }
      ASSERT_EQ(type->GetOwnMethodCount(), m);
      ASSERT_EQ(type->GetOwnPropertyCount(), p);
      for (std::size_t i = 0; i < m + p; ++i) {
         EXPECT_EQ(d->methodObjects[i], type->GetMethodObject(i)) << "slot " << i;
      }
      EXPECT_EQ(d->methodObjects[m + p], nullptr);

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
          type == LeaseType() ? static_cast<Ormid::ManagedObject*>(poolStub.GetPtr()) : lease.GetPtr();
      Ormid::ArgumentList args(8);
      Ref<Ormid::Any> result = Ormid::Box(1);
      EXPECT_THROW(d->dispatch(foreign, 0, args, result), Pellum::TypeMismatchException);
      EXPECT_FALSE(result) << "the result is released before anything else";
   }
   EXPECT_EQ(lease->calls.load(), 0);
}

// --- Dispatch onto a local implementation -----------------------------------------------------------------

class LeaseDispatch : public ::testing::Test {
protected:
   void Dispatch(int index, Ormid::ArgumentList args) {
      LeaseDescriptor()->dispatch(lease.GetPtr(), index, args, result);
   }

   Ref<LeaseImpl> lease{new LeaseImpl("lease-d")};
   Ref<Ormid::Any> result;
};

TEST_F(LeaseDispatch, SlotsReachTheirMembersAndBoxTheOutcome) {
   Dispatch(4, {Ormid::Box(50)});
   EXPECT_EQ(lease->percent.load(), 50);
   EXPECT_FALSE(result);

   Dispatch(8, {});
   ASSERT_NE(dynamic_cast<Ormid::Primitive<int>*>(result.GetPtr()), nullptr);
   EXPECT_EQ(Ormid::Unbox<int>(result.GetPtr()), 50);
   Dispatch(9, {});
   EXPECT_EQ(Ormid::Unbox<std::string>(result.GetPtr()), "pull");
   lease->state = HttpNfcLease::State::ready;
   Dispatch(12, {});
   ASSERT_NE(dynamic_cast<Ormid::Primitive<HttpNfcLease::State>*>(result.GetPtr()), nullptr);
   EXPECT_EQ(Ormid::Unbox<HttpNfcLease::State>(result.GetPtr()), HttpNfcLease::State::ready);

   // Object results are the objects themselves; a getter answering null leaves the result null.
   Dispatch(11, {});
   EXPECT_FALSE(result);
   lease->info = new HttpNfcLease::Info();
   Dispatch(11, {});
   EXPECT_EQ(result.GetPtr(), lease->info.GetPtr());
   lease->manifest = new Ormid::DataArray<HttpNfcLease::ManifestEntry>();
   Dispatch(0, {});
   EXPECT_EQ(result.GetPtr(), lease->manifest.GetPtr());

   // A task method answers the task reference; the result held before is released first.
   Ref<Ormid::DataArray<HttpNfcLease::SourceFile>> files(new Ormid::DataArray<HttpNfcLease::SourceFile>());
   files->Append(Ref<HttpNfcLease::SourceFile>(new HttpNfcLease::SourceFile()));
   Dispatch(5, {files});
   auto* task = dynamic_cast<Ormid::MoRef*>(result.GetPtr());
   ASSERT_NE(task, nullptr);
   EXPECT_EQ(task->GetId(), "pull-1");
   EXPECT_EQ(lease->manifest->GetRefCount(), 1);

   // The same call through the runtime's method object.
   Ormid::ArgumentList args = {Ormid::Box(75)};
   gQuorlHttpNfcLeaseMethodObjects[4]->Dispatch(lease.GetPtr(), args, result);
   EXPECT_EQ(lease->percent.load(), 75);
}

TEST_F(LeaseDispatch, NullSlotsArriveAsNullAndUnset) {
   Ref<Quorl::Fault::Timedout> reason(new Quorl::Fault::Timedout());
   Dispatch(3, {reason});
   EXPECT_EQ(lease->abortFault.GetPtr(), reason.GetPtr());
   Dispatch(3, {Ref<Ormid::Any>()});
   EXPECT_TRUE(lease->aborted);
   EXPECT_FALSE(lease->abortFault);

   Ref<Ormid::DataArray<HttpNfcLease::SourceFile>> files(new Ormid::DataArray<HttpNfcLease::SourceFile>());
   Dispatch(6, {files, Ormid::Box(30)});
   ASSERT_TRUE(lease->probeTimeout.IsSet());
   EXPECT_EQ(lease->probeTimeout.GetValue(), 30);
   EXPECT_EQ(lease->probeFiles.GetPtr(), files.GetPtr());
   Dispatch(6, {files, Ref<Ormid::Any>()});
   EXPECT_FALSE(lease->probeTimeout.IsSet());
   EXPECT_FALSE(result) << "a null array result stays null on the serving side";
   Dispatch(1, {Ref<Ormid::Any>()});
   EXPECT_FALSE(lease->checksumTypes);
}

TEST_F(LeaseDispatch, WrongTargetsArgumentsAndSlotsAreRefused) {
   // A target that is a managed object but no lease.
   Ref<Ormid::LoopbackAdapter> adapter(new Ormid::LoopbackAdapter(1));
   Ref<Ormid::MoRef> poolRef(new Ormid::MoRef(Ormid::GetMoType<Quorl::ResourcePool>(), "pool-1"));
   Ref<Quorl::ResourcePool> pool = adapter->GetStub<Quorl::ResourcePool>(poolRef.GetPtr());
   Ormid::ArgumentList args = {Ormid::Box(5)};
   EXPECT_THROW(LeaseDescriptor()->dispatch(pool.GetPtr(), 4, args, result), Pellum::TypeMismatchException);
   EXPECT_THROW(LeaseDescriptor()->dispatch(nullptr, 4, args, result), Pellum::Exception);

   // Arguments of another class.
   EXPECT_THROW(Dispatch(4, {Ormid::Box(std::string("50"))}), Pellum::TypeMismatchException);
   EXPECT_THROW(Dispatch(3, {Ormid::Box(1)}), Pellum::TypeMismatchException);
   EXPECT_THROW(Dispatch(6, {Ref<Ormid::Any>(), Ormid::Box(std::string("30"))}),
                Pellum::TypeMismatchException);
   Ref<Ormid::DataArray<Quorl::KeyValue>> wrongArray(new Ormid::DataArray<Quorl::KeyValue>());
   EXPECT_THROW(Dispatch(5, {wrongArray}), Pellum::TypeMismatchException);

   // Slots outside the table, or fewer arguments than parameters.
   for (int index : {14, 15, -1, 1000}) {
      EXPECT_THROW(Dispatch(index, {}), Pellum::Exception) << index;
   }
   EXPECT_THROW(Dispatch(4, {}), Pellum::Exception);
   EXPECT_THROW(Dispatch(6, {Ref<Ormid::Any>()}), Pellum::Exception);
   EXPECT_EQ(lease->calls.load(), 0) << "no refused call reaches the implementation";
   EXPECT_EQ(lease->percent.load(), 0);

   // The runtime's own checks come first through the type object.
   args.clear();
   EXPECT_THROW(LeaseType()->Dispatch(lease.GetPtr(), 4, args, result),
                Ormid::Fault::InvalidRequest::Exception);
   args = {Ref<Ormid::Any>()};
   EXPECT_THROW(LeaseType()->Dispatch(lease.GetPtr(), 4, args, result),
                Ormid::Fault::InvalidArgument::Exception);
   EXPECT_THROW(LeaseType()->Dispatch(lease.GetPtr(), 14, args, result), Pellum::Exception);
   EXPECT_EQ(lease->calls.load(), 0);
}

// --- Stubs end to end through the loopback adapter -------------------------------------------------------

class LeaseStubs : public ::testing::Test {
protected:
   void SetUp() override {
      adapter->Register(lease.GetPtr());
      stub = adapter->GetStub<HttpNfcLease>(lease->_GetRef());
   }

   Quorl::HttpNfcLeaseStub& Async() { return dynamic_cast<Quorl::HttpNfcLeaseStub&>(*stub); }

   Ref<Ormid::LoopbackAdapter> adapter{new Ormid::LoopbackAdapter(2)};
   Ref<LeaseImpl> lease{new LeaseImpl("lease-s")};
   Ref<HttpNfcLease> stub;
};

TEST_F(LeaseStubs, CallsReachTheImplementationAndResultsComeBackConverted) {
   ASSERT_NE(dynamic_cast<Quorl::HttpNfcLeaseStub*>(stub.GetPtr()), nullptr);
   EXPECT_EQ(stub->_GetType(), LeaseType());
   EXPECT_TRUE(stub->_GetRef()->Equals(*lease->_GetRef()));

   stub->Progress(50);
   EXPECT_EQ(lease->percent.load(), 50);
   EXPECT_EQ(stub->GetTransferProgress(), 50);
   EXPECT_EQ(stub->GetInitializeProgress(), 100);
   EXPECT_EQ(stub->GetMode(), "pull");
   lease->state = HttpNfcLease::State::ready;
   EXPECT_EQ(stub->GetState(), HttpNfcLease::State::ready);

   // Null results: an array becomes a new empty array, an object stays null.
   Ref<Ormid::DataArray<HttpNfcLease::ManifestEntry>> manifest;
   stub->GetManifest(manifest);
   ASSERT_TRUE(manifest);
   EXPECT_EQ(manifest->size(), 0u);
   Ref<HttpNfcLease::Info> info(new HttpNfcLease::Info());
   stub->GetInfo(info);
   EXPECT_FALSE(info) << "the value held before is replaced by the null result";
   Ref<Ormid::MethodFault> error;
   stub->GetError(error);
   EXPECT_FALSE(error);
   Ref<Ormid::DataArray<HttpNfcLease::ProbeResult>> probed;
   stub->ProbeUrls(nullptr, Pellum::Optional<int>(), probed);
   ASSERT_TRUE(probed);
   EXPECT_EQ(probed->size(), 0u);
   EXPECT_FALSE(lease->probeTimeout.IsSet());

   // Set results arrive as the implementation's objects.
   lease->manifest = new Ormid::DataArray<HttpNfcLease::ManifestEntry>();
   lease->manifest->Append(Ref<HttpNfcLease::ManifestEntry>(new HttpNfcLease::ManifestEntry()));
   lease->info = new HttpNfcLease::Info();
   lease->capabilities = new HttpNfcLease::Capabilities();
   stub->GetManifest(manifest);
   EXPECT_EQ(manifest.GetPtr(), lease->manifest.GetPtr());
   stub->GetInfo(info);
   EXPECT_EQ(info.GetPtr(), lease->info.GetPtr());
   Ref<HttpNfcLease::Capabilities> capabilities;
   stub->GetCapabilities(capabilities);
   EXPECT_EQ(capabilities.GetPtr(), lease->capabilities.GetPtr());
   stub->ProbeUrls(nullptr, 12, probed);
   EXPECT_EQ(lease->probeTimeout.GetValue(), 12);

   // Arguments arrive as the caller's objects; a task method answers its task.
   Ref<Quorl::Fault::HttpFault> reason(new Quorl::Fault::HttpFault());
   stub->Abort(reason.GetPtr());
   EXPECT_EQ(lease->abortFault.GetPtr(), reason.GetPtr());
   stub->Abort(nullptr);
   EXPECT_FALSE(lease->abortFault);
   Ref<Ormid::DataArray<Quorl::KeyValue>> types(new Ormid::DataArray<Quorl::KeyValue>());
   stub->SetManifestChecksumType(types.GetPtr());
   EXPECT_EQ(lease->checksumTypes.GetPtr(), types.GetPtr());
   Ref<Ormid::DataArray<HttpNfcLease::SourceFile>> files(new Ormid::DataArray<HttpNfcLease::SourceFile>());
   files->Append(Ref<HttpNfcLease::SourceFile>(new HttpNfcLease::SourceFile()));
   files->Append(Ref<HttpNfcLease::SourceFile>(new HttpNfcLease::SourceFile()));
   Ref<Ormid::MoRef> task;
   stub->PullFromUrls(files.GetPtr(), task);
   ASSERT_TRUE(task);
   EXPECT_EQ(task->ToString(), "quorl.Task:pull-2");
}

TEST_F(LeaseStubs, DeclaredFaultsAreCaughtByTheirOwnClass) {
   try {
      stub->Progress(-1);
      FAIL() << "no fault";
   } catch (const Quorl::Fault::Timedout::Exception& e) {
      EXPECT_NE(dynamic_cast<Quorl::Fault::Timedout*>(e.GetFault()), nullptr);
      EXPECT_STREQ(e.what(), "Fault cause: quorl.fault.Timedout\n");
   }
   stub->Complete();
   try {
      stub->Complete();
      FAIL() << "no fault";
   } catch (const Quorl::Fault::Timedout::Exception&) {
      FAIL() << "caught as the wrong fault";
   } catch (const Quorl::Fault::QuorlFault::Exception& e) {
      EXPECT_NE(dynamic_cast<const Quorl::Fault::InvalidState::Exception*>(&e), nullptr);
   }
   EXPECT_EQ(lease->percent.load(), 0);
}

struct Outcome {
   std::mutex lock;
   int calls = 0;
   Ref<Ormid::Any> result;
   std::unique_ptr<Pellum::Exception> error;
   Ormid::CompletionFn Callback() {
      return [this](ScheduledItem*, Pellum::Exception* e, Ormid::Any* value) {
         std::lock_guard<std::mutex> guard(lock);
         ++calls;
         result = value;
         error.reset(e != nullptr ? e->Clone() : nullptr);
      };
   }
};

TEST_F(LeaseStubs, AsynchronousCallsReportThroughTheirCallback) {
   Outcome progress;
   Ref<ScheduledItem> item;
   Async().Progress(70, progress.Callback(), item);
   ASSERT_TRUE(item);
   ASSERT_TRUE(item->WaitFor(kWait));
   {
      std::lock_guard<std::mutex> guard(progress.lock);
      EXPECT_EQ(progress.calls, 1);
      EXPECT_FALSE(progress.error);
      EXPECT_FALSE(progress.result);
   }
   EXPECT_EQ(lease->percent.load(), 70);

   lease->state = HttpNfcLease::State::done;
   Outcome state;
   Async().GetState(state.Callback(), item);
   ASSERT_TRUE(item->WaitFor(kWait));
   {
      std::lock_guard<std::mutex> guard(state.lock);
      ASSERT_NE(dynamic_cast<Ormid::Primitive<HttpNfcLease::State>*>(state.result.GetPtr()), nullptr);
      EXPECT_EQ(Ormid::Unbox<HttpNfcLease::State>(state.result.GetPtr()), HttpNfcLease::State::done);
   }

   // A fault reaches the callback as an exception of its own class, which rethrows with that class.
   Outcome failed;
   Async().Progress(-5, failed.Callback(), item);
   ASSERT_TRUE(item->WaitFor(kWait));
   std::lock_guard<std::mutex> guard(failed.lock);
   ASSERT_TRUE(failed.error);
   EXPECT_FALSE(failed.result);
   EXPECT_NE(dynamic_cast<Quorl::Fault::Timedout::Exception*>(failed.error.get()), nullptr);
   EXPECT_THROW(failed.error->Throw(), Quorl::Fault::Timedout::Exception);
}

// --- What a stub hands to its adapter ---------------------------------------------------------------------

// An adapter that records each call and answers a preset value.
class RecordingAdapter : public Ormid::StubAdapter {
public:
   void Invoke(Ormid::MoRef*, Ormid::ManagedMethod* method, Ormid::ArgumentList& args,
               Ref<Ormid::Any>& result, Ormid::RequestContext*) override {
      this->method = method;
      this->args = args;
      result = answer;
   }
   void StartInvoke(Ormid::MoRef*, Ormid::ManagedMethod* method, Ormid::ArgumentList& args,
                    const Ormid::CompletionFn& done, Ref<ScheduledItem>& item,
                    Ormid::RequestContext*) override {
      this->method = method;
      this->args = args;
      item = new ScheduledItem();
      if (done) {
         done(item.GetPtr(), nullptr, answer.GetPtr());
      }
      item->Complete();
   }

   Ormid::ManagedMethod* method = nullptr;
   Ormid::ArgumentList args;
   Ref<Ormid::Any> answer;
};

template <class Stub> Ref<Stub> MakeStub(Ormid::ManagedObjectType* type, Ormid::StubAdapter* adapter) {
   Ref<Ormid::MoRef> ref(new Ormid::MoRef(type, "object-1"));
   Ref<Ormid::StubImpl> impl = type->CreateStub(ref.GetPtr(), adapter, nullptr);
   Stub* stub = dynamic_cast<Stub*>(impl.GetPtr());
   EXPECT_NE(stub, nullptr) << type->GetName();
   return Ref<Stub>(stub);
}

TEST(StubCalls, ArgumentSlotsMethodObjectsAndResultConversion) {
   Ref<RecordingAdapter> adapter(new RecordingAdapter());
   Ref<Quorl::HttpNfcLeaseStub> lease = MakeStub<Quorl::HttpNfcLeaseStub>(LeaseType(), adapter.GetPtr());

   lease->Progress(50);
   EXPECT_EQ(adapter->method, gQuorlHttpNfcLeaseMethodObjects[4]);
   ASSERT_EQ(adapter->args.size(), 1u);
   ASSERT_NE(dynamic_cast<Ormid::Primitive<int>*>(adapter->args[0].GetPtr()), nullptr);
   EXPECT_EQ(Ormid::Unbox<int>(adapter->args[0].GetPtr()), 50);

   lease->Abort(nullptr);
   EXPECT_EQ(adapter->method, gQuorlHttpNfcLeaseMethodObjects[3]);
   ASSERT_EQ(adapter->args.size(), 1u);
   EXPECT_FALSE(adapter->args[0]);

   Ref<Ormid::DataArray<HttpNfcLease::SourceFile>> files(new Ormid::DataArray<HttpNfcLease::SourceFile>());
   Ref<Ormid::DataArray<HttpNfcLease::ProbeResult>> probed;
   lease->ProbeUrls(files.GetPtr(), Pellum::Optional<int>(), probed);
   EXPECT_EQ(adapter->method, gQuorlHttpNfcLeaseMethodObjects[6]);
   ASSERT_EQ(adapter->args.size(), 2u);
   EXPECT_EQ(adapter->args[0].GetPtr(), files.GetPtr());
   EXPECT_FALSE(adapter->args[1]);
   ASSERT_TRUE(probed);
   EXPECT_EQ(probed->size(), 0u);

   // Getters use the slots after the methods.
   adapter->answer = Ormid::Box(std::string("pushOrGet"));
   EXPECT_EQ(lease->GetMode(), "pushOrGet");
   EXPECT_EQ(adapter->method, gQuorlHttpNfcLeaseMethodObjects[9]);
   EXPECT_TRUE(adapter->args.empty());

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

   // The asynchronous form names the same method object and hands the answer on unconverted.
   Outcome outcome;
   Ref<ScheduledItem> item;
   lease->GetTransferProgress(outcome.Callback(), item);
   ASSERT_TRUE(item);
   EXPECT_TRUE(item->IsDone());
   EXPECT_EQ(adapter->method, gQuorlHttpNfcLeaseMethodObjects[8]);
   EXPECT_EQ(outcome.result.GetPtr(), adapter->answer.GetPtr());
}

TEST(StubCalls, BooleansShareBoxesOptionalsAndInheritedMembers) {
   Ref<RecordingAdapter> adapter(new RecordingAdapter());
   Ref<Quorl::VirtualMachineStub> vm =
       MakeStub<Quorl::VirtualMachineStub>(Ormid::GetMoType<Quorl::VirtualMachine>(), adapter.GetPtr());
   Ref<Ormid::MoRef> snapshotTask(new Ormid::MoRef("quorl.Task", "task-9"));
   adapter->answer = snapshotTask;
   Ref<Ormid::MoRef> task;
   vm->CreateSnapshot("before-upgrade", Pellum::Optional<std::string>(), false, true, task);
   EXPECT_EQ(adapter->method, gQuorlVirtualMachineMethodObjects[3]);
   ASSERT_EQ(adapter->args.size(), 4u);
   EXPECT_EQ(Ormid::Unbox<std::string>(adapter->args[0].GetPtr()), "before-upgrade");
   EXPECT_FALSE(adapter->args[1]);
   EXPECT_EQ(adapter->args[2].GetPtr(), Ormid::Primitive<bool>::Factory::sFalse);
   EXPECT_EQ(adapter->args[3].GetPtr(), Ormid::Primitive<bool>::Factory::sTrue);
   EXPECT_EQ(task.GetPtr(), snapshotTask.GetPtr()) << "a task method answers the task, not the snapshot";
   vm->CreateSnapshot("again", std::string("nightly"), true, true, task);
   EXPECT_EQ(Ormid::Unbox<std::string>(adapter->args[1].GetPtr()), "nightly");
   EXPECT_EQ(adapter->args[2].GetPtr(), adapter->args[3].GetPtr());

   // A member inherited from quorl.ManagedEntity names the entity's method object.
   Ref<Quorl::ResourcePoolStub> pool =
       MakeStub<Quorl::ResourcePoolStub>(Ormid::GetMoType<Quorl::ResourcePool>(), adapter.GetPtr());
   Ormid::ManagedMethod* rename = Ormid::GetMoType<Quorl::ManagedEntity>()->FindMethod("rename");
   pool->Rename("pool-2", task);
   EXPECT_EQ(adapter->method, rename);
   EXPECT_EQ(adapter->method, gQuorlManagedEntityMethodObjects[rename->GetIndex()]);
   Ref<ScheduledItem> item;
   pool->Rename("pool-3", Ormid::CompletionFn(), item);
   EXPECT_EQ(adapter->method, rename);
   EXPECT_EQ(Ormid::Unbox<std::string>(adapter->args[0].GetPtr()), "pool-3");

   // An optional plain result: unset for null, the value otherwise.
   Ref<Quorl::VRPResourceManagerStub> vrp = MakeStub<Quorl::VRPResourceManagerStub>(
       Ormid::GetMoType<Quorl::VRPResourceManager>(), adapter.GetPtr());
   adapter->answer = nullptr;
   EXPECT_FALSE(vrp->GetVRPofVM(nullptr).IsSet());
   ASSERT_EQ(adapter->args.size(), 1u);
   EXPECT_FALSE(adapter->args[0]);
   adapter->answer = Ormid::Box(std::string("vrp-1"));
   EXPECT_EQ(vrp->GetVRPofVM(nullptr).GetValue(), "vrp-1");
}

} // namespace
