// Typed reflection (Property.h): construction, the object check's slow path and the value types.

#include <string>
#include <typeinfo>
#include <vector>

#include "field_types.h"
#include "ormid/Property.h"
#include "pellum/Print.h"

namespace Ormid {

Property::Property(const DataObjectType& type, std::string_view name) {
   const PropertyRef ref = type.FindProperty(name);
   if (!ref) {
      throw Pellum::Exception(
          Pellum::ASPrint("data type %1 has no property %2", type.GetName(), std::string(name)));
   }
   _owner = ref.owner;
   _index = ref.index;
   Init();
}

Property::Property(const PropertyRef& ref) : _owner(ref.owner), _index(ref.index) {
   if (!ref) {
      throw Pellum::Exception("a property handle made from an empty property reference");
   }
   Init();
}

Property::Property(const DataObjectType& owner, int index) : _owner(&owner), _index(index) {
   Init();
}

void Property::Init() {
   _record = &_owner->GetOwnProperty(_index); // checks the index
   _descriptor = _owner->GetDescriptor();
   _kind = GetFieldKind(*_record);
}

void Property::CheckDerived(const DynamicData* obj) const {
   if (obj == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("property %1 of data type %2: null object", _record->name, _owner->GetName()));
   }
   const DataObjectType* actual = obj->_GetDataType();
   if (actual == nullptr || !actual->IsA(_owner)) {
      throw Pellum::Exception(Pellum::ASPrint("property %1 of data type %2 on an object of type %3",
                                              _record->name, _owner->GetName(),
                                              actual != nullptr ? actual->GetName() : "(unregistered)"));
   }
}

bool Property::IsSet(const DynamicData* obj) const {
   CheckObject(obj);
   return _descriptor->isSet(obj, _index);
}

void Property::Reset(DynamicData* obj) const {
   CheckObject(obj);
   _owner->Reset(obj, _index);
}

const std::type_info& Property::GetValueType() const noexcept {
   if (IsDeduplicated()) {
      return typeid(Pellum::Optional<std::string>);
   }
   return Detail::PlainValueType(_kind, IsOptional());
}

} // namespace Ormid
