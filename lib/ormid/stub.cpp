// Request contexts, the stub adapter interface and the stub base.

#include <typeinfo>
#include <utility>

#include "ormid/Any.h"
#include "ormid/ManagedType.h"
#include "ormid/MoRef.h"
#include "ormid/Registry.h"
#include "ormid/Stub.h"
#include "pellum/Exception.h"
#include "pellum/Print.h"

namespace Ormid {

namespace {

// The context of the call served on this thread (RequestContext::Scope keeps it alive).
thread_local RequestContext* tCurrentContext = nullptr;

} // namespace

// --- RequestContext --------------------------------------------------------------------------------------

RequestContext::RequestContext() = default;

RequestContext::RequestContext(const RequestContext& other) : Pellum::ObjectImpl(other) {
   std::lock_guard<std::mutex> guard(other._lock);
   _values = other._values;
}

RequestContext::~RequestContext() = default;

void RequestContext::Set(std::string_view key, Any* value) {
   Pellum::Ref<Any> held(value);
   std::lock_guard<std::mutex> guard(_lock);
   auto it = _values.find(key);
   if (it != _values.end()) {
      it->second.Swap(held);
   } else {
      _values.emplace(std::string(key), std::move(held));
   }
   // The previous value (now in `held`) is released after the lock.
}

Pellum::Ref<Any> RequestContext::Get(std::string_view key) const {
   std::lock_guard<std::mutex> guard(_lock);
   auto it = _values.find(key);
   return it != _values.end() ? it->second : Pellum::Ref<Any>();
}

bool RequestContext::Contains(std::string_view key) const {
   std::lock_guard<std::mutex> guard(_lock);
   return _values.find(key) != _values.end();
}

bool RequestContext::Remove(std::string_view key) {
   Pellum::Ref<Any> removed;
   std::lock_guard<std::mutex> guard(_lock);
   auto it = _values.find(key);
   if (it == _values.end()) {
      return false;
   }
   removed.Swap(it->second);
   _values.erase(it);
   return true;
}

std::vector<std::string> RequestContext::GetKeys() const {
   std::lock_guard<std::mutex> guard(_lock);
   std::vector<std::string> keys;
   keys.reserve(_values.size());
   for (const auto& entry : _values) {
      keys.push_back(entry.first);
   }
   return keys;
}

std::size_t RequestContext::size() const {
   std::lock_guard<std::mutex> guard(_lock);
   return _values.size();
}

RequestContext* RequestContext::GetCurrent() noexcept {
   return tCurrentContext;
}

RequestContext::Scope::Scope(RequestContext* context) noexcept
    : _context(context), _previous(tCurrentContext) {
   tCurrentContext = context;
}

RequestContext::Scope::~Scope() {
   tCurrentContext = _previous;
}

std::string RequestContext::ToString() const {
   std::lock_guard<std::mutex> guard(_lock);
   std::string text = "RequestContext{";
   bool first = true;
   for (const auto& [key, value] : _values) {
      text += first ? "" : ", ";
      first = false;
      text += key;
      text += '=';
      text += value ? value->ToString() : std::string("(null)");
   }
   text += '}';
   return text;
}

// --- StubAdapter -----------------------------------------------------------------------------------------

StubAdapter::~StubAdapter() = default;

// --- StubImpl --------------------------------------------------------------------------------------------

StubImpl::StubImpl(MoRef* ref, StubAdapter* adapter, RequestContext* context)
    : _ref(ref), _adapter(adapter), _context(context) {
   if (ref == nullptr || adapter == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("a stub needs a reference and an adapter (%1)",
                                              ref == nullptr ? "no reference" : "no adapter"));
   }
}

StubImpl::~StubImpl() = default;

MoRef* StubImpl::_GetRef() const {
   return _ref.GetPtr();
}

void StubImpl::_Invalidate() {}

void StubImpl::_Invoke(ManagedMethod* method, ArgumentList& args, Pellum::Ref<Any>& result) {
   Pellum::Ref<RequestContext> context = _GetRequestContext();
   _adapter->Invoke(_ref.GetPtr(), method, args, result, context.GetPtr());
}

void StubImpl::_Invoke_Task(ManagedMethod* method, ArgumentList& args, Pellum::Ref<Any>& result) {
   Check(method, args);
   Pellum::Ref<Any> answer;
   _Invoke(method, args, answer);
   if (method->IsTask() && answer && dynamic_cast<MoRef*>(answer.GetPtr()) == nullptr) {
      const Any& received = *answer;
      Pellum::ThrowTypeMismatchException(typeid(MoRef), typeid(received));
   }
   result = std::move(answer);
}

void StubImpl::_Invoke_Task(ManagedMethod* method, ArgumentList& args) {
   Pellum::Ref<Any> ignored;
   _Invoke_Task(method, args, ignored);
}

void StubImpl::_StartInvoke(ManagedMethod* method, ArgumentList& args, const CompletionFn& done,
                            Pellum::Ref<Pellum::System::ScheduledItem>& item) {
   Pellum::Ref<RequestContext> context = _GetRequestContext();
   _adapter->StartInvoke(_ref.GetPtr(), method, args, done, item, context.GetPtr());
}

void StubImpl::_StartInvoke_Task(ManagedMethod* method, ArgumentList& args, const CompletionFn& done,
                                 Pellum::Ref<Pellum::System::ScheduledItem>& item) {
   Check(method, args);
   if (!method->IsTask() || !done) {
      _StartInvoke(method, args, done, item);
      return;
   }
   // A task method answers a task reference; anything else reaches the callback as a type mismatch.
   CompletionFn checked = [done](Pellum::System::ScheduledItem* started, Pellum::Exception* error,
                                 Any* answer) {
      if (error == nullptr && answer != nullptr && dynamic_cast<MoRef*>(answer) == nullptr) {
         Pellum::TypeMismatchException mismatch(typeid(MoRef), typeid(*answer));
         done(started, &mismatch, nullptr);
         return;
      }
      done(started, error, answer);
   };
   _StartInvoke(method, args, checked, item);
}

StubAdapter* StubImpl::_GetStubAdapter() const {
   return _adapter.GetPtr();
}

Pellum::Ref<RequestContext> StubImpl::_GetRequestContext() const {
   std::lock_guard<std::mutex> guard(_contextLock);
   return _context;
}

void StubImpl::_SetRequestContext(RequestContext* context) {
   Pellum::Ref<RequestContext> held(context);
   {
      std::lock_guard<std::mutex> guard(_contextLock);
      _context.Swap(held);
   }
   // The previous context is released outside the lock.
}

void StubImpl::Check(const ManagedMethod* method, const ArgumentList& args) const {
   if (method == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint(
          "call on %1 without a method object (is the type's package registered?)", _ref->ToString()));
   }
   if (args.size() != method->GetParamCount()) {
      throw Pellum::Exception(Pellum::ASPrint("%1 takes %2 arguments, %3 were given", method->GetFullName(),
                                              method->GetParamCount(), args.size()));
   }
}

// --- Stub factory ----------------------------------------------------------------------------------------

Pellum::Ref<ManagedObject> CreateStubFor(MoRef* ref, StubAdapter* adapter, RequestContext* context) {
   if (ref == nullptr) {
      throw Pellum::Exception("cannot create a stub for a null reference");
   }
   ManagedObjectType* type = dynamic_cast<ManagedObjectType*>(ref->GetManagedType());
   if (type == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("cannot create a stub for %1: its type is not a registered managed type with stubs",
                          ref->ToString()));
   }
   Pellum::Ref<StubImpl> stub = type->CreateStub(ref, adapter, context);
   StubImpl& made = *stub;
   ManagedObject* object = dynamic_cast<ManagedObject*>(&made);
   if (object == nullptr) {
      Pellum::ThrowTypeMismatchException(typeid(ManagedObject), typeid(made));
   }
   return Pellum::Ref<ManagedObject>(object);
}

} // namespace Ormid
