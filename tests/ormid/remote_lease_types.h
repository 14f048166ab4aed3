// Two small managed types written by hand the way a type library writes them, for the runtime's remote
// tests: headers, descriptor records, property lookup, dispatchers, interfaces, client stubs and their
// factories.
//
//   rtest.Entity (root)           property name: string
//                                 method rename(newName: string), a task ("Rename_Task") whose privilege
//                                 depends on the target's type
//   rtest.Lease : rtest.Entity    properties percentDone: int, mode: string (read privilege System.Read)
//                                 methods progress(percent: int) faults kobl.fault.InvalidArgument,
//                                 probe(urls: string[]?, timeout: int?, peer: rtest.Entity?, strict: boolean)
//                                 -> string[]?, describe(verbose: boolean) -> string
//
// rtest.Entity is in a package that registers after the one holding rtest.Lease, so the runtime has to
// resolve the base lazily. The stubs have the synchronous members only: the tests start asynchronous
// calls through StubImpl::_StartInvoke_Task (RTestImpl::Start), which is what a generated asynchronous
// member does. RTestImpl holds the local implementations served through the loopback adapter.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <typeinfo>
#include <utility>
#include <vector>

#include "ormid/Array.h"
#include "ormid/Loopback.h"
#include "ormid/ManagedObject.h"
#include "ormid/ManagedType.h"
#include "ormid/MethodFault.h"
#include "ormid/MoRef.h"
#include "ormid/Primitive.h"
#include "ormid/Registry.h"
#include "ormid/Stub.h"
#include "pellum/Optional.h"
#include "pellum/Ref.h"

inline const Ormid::TypeInfo gRTestEntityTypeInfo = {Ormid::KindManaged, "rtest.Entity", "Entity",
                                                     "rtest.version.v1"};
inline const Ormid::TypeInfo gRTestLeaseTypeInfo = {Ormid::KindManaged, "rtest.Lease", "Lease",
                                                    "rtest.version.v1"};

namespace RTest {
class Entity;
class Lease;
} // namespace RTest

template <> inline Ormid::ManagedObjectType* Ormid::GetMoType<RTest::Entity>();
template <> inline Ormid::ManagedObjectType* Ormid::GetMoType<RTest::Lease>();

// Method-object tables: methods, properties, one null slot.
inline Ormid::ManagedMethod* gRTestEntityMethodObjects[1 + 1 + 1];
inline Ormid::ManagedMethod* gRTestLeaseMethodObjects[3 + 2 + 1];

namespace RTest {

class Entity : public virtual Ormid::ManagedObject {
public:
   Ormid::ManagedObjectType* _GetType() const override { return Ormid::GetMoType<Entity>(); }

   virtual std::string GetName() = 0;
   virtual void Rename(const std::string& newName, Pellum::Ref<Ormid::MoRef>& task) = 0;
};

class Lease : public virtual Entity {
public:
   static constexpr char METHOD_PROBE[] = "rtest.Lease.probe";

   Ormid::ManagedObjectType* _GetType() const override { return Ormid::GetMoType<Lease>(); }

   virtual int GetPercentDone() = 0;
   virtual std::string GetMode() = 0;
   virtual void Progress(int percent) = 0;
   virtual void Probe(Ormid::Array<std::string>* urls, const Pellum::Optional<int>& timeout,
                      Ormid::MoRef* peer, bool strict, Pellum::Ref<Ormid::Array<std::string>>& result) = 0;
   virtual std::string Describe(bool verbose) = 0;
};

class EntityStub : public virtual Entity, public Ormid::StubImpl {
public:
   EntityStub(Ormid::MoRef* ref, Ormid::StubAdapter* adapter, Ormid::RequestContext* context)
       : Ormid::StubImpl(ref, adapter, context) {}

   Ormid::MoRef* _GetRef() const override { return Ormid::StubImpl::_GetRef(); }
   void _Invalidate() override {}

   std::string GetName() override {
      return Ormid::Unbox<std::string>(Call(gRTestEntityMethodObjects[1], {}).GetPtr());
   }
   void Rename(const std::string& newName, Pellum::Ref<Ormid::MoRef>& task) override {
      task =
          Ormid::NarrowCast<Ormid::MoRef>(Call(gRTestEntityMethodObjects[0], {Ormid::Box(newName)}).GetPtr());
   }

protected:
   // The checked call of every member with a result; answers the result.
   Pellum::Ref<Ormid::Any> Call(Ormid::ManagedMethod* method, Ormid::ArgumentList args) {
      Pellum::Ref<Ormid::Any> result;
      _Invoke_Task(method, args, result);
      return result;
   }
};

class LeaseStub : public virtual Lease, public EntityStub {
public:
   LeaseStub(Ormid::MoRef* ref, Ormid::StubAdapter* adapter, Ormid::RequestContext* context)
       : EntityStub(ref, adapter, context) {}

   int GetPercentDone() override { return Ormid::Unbox<int>(Call(gRTestLeaseMethodObjects[3], {}).GetPtr()); }
   std::string GetMode() override {
      return Ormid::Unbox<std::string>(Call(gRTestLeaseMethodObjects[4], {}).GetPtr());
   }
   void Progress(int percent) override {
      Ormid::ArgumentList args = {Ormid::Box(percent)};
      _Invoke_Task(gRTestLeaseMethodObjects[0], args);
   }
   void Probe(Ormid::Array<std::string>* urls, const Pellum::Optional<int>& timeout, Ormid::MoRef* peer,
              bool strict, Pellum::Ref<Ormid::Array<std::string>>& result) override {
      Pellum::Ref<Ormid::Any> answer =
          Call(gRTestLeaseMethodObjects[1], {Pellum::Ref<Ormid::Any>(urls), Ormid::BoxOptional(timeout),
                                             Pellum::Ref<Ormid::Any>(peer), Ormid::Box(strict)});
      result = Ormid::NarrowArray<Ormid::Array<std::string>>(answer.GetPtr());
   }
   std::string Describe(bool verbose) override {
      return Ormid::Unbox<std::string>(Call(gRTestLeaseMethodObjects[2], {Ormid::Box(verbose)}).GetPtr());
   }
};

} // namespace RTest

namespace RTestDetail {

inline const char kV1[] = "rtest.version.v1";
inline const char kNone[] = "kobl.version.version0";

inline const Ormid::TypeInfo* const gNoFaults[] = {nullptr};

inline const Ormid::PropertyRecord gEntityProperties[] = {
    {&Ormid::gStringTypeInfo, 0x4, "name", "System.View", kV1}, {}};
inline const Ormid::ParamInfo gRenameParams[] = {{&Ormid::gStringTypeInfo, 0, "newName", nullptr, kV1}, {}};
inline const Ormid::TypePrivilege gRenamePrivileges[] = {
    {"rtest.Lease", "Lease.Rename"}, {"rtest.Entity", "Entity.Rename"}, {nullptr, nullptr}};
// A method record of version v1 (flag byte 2 marks a task).
constexpr Ormid::ManagedMethodInfo Method(const char* name, const char* wsdlName, const char* privilege,
                                          const Ormid::TypePrivilege* byType, Ormid::ParamInfo result,
                                          const Ormid::ParamInfo* params,
                                          const Ormid::TypeInfo* const* faults, uint8_t task) {
   return {name, wsdlName, privilege, byType, result, params, faults, kV1, nullptr, 0, task, 0};
}
inline constexpr Ormid::ParamInfo kNoResult = {nullptr, 0, "result", nullptr, kNone};

inline const Ormid::ManagedMethodInfo gEntityMethods[] = {
    Method("rename", "Rename_Task", nullptr, gRenamePrivileges,
           {&gRTestEntityTypeInfo, 0, "result", nullptr, kV1}, gRenameParams, gNoFaults, 1),
    {}};

inline const Ormid::PropertyRecord gLeaseProperties[] = {
    {&Ormid::gIntTypeInfo, 0x4, "percentDone", nullptr, kV1},
    {&Ormid::gStringTypeInfo, 0x4, "mode", "System.Read", kV1},
    {}};
inline const Ormid::ParamInfo gProgressParams[] = {{&Ormid::gIntTypeInfo, 0, "percent", nullptr, kV1}, {}};
inline const Ormid::ParamInfo gProbeParams[] = {{&Ormid::gStringTypeInfo, 0x3, "urls", nullptr, kV1},
                                                {&Ormid::gIntTypeInfo, 0x2, "timeout", nullptr, kV1},
                                                {&gRTestEntityTypeInfo, 0x2, "peer", "Entity.Probe", kV1},
                                                {&Ormid::gBoolTypeInfo, 0, "strict", nullptr, kV1},
                                                {}};
inline const Ormid::ParamInfo gDescribeParams[] = {{&Ormid::gBoolTypeInfo, 0, "verbose", nullptr, kV1}, {}};
inline const Ormid::TypeInfo* const gProgressFaults[] = {&gKoblFaultInvalidArgumentTypeInfo, nullptr};
inline const Ormid::TypeInfo* const gProbeFaults[] = {&gKoblFaultInvalidArgumentTypeInfo,
                                                      &gKoblFaultNotSupportedTypeInfo, nullptr};
inline const Ormid::ManagedMethodInfo gLeaseMethods[] = {
    Method("progress", "LeaseProgress", "Lease.Update", nullptr, kNoResult, gProgressParams, gProgressFaults,
           0),
    Method("probe", "LeaseProbe", "System.View", nullptr,
           {&Ormid::gStringTypeInfo, 0x3, "result", nullptr, kV1}, gProbeParams, gProbeFaults, 0),
    Method("describe", "LeaseDescribe", "dynamic", nullptr,
           {&Ormid::gStringTypeInfo, 0, "result", nullptr, kV1}, gDescribeParams, gNoFaults, 0),
    {}};

// Position of an own property among `names`, or none.
template <std::size_t N> uint32_t IndexIn(const char* const (&names)[N], const char* name, uint32_t length) {
   for (uint32_t i = 0; i < N; ++i) {
      if (std::string_view(name, length) == names[i]) {
         return i;
      }
   }
   return Ormid::ManagedObjectType::kNoProperty;
}
inline const char* const kEntityPropertyNames[] = {"name"};
inline const char* const kLeasePropertyNames[] = {"percentDone", "mode"};

template <class Iface> Iface* DispatchTarget(Ormid::ManagedObject* target) {
   Iface* self = dynamic_cast<Iface*>(target);
   if (self == nullptr && target != nullptr) {
      Ormid::ManagedObject& actual = *target;
      Pellum::ThrowTypeMismatchException(typeid(Iface), typeid(actual));
   }
   return self;
}

inline void EntityDispatch(Ormid::ManagedObject* target, int index, Ormid::ArgumentList& args,
                           Pellum::Ref<Ormid::Any>& result) {
   result = nullptr;
   RTest::Entity* self = DispatchTarget<RTest::Entity>(target);
   if (index == 0) {
      Pellum::Ref<Ormid::MoRef> task;
      self->Rename(Ormid::Unbox<std::string>(args[0].GetPtr()), task);
      result = std::move(task);
   } else if (index == 1) {
      result = Ormid::Box(self->GetName());
   }
}

inline void LeaseDispatch(Ormid::ManagedObject* target, int index, Ormid::ArgumentList& args,
                          Pellum::Ref<Ormid::Any>& result) {
   result = nullptr;
   RTest::Lease* self = DispatchTarget<RTest::Lease>(target);
   switch (index) {
   case 0:
      self->Progress(Ormid::Unbox<int>(args[0].GetPtr()));
      break;
   case 1: {
      Pellum::Ref<Ormid::Array<std::string>> out;
      self->Probe(Ormid::NarrowCast<Ormid::Array<std::string>>(args[0].GetPtr()),
                  Ormid::UnboxOptional<int>(args[1].GetPtr()),
                  Ormid::NarrowCast<Ormid::MoRef>(args[2].GetPtr()), Ormid::Unbox<bool>(args[3].GetPtr()),
                  out);
      result = std::move(out);
      break;
   }
   case 2:
      result = Ormid::Box(self->Describe(Ormid::Unbox<bool>(args[0].GetPtr())));
      break;
   case 3:
      result = Ormid::Box(self->GetPercentDone());
      break;
   case 4:
      result = Ormid::Box(self->GetMode());
      break;
   }
}

inline const Ormid::ManagedTypeInfo gEntityManagedTypeInfo = {
    &gRTestEntityTypeInfo,
    &Ormid::gKoblManagedObjectTypeInfo,
    gEntityProperties,
    gEntityMethods,
    [](const char* name, uint32_t length) { return IndexIn(kEntityPropertyNames, name, length); },
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
    [](const char* name, uint32_t length) { return IndexIn(kLeasePropertyNames, name, length); },
    LeaseDispatch,
    [](Ormid::MoRef* ref, Ormid::StubAdapter* adapter, Ormid::RequestContext* context) -> Ormid::StubImpl* {
       return new RTest::LeaseStub(ref, adapter, context);
    },
    gRTestLeaseMethodObjects,
};

// The namespace record (one released version).
inline int32_t gNamespaceId = -1;
inline const Ormid::VersionRecord gVersionRecords[] = {
    {kV1, "urn:rtest", "1.0", nullptr, nullptr, nullptr, Ormid::StageReleased, 0}};
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

// Package "rtest" (rtest.Lease), then package "rtest.base" (rtest.Entity, the base).
inline Ormid::Type* gPackageTypes[1];
inline Ormid::Type* gBasePackageTypes[1];
inline const Ormid::TypeInfoLoader gPackage(&gVersions, [](int& count) -> Ormid::Type* const* {
   gPackageTypes[0] = Ormid::CreateManagedObjectType(&gLeaseManagedTypeInfo);
   count = 1;
   return gPackageTypes;
});
inline const Ormid::TypeInfoLoader gBasePackage(&gVersions, [](int& count) -> Ormid::Type* const* {
   gBasePackageTypes[0] = Ormid::CreateManagedObjectType(&gEntityManagedTypeInfo);
   count = 1;
   return gBasePackageTypes;
});

} // namespace RTestDetail

template <> inline Ormid::ManagedObjectType* Ormid::GetMoType<RTest::Entity>() {
   return static_cast<Ormid::ManagedObjectType*>(RTestDetail::gBasePackageTypes[0]);
}
template <> inline Ormid::ManagedObjectType* Ormid::GetMoType<RTest::Lease>() {
   return static_cast<Ormid::ManagedObjectType*>(RTestDetail::gPackageTypes[0]);
}

namespace RTestImpl {

class EntityImpl : public virtual RTest::Entity {
public:
   explicit EntityImpl(const std::string& id)
       : EntityImpl(new Ormid::MoRef(Ormid::GetMoType<RTest::Entity>(), id)) {}

   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}

   std::string GetName() override { return "entity " + _ref->GetId(); }
   void Rename(const std::string& newName, Pellum::Ref<Ormid::MoRef>& task) override {
      std::lock_guard<std::mutex> guard(_lock);
      _newName = newName;
      task = new Ormid::MoRef("rtest.Task", "rename-" + _ref->GetId());
   }
   std::string GetNewName() {
      std::lock_guard<std::mutex> guard(_lock);
      return _newName;
   }

protected:
   explicit EntityImpl(Ormid::MoRef* ref) : _ref(ref) {}

   Pellum::Ref<Ormid::MoRef> _ref;
   std::mutex _lock;
   std::string _newName;
};

// What the last call of Probe received.
struct ProbeCall {
   Pellum::Ref<Ormid::Array<std::string>> urls;
   Pellum::Optional<int> timeout;
   Pellum::Ref<Ormid::MoRef> peer;
   bool strict = false;
};

class LeaseImpl : public RTest::Lease, public EntityImpl {
public:
   explicit LeaseImpl(const std::string& id)
       : EntityImpl(new Ormid::MoRef(Ormid::GetMoType<RTest::Lease>(), id)) {}

   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}

   // Progress: 0 to 100 is stored; a negative value raises the declared fault InvalidArgument; 1000 makes
   // the store fail with a plain exception; any other value raises the undeclared fault NotSupported.
   void Progress(int percent) override {
      ++_calls;
      if (percent < 0) {
         Pellum::Ref<Ormid::Fault::InvalidArgument>(new Ormid::Fault::InvalidArgument("percent"))->Throw();
      }
      if (percent == 1000) {
         throw std::runtime_error("progress store unavailable");
      }
      if (percent > 100) {
         Pellum::Ref<Ormid::Fault::NotSupported>(new Ormid::Fault::NotSupported())->Throw();
      }
      std::lock_guard<std::mutex> guard(_lock);
      _percent = percent;
   }

   // Records the call; answers each URL with ":checked" (strict) or ":ok" appended, null for null.
   void Probe(Ormid::Array<std::string>* urls, const Pellum::Optional<int>& timeout, Ormid::MoRef* peer,
              bool strict, Pellum::Ref<Ormid::Array<std::string>>& result) override {
      ++_calls;
      {
         std::lock_guard<std::mutex> guard(_lock);
         _probe = ProbeCall{urls, timeout, peer, strict};
      }
      if (urls == nullptr) {
         return;
      }
      result = new Ormid::Array<std::string>();
      for (const std::string& url : *urls) {
         result->Append(url + (strict ? ":checked" : ":ok"));
      }
   }

   // "lease <id> for <user>" with the user taken from the request context of the call; while the gate is
   // closed the call waits for it.
   std::string Describe(bool verbose) override {
      ++_calls;
      WaitAtGate();
      Ormid::RequestContext* context = Ormid::RequestContext::GetCurrent();
      std::string user = "(no context)";
      if (context != nullptr) {
         Pellum::Ref<Ormid::Any> value = context->Get("user");
         user = value ? Ormid::Unbox<std::string>(value.GetPtr()) : std::string("(anonymous)");
      }
      {
         std::lock_guard<std::mutex> guard(_lock);
         _seenContext = context;
         _servingThread = std::this_thread::get_id();
      }
      std::string text = "lease " + _ref->GetId() + " for " + user;
      if (verbose) {
         text += " at " + std::to_string(GetPercentDone()) + "%";
      }
      return text;
   }

   int GetPercentDone() override {
      std::lock_guard<std::mutex> guard(_lock);
      return _percent;
   }
   std::string GetMode() override { return "pull"; }

   // Test controls and observations.
   ProbeCall TakeProbe() {
      std::lock_guard<std::mutex> guard(_lock);
      return std::exchange(_probe, ProbeCall());
   }
   Pellum::Ref<Ormid::RequestContext> SeenContext() {
      std::lock_guard<std::mutex> guard(_lock);
      return _seenContext;
   }
   std::thread::id ServingThread() {
      std::lock_guard<std::mutex> guard(_lock);
      return _servingThread;
   }
   int Calls() const { return _calls.load(); }

   void CloseGate() {
      std::lock_guard<std::mutex> guard(_gateLock);
      _gateOpen = false;
   }
   void OpenGate() {
      {
         std::lock_guard<std::mutex> guard(_gateLock);
         _gateOpen = true;
      }
      _gateChanged.notify_all();
   }
   // Blocks until a call waits at the closed gate.
   void AwaitWaiter() {
      std::unique_lock<std::mutex> guard(_gateLock);
      _gateChanged.wait(guard, [&] { return _waiting > 0; });
   }

private:
   void WaitAtGate() {
      std::unique_lock<std::mutex> guard(_gateLock);
      ++_waiting;
      _gateChanged.notify_all();
      _gateChanged.wait(guard, [&] { return _gateOpen; });
      --_waiting;
   }

   std::atomic<int> _calls{0};
   int _percent = 0;
   ProbeCall _probe;
   Pellum::Ref<Ormid::RequestContext> _seenContext;
   std::thread::id _servingThread;

   std::mutex _gateLock;
   std::condition_variable _gateChanged;
   bool _gateOpen = true;
   int _waiting = 0;
};

// Starts `member` (a method object of the stub's type or a base) on `stub` the way a generated
// asynchronous member does.
inline void Start(Ormid::ManagedObject& stub, Ormid::ManagedMethod* member, Ormid::ArgumentList args,
                  const Ormid::CompletionFn& done, Pellum::Ref<Pellum::System::ScheduledItem>& item) {
   dynamic_cast<Ormid::StubImpl&>(stub)._StartInvoke_Task(member, args, done, item);
}

} // namespace RTestImpl
