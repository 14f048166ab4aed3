// Base data types of the schema language, registered by the runtime itself ("kobl" namespace):
//
//   Ormid::KeyAnyValue         "kobl.KeyAnyValue"          key: string; value: any
//   Ormid::LocalizableMessage  "kobl.LocalizableMessage"   key: string; arg: KeyAnyValue[] (optional);
//                                                          message: string (optional)
//   Ormid::DynamicProperty     "kobl.DynamicProperty"      name: string; val: any
//
// They are ordinary data-object classes: fields in property order, a default constructor, a deep copy,
// _IsEqual/_DiffProperties by the field rules of every data object, a thread-safe array getter, and a
// descriptor with reflection accessors (registered at the runtime's load); all of these are generated from
// the runtime's schema (lib/ormid/schema/kobl.kobl). Convenience constructors that take the field values
// are added for program use.
#pragma once

#include <string>

#include "ormid/Any.h"
#include "ormid/Array.h"
#include "ormid/Export.h"
#include "pellum/Optional.h"
#include "pellum/Ref.h"

namespace Ormid {

class ORMID_API KeyAnyValue : public DynamicData {
public:
   KeyAnyValue();
   KeyAnyValue(std::string key, Any* value);
   KeyAnyValue(const KeyAnyValue& other);
   ~KeyAnyValue() override;

   Type* _GetType() const override;
   Any* _Clone() const override;
   bool _IsEqual(const Any* other, bool pattern) const override;
   void _DiffProperties(const Any* other, const DiffPath& prefix, PropertyDiffSet& diffs) const override;
   DataObjectType* _GetDataType() const override;

   std::string key;
   Pellum::Ref<Any> value;
};

class ORMID_API LocalizableMessage : public DynamicData {
public:
   LocalizableMessage();
   LocalizableMessage(std::string key, std::string message);
   LocalizableMessage(const LocalizableMessage& other);
   ~LocalizableMessage() override;

   Type* _GetType() const override;
   Any* _Clone() const override;
   bool _IsEqual(const Any* other, bool pattern) const override;
   void _DiffProperties(const Any* other, const DiffPath& prefix, PropertyDiffSet& diffs) const override;
   DataObjectType* _GetDataType() const override;

   // The arguments, installing an empty array first when the field is null (thread-safe).
   DataArray<KeyAnyValue>* GetArg();

   std::string key;
   Pellum::Ref<DataArray<KeyAnyValue>> arg;
   Pellum::Optional<std::string> message;
};

class ORMID_API DynamicProperty : public DynamicData {
public:
   DynamicProperty();
   DynamicProperty(std::string name, Any* val);
   DynamicProperty(const DynamicProperty& other);
   ~DynamicProperty() override;

   Type* _GetType() const override;
   Any* _Clone() const override;
   bool _IsEqual(const Any* other, bool pattern) const override;
   void _DiffProperties(const Any* other, const DiffPath& prefix, PropertyDiffSet& diffs) const override;
   DataObjectType* _GetDataType() const override;

   std::string name;
   Pellum::Ref<Any> val;
};

extern template class ORMID_API DataArray<DynamicData>;
extern template class ORMID_API DataArray<KeyAnyValue>;
extern template class ORMID_API DataArray<LocalizableMessage>;
extern template class ORMID_API DataArray<DynamicProperty>;

} // namespace Ormid
