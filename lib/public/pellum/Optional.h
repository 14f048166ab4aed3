// Pellum::Optional<T>: a value followed by a one-byte is-set flag.
//
// Unsetting keeps the stored value (only the flag is cleared), which is what the reflection accessors
// rely on: reading an unset optional yields whatever it last held.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

#include "pellum/Exception.h"

namespace Pellum {

template <class T> class Optional {
public:
   Optional() = default;
   Optional(const T& value) : _value(value), _isSet(true) {}
   Optional(T&& value) : _value(std::move(value)), _isSet(true) {}

   bool IsSet() const noexcept { return _isSet; }
   explicit operator bool() const noexcept { return _isSet; }

   // The value; throws Pellum::Exception when unset.
   const T& GetValue() const {
      if (!_isSet) {
         ThrowUnsetOptional();
      }
      return _value;
   }
   // The stored value whether set or not.
   const T& GetStored() const noexcept { return _value; }
   T& GetStored() noexcept { return _value; }
   // The stored value, or `fallback` when unset.
   T GetValueOr(T fallback) const { return _isSet ? _value : std::move(fallback); }

   void Set(const T& value) {
      _value = value;
      _isSet = true;
   }
   void Set(T&& value) {
      _value = std::move(value);
      _isSet = true;
   }
   Optional& operator=(const T& value) {
      Set(value);
      return *this;
   }
   Optional& operator=(T&& value) {
      Set(std::move(value));
      return *this;
   }
   // Clears the flag; the value stays.
   void Reset() noexcept { _isSet = false; }
   void SetIsSet(bool isSet) noexcept { _isSet = isSet; }

   void Swap(Optional& other) noexcept(std::is_nothrow_swappable_v<T>) {
      using std::swap;
      swap(_value, other._value);
      swap(_isSet, other._isSet);
   }

   friend bool operator==(const Optional& a, const Optional& b) {
      return a._isSet == b._isSet && (!a._isSet || a._value == b._value);
   }

private:
   template <class U> friend struct OptionalLayout;

   T _value{};
   bool _isSet = false;
};

// Where the value and the flag sit inside Optional<T>, for code that reads or writes the field in place
// (reflection accessors). The value is at offset 0 and the flag is the byte right after it.
// Use only with standard-layout T.
template <class T> struct OptionalLayout {
   static_assert(std::is_standard_layout_v<T>, "offsets of Optional<T> are defined for standard-layout T");
   static constexpr std::size_t valueOffset = offsetof(Optional<T>, _value);
   static constexpr std::size_t flagOffset = offsetof(Optional<T>, _isSet);
};

} // namespace Pellum
