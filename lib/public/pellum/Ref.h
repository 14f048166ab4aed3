// Pellum::Ref<T>: owning pointer to a reference-counted object.
//
// A Ref holds exactly one reference to the object it points to (or is null). Copying adds a reference,
// destruction and reassignment drop one. Constructing from a raw pointer takes a new reference: objects
// start with count 0, so `Ref<T> r(new T)` leaves the object with count 1; `MakeRef<T>(args...)` does the
// same in one step and is the way to make a value.
//
// Ownership across calls: a function that takes a `T*` or a `const Ref<T>&` borrows the object for the
// call only, and may take and drop references of its own while it runs (a stub call boxes its arguments).
// An object nobody holds yet has count 0, so such a call can take it to 1 and back to 0 and free it: hold
// every value in a Ref before passing it anywhere. Never `delete` an object that a Ref may hold.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace Pellum {

template <class T> class Ref {
public:
   using element_type = T;

   constexpr Ref() noexcept = default;
   constexpr Ref(std::nullptr_t) noexcept {}
   Ref(T* p) noexcept : _p(p) { Acquire(); }
   Ref(const Ref& other) noexcept : _p(other._p) { Acquire(); }
   Ref(Ref&& other) noexcept : _p(other._p) { other._p = nullptr; }
   template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
   Ref(const Ref<U>& other) noexcept : _p(other.GetPtr()) {
      Acquire();
   }
   template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
   Ref(Ref<U>&& other) noexcept : _p(other.Detach()) {}
   ~Ref() { Release(); }

   Ref& operator=(const Ref& other) noexcept {
      Reset(other._p);
      return *this;
   }
   Ref& operator=(Ref&& other) noexcept {
      if (this != &other) {
         T* old = _p;
         _p = other._p;
         other._p = nullptr;
         if (old) {
            old->DecRef();
         }
      }
      return *this;
   }
   Ref& operator=(T* p) noexcept {
      Reset(p);
      return *this;
   }
   Ref& operator=(std::nullptr_t) noexcept {
      Reset();
      return *this;
   }

   // Points the Ref at p. The new reference is taken before the old one is dropped, so resetting to
   // the object already held is safe.
   void Reset(T* p = nullptr) noexcept {
      if (p) {
         p->IncRef();
      }
      T* old = _p;
      _p = p;
      if (old) {
         old->DecRef();
      }
   }

   // Gives up ownership without dropping the reference; the caller now owns it.
   [[nodiscard]] T* Detach() noexcept {
      T* p = _p;
      _p = nullptr;
      return p;
   }
   // Takes over a reference the caller already owns (no count change).
   void Attach(T* p) noexcept {
      Release();
      _p = p;
   }

   void Swap(Ref& other) noexcept { std::swap(_p, other._p); }

   T* GetPtr() const noexcept { return _p; }
   T* operator->() const noexcept { return _p; }
   T& operator*() const noexcept { return *_p; }
   explicit operator bool() const noexcept { return _p != nullptr; }

   // The raw pointer slot, for lock-free installers that compare-and-swap it through std::atomic_ref.
   T*& RawSlot() noexcept { return _p; }

   friend bool operator==(const Ref& a, const Ref& b) noexcept { return a._p == b._p; }
   friend bool operator==(const Ref& a, std::nullptr_t) noexcept { return a._p == nullptr; }
   friend bool operator==(const Ref& a, const T* b) noexcept { return a._p == b; }

private:
   void Acquire() const noexcept {
      if (_p) {
         _p->IncRef();
      }
   }
   void Release() noexcept {
      if (_p) {
         T* p = _p;
         _p = nullptr;
         p->DecRef();
      }
   }

   T* _p = nullptr;
};

template <class T> void swap(Ref<T>& a, Ref<T>& b) noexcept {
   a.Swap(b);
}

// Allocates a T and returns the first reference to it.
template <class T, class... Args> Ref<T> MakeRef(Args&&... args) {
   return Ref<T>(new T(std::forward<Args>(args)...));
}

} // namespace Pellum
