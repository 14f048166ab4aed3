// The base data types kobl.DynamicData, kobl.KeyAnyValue, kobl.LocalizableMessage and
// kobl.DynamicProperty: classes, property records, reflection accessors and descriptors.
//
// Each class is written the way a type library writes its data-object classes: fields in property order,
// the copy constructor clones nested values, _IsEqual/_DiffProperties compare plain fields inline and hand
// nested values to AreEqualAnysInt/DiffAnyPropertiesInt with the property's flag word, and the accessors
// are one switch per function with one case per own property, handled by the helper of the field's
// storage kind (FieldAccess.h).

#include <string>

#include "kobl_types.h"
#include "ormid/Array.h"
#include "ormid/BaseTypes.h"
#include "ormid/FieldAccess.h"

namespace Ormid {

namespace {
constexpr const char kVersion0[] = "kobl.version.version0";
} // namespace

// ---------------------------------------------------------------------------------------------------------
// kobl.DynamicData: no properties.

namespace Detail {

const PropertyRecord kNoProperties[] = {{}};

namespace {
DynamicData* CreateDynamicData() {
   return new DynamicData();
}
DataArrayBase* CreateDynamicDataArray() {
   return new DataArray<DynamicData>();
}
} // namespace

const DataTypeInfo kDynamicDataDescriptor = {&gKoblDynamicDataTypeInfo,
                                             nullptr,
                                             kNoProperties,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             &AlwaysSet,
                                             nullptr,
                                             &CreateDynamicData,
                                             &CreateDynamicDataArray,
                                             0};

} // namespace Detail

// ---------------------------------------------------------------------------------------------------------
// kobl.KeyAnyValue: key (string), value (any).

KeyAnyValue::KeyAnyValue() = default;

KeyAnyValue::KeyAnyValue(std::string key_, Any* value_) : key(std::move(key_)), value(value_) {}

KeyAnyValue::KeyAnyValue(const KeyAnyValue& other)
    : DynamicData(other), key(other.key), value(CloneNested(other.value)) {}

KeyAnyValue::~KeyAnyValue() = default;

Type* KeyAnyValue::_GetType() const {
   return GetDoType<KeyAnyValue>();
}

DataObjectType* KeyAnyValue::_GetDataType() const {
   return GetDoType<KeyAnyValue>();
}

Any* KeyAnyValue::_Clone() const {
   return new KeyAnyValue(*this);
}

bool KeyAnyValue::_IsEqual(const Any* other, bool pattern) const {
   const KeyAnyValue* o = static_cast<const KeyAnyValue*>(other);
   return key == o->key && AreEqualAnysInt(value.GetPtr(), o->value.GetPtr(), 0, pattern);
}

void KeyAnyValue::_DiffProperties(const Any* other, const DiffPath& prefix, PropertyDiffSet& diffs) const {
   const KeyAnyValue* o = static_cast<const KeyAnyValue*>(other);
   if (key != o->key) {
      diffs._changed.push_back(prefix + ".key");
   }
   DiffAnyPropertiesInt(value.GetPtr(), o->value.GetPtr(), prefix, ".value", 0, diffs);
}

namespace Detail {

const PropertyRecord kKeyAnyValueProperties[] = {
    {&gStringTypeInfo, 0, "key", nullptr, kVersion0}, {&gAnyTypeInfo, 0, "value", nullptr, kVersion0}, {}};

namespace {

void KeyAnyValueGetField(DynamicData* obj, int index, void* out) {
   KeyAnyValue* self = static_cast<KeyAnyValue*>(obj);
   switch (index) {
   case 0:
      Field::GetValue(self->key, out);
      break;
   case 1:
      Field::GetRef(self->value, out);
      break;
   default:
      break;
   }
}

void* KeyAnyValueGetFieldPtr(DynamicData* obj, int index) {
   KeyAnyValue* self = static_cast<KeyAnyValue*>(obj);
   switch (index) {
   case 0:
      return Field::ValuePtr(self->key);
   case 1:
      return Field::RefPtr(self->value);
   default:
      return nullptr;
   }
}

void KeyAnyValueSetField(DynamicData* obj, int index, const void* in) {
   KeyAnyValue* self = static_cast<KeyAnyValue*>(obj);
   switch (index) {
   case 0:
      Field::SetValue(self->key, in);
      break;
   case 1:
      Field::SetRef<Any>(self->value, in);
      break;
   default:
      break;
   }
}

void KeyAnyValueSwapField(DynamicData* obj, int index, void* io) {
   KeyAnyValue* self = static_cast<KeyAnyValue*>(obj);
   switch (index) {
   case 0:
      Field::SwapValue(self->key, io);
      break;
   case 1:
      Field::SwapRef<Any>(self->value, io);
      break;
   default:
      break;
   }
}

bool KeyAnyValueIsSet(const DynamicData* obj, int index) {
   const KeyAnyValue* self = static_cast<const KeyAnyValue*>(obj);
   switch (index) {
   case 1:
      return Field::IsSetRef(self->value);
   default:
      return true;
   }
}

DynamicData* KeyAnyValueCreate() {
   return new KeyAnyValue();
}

DataArrayBase* KeyAnyValueCreateArray() {
   return new DataArray<KeyAnyValue>();
}

} // namespace

const DataTypeInfo kKeyAnyValueDescriptor = {
    &gKoblKeyAnyValueTypeInfo, &gKoblDynamicDataTypeInfo, kKeyAnyValueProperties,
    &KeyAnyValueGetField,      &KeyAnyValueGetFieldPtr,   &KeyAnyValueSetField,
    &KeyAnyValueSwapField,     &KeyAnyValueIsSet,         nullptr,
    &KeyAnyValueCreate,        &KeyAnyValueCreateArray,   0};

} // namespace Detail

// ---------------------------------------------------------------------------------------------------------
// kobl.LocalizableMessage: key (string), arg (KeyAnyValue[], optional), message (string, optional).

LocalizableMessage::LocalizableMessage() = default;

LocalizableMessage::LocalizableMessage(std::string key_, std::string message_)
    : key(std::move(key_)), message(std::move(message_)) {}

LocalizableMessage::LocalizableMessage(const LocalizableMessage& other)
    : DynamicData(other), key(other.key), arg(CloneNested(other.arg)), message(other.message) {}

LocalizableMessage::~LocalizableMessage() = default;

Type* LocalizableMessage::_GetType() const {
   return GetDoType<LocalizableMessage>();
}

DataObjectType* LocalizableMessage::_GetDataType() const {
   return GetDoType<LocalizableMessage>();
}

Any* LocalizableMessage::_Clone() const {
   return new LocalizableMessage(*this);
}

DataArray<KeyAnyValue>* LocalizableMessage::GetArg() {
   return GetOrCreateArray(arg);
}

bool LocalizableMessage::_IsEqual(const Any* other, bool pattern) const {
   const LocalizableMessage* o = static_cast<const LocalizableMessage*>(other);
   return key == o->key && AreEqualAnysInt(arg.GetPtr(), o->arg.GetPtr(), 3, pattern) &&
          Field::MatchOptional(message, o->message, pattern);
}

void LocalizableMessage::_DiffProperties(const Any* other, const DiffPath& prefix,
                                         PropertyDiffSet& diffs) const {
   const LocalizableMessage* o = static_cast<const LocalizableMessage*>(other);
   if (key != o->key) {
      diffs._changed.push_back(prefix + ".key");
   }
   DiffAnyPropertiesInt(arg.GetPtr(), o->arg.GetPtr(), prefix, ".arg", 3, diffs);
   if (Field::DiffersOptional(message, o->message)) {
      diffs._changed.push_back(prefix + ".message");
   }
}

namespace Detail {

const PropertyRecord kLocalizableMessageProperties[] = {
    {&gStringTypeInfo, 0, "key", nullptr, kVersion0},
    {&gKoblKeyAnyValueTypeInfo, PropertyFlags::Array | PropertyFlags::Optional, "arg", nullptr, kVersion0},
    {&gStringTypeInfo, PropertyFlags::Optional, "message", nullptr, kVersion0},
    {}};

namespace {

void LocalizableMessageGetField(DynamicData* obj, int index, void* out) {
   LocalizableMessage* self = static_cast<LocalizableMessage*>(obj);
   switch (index) {
   case 0:
      Field::GetValue(self->key, out);
      break;
   case 1:
      Field::GetArray(self->GetArg(), out);
      break;
   case 2:
      Field::GetOptional(self->message, out);
      break;
   default:
      break;
   }
}

void* LocalizableMessageGetFieldPtr(DynamicData* obj, int index) {
   LocalizableMessage* self = static_cast<LocalizableMessage*>(obj);
   switch (index) {
   case 0:
      return Field::ValuePtr(self->key);
   case 1:
      return Field::ArrayPtr(self->arg);
   case 2:
      return Field::OptionalPtr(self->message);
   default:
      return nullptr;
   }
}

void LocalizableMessageSetField(DynamicData* obj, int index, const void* in) {
   LocalizableMessage* self = static_cast<LocalizableMessage*>(obj);
   switch (index) {
   case 0:
      Field::SetValue(self->key, in);
      break;
   case 1:
      Field::SetRef<DataArray<KeyAnyValue>>(self->arg, in);
      break;
   case 2:
      Field::SetOptional(self->message, in);
      break;
   default:
      break;
   }
}

void LocalizableMessageSwapField(DynamicData* obj, int index, void* io) {
   LocalizableMessage* self = static_cast<LocalizableMessage*>(obj);
   switch (index) {
   case 0:
      Field::SwapValue(self->key, io);
      break;
   case 1:
      Field::SwapRef<DataArray<KeyAnyValue>>(self->arg, io);
      break;
   case 2:
      Field::SwapOptional(self->message, io);
      break;
   default:
      break;
   }
}

bool LocalizableMessageIsSet(const DynamicData* obj, int index) {
   const LocalizableMessage* self = static_cast<const LocalizableMessage*>(obj);
   switch (index) {
   case 1:
      return Field::IsSetArray(self->arg);
   case 2:
      return Field::IsSetOptional(self->message);
   default:
      return true;
   }
}

void LocalizableMessageReset(DynamicData* obj, int index) {
   LocalizableMessage* self = static_cast<LocalizableMessage*>(obj);
   switch (index) {
   case 1:
      Field::ResetRef(self->arg);
      break;
   case 2:
      Field::ResetOptional(self->message);
      break;
   default:
      break;
   }
}

DynamicData* LocalizableMessageCreate() {
   return new LocalizableMessage();
}

DataArrayBase* LocalizableMessageCreateArray() {
   return new DataArray<LocalizableMessage>();
}

} // namespace

const DataTypeInfo kLocalizableMessageDescriptor = {
    &gKoblLocalizableMessageTypeInfo, &gKoblDynamicDataTypeInfo,      kLocalizableMessageProperties,
    &LocalizableMessageGetField,      &LocalizableMessageGetFieldPtr, &LocalizableMessageSetField,
    &LocalizableMessageSwapField,     &LocalizableMessageIsSet,       &LocalizableMessageReset,
    &LocalizableMessageCreate,        &LocalizableMessageCreateArray, 0};

} // namespace Detail

// ---------------------------------------------------------------------------------------------------------
// kobl.DynamicProperty: name (string), val (any).

DynamicProperty::DynamicProperty() = default;

DynamicProperty::DynamicProperty(std::string name_, Any* val_) : name(std::move(name_)), val(val_) {}

DynamicProperty::DynamicProperty(const DynamicProperty& other)
    : DynamicData(other), name(other.name), val(CloneNested(other.val)) {}

DynamicProperty::~DynamicProperty() = default;

Type* DynamicProperty::_GetType() const {
   return GetDoType<DynamicProperty>();
}

DataObjectType* DynamicProperty::_GetDataType() const {
   return GetDoType<DynamicProperty>();
}

Any* DynamicProperty::_Clone() const {
   return new DynamicProperty(*this);
}

bool DynamicProperty::_IsEqual(const Any* other, bool pattern) const {
   const DynamicProperty* o = static_cast<const DynamicProperty*>(other);
   return name == o->name && AreEqualAnysInt(val.GetPtr(), o->val.GetPtr(), 0, pattern);
}

void DynamicProperty::_DiffProperties(const Any* other, const DiffPath& prefix,
                                      PropertyDiffSet& diffs) const {
   const DynamicProperty* o = static_cast<const DynamicProperty*>(other);
   if (name != o->name) {
      diffs._changed.push_back(prefix + ".name");
   }
   DiffAnyPropertiesInt(val.GetPtr(), o->val.GetPtr(), prefix, ".val", 0, diffs);
}

namespace Detail {

const PropertyRecord kDynamicPropertyProperties[] = {
    {&gStringTypeInfo, 0, "name", nullptr, kVersion0}, {&gAnyTypeInfo, 0, "val", nullptr, kVersion0}, {}};

namespace {

void DynamicPropertyGetField(DynamicData* obj, int index, void* out) {
   DynamicProperty* self = static_cast<DynamicProperty*>(obj);
   switch (index) {
   case 0:
      Field::GetValue(self->name, out);
      break;
   case 1:
      Field::GetRef(self->val, out);
      break;
   default:
      break;
   }
}

void* DynamicPropertyGetFieldPtr(DynamicData* obj, int index) {
   DynamicProperty* self = static_cast<DynamicProperty*>(obj);
   switch (index) {
   case 0:
      return Field::ValuePtr(self->name);
   case 1:
      return Field::RefPtr(self->val);
   default:
      return nullptr;
   }
}

void DynamicPropertySetField(DynamicData* obj, int index, const void* in) {
   DynamicProperty* self = static_cast<DynamicProperty*>(obj);
   switch (index) {
   case 0:
      Field::SetValue(self->name, in);
      break;
   case 1:
      Field::SetRef<Any>(self->val, in);
      break;
   default:
      break;
   }
}

void DynamicPropertySwapField(DynamicData* obj, int index, void* io) {
   DynamicProperty* self = static_cast<DynamicProperty*>(obj);
   switch (index) {
   case 0:
      Field::SwapValue(self->name, io);
      break;
   case 1:
      Field::SwapRef<Any>(self->val, io);
      break;
   default:
      break;
   }
}

bool DynamicPropertyIsSet(const DynamicData* obj, int index) {
   const DynamicProperty* self = static_cast<const DynamicProperty*>(obj);
   switch (index) {
   case 1:
      return Field::IsSetRef(self->val);
   default:
      return true;
   }
}

DynamicData* DynamicPropertyCreate() {
   return new DynamicProperty();
}

DataArrayBase* DynamicPropertyCreateArray() {
   return new DataArray<DynamicProperty>();
}

} // namespace

const DataTypeInfo kDynamicPropertyDescriptor = {
    &gKoblDynamicPropertyTypeInfo, &gKoblDynamicDataTypeInfo,   kDynamicPropertyProperties,
    &DynamicPropertyGetField,      &DynamicPropertyGetFieldPtr, &DynamicPropertySetField,
    &DynamicPropertySwapField,     &DynamicPropertyIsSet,       nullptr,
    &DynamicPropertyCreate,        &DynamicPropertyCreateArray, 0};

} // namespace Detail

} // namespace Ormid
