// Pellum::Deduplicated<std::string>: a shared, immutable handle to one interned copy of a string.
//
// All handles with equal contents that are alive at the same time share one entry of a process-wide
// table, Deduplicated<std::string>::_dedupTable. An entry is owned by the handles that point to it
// (a std::shared_ptr to the constant entry); when the last handle goes away, the handle's deleter takes
// the entry out of the table and frees it. The table never owns entries.
//
// Setting a handle to a string (Set) does, under the table's one mutex:
//   1. look the string up in the ordered set of entries;
//   2. if found, try to take a further shared reference through the entry's weak self reference: the
//      shared count is raised by compare-and-swap only while it is not zero (std::weak_ptr::lock);
//   3. if that fails, the entry's last handle is being released on another thread (whose deleter waits
//      for the mutex): the entry is removed from the set now and never revived;
//   4. if nothing usable was found, a new entry is added for a copy of the string;
// then, with the mutex released, the handle keeps its old entry when the result is the entry it already
// holds, or else takes the new one and drops the old (which may run the deleter).
// The deleter, under the mutex, removes the set's entry for its string only if that entry is its own
// wrapper (after step 3 the set may hold a newer entry for the same string, which stays), then frees
// the wrapper.
//
// The table object is constant-initialised and constructed on first use (or by
// DeduplicationTable::EnsureConstructed(), which the static initialiser of a module holding
// deduplicated fields may call); its destructor runs at process exit and frees the set (not the
// entries). Handles released after that free their entry without touching the table, and handles set
// after that get a private entry: shutting down never touches freed memory.
//
// Any thread may set, copy or destroy handles; one handle object is not synchronised (like std::string).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "pellum/Export.h"
#include "pellum/System/Mutex.h"

namespace Pellum {

template <class T> class Deduplicated; // only Deduplicated<std::string> exists

template <> class PELLUM_API Deduplicated<std::string> {
public:
   class PELLUM_API DeduplicationTable {
   public:
      // One interned string. Immutable once created, except for the weak self reference, which Add
      // stores once before the entry is published.
      class Wrapper {
      public:
         explicit Wrapper(std::string&& value) noexcept : _value(std::move(value)) {}
         const std::string& GetValue() const noexcept { return _value; }
         // A new shared handle to this entry, or null when its last handle is already gone.
         std::shared_ptr<const Wrapper> Lock() const noexcept { return _self.lock(); }
         // Number of live handles (a snapshot).
         long UseCount() const noexcept { return _self.use_count(); }

      private:
         friend class DeduplicationTable;
         std::weak_ptr<const Wrapper> _self;
         std::string _value;
      };

      // Orders entries by their strings: bytes compared as unsigned over the common length, then the
      // shorter first. Also compares against a std::string_view, for lookups without a copy.
      struct PELLUM_API Less {
         using is_transparent = void;
         static int Compare(std::string_view a, std::string_view b) noexcept;
         bool operator()(const Wrapper* a, const Wrapper* b) const noexcept {
            return Compare(a->GetValue(), b->GetValue()) < 0;
         }
         bool operator()(const Wrapper* a, std::string_view b) const noexcept {
            return Compare(a->GetValue(), b) < 0;
         }
         bool operator()(std::string_view a, const Wrapper* b) const noexcept {
            return Compare(a, b->GetValue()) < 0;
         }
      };

      using Set = std::set<const Wrapper*, Less>;
      using Handle = std::shared_ptr<const Wrapper>;

      // Runs when the last handle of an entry is released: performs Delete.
      struct Deleter {
         DeduplicationTable* table;
         void operator()(const Wrapper* wrapper) const noexcept { table->Delete(wrapper); }
      };

      constexpr DeduplicationTable() noexcept = default;
      DeduplicationTable(const DeduplicationTable&) = delete;
      DeduplicationTable& operator=(const DeduplicationTable&) = delete;
      // Trivial: the contents are destroyed by the exit-time destructor that EnsureConstructed
      // registers.
      ~DeduplicationTable() = default;

      // Constructs the mutex and the empty set the first time it is called and registers their
      // destruction at process exit. Thread-safe; cheap after the first call.
      void EnsureConstructed();
      bool IsConstructed() const noexcept { return _state.load(std::memory_order_acquire) == kLive; }

      // The table's mutex (constructs the table if needed). Valid until the exit-time destructor.
      System::MutexValue& GetMutex();

      // Steps 1 to 4 of setting a handle (see the top of this header). The caller holds the mutex.
      Handle FindOrAddLocked(std::string_view value);
      // Creates an entry owning `value`, inserts it into the set if no entry with an equal string is
      // there, and returns its first handle (shared count 1) with the table's deleter. The caller holds
      // the mutex. If the handle cannot be allocated, the entry is taken out of the set and freed again
      // and std::bad_alloc propagates.
      Handle Add(std::string&& value);
      // Takes the mutex; removes the set's entry for the wrapper's string if it is this very wrapper;
      // frees the wrapper; releases the mutex.
      void Delete(const Wrapper* wrapper) noexcept;

      // Introspection (each takes the mutex): number of entries, whether an entry for `value` is in the
      // set, and which one (null when none).
      std::size_t size();
      bool Contains(std::string_view value);
      const Wrapper* EntryFor(std::string_view value);
      // How often a lookup found an entry whose last handle was being released and replaced it.
      uint64_t GetReplacedDyingCount() const noexcept {
         return _replacedDying.load(std::memory_order_relaxed);
      }

   private:
      enum : uint8_t { kUnconstructed = 0, kLive = 1, kDestroyed = 2 };

      static void DestroyAtExit();
      // Removes the set's entry for the wrapper's string if it is this wrapper. Mutex held.
      void EraseIfSame(const Wrapper* wrapper) noexcept;
      System::MutexValue& Mutex() noexcept { return *reinterpret_cast<System::MutexValue*>(_mutexStorage); }
      Set& Entries() noexcept { return *reinterpret_cast<Set*>(_setStorage); }

      std::once_flag _guard;
      std::atomic<uint8_t> _state{kUnconstructed};
      std::atomic<uint64_t> _replacedDying{0};
      alignas(System::MutexValue) unsigned char _mutexStorage[sizeof(System::MutexValue)]{};
      alignas(Set) unsigned char _setStorage[sizeof(Set)]{};
   };

   using Wrapper = DeduplicationTable::Wrapper;

   // The process-wide table.
   static DeduplicationTable _dedupTable;

   // A null handle (the field is unset).
   Deduplicated() noexcept = default;
   explicit Deduplicated(std::string_view value) { Set(value); }
   Deduplicated(const Deduplicated&) noexcept = default;
   Deduplicated(Deduplicated&&) noexcept = default;
   Deduplicated& operator=(const Deduplicated&) noexcept = default;
   Deduplicated& operator=(Deduplicated&&) noexcept = default;
   ~Deduplicated() = default;

   // Points this handle at the interned entry for `value` (see the top of this header).
   void Set(std::string_view value);
   Deduplicated& operator=(std::string_view value) {
      Set(value);
      return *this;
   }
   // Drops the handle (null again).
   void Reset() noexcept { _handle.reset(); }

   bool IsNull() const noexcept { return _handle == nullptr; }
   explicit operator bool() const noexcept { return _handle != nullptr; }
   // The interned text. Precondition: not null (throws Pellum::Exception otherwise).
   const std::string& Get() const;
   // Address of the interned text, null when the handle is null.
   const std::string* GetPtr() const noexcept { return _handle ? &_handle->GetValue() : nullptr; }
   // The entry this handle points to (null when null).
   const Wrapper* GetEntry() const noexcept { return _handle.get(); }
   // True when both handles point to the same entry (both null included).
   bool SameEntry(const Deduplicated& other) const noexcept { return _handle == other._handle; }

   void Swap(Deduplicated& other) noexcept { _handle.swap(other._handle); }

   // Equal when both are null or both hold strings with the same bytes (contents, not entries).
   friend bool operator==(const Deduplicated& a, const Deduplicated& b) noexcept {
      if (a._handle == b._handle) {
         return true;
      }
      return a._handle && b._handle && a._handle->GetValue() == b._handle->GetValue();
   }

private:
   std::shared_ptr<const Wrapper> _handle;
};

inline void swap(Deduplicated<std::string>& a, Deduplicated<std::string>& b) noexcept {
   a.Swap(b);
}

} // namespace Pellum
