// Ormid::LoopbackAdapter: an in-process stub adapter.
//
// It serves local implementation objects (any class implementing a managed interface) registered under
// their reference, and carries the calls of stubs made with it straight onto them, with the behaviour a
// remote server would show:
//
//   - The target is looked up by the reference's type name and id; an unknown reference is answered with
//     an Ormid::Fault::ManagedObjectNotFound fault naming it.
//   - A method of a type the target does not implement is answered with Ormid::Fault::NotSupported.
//   - The call runs through the dispatcher of the type that declares the method (see
//     ManagedObjectType::Dispatch for the argument checks it makes first); the request context of the
//     call is current (RequestContext::GetCurrent()) while it runs: a copy of the caller's context taken
//     when the call starts, or an empty context when the caller has none (never null while serving).
//   - A fault the implementation throws (a MethodFault::Exception) is raised again through the fault's
//     own Throw(), as if it had crossed the wire: the caller catches it by its own class. Any other
//     exception becomes an Ormid::Fault::SystemError fault whose reason is the exception's message.
//   - Values are not copied: the implementation receives the caller's argument objects and the caller the
//     implementation's result objects and faults.
//
// Asynchronous calls return at once and run as above on a worker thread (AsyncStubAdapter: bounded
// executor, completion callback, shutdown at the end of the process). A call that waits
// on the item of another asynchronous call from inside an implementation can deadlock when every worker
// is busy: serve such work synchronously.
//
// All members are safe to call from any thread. The adapter is reference counted (a stub keeps it alive):
// allocate it with new and hold it through a Pellum::Ref.
#pragma once

#include <cstddef>
#include <memory>
#include <shared_mutex>
#include <string>
#include <unordered_map>

#include "ormid/AsyncAdapter.h"
#include "ormid/Export.h"
#include "ormid/ManagedObject.h"
#include "ormid/MoRef.h"
#include "ormid/Stub.h"

namespace Ormid {

class ManagedObject;

class ORMID_API LoopbackAdapter final : public AsyncStubAdapter {
public:
   // maxThreads: upper bound of worker threads for asynchronous calls (0: the hardware's concurrency,
   // at least 1 and at most 4).
   explicit LoopbackAdapter(unsigned maxThreads = 0);
   ~LoopbackAdapter() override;
   LoopbackAdapter(const LoopbackAdapter&) = delete;
   LoopbackAdapter& operator=(const LoopbackAdapter&) = delete;

   // Serves `object` under `ref` (by default the object's own _GetRef()). The adapter keeps a reference
   // to the object until it is unregistered or the adapter is destroyed. Throws Pellum::Exception for a
   // null object or reference, a reference already in use, or an object whose type is not the
   // reference's type or derived from it.
   void Register(ManagedObject* object);
   void Register(MoRef* ref, ManagedObject* object);
   // Stops serving `ref`; true when it was registered. Calls already running keep their target.
   bool Unregister(MoRef* ref);
   // The object served under `ref`, or null.
   Pellum::Ref<ManagedObject> Find(MoRef* ref) const;
   std::size_t GetObjectCount() const;

   // A stub of `ref`'s type that calls through this adapter, as T: an interface (Quorl::HttpNfcLease) or a
   // stub class (Quorl::HttpNfcLeaseStub, from "quorl/HttpNfcLeaseStub.h"), which adds the asynchronous
   // members; a stub class of a base type answers for a reference of a derived type. See Ormid::CreateStub.
   template <class T> Pellum::Ref<T> GetStub(MoRef* ref, RequestContext* context = nullptr) {
      return CreateStub<T>(ref, this, context);
   }

   void Invoke(MoRef* ref, ManagedMethod* method, ArgumentList& args, Pellum::Ref<Any>& result,
               RequestContext* context) override;
   // StartInvoke, GetMaxThreads, GetThreadCount and Shutdown: AsyncStubAdapter.
   std::string ToString() const override;

private:
   void Serve(MoRef* ref, ManagedMethod* method, ArgumentList& args, Pellum::Ref<Any>& result,
              RequestContext* context);

   mutable std::shared_mutex _objectsLock;
   std::unordered_map<Pellum::Ref<MoRef>, Pellum::Ref<ManagedObject>, MoRef::Hasher, MoRef::EqualTo> _objects;
};

} // namespace Ormid
