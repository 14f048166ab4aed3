// Type objects: Type, PrimitiveType, ManagedRootType, ArrayType, DataObjectType, EnumType.

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "field_types.h"
#include "ormid/Any.h"
#include "ormid/Array.h"
#include "ormid/FieldAccess.h"
#include "ormid/MoRef.h"
#include "ormid/Registry.h"
#include "ormid/Strings.h"
#include "ormid/Type.h"
#include "pellum/Deduplicated.h"
#include "pellum/Exception.h"
#include "pellum/Optional.h"
#include "pellum/Print.h"
#include "pellum/System/DateTime.h"

namespace Ormid {

namespace {

const char* Text(const char* s) {
   return s != nullptr ? s : "(null)";
}

const TypeInfo* CheckedHeader(const TypeInfo* header) {
   if (header == nullptr) {
      throw Pellum::Exception("a type object needs a type header; got null");
   }
   if (header->name == nullptr || header->name[0] == '\0') {
      throw Pellum::Exception(Pellum::ASPrint("the type header of kind %1 has no wire name", header->kind));
   }
   return header;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Type

Type::Type(const TypeInfo* header) : _header(CheckedHeader(header)) {}

Type::~Type() {
   delete _arrayType.load(std::memory_order_acquire);
}

bool Type::IsPrimitive() const noexcept {
   const uint64_t kind = _header->kind;
   return (kind >= KindBool && kind <= KindPropertyPath) || kind == KindAny;
}

struct ArrayType::Header {
   std::string name;
   std::string wsdlName;
   TypeInfo info{};
};

ArrayType* Type::GetArrayType() const {
   ArrayType* existing = _arrayType.load(std::memory_order_acquire);
   if (existing != nullptr) {
      return existing;
   }
   auto header = std::make_unique<ArrayType::Header>();
   header->name = std::string(GetName()) + "[]";
   std::string item = GetWsdlName() != nullptr ? GetWsdlName() : GetName();
   if (!item.empty()) {
      item[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(item[0])));
   }
   header->wsdlName = "ArrayOf" + item;
   header->info = TypeInfo{KindArray, header->name.c_str(), header->wsdlName.c_str(), GetVersion()};
   auto* fresh = new ArrayType(const_cast<Type*>(this), std::move(header));
   ArrayType* expected = nullptr;
   if (_arrayType.compare_exchange_strong(expected, fresh, std::memory_order_acq_rel,
                                          std::memory_order_acquire)) {
      return fresh;
   }
   delete fresh; // another thread installed its array type first
   return expected;
}

bool Type::IsA(const Type* other) const {
   if (other == nullptr) {
      return false;
   }
   if (other == this || other->GetKind() == KindAny) {
      return true;
   }
   if (IsArray()) {
      return other->IsArray() && GetItemType()->IsA(other->GetItemType());
   }
   for (const Type* t = GetBaseType(); t != nullptr; t = t->GetBaseType()) {
      if (t == other) {
         return true;
      }
   }
   return false;
}

PrimitiveType::PrimitiveType(const TypeInfo* header) : Type(header) {
   if (!IsPrimitive()) {
      throw Pellum::Exception(
          Pellum::ASPrint("type %1 has kind %2, not a primitive kind", GetName(), header->kind));
   }
}

PrimitiveType::~PrimitiveType() = default;

ManagedRootType::ManagedRootType(const TypeInfo* header) : Type(header) {
   if (!IsManaged()) {
      throw Pellum::Exception(
          Pellum::ASPrint("type %1 has kind %2, not the managed kind", GetName(), header->kind));
   }
}

ManagedRootType::~ManagedRootType() = default;

ArrayType::ArrayType(Type* itemType, std::unique_ptr<Header> header)
    : Type(&header->info), _itemType(itemType), _ownedHeader(std::move(header)) {}

ArrayType::~ArrayType() = default;

// ---------------------------------------------------------------------------------------------------------
// Field kinds

FieldKind GetFieldKind(const PropertyRecord& record) {
   if (record.type == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("property %1 has no type", Text(record.name)));
   }
   if ((record.flags & PropertyFlags::Array) != 0) {
      return FieldKind::Array;
   }
   if ((record.flags & PropertyFlags::Link) != 0) {
      return FieldKind::String;
   }
   switch (record.type->kind) {
   case KindBool:
      return FieldKind::Bool;
   case KindByte:
      return FieldKind::Byte;
   case KindShort:
      return FieldKind::Short;
   case KindInt:
      return FieldKind::Int;
   case KindLong:
      return FieldKind::Long;
   case KindFloat:
      return FieldKind::Float;
   case KindDouble:
      return FieldKind::Double;
   case KindString:
      return FieldKind::String;
   case KindBinary:
      return FieldKind::Binary;
   case KindDateTime:
      return FieldKind::DateTime;
   case KindUri:
      return FieldKind::Uri;
   case KindTypeName:
      return FieldKind::TypeName;
   case KindMethodName:
      return FieldKind::MethodName;
   case KindPropertyPath:
      return FieldKind::PropertyPath;
   case KindEnum:
      return FieldKind::Enum;
   case KindDataObject:
   case KindFault:
   case KindManaged:
      return FieldKind::Reference;
   case KindAny:
      return FieldKind::Any;
   default:
      break;
   }
   throw Pellum::Exception(
       Pellum::ASPrint("property %1 has value type %2 of kind %3, which no property can have",
                       Text(record.name), Text(record.type->name), record.type->kind));
}

const char* GetFieldKindName(FieldKind kind) noexcept {
   switch (kind) {
   case FieldKind::Bool:
      return "bool";
   case FieldKind::Byte:
      return "byte";
   case FieldKind::Short:
      return "short";
   case FieldKind::Int:
      return "int";
   case FieldKind::Long:
      return "long";
   case FieldKind::Float:
      return "float";
   case FieldKind::Double:
      return "double";
   case FieldKind::Enum:
      return "enumeration";
   case FieldKind::String:
      return "string";
   case FieldKind::Binary:
      return "binary";
   case FieldKind::DateTime:
      return "dateTime";
   case FieldKind::Uri:
      return "URI";
   case FieldKind::TypeName:
      return "type name";
   case FieldKind::MethodName:
      return "method name";
   case FieldKind::PropertyPath:
      return "property path";
   case FieldKind::Reference:
      return "reference";
   case FieldKind::Any:
      return "any";
   case FieldKind::Array:
      return "array";
   }
   return "unknown";
}

// ---------------------------------------------------------------------------------------------------------
// DataObjectType

namespace {

const TypeInfo* CheckedDataHeader(const DataTypeInfo* descriptor) {
   if (descriptor == nullptr) {
      throw Pellum::Exception("CreateDataObjectType: null descriptor");
   }
   const TypeInfo* header = CheckedHeader(descriptor->type);
   if (header->kind != KindDataObject && header->kind != KindFault) {
      throw Pellum::Exception(
          Pellum::ASPrint("the descriptor of %1 names a header of kind %2, not a data object "
                          "(16) or fault (17)",
                          header->name, header->kind));
   }
   return header;
}

} // namespace

DataObjectType::DataObjectType(const DataTypeInfo* descriptor)
    : Type(CheckedDataHeader(descriptor)), _descriptor(descriptor) {
   const char* name = GetName();
   if (descriptor->properties == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("data type %1 has no property list (a type without properties "
                                              "points to one all-zero record)",
                                              name));
   }
   if (descriptor->create == nullptr || descriptor->createArray == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("data type %1 lacks its object or array factory", name));
   }
   if (descriptor->isSet == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("data type %1 has no isSet accessor", name));
   }
   bool anyOptional = false;
   int count = 0;
   for (const PropertyRecord* p = descriptor->properties; p->type != nullptr; ++p, ++count) {
      if (p->name == nullptr || p->name[0] == '\0') {
         throw Pellum::Exception(Pellum::ASPrint("property %1 of data type %2 has no name", count, name));
      }
      for (const PropertyRecord* q = descriptor->properties; q != p; ++q) {
         if (std::strcmp(q->name, p->name) == 0) {
            throw Pellum::Exception(
                Pellum::ASPrint("data type %1 declares property %2 twice", name, p->name));
         }
      }
      const FieldKind kind = GetFieldKind(*p); // refuses value types no property can have
      if ((p->flags & PropertyFlags::Deduplicated) != 0 &&
          (kind != FieldKind::String ||
           (p->flags & (PropertyFlags::Optional | PropertyFlags::Link)) != PropertyFlags::Optional)) {
         throw Pellum::Exception(Pellum::ASPrint(
             "property %1 of data type %2 is marked deduplicated but is not an optional string", p->name,
             name));
      }
      anyOptional = anyOptional || (p->flags & PropertyFlags::Optional) != 0;
   }
   _ownCount = count;
   if (count > 0 && (descriptor->getField == nullptr || descriptor->getFieldPtr == nullptr ||
                     descriptor->setField == nullptr || descriptor->swapField == nullptr)) {
      throw Pellum::Exception(
          Pellum::ASPrint("data type %1 has %2 own properties but lacks a value accessor", name, count));
   }
   if (anyOptional && descriptor->reset == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("data type %1 has optional properties but no reset accessor", name));
   }
   if (descriptor->base == nullptr && descriptor->type != &gKoblDynamicDataTypeInfo) {
      throw Pellum::Exception(Pellum::ASPrint("data type %1 names no base type", name));
   }
}

DataObjectType::~DataObjectType() = default;

DataObjectType* DataObjectType::GetBase() const {
   DataObjectType* base = _base.load(std::memory_order_acquire);
   if (base != nullptr || _descriptor->base == nullptr) {
      return base;
   }
   Type* found = TypeRegistry::Get().FindByHeader(_descriptor->base);
   if (found == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("base type %1 of data type %2 is not registered",
                                              Text(_descriptor->base->name), GetName()));
   }
   base = dynamic_cast<DataObjectType*>(found);
   if (base == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("base type %1 of data type %2 is not a data type", found->GetName(), GetName()));
   }
   // Every resolving thread finds the same object, so a plain release store is enough.
   _base.store(base, std::memory_order_release);
   return base;
}

const PropertyRecord& DataObjectType::GetOwnProperty(int index) const {
   if (index < 0 || index >= _ownCount) {
      throw Pellum::Exception(Pellum::ASPrint("data type %1 has %2 own properties: no property index %3",
                                              GetName(), _ownCount, index));
   }
   return _descriptor->properties[index];
}

int DataObjectType::FindOwnProperty(std::string_view name) const noexcept {
   for (int i = 0; i < _ownCount; ++i) {
      if (name == _descriptor->properties[i].name) {
         return i;
      }
   }
   return -1;
}

int DataObjectType::GetPropertyCount() const {
   int count = 0;
   for (const DataObjectType* t = this; t != nullptr; t = t->GetBase()) {
      count += t->_ownCount;
   }
   return count;
}

PropertyRef DataObjectType::FindProperty(std::string_view name) const {
   for (const DataObjectType* t = this; t != nullptr; t = t->GetBase()) {
      int index = t->FindOwnProperty(name);
      if (index >= 0) {
         return PropertyRef{t, index, &t->_descriptor->properties[index]};
      }
   }
   return PropertyRef{};
}

Pellum::Ref<DynamicData> DataObjectType::Create() const {
   return Pellum::Ref<DynamicData>(_descriptor->create());
}

Pellum::Ref<DataArrayBase> DataObjectType::CreateArray() const {
   return Pellum::Ref<DataArrayBase>(_descriptor->createArray());
}

bool DataObjectType::IsInstance(const Any* value) const {
   const DynamicData* data = dynamic_cast<const DynamicData*>(value);
   if (data == nullptr) {
      return false;
   }
   const DataObjectType* type = data->_GetDataType();
   return type != nullptr && type->IsA(this);
}

void DataObjectType::ThrowNotInstance(const DynamicData* obj, const char* what, const char* property,
                                      int index) const {
   if (obj == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("%1 of property %2 of data type %3: null object", what,
                                              property != nullptr ? property : "(all)", GetName()));
   }
   const DataObjectType* actual = obj->_GetDataType();
   if (property == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("%1 of data type %2 on an object of type %3", what, GetName(),
                                              actual != nullptr ? actual->GetName() : "(unregistered)"));
   }
   throw Pellum::Exception(
       Pellum::ASPrint("%1 of property %2 (index %3) of data type %4 on an object of type %5", what, property,
                       index, GetName(), actual != nullptr ? actual->GetName() : "(unregistered)"));
}

// Whether `obj` (not null) is an instance of this type. The class last seen to be described by exactly this
// type is remembered (its type_info, one atomic word): objects of that class pass on one comparison.
static bool IsInstanceOf(const DataObjectType* self, const DynamicData* obj,
                         std::atomic<const std::type_info*>& exact) {
   const std::type_info* cls = &typeid(*obj);
   if (cls == exact.load(std::memory_order_relaxed)) {
      return true;
   }
   const DataObjectType* actual = obj->_GetDataType();
   if (actual == self) {
      exact.store(cls, std::memory_order_relaxed);
      return true;
   }
   return actual != nullptr && actual->IsA(self);
}

void DataObjectType::CheckInstance(const DynamicData* obj, const char* what) const {
   if (obj == nullptr || !IsInstanceOf(this, obj, _exactClass)) {
      ThrowNotInstance(obj, what, nullptr, -1);
   }
}

void DataObjectType::Check(const DynamicData* obj, int index, const void* accessor, const char* what) const {
   if (obj == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("%1 of property %2 of data type %3: null object", what, index, GetName()));
   }
   if (index < 0 || index >= _ownCount) {
      throw Pellum::Exception(Pellum::ASPrint("%1: data type %2 has %3 own properties, no property index %4",
                                              what, GetName(), _ownCount, index));
   }
   if (accessor == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("%1 of property %2 (index %3): data type %4 has no such accessor", what,
                          _descriptor->properties[index].name, index, GetName()));
   }
   if (!IsInstanceOf(this, obj, _exactClass)) {
      ThrowNotInstance(obj, what, _descriptor->properties[index].name, index);
   }
}

void DataObjectType::GetField(DynamicData* obj, int index, void* out) const {
   Check(obj, index, reinterpret_cast<const void*>(_descriptor->getField), "getField");
   _descriptor->getField(obj, index, out);
}

void* DataObjectType::GetFieldPtr(DynamicData* obj, int index) const {
   Check(obj, index, reinterpret_cast<const void*>(_descriptor->getFieldPtr), "getFieldPtr");
   return _descriptor->getFieldPtr(obj, index);
}

void DataObjectType::SetField(DynamicData* obj, int index, const void* in) const {
   Check(obj, index, reinterpret_cast<const void*>(_descriptor->setField), "setField");
   _descriptor->setField(obj, index, in);
}

void DataObjectType::SwapField(DynamicData* obj, int index, void* io) const {
   Check(obj, index, reinterpret_cast<const void*>(_descriptor->swapField), "swapField");
   _descriptor->swapField(obj, index, io);
}

bool DataObjectType::IsSet(const DynamicData* obj, int index) const {
   Check(obj, index, reinterpret_cast<const void*>(_descriptor->isSet), "isSet");
   return _descriptor->isSet(obj, index);
}

void DataObjectType::Reset(DynamicData* obj, int index) const {
   Check(obj, index, reinterpret_cast<const void*>(_descriptor->swapField), "reset");
   const PropertyRecord& record = _descriptor->properties[index];
   if ((record.flags & PropertyFlags::Optional) == 0 && !IsReferenceKind(GetFieldKind(record))) {
      throw Pellum::Exception(
          Pellum::ASPrint("reset of property %1 (index %2) of data type %3: a required %4 "
                          "property cannot be unset",
                          record.name, index, GetName(), GetFieldKindName(GetFieldKind(record))));
   }
   if (_descriptor->reset != nullptr) {
      _descriptor->reset(obj, index);
      return;
   }
   // A class without optional properties has no reset accessor: its references are unset by swapping
   // null in.
   Pellum::Ref<Any> none;
   _descriptor->swapField(obj, index, &none);
}

namespace {

template <class T> const std::type_info& Slot(bool whole) {
   return whole ? typeid(Pellum::Optional<T>) : typeid(T);
}

} // namespace

namespace Detail {

const std::type_info& PlainValueType(FieldKind kind, bool whole) {
   switch (kind) {
   case FieldKind::Bool:
      return Slot<bool>(whole);
   case FieldKind::Byte:
      return Slot<signed char>(whole);
   case FieldKind::Short:
      return Slot<short>(whole);
   case FieldKind::Int:
   case FieldKind::Enum:
      return Slot<int>(whole);
   case FieldKind::Long:
      return Slot<long>(whole);
   case FieldKind::Float:
      return Slot<float>(whole);
   case FieldKind::Double:
      return Slot<double>(whole);
   case FieldKind::String:
      return Slot<std::string>(whole);
   case FieldKind::Binary:
      return Slot<std::vector<unsigned char>>(whole);
   case FieldKind::DateTime:
      return Slot<Pellum::System::DateTime>(whole);
   case FieldKind::Uri:
      return Slot<Uri>(whole);
   case FieldKind::TypeName:
      return Slot<TypeName>(whole);
   case FieldKind::MethodName:
      return Slot<MethodName>(whole);
   case FieldKind::PropertyPath:
      return Slot<PropertyPath>(whole);
   case FieldKind::Reference:
   case FieldKind::Any:
   case FieldKind::Array:
      break;
   }
   return typeid(Pellum::Ref<Any>);
}

} // namespace Detail

const std::type_info& DataObjectType::GetSlotType(int index, bool swap) const {
   const PropertyRecord& record = GetOwnProperty(index);
   const FieldKind kind = GetFieldKind(record);
   const bool optional = (record.flags & PropertyFlags::Optional) != 0;
   if ((record.flags & PropertyFlags::Deduplicated) != 0) {
      return swap ? typeid(Pellum::Deduplicated<std::string>) : typeid(std::string);
   }
   if (kind == FieldKind::Bool && optional) {
      return typeid(signed char); // optional booleans are stored as one byte, -1 unset
   }
   return Detail::PlainValueType(kind, optional && swap); // swapField exchanges the whole optional
}

void DataObjectType::CheckSlot(int index, bool swap, const std::type_info& given) const {
   const std::type_info& expected = GetSlotType(index, swap);
   if (expected != given) {
      Pellum::ThrowTypeMismatchException(expected, given);
   }
}

bool AlwaysSet(const DynamicData* /*obj*/, int /*index*/) {
   return true;
}

// ---------------------------------------------------------------------------------------------------------
// Checks of the accessors' building blocks (FieldAccess.h)

void Field::CheckBoolByte(signed char value, int low) {
   if (value < low || value > 1) {
      throw Pellum::Exception(Pellum::ASPrint("boolean byte %1 is out of range: a boolean is 0 or 1%2",
                                              int{value}, low < 0 ? " (-1 unset)" : ""));
   }
}

void Field::CheckOrdinal(int ordinal, int count, const char* type) {
   if (ordinal < 0 || ordinal >= count) {
      throw Pellum::Exception(Pellum::ASPrint("ordinal %1 is out of range of enumeration %2 (0 to %3)",
                                              ordinal, type, count - 1));
   }
}

void Field::CheckManagedReference(const Any* value, const char* type) {
   if (const auto* refs = dynamic_cast<const DataArray<MoRef>*>(value)) {
      for (const MoRef* item : *refs) {
         CheckManagedReference(item, type);
      }
      return;
   }
   const MoRef* ref = dynamic_cast<const MoRef*>(value);
   const Type* named = ref != nullptr ? ref->GetManagedType() : nullptr;
   const Type* expected = named != nullptr ? TypeRegistry::Get().FindByName(type) : nullptr;
   if (expected != nullptr && !named->IsA(expected)) {
      throw Pellum::Exception(
          Pellum::ASPrint("type mismatch: a reference to %1 where %2 is expected", ref->ToString(), type));
   }
}

// ---------------------------------------------------------------------------------------------------------
// EnumType

namespace {

const TypeInfo* CheckedEnumHeader(const EnumTypeInfo* info) {
   if (info == nullptr) {
      throw Pellum::Exception("EnumType: null descriptor");
   }
   const TypeInfo* header = CheckedHeader(info->type);
   if (header->kind != KindEnum) {
      throw Pellum::Exception(Pellum::ASPrint(
          "the descriptor of enumeration %1 names a header of kind %2, not 15", header->name, header->kind));
   }
   return header;
}

} // namespace

EnumType::EnumType(const EnumTypeInfo* info, const EnumFuncs& funcs)
    : Type(CheckedEnumHeader(info)), _info(info), _funcs(funcs) {
   if (info->names == nullptr || info->names[0] == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("enumeration %1 has no values", GetName()));
   }
   if (funcs.unbox == nullptr || funcs.box == nullptr || funcs.toNames == nullptr ||
       funcs.fromNames == nullptr || funcs.createArray == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("enumeration %1 has an incomplete conversion table", GetName()));
   }
   int count = 0;
   while (info->names[count] != nullptr) {
      ++count;
   }
   _byName.reserve(static_cast<std::size_t>(count));
   for (int i = 0; i < count; ++i) {
      _byName.emplace_back(info->names[i], i);
   }
   std::sort(_byName.begin(), _byName.end());
   for (std::size_t i = 1; i < _byName.size(); ++i) {
      if (_byName[i].first == _byName[i - 1].first) {
         throw Pellum::Exception(
             Pellum::ASPrint("enumeration %1 lists the value \"%2\" twice", GetName(), _byName[i].first));
      }
   }
}

EnumType::~EnumType() = default;

const char* EnumType::GetTag(int ordinal) const {
   if (!IsValid(ordinal)) {
      throw Pellum::Exception(Pellum::ASPrint("unknown ordinal %1 of enumeration %2", ordinal, GetName()));
   }
   return _info->names[ordinal];
}

int EnumType::FindValue(std::string_view name) const noexcept {
   auto it = std::lower_bound(
       _byName.begin(), _byName.end(), name,
       [](const std::pair<std::string_view, int>& e, std::string_view n) { return e.first < n; });
   return it != _byName.end() && it->first == name ? it->second : -1;
}

int EnumType::GetValue(const std::string& name) const {
   int ordinal = FindValue(name);
   if (ordinal < 0) {
      throw Pellum::Exception(Pellum::ASPrint("unknown value \"%1\" of enumeration %2", name, GetName()));
   }
   return ordinal;
}

} // namespace Ormid
