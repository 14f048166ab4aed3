// A lease of the test namespace served by its generated recorder (Recorders.h), for the loopback tests and
// their concurrency tests.
#pragma once

#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
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
   void Close() {
      std::lock_guard<std::mutex> guard(_lock);
      _open = false;
   }
   void Open() {
      {
         std::lock_guard<std::mutex> guard(_lock);
         _open = true;
      }
      _changed.notify_all();
   }
   void Pass() {
      std::unique_lock<std::mutex> guard(_lock);
      ++_waiting;
      _changed.notify_all();
      _changed.wait(guard, [&] { return _open; });
      --_waiting;
   }
   // Blocks until a call waits at the closed gate.
   void AwaitWaiter() {
      std::unique_lock<std::mutex> guard(_lock);
      _changed.wait(guard, [&] { return _waiting > 0; });
   }

private:
   std::mutex _lock;
   std::condition_variable _changed;
   bool _open = true;
   int _waiting = 0;
};

// A served lease: Progress accepts 0 to 100, raises the fault Expired below 0, NotSupported above 100 and
// fails with a plain exception at 1000; Complete passes the gate and answers "lease <id> for <user>"
// with the user of the call's request context, remembering the context and the serving thread; Renew
// answers a task.
struct ServedLease {
   explicit ServedLease(const char* id) : impl(new LeaseRecorder(id)) {
      impl->answer = [this, id = std::string(id)](const Recording::Call& call) -> Ref<Ormid::Any> {
         if (call.member == "ormidtest.Lease.Progress") {
            const int percent = Ormid::Unbox<int>(call.args[0].GetPtr());
            if (percent < 0) {
               Ref<Ormidtest::Fault::Expired>(new Ormidtest::Fault::Expired())->Throw();
            }
            if (percent == 1000) {
               throw std::runtime_error("progress store unavailable");
            }
            if (percent > 100) {
               Ref<Ormid::Fault::NotSupported>(new Ormid::Fault::NotSupported())->Throw();
            }
         } else if (call.member == "ormidtest.Lease.Complete") {
            gate.Pass();
            Ormid::RequestContext* context = Ormid::RequestContext::GetCurrent();
            std::string user = "(no context)";
            if (context != nullptr) {
               Ref<Ormid::Any> value = context->Get("user");
               user = value ? Ormid::Unbox<std::string>(value.GetPtr()) : std::string("(anonymous)");
            }
            std::lock_guard<std::mutex> guard(lock);
            seenContext = context;
            servingThread = std::this_thread::get_id();
            return Ormid::Box("lease " + id + " for " + user);
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
