// Arrays of the object model.
//
//   ArrayBase       every array: adds GetCollectionLength() (slot 7) to Any.
//   DataArrayBase   arrays of references (data objects, faults, MoRef, any values): one counted pointer per
//                   element, never null. Adds _GetItemType() (slot 8) and AppendAny() (slot 9).
//   DataArray<T>    the typed array of T (a data-object or fault class, MoRef or Any).
//   Array<T>        arrays of plain values: bool (one byte per element), signed char, short, int, long,
//                   float, double, std::string, std::vector<unsigned char>, Pellum::System::DateTime,
//                   TypeName, MethodName, Uri, PropertyPath.
//   Array<E>        arrays of an enumeration E: derives from Array<int> and stores the ordinals.
//
// Copy (_Clone()): a data array clones each element through its _Clone(), so data objects are deep-copied
// while MoRef and boxed values (which return themselves) end up shared, each with one more reference. A
// plain array copies its values.
//
// Equality: a data array equals another data array of the same class with the same number of elements
// that are pairwise equal (AreEqualAnysInt, the pattern flag passed through). A plain array equals
// another Array<T> (for enumerations: any Array<int>, plain int arrays included) with the same values in
// the same order; floating-point values compare as such (a NaN equals nothing, so an array holding a NaN
// is not equal to its own copy) and the pattern flag plays no part. Comparing with null or with another
// kind of value answers false, never throws.
//
// Difference: a data array of the same length as the other reports the differences of each element
// under prefix[i]; otherwise it reports prefix itself. A plain array reports prefix when not equal.
//
// Arrays are not locked: concurrent reads are fine, a modification must not race with any other access.
#pragma once

#include <atomic>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "ormid/Any.h"
#include "ormid/Export.h"
#include "ormid/MoRef.h"
#include "ormid/Strings.h"
#include "ormid/Type.h"
#include "pellum/Exception.h"
#include "pellum/Ref.h"
#include "pellum/System/DateTime.h"

namespace Ormid {

class ORMID_API ArrayBase : public Any {
public:
   ArrayBase() noexcept = default;
   ArrayBase(const ArrayBase&) noexcept = default;
   ArrayBase& operator=(const ArrayBase&) = delete;
   ~ArrayBase() override;

   // Number of elements.
   virtual int32_t GetCollectionLength() const = 0;
};

namespace Detail {
// Raises Pellum::Exception "index 5 out of range of an array of 3 elements".
[[noreturn]] ORMID_API void ThrowIndexOutOfRange(std::size_t index, std::size_t size);
} // namespace Detail

class ORMID_API DataArrayBase : public ArrayBase {
public:
   DataArrayBase() noexcept = default;
   // Element-wise _Clone(); if a clone throws, the elements cloned so far are released.
   DataArrayBase(const DataArrayBase& other);
   ~DataArrayBase() override;

   int32_t GetCollectionLength() const override { return static_cast<int32_t>(_items.size()); }
   // The element type.
   virtual Type* _GetItemType() const = 0;
   // Appends an element given as a generic value: narrowed to the element class (type-mismatch exception
   // when it is not one); null raises Pellum::Exception.
   virtual void AppendAny(Any* item) = 0;

   std::size_t size() const noexcept { return _items.size(); }
   bool empty() const noexcept { return _items.empty(); }
   // Element i as a generic value; raises Pellum::Exception for an index out of range.
   Any* GetAny(std::size_t i) const {
      if (i >= _items.size()) {
         Detail::ThrowIndexOutOfRange(i, _items.size());
      }
      return _items[i];
   }
   void Reserve(std::size_t n) { _items.reserve(n); }
   // Releases every element.
   void Clear() noexcept;
   // Removes element i (releasing it); raises Pellum::Exception for an index out of range.
   void RemoveAt(std::size_t i);

   bool _IsEqual(const Any* other, bool pattern) const override;
   void _DiffProperties(const Any* other, const DiffPath& prefix, PropertyDiffSet& diffs) const override;

protected:
   // Stores `item` (not null, already of the element class) at the end / at i, taking a reference.
   void AppendChecked(Any* item);
   void SetChecked(std::size_t i, Any* item);
   [[noreturn]] static void ThrowNullElement();

   std::vector<Any*> _items; // one reference each, never null
};

// The element type of DataArray<T>: GetNoType<T>() for MoRef and Any, GetDoType<T>() otherwise.
template <class T> Type* ItemTypeOf() {
   if constexpr (std::is_same_v<T, MoRef> || std::is_same_v<T, Any>) {
      return GetNoType<T>();
   } else {
      return GetDoType<T>();
   }
}

template <class T> class ORMID_API DataArray : public DataArrayBase {
   static_assert(std::is_base_of_v<Any, T>, "DataArray holds values derived from Ormid::Any");

public:
   class const_iterator {
   public:
      using iterator_category = std::random_access_iterator_tag;
      using value_type = T*;
      using difference_type = std::ptrdiff_t;
      using pointer = T* const*;
      using reference = T*;

      const_iterator() = default;
      explicit const_iterator(Any* const* p) : _p(p) {}
      T* operator*() const { return static_cast<T*>(*_p); }
      T* operator[](difference_type n) const { return static_cast<T*>(_p[n]); }
      const_iterator& operator++() {
         ++_p;
         return *this;
      }
      const_iterator operator++(int) {
         auto c = *this;
         ++_p;
         return c;
      }
      const_iterator& operator--() {
         --_p;
         return *this;
      }
      const_iterator operator--(int) {
         auto c = *this;
         --_p;
         return c;
      }
      const_iterator& operator+=(difference_type n) {
         _p += n;
         return *this;
      }
      const_iterator& operator-=(difference_type n) {
         _p -= n;
         return *this;
      }
      friend const_iterator operator+(const_iterator a, difference_type n) { return a += n; }
      friend const_iterator operator+(difference_type n, const_iterator a) { return a += n; }
      friend const_iterator operator-(const_iterator a, difference_type n) { return a -= n; }
      friend difference_type operator-(const_iterator a, const_iterator b) { return a._p - b._p; }
      friend bool operator==(const_iterator a, const_iterator b) { return a._p == b._p; }
      friend auto operator<=>(const_iterator a, const_iterator b) { return a._p <=> b._p; }

   private:
      Any* const* _p = nullptr;
   };
   using iterator = const_iterator;

   DataArray() noexcept = default;
   DataArray(const DataArray& other) : DataArrayBase(other) {}
   DataArray(std::initializer_list<T*> items) {
      Reserve(items.size());
      for (T* item : items) {
         Append(item);
      }
   }
   ~DataArray() override = default;

   // Element i (unchecked / checked).
   T* operator[](std::size_t i) const { return static_cast<T*>(_items[i]); }
   T* Get(std::size_t i) const { return static_cast<T*>(GetAny(i)); }
   // Appends `item` (not null), taking a reference.
   void Append(T* item) {
      if (item == nullptr) {
         ThrowNullElement();
      }
      AppendChecked(item);
   }
   void Append(const Pellum::Ref<T>& item) { Append(item.GetPtr()); }
   void push_back(T* item) { Append(item); }
   // Replaces element i (not null), releasing the old element.
   void Set(std::size_t i, T* item) {
      if (item == nullptr) {
         ThrowNullElement();
      }
      SetChecked(i, item);
   }

   const_iterator begin() const noexcept { return const_iterator(_items.data()); }
   const_iterator end() const noexcept { return const_iterator(_items.data() + _items.size()); }

   Type* _GetType() const override { return ItemTypeOf<T>()->GetArrayType(); }
   Any* _Clone() const override { return new DataArray(*this); }
   Type* _GetItemType() const override { return ItemTypeOf<T>(); }
   void AppendAny(Any* item) override {
      if (item == nullptr) {
         ThrowNullElement();
      }
      if constexpr (std::is_same_v<T, Any>) {
         AppendChecked(item);
      } else {
         T* narrowed = dynamic_cast<T*>(item);
         if (narrowed == nullptr) {
            Pellum::ThrowTypeMismatchException(typeid(T), typeid(*item));
         }
         AppendChecked(narrowed);
      }
   }
};

namespace Detail {
// One byte per boolean element (never a packed bit vector).
struct BoolByte {
   bool value = false;
   BoolByte() = default;
   BoolByte(bool v) noexcept : value(v) {}
   operator bool() const noexcept { return value; }
   friend bool operator==(BoolByte a, BoolByte b) noexcept { return a.value == b.value; }
};
static_assert(sizeof(BoolByte) == 1);

template <class T> struct ArrayElement {
   using type = T;
   static T& Ref(T& e) noexcept { return e; }
   static const T& Ref(const T& e) noexcept { return e; }
};
template <> struct ArrayElement<bool> {
   using type = BoolByte;
   static bool& Ref(BoolByte& e) noexcept { return e.value; }
   static const bool& Ref(const BoolByte& e) noexcept { return e.value; }
};
} // namespace Detail

template <class T> class ORMID_API Array : public ArrayBase {
public:
   using value_type = T;
   // The stored element: T itself, except bool, stored as one Detail::BoolByte per element.
   using Element = typename Detail::ArrayElement<T>::type;
   using iterator = Element*;
   using const_iterator = const Element*;

   Array() noexcept = default;
   Array(const Array& other) = default;
   Array(std::initializer_list<T> values) : _items(values.begin(), values.end()) {}
   // `count` default values.
   explicit Array(std::size_t count) : _items(count) {}
   ~Array() override = default;

   std::size_t size() const noexcept { return _items.size(); }
   bool empty() const noexcept { return _items.empty(); }
   // Element i, unchecked.
   T& operator[](std::size_t i) noexcept { return Detail::ArrayElement<T>::Ref(_items[i]); }
   const T& operator[](std::size_t i) const noexcept { return Detail::ArrayElement<T>::Ref(_items[i]); }
   // Element i; raises Pellum::Exception for an index out of range.
   const T& At(std::size_t i) const {
      if (i >= _items.size()) {
         Detail::ThrowIndexOutOfRange(i, _items.size());
      }
      return Detail::ArrayElement<T>::Ref(_items[i]);
   }
   void Set(std::size_t i, T value) {
      if (i >= _items.size()) {
         Detail::ThrowIndexOutOfRange(i, _items.size());
      }
      Detail::ArrayElement<T>::Ref(_items[i]) = std::move(value);
   }
   void Append(const T& value) { _items.push_back(Element(value)); }
   void Append(T&& value) { _items.push_back(Element(std::move(value))); }
   void push_back(const T& value) { Append(value); }
   void push_back(T&& value) { Append(std::move(value)); }
   void Reserve(std::size_t n) { _items.reserve(n); }
   void Resize(std::size_t n) { _items.resize(n); }
   void Clear() noexcept { _items.clear(); }

   iterator begin() noexcept { return _items.data(); }
   iterator end() noexcept { return _items.data() + _items.size(); }
   const_iterator begin() const noexcept { return _items.data(); }
   const_iterator end() const noexcept { return _items.data() + _items.size(); }
   std::vector<Element>& GetValues() noexcept { return _items; }
   const std::vector<Element>& GetValues() const noexcept { return _items; }

   int32_t GetCollectionLength() const override { return static_cast<int32_t>(_items.size()); }
   Type* _GetType() const override { return GetNoType<T>()->GetArrayType(); }
   Any* _Clone() const override { return new Array(*this); }
   bool _IsEqual(const Any* other, bool /*pattern*/) const override {
      const Array* o = dynamic_cast<const Array*>(other);
      if (o == nullptr) {
         return false;
      }
      const std::vector<Element>& a = _items;
      const std::vector<Element>& b = o->_items;
      if (a.size() != b.size()) {
         return false;
      }
      for (std::size_t i = 0; i < a.size(); ++i) {
         if (!(a[i] == b[i])) {
            return false;
         }
      }
      return true;
   }
   void _DiffProperties(const Any* other, const DiffPath& prefix, PropertyDiffSet& diffs) const override {
      if (!this->_IsEqual(other, false)) {
         diffs.Add(prefix);
      }
   }

protected:
   std::vector<Element> _items;
};

// The runtime provides these instances (declared before Array<E> uses Array<int> as its base).
extern template class ORMID_API Array<bool>;
extern template class ORMID_API Array<signed char>;
extern template class ORMID_API Array<short>;
extern template class ORMID_API Array<int>;
extern template class ORMID_API Array<long>;
extern template class ORMID_API Array<float>;
extern template class ORMID_API Array<double>;
extern template class ORMID_API Array<std::string>;
extern template class ORMID_API Array<std::vector<unsigned char>>;
extern template class ORMID_API Array<Pellum::System::DateTime>;
extern template class ORMID_API Array<TypeName>;
extern template class ORMID_API Array<MethodName>;
extern template class ORMID_API Array<Uri>;
extern template class ORMID_API Array<PropertyPath>;

// Arrays of an enumeration: the ordinals, as an Array<int>. `_values` always points at the object itself
// (set by every constructor), so the Array<int> part holds the values that the length and the comparisons
// read.
template <class E>
requires std::is_enum_v<E>
class ORMID_API Array<E> : public Array<int> {
public:
   Array() noexcept : _values(this) {}
   Array(const Array& other) : Array<int>(other), _values(this) {}
   Array(std::initializer_list<E> values) : _values(this) {
      _items.reserve(values.size());
      for (E v : values) {
         _items.push_back(static_cast<int>(v));
      }
   }
   ~Array() override = default;

   using Array<int>::Append;
   void Append(E value) { _values->Append(static_cast<int>(value)); }
   // Element i as the enumeration, unchecked / checked.
   E GetEnum(std::size_t i) const noexcept { return static_cast<E>((*_values)[i]); }
   E AtEnum(std::size_t i) const { return static_cast<E>(_values->At(i)); }

   int32_t GetCollectionLength() const override { return static_cast<int32_t>(_values->size()); }
   Type* _GetType() const override { return GetEnumType<E>()->GetArrayType(); }
   Any* _Clone() const override { return new Array(*this); }

   Array<int>* _values;
};

// The thread-safe array getter of a data-object field: answers the array the field holds, installing a
// new empty one first when the field is null. Concurrent callers on the same field all receive the same
// array (the installation is a compare-and-swap; a losing thread destroys its own array), and no array
// is leaked. The caller does not receive a reference of its own.
template <class A> A* GetOrCreateArray(Pellum::Ref<A>& field) {
   std::atomic_ref<A*> slot(field.RawSlot());
   A* current = slot.load(std::memory_order_seq_cst);
   if (current != nullptr) {
      return current;
   }
   A* fresh = new A();
   fresh->IncRef();
   A* expected = nullptr;
   while (!slot.compare_exchange_weak(expected, fresh, std::memory_order_seq_cst)) {
      if (expected != nullptr) {
         fresh->DecRef();
         return expected;
      }
   }
   return fresh;
}

extern template class ORMID_API DataArray<Any>;
extern template class ORMID_API DataArray<MoRef>;

} // namespace Ormid
