#include "pellum/System/ScheduledItem.h"

namespace Pellum::System {

ScheduledItem::ScheduledItem() = default;

ScheduledItem::ScheduledItem(std::string description) : _description(std::move(description)) {}

ScheduledItem::~ScheduledItem() = default;

void ScheduledItem::Wait() const {
   std::unique_lock lock(_mutex);
   _doneChanged.wait(lock, [this] { return _done; });
}

bool ScheduledItem::WaitFor(std::chrono::milliseconds timeout) const {
   std::unique_lock lock(_mutex);
   return _doneChanged.wait_for(lock, timeout, [this] { return _done; });
}

bool ScheduledItem::IsDone() const {
   std::lock_guard lock(_mutex);
   return _done;
}

bool ScheduledItem::Complete() {
   {
      std::lock_guard lock(_mutex);
      if (_done) {
         return false;
      }
      _done = true;
   }
   _doneChanged.notify_all();
   return true;
}

std::string ScheduledItem::ToString() const {
   std::string out = "ScheduledItem(";
   if (!_description.empty()) {
      out += _description;
      out += ", ";
   }
   out += IsDone() ? "done)" : "pending)";
   return out;
}

} // namespace Pellum::System
