// Local objects of generated managed types for the tests that serve them through the runtime's loopback
// adapter, built on the generated skeletons (every member they do not override raises NotSupported):
//
//   ServedLease (quorl.HttpNfcLease)  Progress stores 0 to 100 and fails in each way a served call can;
//                                     GetMode names the caller from the request context and waits at a gate
//                                     while it is closed; the members with arguments record what arrived
//   ServedPool (quorl.ResourcePool)   a managed entity: GetName and the inherited task method Rename
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "ormid/Loopback.h"
#include "quorl/HttpNfcLeaseSkeleton.h"
#include "quorl/KeyValue.h"
#include "quorl/ResourcePoolSkeleton.h"
#include "quorl/fault/Timedout.h"

namespace Served {

using Pellum::Ref;
using Quorl::HttpNfcLease;

// The fault of class F that `call` raises as F's exception; null, and a failure, when it raises none.
template <class F> Ref<F> FaultOf(const std::function<void()>& call) {
   try {
      call();
   } catch (const typename F::Exception& e) {
      return Ref<F>(dynamic_cast<F*>(e.GetFault()));
   }
   ADD_FAILURE() << "no " << typeid(F).name() << " raised";
   return nullptr;
}

class ServedLease : public Quorl::HttpNfcLeaseSkeleton {
public:
   explicit ServedLease(const std::string& id)
       : _ref(new Ormid::MoRef(Ormid::GetMoType<HttpNfcLease>(), id)) {}

   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}

   // 0 to 100 is stored; a negative value raises the declared fault Timedout; 1000 makes the store fail
   // with a plain exception; any other value raises the undeclared fault NotSupported.
   void Progress(int value) override {
      ++calls;
      if (value < 0) {
         Ref<Quorl::Fault::Timedout>(new Quorl::Fault::Timedout())->Throw();
      }
      if (value == 1000) {
         throw std::runtime_error("progress store unavailable");
      }
      if (value > 100) {
         Ref<Ormid::Fault::NotSupported>(new Ormid::Fault::NotSupported())->Throw();
      }
      percent = value;
   }
   int GetTransferProgress() override { return percent; }

   // "lease <id> for <user>" with the user taken from the request context of the call.
   std::string GetMode() override {
      ++calls;
      WaitAtGate();
      Ormid::RequestContext* context = Ormid::RequestContext::GetCurrent();
      std::string user = "(no context)";
      if (context != nullptr) {
         Ref<Ormid::Any> value = context->Get("user");
         user = value ? Ormid::Unbox<std::string>(value.GetPtr()) : std::string("(anonymous)");
      }
      std::lock_guard<std::mutex> guard(_lock);
      _seenContext = context;
      _servingThread = std::this_thread::get_id();
      return "lease " + _ref->GetId() + " for " + user;
   }

   // Records the arguments; answers one result per file, null for null.
   void ProbeUrls(Ormid::DataArray<SourceFile>* files, const Pellum::Optional<int>& timeout,
                  Ref<Ormid::DataArray<ProbeResult>>& result) override {
      ++calls;
      std::lock_guard<std::mutex> guard(_lock);
      probeFiles = files;
      probeTimeout = timeout;
      if (files != nullptr) {
         result = new Ormid::DataArray<ProbeResult>();
         for (std::size_t i = 0; i < files->size(); ++i) {
            result->Append(new ProbeResult());
         }
      }
   }
   void Abort(Ormid::MethodFault* fault) override {
      ++calls;
      abortFault = fault;
   }
   void SetManifestChecksumType(Ormid::DataArray<Quorl::KeyValue>* types) override {
      ++calls;
      checksumTypes = types;
   }

   Ref<Ormid::RequestContext> SeenContext() {
      std::lock_guard<std::mutex> guard(_lock);
      return _seenContext;
   }
   std::thread::id ServingThread() {
      std::lock_guard<std::mutex> guard(_lock);
      return _servingThread;
   }
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

   std::atomic<int> calls{0};
   std::atomic<int> percent{0};
   Ref<Ormid::DataArray<SourceFile>> probeFiles;
   Pellum::Optional<int> probeTimeout;
   Ref<Ormid::MethodFault> abortFault;
   Ref<Ormid::DataArray<Quorl::KeyValue>> checksumTypes;

private:
   void WaitAtGate() {
      std::unique_lock<std::mutex> guard(_gateLock);
      ++_waiting;
      _gateChanged.notify_all();
      _gateChanged.wait(guard, [&] { return _gateOpen; });
      --_waiting;
   }

   Ref<Ormid::MoRef> _ref;
   std::mutex _lock;
   Ref<Ormid::RequestContext> _seenContext;
   std::thread::id _servingThread;
   std::mutex _gateLock;
   std::condition_variable _gateChanged;
   bool _gateOpen = true;
   int _waiting = 0;
};

class ServedPool : public Quorl::ResourcePoolSkeleton {
public:
   explicit ServedPool(const std::string& id)
       : _ref(new Ormid::MoRef(Ormid::GetMoType<Quorl::ResourcePool>(), id)) {}

   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}

   std::string GetName() override { return "pool " + _ref->GetId(); }
   void Rename(const std::string& newName, Ref<Ormid::MoRef>& task) override {
      std::lock_guard<std::mutex> guard(_lock);
      _newName = newName;
      task = new Ormid::MoRef("quorl.Task", "rename-" + _ref->GetId());
   }
   std::string NewName() {
      std::lock_guard<std::mutex> guard(_lock);
      return _newName;
   }

private:
   Ref<Ormid::MoRef> _ref;
   std::mutex _lock;
   std::string _newName;
};

} // namespace Served
