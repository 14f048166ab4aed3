// Typed reflection (Property.h): construction, the object check's slow path and the value types.

#include <string>
#include <typeinfo>
#include <vector>

#include "ormid/Property.h"
#include "pellum/Print.h"

namespace Ormid {

namespace {

template <class T> const std::type_info& ValueType(bool optional) {
   return optional ? typeid(Pellum::Optional<T>) : typeid(T);
}

} // namespace

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
   const bool optional = IsOptional();
   if (IsDeduplicated()) {
      return typeid(Pellum::Optional<std::string>);
   }
   switch (_kind) {
   case FieldKind::Bool:
      return ValueType<bool>(optional);
   case FieldKind::Byte:
      return ValueType<signed char>(optional);
   case FieldKind::Short:
      return ValueType<short>(optional);
   case FieldKind::Int:
   case FieldKind::Enum:
      return ValueType<int>(optional);
   case FieldKind::Long:
      return ValueType<long>(optional);
   case FieldKind::Float:
      return ValueType<float>(optional);
   case FieldKind::Double:
      return ValueType<double>(optional);
   case FieldKind::String:
      return ValueType<std::string>(optional);
   case FieldKind::Binary:
      return ValueType<std::vector<unsigned char>>(optional);
   case FieldKind::DateTime:
      return ValueType<Pellum::System::DateTime>(optional);
   case FieldKind::Uri:
      return ValueType<Uri>(optional);
   case FieldKind::TypeName:
      return ValueType<TypeName>(optional);
   case FieldKind::MethodName:
      return ValueType<MethodName>(optional);
   case FieldKind::PropertyPath:
      return ValueType<PropertyPath>(optional);
   case FieldKind::Reference:
   case FieldKind::Any:
   case FieldKind::Array:
      break;
   }
   return typeid(Pellum::Ref<Any>);
}

} // namespace Ormid
