// A lease of the test namespace served by its generated recorder (Recorders.h), for the loopback tests.
#pragma once

#include <condition_variable>
#include <thread>

#include "Recorders.h"
#include "ormid/Loopback.h"
#include "ormidtest/LeaseStub.h"
#include "ormidtest/fault/Expired.h"

namespace Served {

using LeaseRecorder = Recording::OrmidtestLeaseRecorder;
using Pellum::Ref;

// Holds the calls that pass it while it is closed.
class Gate {
public:
   void Close() { Set(false); }
   void Open() { Set(true); }
   void Pass() {
      std::unique_lock<std::mutex> guard(_lock);
      ++_waiting;
      _changed.notify_all();
      _changed.wait(guard, [&] { return _open; });
      --_waiting;
   }
   void AwaitWaiter() { // until a call waits at the closed gate
      std::unique_lock<std::mutex> guard(_lock);
      _changed.wait(guard, [&] { return _waiting > 0; });
   }

private:
   void Set(bool open) {
      std::lock_guard<std::mutex> guard(_lock);
      _open = open;
      _changed.notify_all();
   }
   std::mutex _lock;
   std::condition_variable _changed;
   bool _open = true;
   int _waiting = 0;
};

// Progress accepts 0 to 100, raises the fault Expired below 0, NotSupported above 100 and fails with a
// plain exception at 1000; Complete passes the gate and answers "lease <id> for <user>" with the user of the
// call's request context, remembering the context and the serving thread; Renew answers a task.
struct ServedLease {
   explicit ServedLease(const char* id) : impl(new LeaseRecorder(id)) {
      impl->answer = [this, id = std::string(id)](const Recording::Call& call) -> Ref<Ormid::Any> {
         if (call.member == "ormidtest.Lease.Progress") {
            const int percent = Ormid::Unbox<int>(call.args[0].GetPtr());
            if (percent == 1000) {
               throw std::runtime_error("progress store unavailable");
            }
            if (percent < 0 || percent > 100) {
               Ref<Ormid::MethodFault> fault =
                   percent < 0 ? static_cast<Ormid::MethodFault*>(new Ormidtest::Fault::Expired())
                               : new Ormid::Fault::NotSupported();
               fault->Throw();
            }
         } else if (call.member == "ormidtest.Lease.Complete") {
            gate.Pass();
            Ormid::RequestContext* context = Ormid::RequestContext::GetCurrent();
            Ref<Ormid::Any> user = context != nullptr ? context->Get("user") : nullptr;
            std::lock_guard<std::mutex> guard(lock);
            seenContext = context;
            servingThread = std::this_thread::get_id();
            return Ormid::Box("lease " + id + " for " +
                              (user ? Ormid::Unbox<std::string>(user.GetPtr()) : std::string("(anonymous)")));
         } else if (call.member == "ormidtest.Lease.Renew") {
            return new Ormid::MoRef("ormidtest.Task", "renew-" + id);
         }
         return nullptr;
      };
   }
   Ref<Ormid::RequestContext> SeenContext() {
      std::lock_guard<std::mutex> guard(lock);
      return seenContext;
   }

   Ref<LeaseRecorder> impl;
   Gate gate;
   std::mutex lock;
   Ref<Ormid::RequestContext> seenContext;
   std::thread::id servingThread;
};

} // namespace Served
