// Pellum::System::MutexValue: a plain, non-recursive mutual-exclusion lock.
//
// Lock() returns once the calling thread holds the mutex; Unlock() releases it. Locking a mutex the
// calling thread already holds is a programming error (it deadlocks). The class also meets the standard
// Lockable requirements (lock/try_lock/unlock), so std::lock_guard, std::unique_lock and
// std::condition_variable_any work with it. MutexLock is the scoped guard of this library.
#pragma once

#include <mutex>

#include "pellum/Export.h"

namespace Pellum::System {

class PELLUM_API MutexValue {
public:
   MutexValue() noexcept;
   ~MutexValue();
   MutexValue(const MutexValue&) = delete;
   MutexValue& operator=(const MutexValue&) = delete;

   void Lock();
   // Acquires the mutex if it is free; true when the calling thread now holds it.
   bool TryLock() noexcept;
   void Unlock() noexcept;

   // Standard Lockable spelling.
   void lock() { Lock(); }
   bool try_lock() noexcept { return TryLock(); }
   void unlock() noexcept { Unlock(); }

private:
   std::mutex _mutex;
};

// Holds a MutexValue for the lifetime of the guard.
class MutexLock {
public:
   explicit MutexLock(MutexValue& mutex) : _mutex(mutex) { _mutex.Lock(); }
   ~MutexLock() { _mutex.Unlock(); }
   MutexLock(const MutexLock&) = delete;
   MutexLock& operator=(const MutexLock&) = delete;

private:
   MutexValue& _mutex;
};

} // namespace Pellum::System
