#include "pellum/System/Mutex.h"

namespace Pellum::System {

MutexValue::MutexValue() noexcept = default;

MutexValue::~MutexValue() = default;

void MutexValue::Lock() {
   _mutex.lock();
}

bool MutexValue::TryLock() noexcept {
   return _mutex.try_lock();
}

void MutexValue::Unlock() noexcept {
   _mutex.unlock();
}

} // namespace Pellum::System
