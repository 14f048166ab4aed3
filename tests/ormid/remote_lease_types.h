// Two small managed types and one fault, written by hand the way the type library's generator emits them:
// type headers, descriptor records filled by a static initialiser, property lookup, dispatchers, stub
// factories, method-object tables, interfaces, stubs and the fault class with its exception.
//
//   rtest.Entity (root)           properties name: string, parent: rtest.Entity (optional)
//                                 method rename(newName: string) -> task            "Rename_Task"
//   rtest.Lease : rtest.Entity    properties percentDone: int, mode: string, peers: rtest.Entity[]
//   (optional),
//                                 error: kobl.MethodFault (optional)
//                                 methods progress, probe, describe, findPeer, abort, pullFromUrls, count
//   rtest.fault.LeaseExpired : kobl.fault.InvalidArgument    leaseKey: string
//
// The base rtest.Entity is in a package that registers after the one holding rtest.Lease, so the runtime
// has to resolve the base lazily.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "ormid/Array.h"
#include "ormid/FieldAccess.h"
#include "ormid/ManagedObject.h"
#include "ormid/ManagedType.h"
#include "ormid/MethodFault.h"
#include "ormid/MoRef.h"
#include "ormid/Primitive.h"
#include "ormid/Registry.h"
#include "ormid/Stub.h"
#include "pellum/Optional.h"
#include "pellum/Ref.h"
#include "pellum/System/ScheduledItem.h"

// --- Type headers ----------------------------------------------------------------------------------------

inline const Ormid::TypeInfo gRTestEntityTypeInfo = {Ormid::KindManaged, "rtest.Entity", "Entity",
                                                     "rtest.version.v1"};
inline const Ormid::TypeInfo gRTestLeaseTypeInfo = {Ormid::KindManaged, "rtest.Lease", "Lease",
                                                    "rtest.version.v1"};
inline const Ormid::TypeInfo gRTestFaultLeaseExpiredTypeInfo = {Ormid::KindFault, "rtest.fault.LeaseExpired",
                                                                "LeaseExpired", "rtest.version.v1"};

namespace RTest {
class Entity;
class Lease;
namespace Fault {
class LeaseExpired;
}
} // namespace RTest

template <> inline Ormid::ManagedObjectType* Ormid::GetMoType<RTest::Entity>();
template <> inline Ormid::ManagedObjectType* Ormid::GetMoType<RTest::Lease>();
template <> inline Ormid::DataObjectType* Ormid::GetDoType<RTest::Fault::LeaseExpired>();

// Method-object tables: methods, properties, one null slot.
inline Ormid::ManagedMethod* gRTestEntityMethodObjects[1 + 2 + 1];
inline Ormid::ManagedMethod* gRTestLeaseMethodObjects[7 + 4 + 1];

// --- Fault ----------------------------------------------------------------------------------------------

namespace RTest::Fault {

class LeaseExpired : public Ormid::Fault::InvalidArgument {
public:
   ORMID_FAULT_EXCEPTION(Ormid::Fault::InvalidArgument)

   LeaseExpired() = default;
   explicit LeaseExpired(std::string leaseKey) : leaseKey(std::move(leaseKey)) {}
   LeaseExpired(const LeaseExpired& other) = default;
   ~LeaseExpired() override = default;

   Ormid::Type* _GetType() const override { return Ormid::GetDoType<LeaseExpired>(); }
   Ormid::Any* _Clone() const override { return new LeaseExpired(*this); }
   bool _IsEqual(const Ormid::Any* other, bool pattern) const override {
      const LeaseExpired* o = dynamic_cast<const LeaseExpired*>(other);
      return o != nullptr && Ormid::Fault::InvalidArgument::_IsEqual(other, pattern) &&
             leaseKey == o->leaseKey;
   }
   Ormid::DataObjectType* _GetDataType() const override { return Ormid::GetDoType<LeaseExpired>(); }
   void ThrowInternal() const override { throw Exception(const_cast<LeaseExpired*>(this)); }
   Exception* CreateException() const override { return new Exception(const_cast<LeaseExpired*>(this)); }

   std::string leaseKey;
};

} // namespace RTest::Fault

namespace RTestDetail {

inline Ormid::PropertyRecord gLeaseExpiredProperties[1 + 1];

inline void LeaseExpiredGetField(Ormid::DynamicData* obj, int index, void* out) {
   auto* self = static_cast<RTest::Fault::LeaseExpired*>(obj);
   switch (index) {
   case 0:
      Ormid::Field::GetValue(self->leaseKey, out);
      break;
   }
}
inline void* LeaseExpiredGetFieldPtr(Ormid::DynamicData* obj, int index) {
   auto* self = static_cast<RTest::Fault::LeaseExpired*>(obj);
   switch (index) {
   case 0:
      return Ormid::Field::ValuePtr(self->leaseKey);
   }
   return nullptr;
}
inline void LeaseExpiredSetField(Ormid::DynamicData* obj, int index, const void* in) {
   auto* self = static_cast<RTest::Fault::LeaseExpired*>(obj);
   switch (index) {
   case 0:
      Ormid::Field::SetValue(self->leaseKey, in);
      break;
   }
}
inline void LeaseExpiredSwapField(Ormid::DynamicData* obj, int index, void* io) {
   auto* self = static_cast<RTest::Fault::LeaseExpired*>(obj);
   switch (index) {
   case 0:
      Ormid::Field::SwapValue(self->leaseKey, io);
      break;
   }
}
inline bool LeaseExpiredIsSet(const Ormid::DynamicData*, int) {
   return true;
}

inline const Ormid::DataTypeInfo gLeaseExpiredDescriptor = {
    &gRTestFaultLeaseExpiredTypeInfo,
    &gKoblFaultInvalidArgumentTypeInfo,
    gLeaseExpiredProperties,
    LeaseExpiredGetField,
    LeaseExpiredGetFieldPtr,
    LeaseExpiredSetField,
    LeaseExpiredSwapField,
    LeaseExpiredIsSet,
    nullptr,
    []() -> Ormid::DynamicData* { return new RTest::Fault::LeaseExpired(); },
    []() -> Ormid::DataArrayBase* { return new Ormid::DataArray<RTest::Fault::LeaseExpired>(); },
    0,
};

} // namespace RTestDetail

// --- Interfaces ------------------------------------------------------------------------------------------

namespace RTest {

class Entity : public virtual Ormid::ManagedObject {
public:
   static constexpr char METHOD_RENAME[] = "rtest.Entity.rename";

   Ormid::ManagedObjectType* _GetType() const override { return Ormid::GetMoType<Entity>(); }

   virtual std::string GetName() = 0;
   virtual void GetParent(Pellum::Ref<Ormid::MoRef>& parent) = 0;
   virtual void Rename(const std::string& newName, Pellum::Ref<Ormid::MoRef>& task) = 0;
};

class Lease : public virtual Entity {
public:
   static constexpr char METHOD_PROGRESS[] = "rtest.Lease.progress";
   static constexpr char METHOD_PROBE[] = "rtest.Lease.probe";
   static constexpr char METHOD_DESCRIBE[] = "rtest.Lease.describe";
   static constexpr char METHOD_FINDPEER[] = "rtest.Lease.findPeer";
   static constexpr char METHOD_ABORT[] = "rtest.Lease.abort";
   static constexpr char METHOD_PULLFROMURLS[] = "rtest.Lease.pullFromUrls";
   static constexpr char METHOD_COUNT[] = "rtest.Lease.count";

   Ormid::ManagedObjectType* _GetType() const override { return Ormid::GetMoType<Lease>(); }

   virtual int GetPercentDone() = 0;
   virtual std::string GetMode() = 0;
   virtual void GetPeers(Pellum::Ref<Ormid::DataArray<Ormid::MoRef>>& peers) = 0;
   virtual void GetError(Pellum::Ref<Ormid::MethodFault>& error) = 0;
   virtual void Progress(int percent) = 0;
   virtual void Probe(Ormid::Array<std::string>* urls, const Pellum::Optional<int>& timeout,
                      const Pellum::Optional<std::string>& label, Ormid::MoRef* peer, bool strict,
                      Pellum::Ref<Ormid::Array<std::string>>& result) = 0;
   virtual std::string Describe(bool verbose) = 0;
   virtual void FindPeer(const std::string& key, Pellum::Ref<Ormid::MoRef>& result) = 0;
   virtual void Abort(Ormid::MethodFault* fault) = 0;
   virtual void PullFromUrls(Ormid::Array<std::string>* urls, Pellum::Ref<Ormid::MoRef>& task) = 0;
   virtual Pellum::Optional<long> Count() = 0;
};

// --- Stubs -----------------------------------------------------------------------------------------------

class EntityStub : public virtual Entity, public Ormid::StubImpl {
public:
   EntityStub(Ormid::MoRef* ref, Ormid::StubAdapter* adapter, Ormid::RequestContext* context)
       : Ormid::StubImpl(ref, adapter, context) {}
   ~EntityStub() override = default;

   Ormid::MoRef* _GetRef() const override { return Ormid::StubImpl::_GetRef(); }
   void _Invalidate() override {}

   std::string GetName() override {
      std::vector<Pellum::Ref<Ormid::Any>> args;
      Pellum::Ref<Ormid::Any> result;
      _Invoke_Task(gRTestEntityMethodObjects[1], args, result);
      return Ormid::Unbox<std::string>(result.GetPtr());
   }
   void GetName(const Ormid::CompletionFn& done, Pellum::Ref<Pellum::System::ScheduledItem>& item) {
      std::vector<Pellum::Ref<Ormid::Any>> args;
      _StartInvoke_Task(gRTestEntityMethodObjects[1], args, done, item);
   }
   void GetParent(Pellum::Ref<Ormid::MoRef>& parent) override {
      std::vector<Pellum::Ref<Ormid::Any>> args;
      Pellum::Ref<Ormid::Any> result;
      _Invoke_Task(gRTestEntityMethodObjects[2], args, result);
      parent = Ormid::NarrowCast<Ormid::MoRef>(result.GetPtr());
   }
   void GetParent(const Ormid::CompletionFn& done, Pellum::Ref<Pellum::System::ScheduledItem>& item) {
      std::vector<Pellum::Ref<Ormid::Any>> args;
      _StartInvoke_Task(gRTestEntityMethodObjects[2], args, done, item);
   }
   void Rename(const std::string& newName, Pellum::Ref<Ormid::MoRef>& task) override {
      std::vector<Pellum::Ref<Ormid::Any>> args(1);
      args[0] = Ormid::Box(newName);
      Pellum::Ref<Ormid::Any> result;
      _Invoke_Task(gRTestEntityMethodObjects[0], args, result);
      task = Ormid::NarrowCast<Ormid::MoRef>(result.GetPtr());
   }
   void Rename(const std::string& newName, const Ormid::CompletionFn& done,
               Pellum::Ref<Pellum::System::ScheduledItem>& item) {
      std::vector<Pellum::Ref<Ormid::Any>> args(1);
      args[0] = Ormid::Box(newName);
      _StartInvoke_Task(gRTestEntityMethodObjects[0], args, done, item);
   }
};

class LeaseStub : public virtual Lease, public EntityStub {
public:
   LeaseStub(Ormid::MoRef* ref, Ormid::StubAdapter* adapter, Ormid::RequestContext* context)
       : EntityStub(ref, adapter, context) {}
   ~LeaseStub() override = default;

   int GetPercentDone() override {
      std::vector<Pellum::Ref<Ormid::Any>> args;
      Pellum::Ref<Ormid::Any> result;
      _Invoke_Task(gRTestLeaseMethodObjects[7], args, result);
      return Ormid::Unbox<int>(result.GetPtr());
   }
   void GetPercentDone(const Ormid::CompletionFn& done, Pellum::Ref<Pellum::System::ScheduledItem>& item) {
      std::vector<Pellum::Ref<Ormid::Any>> args;
      _StartInvoke_Task(gRTestLeaseMethodObjects[7], args, done, item);
   }
   std::string GetMode() override {
      std::vector<Pellum::Ref<Ormid::Any>> args;
      Pellum::Ref<Ormid::Any> result;
      _Invoke_Task(gRTestLeaseMethodObjects[8], args, result);
      return Ormid::Unbox<std::string>(result.GetPtr());
   }
   void GetMode(const Ormid::CompletionFn& done, Pellum::Ref<Pellum::System::ScheduledItem>& item) {
      std::vector<Pellum::Ref<Ormid::Any>> args;
      _StartInvoke_Task(gRTestLeaseMethodObjects[8], args, done, item);
   }
   void GetPeers(Pellum::Ref<Ormid::DataArray<Ormid::MoRef>>& peers) override {
      std::vector<Pellum::Ref<Ormid::Any>> args;
      Pellum::Ref<Ormid::Any> result;
      _Invoke_Task(gRTestLeaseMethodObjects[9], args, result);
      peers = Ormid::NarrowArray<Ormid::DataArray<Ormid::MoRef>>(result.GetPtr());
   }
   void GetPeers(const Ormid::CompletionFn& done, Pellum::Ref<Pellum::System::ScheduledItem>& item) {
      std::vector<Pellum::Ref<Ormid::Any>> args;
      _StartInvoke_Task(gRTestLeaseMethodObjects[9], args, done, item);
   }
   void GetError(Pellum::Ref<Ormid::MethodFault>& error) override {
      std::vector<Pellum::Ref<Ormid::Any>> args;
      Pellum::Ref<Ormid::Any> result;
      _Invoke_Task(gRTestLeaseMethodObjects[10], args, result);
      error = Ormid::NarrowCast<Ormid::MethodFault>(result.GetPtr());
   }
   void GetError(const Ormid::CompletionFn& done, Pellum::Ref<Pellum::System::ScheduledItem>& item) {
      std::vector<Pellum::Ref<Ormid::Any>> args;
      _StartInvoke_Task(gRTestLeaseMethodObjects[10], args, done, item);
   }

   void Progress(int percent) override {
      std::vector<Pellum::Ref<Ormid::Any>> args(1);
      args[0] = Ormid::Box(percent);
      _Invoke_Task(gRTestLeaseMethodObjects[0], args);
   }
   void Progress(int percent, const Ormid::CompletionFn& done,
                 Pellum::Ref<Pellum::System::ScheduledItem>& item) {
      std::vector<Pellum::Ref<Ormid::Any>> args(1);
      args[0] = Ormid::Box(percent);
      _StartInvoke_Task(gRTestLeaseMethodObjects[0], args, done, item);
   }
   void Probe(Ormid::Array<std::string>* urls, const Pellum::Optional<int>& timeout,
              const Pellum::Optional<std::string>& label, Ormid::MoRef* peer, bool strict,
              Pellum::Ref<Ormid::Array<std::string>>& result) override {
      std::vector<Pellum::Ref<Ormid::Any>> args(5);
      args[0] = urls;
      args[1] = Ormid::BoxOptional(timeout);
      args[2] = Ormid::BoxOptional(label);
      args[3] = peer;
      args[4] = Ormid::Box(strict);
      Pellum::Ref<Ormid::Any> answer;
      _Invoke_Task(gRTestLeaseMethodObjects[1], args, answer);
      result = Ormid::NarrowArray<Ormid::Array<std::string>>(answer.GetPtr());
   }
   void Probe(Ormid::Array<std::string>* urls, const Pellum::Optional<int>& timeout,
              const Pellum::Optional<std::string>& label, Ormid::MoRef* peer, bool strict,
              const Ormid::CompletionFn& done, Pellum::Ref<Pellum::System::ScheduledItem>& item) {
      std::vector<Pellum::Ref<Ormid::Any>> args(5);
      args[0] = urls;
      args[1] = Ormid::BoxOptional(timeout);
      args[2] = Ormid::BoxOptional(label);
      args[3] = peer;
      args[4] = Ormid::Box(strict);
      _StartInvoke_Task(gRTestLeaseMethodObjects[1], args, done, item);
   }
   std::string Describe(bool verbose) override {
      std::vector<Pellum::Ref<Ormid::Any>> args(1);
      args[0] = Ormid::Box(verbose);
      Pellum::Ref<Ormid::Any> result;
      _Invoke_Task(gRTestLeaseMethodObjects[2], args, result);
      return Ormid::Unbox<std::string>(result.GetPtr());
   }
   void Describe(bool verbose, const Ormid::CompletionFn& done,
                 Pellum::Ref<Pellum::System::ScheduledItem>& item) {
      std::vector<Pellum::Ref<Ormid::Any>> args(1);
      args[0] = Ormid::Box(verbose);
      _StartInvoke_Task(gRTestLeaseMethodObjects[2], args, done, item);
   }
   void FindPeer(const std::string& key, Pellum::Ref<Ormid::MoRef>& result) override {
      std::vector<Pellum::Ref<Ormid::Any>> args(1);
      args[0] = Ormid::Box(key);
      Pellum::Ref<Ormid::Any> answer;
      _Invoke_Task(gRTestLeaseMethodObjects[3], args, answer);
      result = Ormid::NarrowCast<Ormid::MoRef>(answer.GetPtr());
   }
   void FindPeer(const std::string& key, const Ormid::CompletionFn& done,
                 Pellum::Ref<Pellum::System::ScheduledItem>& item) {
      std::vector<Pellum::Ref<Ormid::Any>> args(1);
      args[0] = Ormid::Box(key);
      _StartInvoke_Task(gRTestLeaseMethodObjects[3], args, done, item);
   }
   void Abort(Ormid::MethodFault* fault) override {
      std::vector<Pellum::Ref<Ormid::Any>> args(1);
      args[0] = fault;
      _Invoke_Task(gRTestLeaseMethodObjects[4], args);
   }
   void Abort(Ormid::MethodFault* fault, const Ormid::CompletionFn& done,
              Pellum::Ref<Pellum::System::ScheduledItem>& item) {
      std::vector<Pellum::Ref<Ormid::Any>> args(1);
      args[0] = fault;
      _StartInvoke_Task(gRTestLeaseMethodObjects[4], args, done, item);
   }
   void PullFromUrls(Ormid::Array<std::string>* urls, Pellum::Ref<Ormid::MoRef>& task) override {
      std::vector<Pellum::Ref<Ormid::Any>> args(1);
      args[0] = urls;
      Pellum::Ref<Ormid::Any> result;
      _Invoke_Task(gRTestLeaseMethodObjects[5], args, result);
      task = Ormid::NarrowCast<Ormid::MoRef>(result.GetPtr());
   }
   void PullFromUrls(Ormid::Array<std::string>* urls, const Ormid::CompletionFn& done,
                     Pellum::Ref<Pellum::System::ScheduledItem>& item) {
      std::vector<Pellum::Ref<Ormid::Any>> args(1);
      args[0] = urls;
      _StartInvoke_Task(gRTestLeaseMethodObjects[5], args, done, item);
   }
   Pellum::Optional<long> Count() override {
      std::vector<Pellum::Ref<Ormid::Any>> args;
      Pellum::Ref<Ormid::Any> result;
      _Invoke_Task(gRTestLeaseMethodObjects[6], args, result);
      return Ormid::UnboxOptional<long>(result.GetPtr());
   }
   void Count(const Ormid::CompletionFn& done, Pellum::Ref<Pellum::System::ScheduledItem>& item) {
      std::vector<Pellum::Ref<Ormid::Any>> args;
      _StartInvoke_Task(gRTestLeaseMethodObjects[6], args, done, item);
   }
};

} // namespace RTest

// --- Descriptors -----------------------------------------------------------------------------------------

namespace RTestDetail {

// Records in zero-initialised storage, filled by the static initialiser below.
inline Ormid::PropertyRecord gEntityProperties[2 + 1];
inline Ormid::ManagedMethodInfo gEntityMethods[1 + 1];
inline Ormid::ParamInfo gEntityRenameParams[1 + 1];
inline const Ormid::TypePrivilege gEntityRenamePrivileges[] = {
    {"rtest.Lease", "Lease.Rename"}, {"rtest.Entity", "Entity.Rename"}, {nullptr, nullptr}};
inline const Ormid::TypeInfo* const gNoFaults[] = {nullptr};

inline Ormid::PropertyRecord gLeaseProperties[4 + 1];
inline Ormid::ManagedMethodInfo gLeaseMethods[7 + 1];
inline Ormid::ParamInfo gLeaseProgressParams[1 + 1];
inline Ormid::ParamInfo gLeaseProbeParams[5 + 1];
inline Ormid::ParamInfo gLeaseDescribeParams[1 + 1];
inline Ormid::ParamInfo gLeaseFindPeerParams[1 + 1];
inline Ormid::ParamInfo gLeaseAbortParams[1 + 1];
inline Ormid::ParamInfo gLeasePullFromUrlsParams[1 + 1];
inline Ormid::ParamInfo gLeaseNoParams[1];
inline const Ormid::TypeInfo* const gLeaseProgressFaults[] = {&gRTestFaultLeaseExpiredTypeInfo, nullptr};
inline const Ormid::TypeInfo* const gLeaseProbeFaults[] = {&gRTestFaultLeaseExpiredTypeInfo,
                                                           &gKoblFaultInvalidArgumentTypeInfo, nullptr};

inline uint32_t EntityPropertyIndex(const char* name, uint32_t length) {
   switch (length) {
   case 4:
      if (name[0] == 'n' && std::memcmp(name + 1, "ame", 3) == 0) {
         return 0;
      }
      break;
   case 6:
      if (name[0] == 'p' && std::memcmp(name + 1, "arent", 5) == 0) {
         return 1;
      }
      break;
   }
   return 0xFFFFFFFFu;
}

inline uint32_t LeasePropertyIndex(const char* name, uint32_t length) {
   switch (length) {
   case 4:
      if (name[0] == 'm' && std::memcmp(name + 1, "ode", 3) == 0) {
         return 1;
      }
      break;
   case 5:
      if (name[0] == 'p' && std::memcmp(name + 1, "eers", 4) == 0) {
         return 2;
      }
      if (name[0] == 'e' && std::memcmp(name + 1, "rror", 4) == 0) {
         return 3;
      }
      break;
   case 11:
      if (name[0] == 'p' && std::memcmp(name + 1, "ercentDone", 10) == 0) {
         return 0;
      }
      break;
   }
   return 0xFFFFFFFFu;
}

template <class Iface> Iface* DispatchTarget(Ormid::ManagedObject* target) {
   Iface* self = dynamic_cast<Iface*>(target);
   if (self == nullptr && target != nullptr) {
      Ormid::ManagedObject& actual = *target;
      Pellum::ThrowTypeMismatchException(typeid(Iface), typeid(actual));
   }
   return self;
}

inline void EntityDispatch(Ormid::ManagedObject* target, int index,
                           std::vector<Pellum::Ref<Ormid::Any>>& args, Pellum::Ref<Ormid::Any>& result) {
   result = nullptr;
   RTest::Entity* self = DispatchTarget<RTest::Entity>(target);
   switch (index) {
   case 0: {
      Pellum::Ref<Ormid::MoRef> task;
      self->Rename(Ormid::Unbox<std::string>(args[0].GetPtr()), task);
      result = std::move(task);
      break;
   }
   case 1:
      result = Ormid::Box(self->GetName());
      break;
   case 2: {
      Pellum::Ref<Ormid::MoRef> parent;
      self->GetParent(parent);
      result = std::move(parent);
      break;
   }
   }
}

inline void LeaseDispatch(Ormid::ManagedObject* target, int index, std::vector<Pellum::Ref<Ormid::Any>>& args,
                          Pellum::Ref<Ormid::Any>& result) {
   result = nullptr;
   RTest::Lease* self = DispatchTarget<RTest::Lease>(target);
   switch (index) {
   case 0:
      self->Progress(Ormid::Unbox<int>(args[0].GetPtr()));
      break;
   case 1: {
      Pellum::Ref<Ormid::Array<std::string>> out;
      self->Probe(
          Ormid::NarrowCast<Ormid::Array<std::string>>(args[0].GetPtr()),
          Ormid::UnboxOptional<int>(args[1].GetPtr()), Ormid::UnboxOptional<std::string>(args[2].GetPtr()),
          Ormid::NarrowCast<Ormid::MoRef>(args[3].GetPtr()), Ormid::Unbox<bool>(args[4].GetPtr()), out);
      result = std::move(out);
      break;
   }
   case 2:
      result = Ormid::Box(self->Describe(Ormid::Unbox<bool>(args[0].GetPtr())));
      break;
   case 3: {
      Pellum::Ref<Ormid::MoRef> out;
      self->FindPeer(Ormid::Unbox<std::string>(args[0].GetPtr()), out);
      result = std::move(out);
      break;
   }
   case 4:
      self->Abort(Ormid::NarrowCast<Ormid::MethodFault>(args[0].GetPtr()));
      break;
   case 5: {
      Pellum::Ref<Ormid::MoRef> task;
      self->PullFromUrls(Ormid::NarrowCast<Ormid::Array<std::string>>(args[0].GetPtr()), task);
      result = std::move(task);
      break;
   }
   case 6: {
      Pellum::Optional<long> count = self->Count();
      if (count.IsSet()) {
         result = Ormid::Box(count.GetValue());
      }
      break;
   }
   case 7:
      result = Ormid::Box(self->GetPercentDone());
      break;
   case 8:
      result = Ormid::Box(self->GetMode());
      break;
   case 9: {
      Pellum::Ref<Ormid::DataArray<Ormid::MoRef>> peers;
      self->GetPeers(peers);
      result = std::move(peers);
      break;
   }
   case 10: {
      Pellum::Ref<Ormid::MethodFault> error;
      self->GetError(error);
      result = std::move(error);
      break;
   }
   }
}

inline const Ormid::ManagedTypeInfo gEntityManagedTypeInfo = {
    &gRTestEntityTypeInfo,
    &Ormid::gKoblManagedObjectTypeInfo,
    gEntityProperties,
    gEntityMethods,
    EntityPropertyIndex,
    EntityDispatch,
    [](Ormid::MoRef* ref, Ormid::StubAdapter* adapter, Ormid::RequestContext* context) -> Ormid::StubImpl* {
       return new RTest::EntityStub(ref, adapter, context);
    },
    gRTestEntityMethodObjects,
};

inline const Ormid::ManagedTypeInfo gLeaseManagedTypeInfo = {
    &gRTestLeaseTypeInfo,
    &gRTestEntityTypeInfo,
    gLeaseProperties,
    gLeaseMethods,
    LeasePropertyIndex,
    LeaseDispatch,
    [](Ormid::MoRef* ref, Ormid::StubAdapter* adapter, Ormid::RequestContext* context) -> Ormid::StubImpl* {
       return new RTest::LeaseStub(ref, adapter, context);
    },
    gRTestLeaseMethodObjects,
};

// The namespace record (one released version).
inline int32_t gNamespaceId = -1;
inline const Ormid::VersionRecord gVersionRecords[] = {
    {"rtest.version.v1", "urn:rtest", "1.0", nullptr, nullptr, nullptr, Ormid::StageReleased, 0}};
inline const Ormid::Version* gOfficialVersions[2];
inline const Ormid::Version* gInternalVersions[2];
inline const Ormid::Version* gCurrentVersion[1];
inline const Ormid::KoblVersions gVersions = {"rtest",
                                              &gNamespaceId,
                                              nullptr,
                                              nullptr,
                                              gVersionRecords,
                                              nullptr,
                                              gOfficialVersions,
                                              gInternalVersions,
                                              gCurrentVersion,
                                              1,
                                              2,
                                              0,
                                              0,
                                              0,
                                              0,
                                              0,
                                              0};

// Package "rtest" (the fault and rtest.Lease) and package "rtest.base" (rtest.Entity, registered later).
inline Ormid::Type* gPackageTypes[2];
inline Ormid::Type* gBasePackageTypes[1];

inline Ormid::Type* const* PackageTypeList(int& count) {
   gPackageTypes[0] = Ormid::CreateDataObjectType(&gLeaseExpiredDescriptor);
   gPackageTypes[1] = Ormid::CreateManagedObjectType(&gLeaseManagedTypeInfo);
   count = 2;
   return gPackageTypes;
}

inline Ormid::Type* const* BasePackageTypeList(int& count) {
   gBasePackageTypes[0] = Ormid::CreateManagedObjectType(&gEntityManagedTypeInfo);
   count = 1;
   return gBasePackageTypes;
}

inline void FillRecords() {
   const char* v1 = "rtest.version.v1";
   const char* none = "kobl.version.version0";
   gLeaseExpiredProperties[0] = {&Ormid::gStringTypeInfo, 0, "leaseKey", nullptr, v1};

   gEntityProperties[0] = {&Ormid::gStringTypeInfo, 0x4, "name", "System.View", v1};
   gEntityProperties[1] = {&gRTestEntityTypeInfo, 0x6, "parent", nullptr, v1};
   gEntityRenameParams[0] = {&Ormid::gStringTypeInfo, 0, "newName", nullptr, v1};
   gEntityMethods[0] = {"rename",
                        "Rename_Task",
                        nullptr,
                        gEntityRenamePrivileges,
                        {&gRTestEntityTypeInfo, 0, "result", nullptr, v1},
                        gEntityRenameParams,
                        gNoFaults,
                        v1,
                        nullptr,
                        0,
                        1,
                        0};

   gLeaseProperties[0] = {&Ormid::gIntTypeInfo, 0x4, "percentDone", nullptr, v1};
   gLeaseProperties[1] = {&Ormid::gStringTypeInfo, 0x4, "mode", nullptr, v1};
   gLeaseProperties[2] = {&gRTestEntityTypeInfo, 0x7, "peers", "System.Read", v1};
   gLeaseProperties[3] = {&Ormid::gKoblMethodFaultTypeInfo, 0x6, "error", nullptr, v1};

   gLeaseProgressParams[0] = {&Ormid::gIntTypeInfo, 0, "percent", nullptr, v1};
   gLeaseProbeParams[0] = {&Ormid::gStringTypeInfo, 0x3, "urls", nullptr, v1};
   gLeaseProbeParams[1] = {&Ormid::gIntTypeInfo, 0x2, "timeout", nullptr, v1};
   gLeaseProbeParams[2] = {&Ormid::gStringTypeInfo, 0x2, "label", nullptr, v1};
   gLeaseProbeParams[3] = {&gRTestEntityTypeInfo, 0x2, "peer", "Entity.Probe", v1};
   gLeaseProbeParams[4] = {&Ormid::gBoolTypeInfo, 0, "strict", nullptr, v1};
   gLeaseDescribeParams[0] = {&Ormid::gBoolTypeInfo, 0, "verbose", nullptr, v1};
   gLeaseFindPeerParams[0] = {&Ormid::gStringTypeInfo, 0, "key", nullptr, v1};
   gLeaseAbortParams[0] = {&Ormid::gKoblMethodFaultTypeInfo, 0x2, "fault", nullptr, v1};
   gLeasePullFromUrlsParams[0] = {&Ormid::gStringTypeInfo, 0x1, "urls", nullptr, v1};

   gLeaseMethods[0] = {"progress",
                       "LeaseProgress",
                       "Lease.Update",
                       nullptr,
                       {nullptr, 0, "result", nullptr, none},
                       gLeaseProgressParams,
                       gLeaseProgressFaults,
                       v1,
                       nullptr,
                       0,
                       0,
                       0};
   gLeaseMethods[1] = {"probe",
                       "LeaseProbe",
                       "System.View",
                       nullptr,
                       {&Ormid::gStringTypeInfo, 0x3, "result", nullptr, v1},
                       gLeaseProbeParams,
                       gLeaseProbeFaults,
                       v1,
                       nullptr,
                       0,
                       0,
                       0};
   gLeaseMethods[2] = {"describe",
                       "LeaseDescribe",
                       "System.View",
                       nullptr,
                       {&Ormid::gStringTypeInfo, 0, "result", nullptr, v1},
                       gLeaseDescribeParams,
                       gNoFaults,
                       v1,
                       nullptr,
                       0,
                       0,
                       0};
   gLeaseMethods[3] = {"findPeer",
                       "LeaseFindPeer",
                       "System.View",
                       nullptr,
                       {&gRTestEntityTypeInfo, 0x2, "result", nullptr, v1},
                       gLeaseFindPeerParams,
                       gNoFaults,
                       v1,
                       nullptr,
                       0,
                       0,
                       0};
   gLeaseMethods[4] = {"abort",
                       "LeaseAbort",
                       nullptr,
                       nullptr,
                       {nullptr, 0, "result", nullptr, none},
                       gLeaseAbortParams,
                       gNoFaults,
                       v1,
                       nullptr,
                       0,
                       0,
                       0};
   gLeaseMethods[5] = {"pullFromUrls",
                       "LeasePullFromUrls_Task",
                       "dynamic",
                       nullptr,
                       {nullptr, 0, "result", nullptr, none},
                       gLeasePullFromUrlsParams,
                       gNoFaults,
                       v1,
                       nullptr,
                       0,
                       1,
                       0};
   gLeaseMethods[6] = {"count",
                       "LeaseCount",
                       "System.Read",
                       nullptr,
                       {&Ormid::gLongTypeInfo, 0x2, "result", nullptr, v1},
                       gLeaseNoParams,
                       gNoFaults,
                       v1,
                       nullptr,
                       0,
                       0,
                       1};
}

// The package initialisers: fill the records, then register "rtest" and afterwards "rtest.base".
struct Registration {
   Registration() {
      FillRecords();
      static Ormid::TypeInfoLoader package(&gVersions, PackageTypeList);
      static Ormid::TypeInfoLoader basePackage(&gVersions, BasePackageTypeList);
   }
};
inline Registration gRegistration;

} // namespace RTestDetail

template <> inline Ormid::ManagedObjectType* Ormid::GetMoType<RTest::Entity>() {
   return static_cast<Ormid::ManagedObjectType*>(RTestDetail::gBasePackageTypes[0]);
}
template <> inline Ormid::ManagedObjectType* Ormid::GetMoType<RTest::Lease>() {
   return static_cast<Ormid::ManagedObjectType*>(RTestDetail::gPackageTypes[1]);
}
template <> inline Ormid::DataObjectType* Ormid::GetDoType<RTest::Fault::LeaseExpired>() {
   return static_cast<Ormid::DataObjectType*>(RTestDetail::gPackageTypes[0]);
}
