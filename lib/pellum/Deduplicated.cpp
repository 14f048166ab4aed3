#include "pellum/Deduplicated.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "pellum/Exception.h"

namespace Pellum {

using Table = Deduplicated<std::string>::DeduplicationTable;

constinit Table Deduplicated<std::string>::_dedupTable;

int Table::Less::Compare(std::string_view a, std::string_view b) noexcept {
   const std::size_t common = a.size() < b.size() ? a.size() : b.size();
   if (common != 0) {
      // memcmp compares as unsigned char.
      const int byBytes = std::memcmp(a.data(), b.data(), common);
      if (byBytes != 0) {
         return byBytes;
      }
   }
   return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

void Table::EnsureConstructed() {
   if (_state.load(std::memory_order_acquire) != kUnconstructed) {
      return;
   }
   std::call_once(_guard, [this] {
      new (_mutexStorage) System::MutexValue();
      new (_setStorage) Set();
      _state.store(kLive, std::memory_order_release);
      // Registered after construction, so it runs before the destructors of anything constructed
      // earlier and after those of everything constructed later (handles in later statics included).
      std::atexit(&Table::DestroyAtExit);
   });
}

void Table::DestroyAtExit() {
   Table& table = Deduplicated<std::string>::_dedupTable;
   table.Mutex().Lock();
   table._state.store(kDestroyed, std::memory_order_release);
   table.Entries().~Set();
   table.Mutex().Unlock();
   table.Mutex().~MutexValue();
}

System::MutexValue& Table::GetMutex() {
   EnsureConstructed();
   return Mutex();
}

Table::Handle Table::FindOrAddLocked(std::string_view value) {
   if (_state.load(std::memory_order_acquire) != kLive) {
      // Only after the exit-time destructor: hand out a private entry that no set knows.
      return Handle(new Wrapper(std::string(value)), Deleter{this});
   }
   Set& entries = Entries();
   auto found = entries.find(value);
   if (found != entries.end()) {
      if (Handle shared = (*found)->Lock()) {
         return shared;
      }
      // The entry's last handle is being released; its deleter waits for the mutex we hold. Never
      // revive it: take it out of the set, so that the deleter removes nothing but its own wrapper.
      entries.erase(found);
      _replacedDying.fetch_add(1, std::memory_order_relaxed);
   }
   return Add(std::string(value));
}

namespace {

// True once Add has stored the entry's self reference, i.e. once a handle to it has been handed out.
bool IsPublished(const std::weak_ptr<const Table::Wrapper>& self) noexcept {
   const std::weak_ptr<const Table::Wrapper> none;
   return self.owner_before(none) || none.owner_before(self);
}

} // namespace

Table::Handle Table::Add(std::string&& value) {
   auto* wrapper = new Wrapper(std::move(value));
   try {
      Entries().insert(wrapper);
   } catch (...) {
      delete wrapper;
      throw;
   }
   // If the control block cannot be allocated, the constructor calls the deleter (which sees an entry
   // that was never published and undoes the insertion without taking the mutex) and rethrows.
   Handle handle(wrapper, Deleter{this});
   wrapper->_self = handle;
   return handle;
}

void Table::Delete(const Wrapper* wrapper) noexcept {
   if (_state.load(std::memory_order_acquire) != kLive) {
      delete wrapper;
      return;
   }
   if (!IsPublished(wrapper->_self)) {
      // Add failed to create the first handle; its caller holds the mutex.
      EraseIfSame(wrapper);
      delete wrapper;
      return;
   }
   System::MutexValue& mutex = Mutex();
   mutex.Lock();
   EraseIfSame(wrapper);
   delete wrapper;
   mutex.Unlock();
}

void Table::EraseIfSame(const Wrapper* wrapper) noexcept {
   Set& entries = Entries();
   auto found = entries.find(wrapper->GetValue());
   // After a lookup replaced this dying entry, the set holds a newer one for the same string: keep it.
   if (found != entries.end() && *found == wrapper) {
      entries.erase(found);
   }
}

std::size_t Table::size() {
   EnsureConstructed();
   if (!IsConstructed()) {
      return 0;
   }
   System::MutexLock lock(Mutex());
   return Entries().size();
}

bool Table::Contains(std::string_view value) {
   return EntryFor(value) != nullptr;
}

const Table::Wrapper* Table::EntryFor(std::string_view value) {
   EnsureConstructed();
   if (!IsConstructed()) {
      return nullptr;
   }
   System::MutexLock lock(Mutex());
   auto found = Entries().find(value);
   return found == Entries().end() ? nullptr : *found;
}

void Deduplicated<std::string>::Set(std::string_view value) {
   DeduplicationTable& table = _dedupTable;
   std::shared_ptr<const Wrapper> fresh;
   table.EnsureConstructed();
   if (table.IsConstructed()) {
      System::MutexLock lock(table.GetMutex());
      fresh = table.FindOrAddLocked(value);
   } else {
      // Only after the table's exit-time destructor has run.
      fresh = table.FindOrAddLocked(value);
   }
   if (fresh != _handle) {
      // Dropping the old handle may run its deleter, which takes the mutex again.
      _handle.swap(fresh);
   }
   // `fresh` now holds the old handle (or the duplicate of the current one) and is released here.
}

const std::string& Deduplicated<std::string>::Get() const {
   if (!_handle) {
      throw Exception("Deduplicated<std::string>::Get() on a null handle");
   }
   return _handle->GetValue();
}

} // namespace Pellum
