// Ormid::Primitive<T>: one boxed plain value travelling as an Ormid::Any (a method argument or result, the
// value of an any-typed property, a boxed enumeration value).
//
// A box is immutable once created, so _Clone() returns the box itself (the caller's Ref adds the
// reference). Boxes compare by value: integers, booleans and ordinals by value, floating point as such (a
// NaN equals nothing), strings and string-valued types bytewise, date-times by GetUtcTime(); the pattern
// flag plays no part. Comparing a box with a value of another dynamic class is a caller error and raises
// Pellum's type-mismatch exception (expected Ormid::Primitive<T>, then the other's class); the runtime's
// comparison (AreEqualAnysInt) checks the classes first and never does so.
//
// Primitive<E> for an enumeration E holds the ordinal as an int; its type is GetEnumType<E>().
// The two boolean boxes Primitive<bool>::Factory::sTrue and sFalse are shared by everyone: they are never
// destroyed, and Box(bool) answers them instead of allocating.
#pragma once

#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "ormid/Any.h"
#include "ormid/Export.h"
#include "ormid/Strings.h"
#include "ormid/Type.h"
#include "pellum/Exception.h"
#include "pellum/Ref.h"
#include "pellum/System/DateTime.h"

namespace Ormid {

template <class T> class Primitive;

namespace Detail {
template <class T> struct PrimitiveFactory {};
template <> struct ORMID_API PrimitiveFactory<bool> {
   static Primitive<bool>* const sTrue;
   static Primitive<bool>* const sFalse;
};

// Raises the type-mismatch exception for comparing a box of class `expected` with `other`.
[[noreturn]] ORMID_API void ThrowBoxMismatch(const std::type_info& expected, const Any* other);
// Raises Pellum::Exception "expected a boxed <type>, got null".
[[noreturn]] ORMID_API void ThrowNullBox(const std::type_info& expected);
} // namespace Detail

template <class T> class ORMID_API Primitive : public Any {
public:
   using value_type = T;
   using Factory = Detail::PrimitiveFactory<T>;

   explicit Primitive(const T& value) : _value(value) {}
   explicit Primitive(T&& value) noexcept(std::is_nothrow_move_constructible_v<T>)
       : _value(std::move(value)) {}
   Primitive(const Primitive&) = delete;
   Primitive& operator=(const Primitive&) = delete;
   ~Primitive() override = default;

   const T& GetValue() const noexcept { return _value; }

   Type* _GetType() const override { return GetNoType<T>(); }
   Any* _Clone() const override { return const_cast<Primitive*>(this); }
   bool _IsEqual(const Any* other, bool /*pattern*/) const override { return _value == Cast(other)->_value; }
   void _DiffProperties(const Any* other, const DiffPath& prefix, PropertyDiffSet& diffs) const override {
      if (!(_value == Cast(other)->_value)) {
         diffs.Add(prefix);
      }
   }

private:
   static const Primitive* Cast(const Any* other) {
      const Primitive* o = dynamic_cast<const Primitive*>(other);
      if (o == nullptr) {
         Detail::ThrowBoxMismatch(typeid(Primitive), other);
      }
      return o;
   }

   const T _value;
};

template <class E>
requires std::is_enum_v<E>
class ORMID_API Primitive<E> : public Any {
public:
   using value_type = E;

   explicit Primitive(E value) noexcept : _value(static_cast<int>(value)) {}
   explicit Primitive(int ordinal) noexcept : _value(ordinal) {}
   Primitive(const Primitive&) = delete;
   Primitive& operator=(const Primitive&) = delete;
   ~Primitive() override = default;

   E GetValue() const noexcept { return static_cast<E>(_value); }
   int GetOrdinal() const noexcept { return _value; }

   Type* _GetType() const override { return GetEnumType<E>(); }
   Any* _Clone() const override { return const_cast<Primitive*>(this); }
   bool _IsEqual(const Any* other, bool /*pattern*/) const override { return _value == Cast(other)->_value; }
   void _DiffProperties(const Any* other, const DiffPath& prefix, PropertyDiffSet& diffs) const override {
      if (_value != Cast(other)->_value) {
         diffs.Add(prefix);
      }
   }

private:
   static const Primitive* Cast(const Any* other) {
      const Primitive* o = dynamic_cast<const Primitive*>(other);
      if (o == nullptr) {
         Detail::ThrowBoxMismatch(typeid(Primitive), other);
      }
      return o;
   }

   const int _value;
};

// The box class of a C++ value type: string literals box as std::string.
template <class T>
using BoxOf = Primitive<
    std::conditional_t<std::is_convertible_v<std::decay_t<T>, const char*>, std::string, std::decay_t<T>>>;

// A new box holding `value` (for bool: the shared box).
template <class T> Pellum::Ref<Any> Box(T&& value) {
   using P = BoxOf<T>;
   if constexpr (std::is_same_v<P, Primitive<bool>>) {
      return Pellum::Ref<Any>(value ? P::Factory::sTrue : P::Factory::sFalse);
   } else {
      return Pellum::Ref<Any>(new P(typename P::value_type(std::forward<T>(value))));
   }
}

// The value of a box of exactly Primitive<T>. Raises the type-mismatch exception for a value of another
// class and Pellum::Exception for null.
template <class T> T Unbox(const Any* value) {
   if (value == nullptr) {
      Detail::ThrowNullBox(typeid(Primitive<T>));
   }
   const Primitive<T>* box = dynamic_cast<const Primitive<T>*>(value);
   if (box == nullptr) {
      Pellum::ThrowTypeMismatchException(typeid(Primitive<T>), typeid(*value));
   }
   return box->GetValue();
}

extern template class ORMID_API Primitive<bool>;
extern template class ORMID_API Primitive<signed char>;
extern template class ORMID_API Primitive<short>;
extern template class ORMID_API Primitive<int>;
extern template class ORMID_API Primitive<long>;
extern template class ORMID_API Primitive<float>;
extern template class ORMID_API Primitive<double>;
extern template class ORMID_API Primitive<std::string>;
extern template class ORMID_API Primitive<std::vector<unsigned char>>;
extern template class ORMID_API Primitive<Pellum::System::DateTime>;
extern template class ORMID_API Primitive<TypeName>;
extern template class ORMID_API Primitive<MethodName>;
extern template class ORMID_API Primitive<Uri>;
extern template class ORMID_API Primitive<PropertyPath>;

} // namespace Ormid
