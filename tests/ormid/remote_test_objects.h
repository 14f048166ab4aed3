// Local implementation objects of the test managed types, served through the loopback adapter.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

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
   void GetParent(Pellum::Ref<Ormid::MoRef>& parent) override { parent = _parent; }
   void Rename(const std::string& newName, Pellum::Ref<Ormid::MoRef>& task) override {
      std::lock_guard<std::mutex> guard(_lock);
      _newName = newName;
      task = new Ormid::MoRef("rtest.Task", "rename-" + _ref->GetId());
   }

   std::string GetNewName() {
      std::lock_guard<std::mutex> guard(_lock);
      return _newName;
   }
   void SetParent(Ormid::MoRef* parent) { _parent = parent; }

protected:
   explicit EntityImpl(Ormid::MoRef* ref) : _ref(ref) {}

   Pellum::Ref<Ormid::MoRef> _ref;
   Pellum::Ref<Ormid::MoRef> _parent;
   std::mutex _lock;
   std::string _newName;
};

// What the last call of Probe received.
struct ProbeCall {
   Pellum::Ref<Ormid::Array<std::string>> urls;
   Pellum::Optional<int> timeout;
   Pellum::Optional<std::string> label;
   Pellum::Ref<Ormid::MoRef> peer;
   bool strict = false;
};

class LeaseImpl : public RTest::Lease, public EntityImpl {
public:
   explicit LeaseImpl(const std::string& id)
       : EntityImpl(new Ormid::MoRef(Ormid::GetMoType<RTest::Lease>(), id)) {}

   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}

   // Progress: 0 to 100 is stored; a negative value raises the declared fault LeaseExpired; 1000 makes the
   // store fail with a plain exception; any other value is an invalid argument.
   void Progress(int percent) override {
      ++_calls;
      if (percent < 0) {
         Pellum::Ref<RTest::Fault::LeaseExpired> fault(
             new RTest::Fault::LeaseExpired("key-" + _ref->GetId()));
         fault->invalidProperty = std::string("percent");
         fault->Throw();
      }
      if (percent == 1000) {
         throw std::runtime_error("progress store unavailable");
      }
      if (percent > 100) {
         Pellum::Ref<Ormid::Fault::InvalidArgument> fault(new Ormid::Fault::InvalidArgument("percent"));
         fault->Throw();
      }
      std::lock_guard<std::mutex> guard(_lock);
      _percent = percent;
      _count = _count.GetValueOr(0) + 1;
   }

   void Probe(Ormid::Array<std::string>* urls, const Pellum::Optional<int>& timeout,
              const Pellum::Optional<std::string>& label, Ormid::MoRef* peer, bool strict,
              Pellum::Ref<Ormid::Array<std::string>>& result) override {
      ++_calls;
      {
         std::lock_guard<std::mutex> guard(_lock);
         _probe.urls = urls;
         _probe.timeout = timeout;
         _probe.label = label;
         _probe.peer = peer;
         _probe.strict = strict;
      }
      if (urls == nullptr) {
         return; // a null array result
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

   void FindPeer(const std::string& key, Pellum::Ref<Ormid::MoRef>& result) override {
      ++_calls;
      if (key == "none") {
         return;
      }
      result = new Ormid::MoRef(Ormid::GetMoType<RTest::Entity>(), key);
   }

   void Abort(Ormid::MethodFault* fault) override {
      ++_calls;
      std::lock_guard<std::mutex> guard(_lock);
      _aborted = true;
      _abortFault = fault;
   }

   void PullFromUrls(Ormid::Array<std::string>* urls, Pellum::Ref<Ormid::MoRef>& task) override {
      ++_calls;
      task = new Ormid::MoRef("rtest.Task", "pull-" + std::to_string(urls != nullptr ? urls->size() : 0));
   }

   Pellum::Optional<long> Count() override {
      std::lock_guard<std::mutex> guard(_lock);
      return _count;
   }

   int GetPercentDone() override {
      std::lock_guard<std::mutex> guard(_lock);
      return _percent;
   }
   std::string GetMode() override { return "pull"; }
   void GetPeers(Pellum::Ref<Ormid::DataArray<Ormid::MoRef>>& peers) override {
      std::lock_guard<std::mutex> guard(_lock);
      peers = _peers;
   }
   void GetError(Pellum::Ref<Ormid::MethodFault>& error) override {
      std::lock_guard<std::mutex> guard(_lock);
      error = _abortFault;
   }

   // Test controls and observations.
   void AddPeer(const std::string& id) {
      std::lock_guard<std::mutex> guard(_lock);
      if (!_peers) {
         _peers = new Ormid::DataArray<Ormid::MoRef>();
      }
      _peers->Append(Pellum::Ref<Ormid::MoRef>(new Ormid::MoRef(Ormid::GetMoType<RTest::Entity>(), id)));
   }
   ProbeCall LastProbe() {
      std::lock_guard<std::mutex> guard(_lock);
      return _probe;
   }
   Pellum::Ref<Ormid::RequestContext> SeenContext() {
      std::lock_guard<std::mutex> guard(_lock);
      return _seenContext;
   }
   std::thread::id ServingThread() {
      std::lock_guard<std::mutex> guard(_lock);
      return _servingThread;
   }
   bool Aborted() {
      std::lock_guard<std::mutex> guard(_lock);
      return _aborted;
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
   Pellum::Optional<long> _count;
   ProbeCall _probe;
   Pellum::Ref<Ormid::RequestContext> _seenContext;
   std::thread::id _servingThread;
   bool _aborted = false;
   Pellum::Ref<Ormid::MethodFault> _abortFault;
   Pellum::Ref<Ormid::DataArray<Ormid::MoRef>> _peers;

   std::mutex _gateLock;
   std::condition_variable _gateChanged;
   bool _gateOpen = true;
   int _waiting = 0;
};

} // namespace RTestImpl
