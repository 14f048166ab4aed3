// Local implementation objects of the test managed types, served through the loopback adapter.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "ormid/Loopback.h"
#include "remote_lease_types.h"

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
