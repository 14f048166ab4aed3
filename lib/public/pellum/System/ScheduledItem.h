// Pellum::System::ScheduledItem: the handle of an asynchronous call.
//
// The runtime creates one per asynchronous call and hands it back to the caller (through a Ref) and to
// the completion callback. A caller can wait for the call to finish; the runtime marks it done with
// Complete() once the completion callback has run. Completing is idempotent: the first call wins, later
// ones do nothing. All members are safe to call from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "pellum/Export.h"
#include "pellum/Object.h"

namespace Pellum::System {

class PELLUM_API ScheduledItem : public ObjectImpl {
public:
   ScheduledItem();
   explicit ScheduledItem(std::string description);
   ScheduledItem(const ScheduledItem&) = delete;
   ScheduledItem& operator=(const ScheduledItem&) = delete;
   ~ScheduledItem() override;

   // Blocks until the item is done.
   void Wait() const;
   // Blocks until the item is done or `timeout` has passed; true when done.
   bool WaitFor(std::chrono::milliseconds timeout) const;
   bool IsDone() const;

   // Marks the item done and wakes every waiter. Returns true for the call that completed it, false when
   // it was already done.
   bool Complete();

   // What the call is, for diagnostics ("quorl.VirtualMachine.powerOn on vm-42"); may be empty.
   const std::string& GetDescription() const noexcept { return _description; }
   // "ScheduledItem(<description>, done|pending)".
   std::string ToString() const override;

private:
   const std::string _description;
   mutable std::mutex _mutex;
   mutable std::condition_variable _doneChanged;
   bool _done = false;
};

} // namespace Pellum::System
