// The in-process stub adapter.

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "ormid/Any.h"
#include "ormid/Loopback.h"
#include "ormid/ManagedType.h"
#include "ormid/MethodFault.h"
#include "pellum/Exception.h"
#include "pellum/Print.h"

namespace Ormid {

namespace {

// Adds a readable explanation to a fault the runtime raises (the exception text names only the type).
void AddFaultMessage(MethodFault* fault, const char* key, std::string text) {
   Pellum::Ref<LocalizableMessage> message(new LocalizableMessage(key, std::move(text)));
   fault->GetFaultMessage()->Append(message.GetPtr());
}

Pellum::Ref<Fault::SystemError> SystemErrorOf(const std::string& reason) {
   return Pellum::Ref<Fault::SystemError>(new Fault::SystemError(reason));
}

// The context the serving side sees: a copy of the caller's, or an empty one.
Pellum::Ref<RequestContext> ServingContext(RequestContext* context) {
   return Pellum::Ref<RequestContext>(context != nullptr ? new RequestContext(*context)
                                                         : new RequestContext());
}

} // namespace

// --- LoopbackAdapter -------------------------------------------------------------------------------------

LoopbackAdapter::LoopbackAdapter(unsigned maxThreads) : AsyncStubAdapter(maxThreads) {}

LoopbackAdapter::~LoopbackAdapter() {
   StopExecutor();
}

void LoopbackAdapter::Register(ManagedObject* object) {
   if (object == nullptr) {
      throw Pellum::Exception("LoopbackAdapter::Register: null object");
   }
   Register(object->_GetRef(), object);
}

void LoopbackAdapter::Register(MoRef* ref, ManagedObject* object) {
   if (ref == nullptr || object == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("LoopbackAdapter::Register: null %1", ref == nullptr ? "reference" : "object"));
   }
   ManagedObjectType* objectType = object->_GetType();
   if (objectType == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("cannot serve %1: the object's managed type is not registered", ref->ToString()));
   }
   Type* refType = ref->GetManagedType();
   if (refType == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("cannot serve %1: no managed type %2 is registered",
                                              ref->ToString(), ref->GetTypeName()));
   }
   if (!objectType->IsA(refType)) {
      throw Pellum::Exception(Pellum::ASPrint("cannot serve %1 with an object of type %2", ref->ToString(),
                                              objectType->GetName()));
   }
   Pellum::Ref<MoRef> key(ref);
   std::unique_lock<std::shared_mutex> guard(_objectsLock);
   if (!_objects.emplace(key, Pellum::Ref<ManagedObject>(object)).second) {
      throw Pellum::Exception(Pellum::ASPrint("%1 is already served by this adapter", ref->ToString()));
   }
}

bool LoopbackAdapter::Unregister(MoRef* ref) {
   if (ref == nullptr) {
      return false;
   }
   Pellum::Ref<ManagedObject> removed;
   std::unique_lock<std::shared_mutex> guard(_objectsLock);
   auto it = _objects.find(Pellum::Ref<MoRef>(ref));
   if (it == _objects.end()) {
      return false;
   }
   removed = std::move(it->second);
   _objects.erase(it);
   guard.unlock(); // the object may be destroyed now, outside the lock
   return true;
}

Pellum::Ref<ManagedObject> LoopbackAdapter::Find(MoRef* ref) const {
   if (ref == nullptr) {
      return nullptr;
   }
   Pellum::Ref<MoRef> key(ref);
   std::shared_lock<std::shared_mutex> guard(_objectsLock);
   auto it = _objects.find(key);
   return it != _objects.end() ? it->second : Pellum::Ref<ManagedObject>();
}

std::size_t LoopbackAdapter::GetObjectCount() const {
   std::shared_lock<std::shared_mutex> guard(_objectsLock);
   return _objects.size();
}

void LoopbackAdapter::Invoke(MoRef* ref, ManagedMethod* method, ArgumentList& args, Pellum::Ref<Any>& result,
                             RequestContext* context) {
   if (ref == nullptr || method == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("LoopbackAdapter::Invoke: null %1", ref == nullptr ? "reference" : "method"));
   }
   Pellum::Ref<RequestContext> serving = ServingContext(context);
   Serve(ref, method, args, result, serving.GetPtr());
}

void LoopbackAdapter::Serve(MoRef* ref, ManagedMethod* method, ArgumentList& args, Pellum::Ref<Any>& result,
                            RequestContext* context) {
   Pellum::Ref<ManagedObject> target = Find(ref);
   if (!target) {
      Pellum::Ref<Fault::ManagedObjectNotFound> fault(new Fault::ManagedObjectNotFound(ref));
      AddFaultMessage(
          fault.GetPtr(), "ormid.loopback.notFound",
          Pellum::ASPrint("%1 is not served here (calling %2)", ref->ToString(), method->GetFullName()));
      fault->Throw();
   }
   ManagedObjectType* owner = method->GetOwner();
   ManagedObjectType* targetType = target->_GetType();
   if (targetType == nullptr || !targetType->IsA(owner)) {
      Pellum::Ref<Fault::NotSupported> fault(new Fault::NotSupported());
      AddFaultMessage(fault.GetPtr(), "ormid.loopback.notSupported",
                      Pellum::ASPrint("%1 (of type %2) has no member %3", ref->ToString(),
                                      targetType != nullptr ? targetType->GetName() : "(unknown)",
                                      method->GetFullName()));
      fault->Throw();
   }

   RequestContext::Scope scope(context);
   Pellum::Ref<Any> answer;
   try {
      owner->Dispatch(target.GetPtr(), method->GetIndex(), args, answer);
   } catch (const MethodFault::Exception& e) {
      // As if it had crossed the wire: raised again as the fault's own exception class.
      if (MethodFault* fault = e.GetFault()) {
         Pellum::Ref<MethodFault> held(fault);
         held->Throw();
      }
      SystemErrorOf(std::string("fault exception without a fault: ") + e.what())->Throw();
   } catch (const std::exception& e) {
      SystemErrorOf(e.what())->Throw();
   } catch (...) {
      SystemErrorOf("unknown exception")->Throw();
   }
   result = std::move(answer);
}

std::string LoopbackAdapter::ToString() const {
   return Pellum::ASPrint("LoopbackAdapter(%1 objects, %2 of %3 threads)", GetObjectCount(), GetThreadCount(),
                          GetMaxThreads());
}

} // namespace Ormid
