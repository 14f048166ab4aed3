// Reference-counted objects.
//
// Every value of the object model derives from Pellum::ObjectImpl: a virtual table followed by a 32-bit
// reference count. A new object starts with count 0; the first owner (usually a Pellum::Ref) takes the
// first reference. IncRef is a relaxed atomic add; DecRef a sequentially consistent atomic subtract, and
// the subtract that takes the count from 1 to 0 destroys the object through its virtual deleting
// destructor. Copying an object never copies its count: the copy starts at 0. Calls borrow the objects
// passed to them: hold a new object in a Pellum::Ref (Pellum::MakeRef) before passing it (Ref.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "pellum/Export.h"

namespace Pellum {

class PELLUM_API ObjectImpl {
public:
   ObjectImpl() noexcept : _refCount(0) {}
   ObjectImpl(const ObjectImpl&) noexcept : _refCount(0) {}
   ObjectImpl& operator=(const ObjectImpl&) noexcept { return *this; }
   virtual ~ObjectImpl();

   // A readable rendering of the object; the base answers the dynamic class name.
   virtual std::string ToString() const;

   void IncRef() const noexcept { _refCount.fetch_add(1, std::memory_order_relaxed); }
   void DecRef() const noexcept {
      if (_refCount.fetch_sub(1, std::memory_order_seq_cst) == 1) {
         delete this;
      }
   }
   // Current count; a snapshot for diagnostics and tests only.
   int32_t GetRefCount() const noexcept { return _refCount.load(std::memory_order_relaxed); }

private:
   mutable std::atomic<int32_t> _refCount;
};

static_assert(sizeof(std::atomic<int32_t>) == 4, "the reference count is 32 bits wide");

// The reference-counted base of interface hierarchies. Interfaces derive from it virtually, so that an
// object implementing several interfaces (an interface and a stub, say) carries exactly one count.
class PELLUM_API Object : public ObjectImpl {
public:
   ~Object() override;
};

} // namespace Pellum
