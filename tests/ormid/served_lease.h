// A lease of the test namespace served by its generated recorder (Recorders.h), for the loopback tests.
#pragma once

#include "Recorders.h"
#include "ormid/Loopback.h"
#include "ormidtest/LeaseStub.h"
#include "ormidtest/fault/Expired.h"

namespace Served {

using LeaseRecorder = Recording::OrmidtestLeaseRecorder;
using Pellum::Ref;

// Progress accepts 0 to 100, raises the fault Expired below 0, NotSupported above 100 and fails with a
// plain exception at 1000; Complete answers "lease <id> for <user>" with the user of the call's request
// context; Renew answers a task.
inline Ref<LeaseRecorder> ServedLease(const char* id) {
   Ref<LeaseRecorder> lease(new LeaseRecorder(id));
   lease->answer = [id = std::string(id)](const Recording::Call& call) -> Ref<Ormid::Any> {
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
         Ref<Ormid::Any> user = call.context ? call.context->Get("user") : nullptr;
         return Ormid::Box("lease " + id + " for " +
                           (user ? Ormid::Unbox<std::string>(user.GetPtr()) : std::string("(anonymous)")));
      } else if (call.member == "ormidtest.Lease.Renew") {
         return new Ormid::MoRef("ormidtest.Task", "renew-" + id);
      }
      return nullptr;
   };
   return lease;
}

} // namespace Served
