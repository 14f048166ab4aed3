// Ormid::Any: the base of every value of the object model, and Ormid::DynamicData: the base of every data
// object and fault.
//
// Values are reference counted (Pellum::ObjectImpl: a new value starts with count 0; the first
// Pellum::Ref takes the first reference). Every value class shares this virtual slot order:
//   0, 1  destructor, deleting destructor
//   2     ToString()          readable rendering by reflection (ToString.h)
//   3     _GetType()          the value's runtime type
//   4     _Clone()            a copy with count 0; immutable values (boxes, MoRef) return themselves
//   5     _IsEqual(other, pattern)
//   6     _DiffProperties(other, prefix, diffs)
// Data objects add
//   7     _GetDataType()      the same type object as _GetType()
// and faults continue with the slots of MethodFault.h.
//
// Reference cycles. The fields of data objects are public, so nothing keeps a value from holding itself
// (a fault set as its own faultCause, an object appended to an array it holds). Cycles are therefore not
// refused when made but detected when copied: copies reach nested values through CloneNested, which
// raises Pellum::Exception when the copy comes back to a value it is still copying, and the partial copy
// is released. Comparison, difference, rendering and the wire codec do not look for cycles: a value in a
// cycle is only copied (and refused) until the cycle is broken, which it must be before the last reference
// is dropped, since reference counting never frees a cycle.
//
// Nested comparison. A data object compares its own plain fields itself and hands every nested value
// (data object, fault, MoRef, any value, array) to AreEqualAnysInt / DiffAnyPropertiesInt below, which
// dispatch back into the nested value's _IsEqual / _DiffProperties once the two sides are known to be of
// the same class. Rules of AreEqualAnysInt(a, b, flags, pattern):
//   - the same object (null and null included) is equal;
//   - with the pattern flag, a null `b` (the pattern's property is unset) matches anything;
//   - an unset (null) array and an empty array are equal, on either side: a getter that installs an empty
//     array never changes equality (so with the pattern flag an empty array `b` matches anything too);
//   - otherwise a null side is unequal to a non-null side;
//   - values of different dynamic classes are unequal (never an exception);
//   - otherwise a->_IsEqual(b, pattern).
// Rules of DiffAnyPropertiesInt(a, b, prefix, name, flags, diffs), path = prefix + name (name may be null):
//   - equal by the first four rules above (null/null, same object, null against empty array): nothing;
//   - one side null (and not an empty array), or different dynamic classes (two empty arrays included):
//     the path;
//   - otherwise a->_DiffProperties(b, path, diffs): a data object reports its differing properties as
//     path.property; two data arrays of equal length report per element (path[i], path[i].property ...),
//     of different lengths the path; arrays of plain values, boxed values and MoRef report the path.
// So a difference is reported exactly when AreEqualAnysInt(a, b, flags, false) is false.
// The flag word is the property's (PropertyFlags); the comparison gives no meaning to its bits beyond
// what the values themselves carry. Neither function allocates, except the path strings of differences:
// paths are DiffPath chains on the stack, written out only for a difference, and a difference is looked
// for once per value (no equality test ahead of it).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ormid/Export.h"
#include "ormid/Type.h"
#include "pellum/Object.h"

namespace Ormid {

// The place of a value inside the values being compared, built on the stack as the difference walks down
// (a root text, then one ".property" or "[i]" step per level) and written out as a string only when a
// difference is reported there: a walk that finds no difference allocates nothing. A path refers to its
// parent and its texts without copying them: it lives no longer than the call it is made for.
class ORMID_API DiffPath {
public:
   DiffPath(const char* root) noexcept : _text(root != nullptr ? root : "") {}
   DiffPath(const std::string& root) noexcept : _text(root) {}
   // `step` is the property's step, ".name".
   DiffPath(const DiffPath& parent, const char* step) noexcept : _parent(&parent), _text(step) {}
   // The element `index` of an array.
   DiffPath(const DiffPath& parent, std::size_t index) noexcept : _parent(&parent), _index(index) {}

   void AppendTo(std::string& out) const;
   std::string ToString() const;
   friend std::string operator+(const DiffPath& path, std::string_view step) {
      std::string out = path.ToString();
      out += step;
      return out;
   }

private:
   static constexpr std::size_t kNoIndex = static_cast<std::size_t>(-1);
   const DiffPath* _parent = nullptr;
   std::string_view _text;
   std::size_t _index = kNoIndex;
};

// The paths of the properties that differ between two values, in the order they were found. Empty, it
// holds no memory.
class ORMID_API PropertyDiffSet {
public:
   using const_iterator = std::vector<std::string>::const_iterator;

   void Add(std::string path) { _changed.push_back(std::move(path)); }
   void Add(const DiffPath& path) { _changed.push_back(path.ToString()); }
   void Add(const DiffPath& path, std::string_view step) { _changed.push_back(path + step); }
   bool Contains(std::string_view path) const noexcept;
   std::size_t size() const noexcept { return _changed.size(); }
   bool empty() const noexcept { return _changed.empty(); }
   void clear() noexcept { _changed.clear(); }
   const std::string& operator[](std::size_t i) const { return _changed[i]; }
   const_iterator begin() const noexcept { return _changed.begin(); }
   const_iterator end() const noexcept { return _changed.end(); }
   // The paths, one per line.
   std::string ToString() const;

   std::vector<std::string> _changed;
};

class ORMID_API Any : public Pellum::ObjectImpl {
public:
   Any() noexcept = default;
   Any(const Any&) noexcept = default;
   Any& operator=(const Any&) noexcept = default;
   ~Any() override;

   // Readable, indented rendering (Ormid::ToString).
   std::string ToString() const override;
   virtual Type* _GetType() const = 0;
   virtual Any* _Clone() const = 0;
   virtual bool _IsEqual(const Any* other, bool pattern) const = 0;
   virtual void _DiffProperties(const Any* other, const DiffPath& prefix, PropertyDiffSet& diffs) const = 0;
};

// The base of every data object: holds nothing but the object header, so its copy only starts a new count
// at zero. As a value of its own it is an empty data object ("kobl.DynamicData"): equal to every other
// DynamicData, with no properties.
class ORMID_API DynamicData : public Any {
public:
   DynamicData() noexcept = default;
   DynamicData(const DynamicData&) noexcept = default;
   DynamicData& operator=(const DynamicData&) noexcept = default;
   ~DynamicData() override;

   Type* _GetType() const override;
   Any* _Clone() const override;
   // The base contributes no fields: true.
   bool _IsEqual(const Any* other, bool pattern) const override;
   // Generic difference by reflection: walks every property of this object's data type (inherited first,
   // through the descriptors' getFieldPtr), appends prefix + "." + name for each plain property that
   // differs and hands nested values to DiffAnyPropertiesInt. Classes that do not generate their own
   // difference (faults) inherit it. `other` must be of the same class.
   void _DiffProperties(const Any* other, const DiffPath& prefix, PropertyDiffSet& diffs) const override;
   virtual DataObjectType* _GetDataType() const;

   // Makes this object a deep copy of `other`, by the copy constructor's rules (nested data objects and
   // arrays copied through CloneNested, so a cycle is refused; MoRef and boxed values shared). `other`
   // must be of exactly this object's class: another class raises Pellum::Exception naming both. Either
   // the whole copy is made or nothing changes (the copy is made apart first, then exchanged field by
   // field). Copying an object into itself changes nothing.
   void CopyFrom(const DynamicData& other);
};

// The copy of a nested value (a field's or an array element's): value->_Clone(), or null for null. Throws
// Pellum::Exception naming the value's type when the copy is inside a copy of that same value (a cycle).
ORMID_API Any* CloneNested(const Any* value);
template <class X> X* CloneNested(const Pellum::Ref<X>& field) {
   return static_cast<X*>(CloneNested(static_cast<const Any*>(field.GetPtr())));
}

// Equality and difference of one nested value (rules at the top of this header).
ORMID_API bool AreEqualAnysInt(const Any* a, const Any* b, unsigned flags, bool pattern);
ORMID_API void DiffAnyPropertiesInt(const Any* a, const Any* b, const DiffPath& prefix, const char* name,
                                    unsigned flags, PropertyDiffSet& diffs);

// Equality of two whole values: AreEqualAnysInt(a, b, 0, pattern).
inline bool AreEqual(const Any* a, const Any* b, bool pattern = false) {
   return AreEqualAnysInt(a, b, 0, pattern);
}
// The differences between two whole values, paths relative to `prefix`.
ORMID_API PropertyDiffSet DiffProperties(const Any* a, const Any* b,
                                         const std::string& prefix = std::string());

// True when `value` is null, or an array (Ormid::DataArray or Ormid::Array) without elements.
ORMID_API bool IsNullOrEmptyArray(const Any* value) noexcept;

} // namespace Ormid
