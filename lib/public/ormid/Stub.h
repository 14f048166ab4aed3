// Client side of remote calls: request contexts, stub adapters and the stub base.
//
// A client stub (one class per managed type, deriving from the type's interface and from Ormid::StubImpl)
// turns each member call into a call of the runtime: it boxes the arguments into a vector of
// Pellum::Ref<Ormid::Any>, names the member by its method object (Ormid::ManagedMethod, taken from the
// type's method-object table) and calls one of the StubImpl invoke operations. StubImpl hands the call to
// its Ormid::StubAdapter, the transport; Ormid::LoopbackAdapter (Loopback.h) is the in-process one.
//
// Faults: when the serving side answers with a fault, the synchronous operations raise it as the fault's
// own exception class (Ormid::MethodFault::Exception or a class derived from it), so a caller catches it
// by that class or any of its bases. Asynchronous operations report it to the completion callback as a
// Pellum::Exception* of the same most-derived class, whose Throw() rethrows it.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "ormid/Export.h"
#include "ormid/ManagedObject.h"
#include "ormid/Primitive.h"
#include "pellum/Exception.h"
#include "pellum/Object.h"
#include "pellum/Optional.h"
#include "pellum/Ref.h"
#include "pellum/System/ScheduledItem.h"

namespace Ormid {

class Any;
class ManagedMethod;
class ManagedObjectType;
class MoRef;

// Arguments of one call: one slot per parameter, in parameter order; null for an unset optional.
using ArgumentList = std::vector<Pellum::Ref<Any>>;
// Completion callback of an asynchronous call: the call's item, then the exception the call ended with
// (null on success; owned by the runtime and valid only during the callback: Clone() it to keep it), then
// the boxed result (null on failure or for a member without result; the callback may take a reference).
using CompletionFn = std::function<void(Pellum::System::ScheduledItem*, Pellum::Exception*, Any*)>;

// Named values that travel with a call (a session key, the caller's locale, an operation id ...). A stub
// passes its context to the adapter with every call; the serving side sees a copy taken when the call
// starts (as it would after crossing a wire): changes on either side afterwards do not reach the other.
// All members are safe to call from any thread.
class ORMID_API RequestContext : public Pellum::ObjectImpl {
public:
   RequestContext();
   // Copies the entries (the values are shared, not cloned).
   RequestContext(const RequestContext& other);
   RequestContext& operator=(const RequestContext&) = delete;
   ~RequestContext() override;

   // Sets `key` to `value` (null allowed: the key is then present with a null value).
   void Set(std::string_view key, Any* value);
   // The value of `key`, or null when it is absent or null.
   Pellum::Ref<Any> Get(std::string_view key) const;
   bool Contains(std::string_view key) const;
   // Removes `key`; true when it was present.
   bool Remove(std::string_view key);
   // The keys, sorted.
   std::vector<std::string> GetKeys() const;
   std::size_t size() const;

   // The context of the call being served on the calling thread, or null outside a served call. Valid
   // until the call returns; take a Ref to keep it longer.
   static RequestContext* GetCurrent() noexcept;

   // Makes a context current on the calling thread for the guard's lifetime (null allowed), then restores
   // the previous one. Adapters use it around dispatch; nested calls nest.
   class ORMID_API Scope {
   public:
      explicit Scope(RequestContext* context) noexcept;
      ~Scope();
      Scope(const Scope&) = delete;
      Scope& operator=(const Scope&) = delete;

   private:
      Pellum::Ref<RequestContext> _context;
      RequestContext* _previous;
   };

   // "RequestContext{key=value, ...}" with the values rendered by their ToString().
   std::string ToString() const override;

private:
   mutable std::mutex _lock;
   std::map<std::string, Pellum::Ref<Any>, std::less<>> _values;
};

// The transport of remote calls. A stub holds a reference to its adapter; adapters are reference counted
// and must be allocated with new.
class ORMID_API StubAdapter : public Pellum::ObjectImpl {
public:
   ~StubAdapter() override;

   // Runs `method` on the object `ref` names with `args` (one slot per parameter) and stores the boxed
   // result into `result` (null for a member without result; for a task method the task's reference).
   // Raises a fault answered by the serving side as the fault's own exception class. `context` may be
   // null.
   virtual void Invoke(MoRef* ref, ManagedMethod* method, ArgumentList& args, Pellum::Ref<Any>& result,
                       RequestContext* context) = 0;

   // Starts the same call and returns at once with its item in `item`. When the call ends, the adapter
   // calls `done(item, exception or null, result or null)` on a thread of its choosing, then completes
   // the item, so a caller waiting on the item sees the callback's effects. Every started call completes
   // exactly once. A call that cannot even be started raises at once and sets no item. `done` may be
   // empty.
   virtual void StartInvoke(MoRef* ref, ManagedMethod* method, ArgumentList& args, const CompletionFn& done,
                            Pellum::Ref<Pellum::System::ScheduledItem>& item, RequestContext* context) = 0;

protected:
   StubAdapter() = default;
};

// The base of every client stub. A stub adds no data: the reference of the remote object, the adapter
// and the request context live here. Generated stubs call only the two _Invoke_Task forms and
// _StartInvoke_Task.
//
// A stub class derives from both its interface (virtually) and StubImpl; both declare _GetRef and
// _Invalidate, so each root stub overrides them once more:
//    Ormid::MoRef* _GetRef() const override { return Ormid::StubImpl::_GetRef(); }
//    void _Invalidate() override {}
//
// Virtual slots, in order: _GetRef, _Invalidate, _Invoke, _Invoke_Task, _StartInvoke, _StartInvoke_Task,
// _GetStubAdapter, _GetRequestContext, _SetRequestContext, then the destructor pair (nothing else, so a
// stub's own members follow directly).
class ORMID_API StubImpl : public virtual Pellum::Object {
public:
   // Keeps a reference to each of the three; `context` may be null. Throws Pellum::Exception for a null
   // ref or adapter.
   StubImpl(MoRef* ref, StubAdapter* adapter, RequestContext* context);

   // The reference of the remote object.
   virtual MoRef* _GetRef() const;
   // Does nothing.
   virtual void _Invalidate();
   // The raw call: hands method and arguments to the adapter with the stub's reference and context. No
   // checks; generated code never calls it.
   virtual void _Invoke(ManagedMethod* method, ArgumentList& args, Pellum::Ref<Any>& result);
   // The checked call that generated stubs use for every member with a result, task methods included:
   // the method must be non-null and `args` must hold exactly its parameter count (else
   // Pellum::Exception), then _Invoke; a task method must answer a reference (else the type-mismatch
   // exception). `result` is replaced by the answer (its previous value released).
   virtual void _Invoke_Task(ManagedMethod* method, ArgumentList& args, Pellum::Ref<Any>& result);
   // The raw asynchronous call (see StubAdapter::StartInvoke); generated code never calls it.
   virtual void _StartInvoke(ManagedMethod* method, ArgumentList& args, const CompletionFn& done,
                             Pellum::Ref<Pellum::System::ScheduledItem>& item);
   // The checked asynchronous call of generated stubs: the checks of _Invoke_Task, then _StartInvoke.
   virtual void _StartInvoke_Task(ManagedMethod* method, ArgumentList& args, const CompletionFn& done,
                                  Pellum::Ref<Pellum::System::ScheduledItem>& item);
   virtual StubAdapter* _GetStubAdapter() const;
   // The context the next call carries (a reference: it may be replaced concurrently).
   virtual Pellum::Ref<RequestContext> _GetRequestContext() const;
   // Replaces the context of later calls (null allowed); calls already started keep theirs.
   virtual void _SetRequestContext(RequestContext* context);

   ~StubImpl() override;

   // Call without result (a method that has none and does not run as a task): _Invoke_Task with a
   // scratch result that is dropped.
   void _Invoke_Task(ManagedMethod* method, ArgumentList& args);

private:
   void Check(const ManagedMethod* method, const ArgumentList& args) const;

   Pellum::Ref<MoRef> _ref;
   Pellum::Ref<StubAdapter> _adapter;
   mutable std::mutex _contextLock;
   Pellum::Ref<RequestContext> _context;
};

// A stub of the type `ref` names (its most-derived registered type), narrowed to the interface T: the
// type-mismatch exception when that type's stub does not implement T; Pellum::Exception when the
// reference's type is not a registered managed type.
ORMID_API Pellum::Ref<ManagedObject> CreateStubFor(MoRef* ref, StubAdapter* adapter, RequestContext* context);

template <class T>
Pellum::Ref<T> CreateStub(MoRef* ref, StubAdapter* adapter, RequestContext* context = nullptr) {
   Pellum::Ref<ManagedObject> stub = CreateStubFor(ref, adapter, context);
   ManagedObject& object = *stub;
   T* typed = dynamic_cast<T*>(&object);
   if (typed == nullptr) {
      Pellum::ThrowTypeMismatchException(typeid(T), typeid(object));
   }
   return Pellum::Ref<T>(typed);
}

// --- Conversions of generated stubs and dispatchers ---------------------------------------------------
//
// Arguments are boxed with Ormid::Box (Primitive.h: a new Primitive<T>, the shared boxes for bool) or
// passed as the object itself; values are unboxed with Ormid::Unbox<T> (Primitive.h).

// The narrowing cast of a received value: null stays null; a value of another class raises the
// type-mismatch exception with T and the value's class.
template <class T> T* NarrowCast(Any* value) {
   if constexpr (std::is_same_v<T, Any>) {
      return value;
   } else {
      if (value == nullptr) {
         return nullptr;
      }
      T* narrowed = dynamic_cast<T*>(value);
      if (narrowed == nullptr) {
         Any& received = *value;
         Pellum::ThrowTypeMismatchException(typeid(T), typeid(received));
      }
      return narrowed;
   }
}

// An array result: the narrowing cast to the array class A; a null result gives a new empty A.
template <class A> Pellum::Ref<A> NarrowArray(Any* value) {
   if (value == nullptr) {
      return Pellum::Ref<A>(new A());
   }
   return Pellum::Ref<A>(NarrowCast<A>(value));
}

// An optional plain value (argument in a dispatcher, result in a stub): unset for null, otherwise the
// value of the Primitive<T> (type mismatch for another class).
template <class T> Pellum::Optional<T> UnboxOptional(const Any* value) {
   if (value == nullptr) {
      return Pellum::Optional<T>();
   }
   return Pellum::Optional<T>(Unbox<T>(value));
}

// The slot of an optional plain argument: null when unset, otherwise the box of the value.
template <class T> Pellum::Ref<Any> BoxOptional(const Pellum::Optional<T>& value) {
   return value.IsSet() ? Box(value.GetValue()) : Pellum::Ref<Any>();
}

} // namespace Ormid
