// The base data types kobl.KeyAnyValue, kobl.LocalizableMessage and kobl.DynamicProperty: the convenience
// constructors of their classes. Every other member, the property records, reflection accessors and
// descriptors are generated from lib/ormid/schema/kobl.kobl.

#include <string>

#include "ormid/BaseTypes.h"

namespace Ormid {

KeyAnyValue::KeyAnyValue(std::string key_, Any* value_) : key(std::move(key_)), value(value_) {}

LocalizableMessage::LocalizableMessage(std::string key_, std::string message_)
    : key(std::move(key_)), message(std::move(message_)) {}

DynamicProperty::DynamicProperty(std::string name_, Any* val_) : name(std::move(name_)), val(val_) {}

} // namespace Ormid
