// ArrayBase, DataArrayBase and the array instances the runtime provides.

#include <algorithm>
#include <string>
#include <typeinfo>

#include "ormid/Array.h"
#include "ormid/BaseTypes.h"
#include "ormid/MethodFault.h"
#include "pellum/Exception.h"
#include "pellum/Print.h"

namespace Ormid {

void Detail::ThrowIndexOutOfRange(std::size_t index, std::size_t size) {
   throw Pellum::Exception(Pellum::ASPrint("index %1 out of range of an array of %2 elements", index, size));
}

ArrayBase::~ArrayBase() = default;

DataArrayBase::DataArrayBase(const DataArrayBase& other) : ArrayBase(other) {
   _items.reserve(other._items.size());
   try {
      for (Any* item : other._items) {
         Any* copy = CloneNested(item);
         copy->IncRef();
         _items.push_back(copy); // cannot throw: reserved
      }
   } catch (...) {
      Clear();
      throw;
   }
}

DataArrayBase::~DataArrayBase() {
   Clear();
}

void DataArrayBase::Clear() noexcept {
   for (Any* item : _items) {
      item->DecRef();
   }
   _items.clear();
}

void DataArrayBase::RemoveAt(std::size_t i) {
   if (i >= _items.size()) {
      Detail::ThrowIndexOutOfRange(i, _items.size());
   }
   Any* item = _items[i];
   _items.erase(_items.begin() + static_cast<std::ptrdiff_t>(i));
   item->DecRef();
}

void DataArrayBase::AppendChecked(Any* item) {
   // Room first (growing geometrically), so that push_back cannot throw once the reference is taken.
   if (_items.size() == _items.capacity()) {
      _items.reserve(std::max<std::size_t>(8, _items.size() * 2));
   }
   item->IncRef();
   _items.push_back(item);
}

void DataArrayBase::SetChecked(std::size_t i, Any* item) {
   if (i >= _items.size()) {
      Detail::ThrowIndexOutOfRange(i, _items.size());
   }
   item->IncRef();
   Any* old = _items[i];
   _items[i] = item;
   old->DecRef();
}

void DataArrayBase::ThrowNullElement() {
   throw Pellum::Exception("a data array cannot hold a null element");
}

bool DataArrayBase::_IsEqual(const Any* other, bool pattern) const {
   // The same class first (one comparison), so that no cross-cast is needed.
   if (other == nullptr || typeid(*other) != typeid(*this)) {
      return false;
   }
   const DataArrayBase* o = static_cast<const DataArrayBase*>(other);
   if (o->_items.size() != _items.size()) {
      return false;
   }
   for (std::size_t i = 0; i < _items.size(); ++i) {
      if (!AreEqualAnysInt(_items[i], o->_items[i], 0, pattern)) {
         return false;
      }
   }
   return true;
}

void DataArrayBase::_DiffProperties(const Any* other, const DiffPath& prefix, PropertyDiffSet& diffs) const {
   if (other == nullptr || typeid(*other) != typeid(*this) ||
       static_cast<const DataArrayBase*>(other)->_items.size() != _items.size()) {
      diffs.Add(prefix);
      return;
   }
   const DataArrayBase* o = static_cast<const DataArrayBase*>(other);
   // Each element once: DiffAnyPropertiesInt finds the differences (or none) itself.
   for (std::size_t i = 0; i < _items.size(); ++i) {
      DiffAnyPropertiesInt(_items[i], o->_items[i], DiffPath(prefix, i), nullptr, 0, diffs);
   }
}

template class DataArray<Any>;
template class DataArray<MoRef>;
template class DataArray<DynamicData>;
template class DataArray<KeyAnyValue>;
template class DataArray<LocalizableMessage>;
template class DataArray<DynamicProperty>;
template class DataArray<MethodFault>;
template class Array<bool>;
template class Array<signed char>;
template class Array<short>;
template class Array<int>;
template class Array<long>;
template class Array<float>;
template class Array<double>;
template class Array<std::string>;
template class Array<std::vector<unsigned char>>;
template class Array<Pellum::System::DateTime>;
template class Array<TypeName>;
template class Array<MethodName>;
template class Array<Uri>;
template class Array<PropertyPath>;

} // namespace Ormid
