// Any, DynamicData, PropertyDiffSet and the nested comparison of values.

#include <algorithm>
#include <string>
#include <typeinfo>
#include <vector>

#include "field_values.h"
#include "ormid/Any.h"
#include "ormid/Array.h"
#include "ormid/ToString.h"
#include "pellum/Exception.h"
#include "pellum/Print.h"

namespace Ormid {

// ---------------------------------------------------------------------------------------------------------
// DiffPath, PropertyDiffSet

void DiffPath::AppendTo(std::string& out) const {
   if (_parent != nullptr) {
      _parent->AppendTo(out);
   }
   if (_index == kNoIndex) {
      out += _text;
   } else {
      out += '[';
      out += std::to_string(_index);
      out += ']';
   }
}

std::string DiffPath::ToString() const {
   std::string out;
   AppendTo(out);
   return out;
}

bool PropertyDiffSet::Contains(std::string_view path) const noexcept {
   for (const std::string& p : _changed) {
      if (p == path) {
         return true;
      }
   }
   return false;
}

std::string PropertyDiffSet::ToString() const {
   std::string out;
   for (const std::string& p : _changed) {
      out += p;
      out += '\n';
   }
   return out;
}

// ---------------------------------------------------------------------------------------------------------
// Any, DynamicData

Any::~Any() = default;

std::string Any::ToString() const {
   return Ormid::ToString(this);
}

DynamicData::~DynamicData() = default;

Type* DynamicData::_GetType() const {
   return GetDoType<DynamicData>();
}

DataObjectType* DynamicData::_GetDataType() const {
   return GetDoType<DynamicData>();
}

Any* DynamicData::_Clone() const {
   return new DynamicData(*this);
}

bool DynamicData::_IsEqual(const Any* /*other*/, bool /*pattern*/) const {
   return true;
}

void DynamicData::_DiffProperties(const Any* other, const DiffPath& prefix, PropertyDiffSet& diffs) const {
   const DynamicData* o = dynamic_cast<const DynamicData*>(other);
   if (o == nullptr || typeid(*o) != typeid(*this)) {
      diffs.Add(prefix); // outside the contract; report the whole value rather than guess
      return;
   }
   const DataObjectType* type = _GetDataType();
   if (type == nullptr) {
      return;
   }
   type->ForEachProperty([&](const DataObjectType* owner, int index, const PropertyRecord& record) {
      if (IsReferenceKind(GetFieldKind(record))) {
         GetFieldPtrFn ptr = owner->GetDescriptor()->getFieldPtr;
         const DiffPath dot(prefix, ".");
         DiffAnyPropertiesInt(static_cast<const Any*>(ptr(const_cast<DynamicData*>(this), index)),
                              static_cast<const Any*>(ptr(const_cast<DynamicData*>(o), index)), dot,
                              record.name, record.flags, diffs);
      } else if (!Detail::SameField(Property(*owner, index), this, o)) {
         diffs.Add(prefix + "." + record.name);
      }
   });
}

void DynamicData::CopyFrom(const DynamicData& other) {
   if (typeid(other) != typeid(*this)) {
      const Type* from = other._GetType();
      const Type* to = _GetType();
      throw Pellum::Exception(Pellum::ASPrint("cannot copy a value of type %1 into an object of type %2",
                                              from != nullptr ? from->GetName() : typeid(other).name(),
                                              to != nullptr ? to->GetName() : typeid(*this).name()));
   }
   if (&other == this) {
      return;
   }
   // The whole copy first (it may throw: a cycle, memory), then field by field into this object; the
   // exchanges move values of the same class and do not throw.
   Pellum::Ref<Any> copy(CloneNested(&other));
   DynamicData* from = static_cast<DynamicData*>(copy.GetPtr());
   const DataObjectType* type = _GetDataType();
   type->ForEachProperty([&](const DataObjectType* owner, int index, const PropertyRecord& record) {
      Detail::MoveField(owner->GetDescriptor()->swapField, record, from, this, index);
   });
}

// ---------------------------------------------------------------------------------------------------------
// Nested copies

Any* CloneNested(const Any* value) {
   if (value == nullptr) {
      return nullptr;
   }
   // The values this thread is copying, outermost first: a copy that reaches one of them again would
   // never end.
   thread_local std::vector<const Any*> copying;
   if (std::find(copying.begin(), copying.end(), value) != copying.end()) {
      const Type* type = value->_GetType();
      throw Pellum::Exception(Pellum::ASPrint("cannot copy a value of type %1 that holds itself (a reference "
                                              "cycle through its properties or elements)",
                                              type != nullptr ? type->GetName() : "(unregistered)"));
   }
   copying.push_back(value);
   struct Pop {
      ~Pop() { copying.pop_back(); }
   } pop;
   return value->_Clone();
}

// ---------------------------------------------------------------------------------------------------------
// Nested comparison

namespace {

bool IsEmptyArray(const Any* value) noexcept {
   const ArrayBase* array = dynamic_cast<const ArrayBase*>(value);
   return array != nullptr && array->GetCollectionLength() == 0;
}

} // namespace

bool IsNullOrEmptyArray(const Any* value) noexcept {
   return value == nullptr || IsEmptyArray(value);
}

bool AreEqualAnysInt(const Any* a, const Any* b, unsigned /*flags*/, bool pattern) {
   if (a == b) {
      return true;
   }
   if (b == nullptr) {
      return pattern || IsEmptyArray(a);
   }
   if (a == nullptr) {
      return IsEmptyArray(b);
   }
   // An empty array in the pattern stands for an unset property, which matches anything.
   if (typeid(*a) != typeid(*b)) {
      return pattern && IsEmptyArray(b);
   }
   return a->_IsEqual(b, pattern) || (pattern && IsEmptyArray(b));
}

void DiffAnyPropertiesInt(const Any* a, const Any* b, const DiffPath& prefix, const char* name,
                          unsigned /*flags*/, PropertyDiffSet& diffs) {
   if (a == b) {
      return;
   }
   const DiffPath named(prefix, name != nullptr ? name : "");
   const DiffPath& path = name != nullptr ? named : prefix;
   if (a != nullptr && b != nullptr && typeid(*a) == typeid(*b)) {
      a->_DiffProperties(b, path, diffs); // two empty arrays of one class report nothing there
      return;
   }
   // Null and an empty array are equal; values of different classes never are.
   if ((a == nullptr && IsEmptyArray(b)) || (b == nullptr && IsEmptyArray(a))) {
      return;
   }
   diffs.Add(path);
}

PropertyDiffSet DiffProperties(const Any* a, const Any* b, const std::string& prefix) {
   PropertyDiffSet diffs;
   DiffAnyPropertiesInt(a, b, prefix, nullptr, 0, diffs);
   return diffs;
}

} // namespace Ormid
