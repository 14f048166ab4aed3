// Small data types written by hand the way a type library writes them, for the runtime's tests:
//
//   ormidtest.Color            enumeration red, green, blue
//   ormidtest.Part             key: string; weight: int, optional
//   ormidtest.SubPart : Part   depth: double
//   ormidtest.Gadget           one property of every storage kind (indices in GadgetIndex)
//
// registered, with the namespace "ormidtest" and its small version catalogue, by one TypeInfoLoader.
// Header-only (inline definitions) so that both test executables can use it.
#pragma once

#include <string>
#include <vector>

#include "ormid/Ormid.h"
#include "pellum/Deduplicated.h"
#include "pellum/Optional.h"
#include "pellum/System/DateTime.h"

namespace QTest {
enum class Color { Red, Green, Blue };
class Part;
class SubPart;
class Gadget;
} // namespace QTest

// The lookup templates of the test types (defined at the end of this header), declared before any use.
template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::Part>();
template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::SubPart>();
template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::Gadget>();
template <> inline Ormid::EnumType* Ormid::GetEnumType<QTest::Color>();

namespace QTest {

class Part : public Ormid::DynamicData {
public:
   Part() = default;
   Part(const Part& other) = default;
   Ormid::Type* _GetType() const override;
   Ormid::DataObjectType* _GetDataType() const override;
   Ormid::Any* _Clone() const override { return new Part(*this); }
   bool _IsEqual(const Ormid::Any* other, bool pattern) const override {
      const Part* o = static_cast<const Part*>(other);
      return key == o->key && Ormid::Field::MatchOptional(weight, o->weight, pattern);
   }
   void _DiffProperties(const Ormid::Any* other, const std::string& prefix,
                        Ormid::PropertyDiffSet& diffs) const override {
      const Part* o = static_cast<const Part*>(other);
      if (key != o->key) {
         diffs._changed.push_back(prefix + ".key");
      }
      if (Ormid::Field::DiffersOptional(weight, o->weight)) {
         diffs._changed.push_back(prefix + ".weight");
      }
   }

   std::string key;
   Pellum::Optional<int> weight;
};

class SubPart : public Part {
public:
   SubPart() = default;
   SubPart(const SubPart& other) = default;
   Ormid::Type* _GetType() const override;
   Ormid::DataObjectType* _GetDataType() const override;
   Ormid::Any* _Clone() const override { return new SubPart(*this); }
   bool _IsEqual(const Ormid::Any* other, bool pattern) const override {
      const SubPart* o = static_cast<const SubPart*>(other);
      return Part::_IsEqual(other, pattern) && depth == o->depth;
   }
   void _DiffProperties(const Ormid::Any* other, const std::string& prefix,
                        Ormid::PropertyDiffSet& diffs) const override {
      const SubPart* o = static_cast<const SubPart*>(other);
      Part::_DiffProperties(other, prefix, diffs);
      if (!(depth == o->depth)) {
         diffs._changed.push_back(prefix + ".depth");
      }
   }

   double depth = 0;
};

enum GadgetIndex {
   kFlag,     // bool, required
   kEnabled,  // bool, optional (signed char)
   kCount,    // int, required
   kSize,     // long, optional
   kRatio,    // double, required
   kName,     // string, required
   kLabel,    // string, optional
   kPassword, // string, required, secret
   kWhen,     // dateTime, required
   kExpires,  // dateTime, optional
   kBlob,     // binary, required
   kColor,    // Color, required (int ordinal)
   kShade,    // Color, optional
   kKind,     // typeName, required
   kPath,     // propertyPath, required
   kPart,     // Part, optional
   kOwner,    // managed reference, required
   kExtra,    // any, optional
   kParts,    // Part[], optional
   kTags,     // string[], optional
   kColors,   // Color[], optional
   kNote,     // string, optional, deduplicated
   kError,    // MethodFault, optional
   kGadgetPropertyCount
};

class Gadget : public Ormid::DynamicData {
public:
   Gadget() = default;
   Gadget(const Gadget& other)
       : DynamicData(other), flag(other.flag), enabled(other.enabled), count(other.count), size(other.size),
         ratio(other.ratio), name(other.name), label(other.label), password(other.password), when(other.when),
         expires(other.expires), blob(other.blob), color(other.color), shade(other.shade), kind(other.kind),
         path(other.path), part(other.part ? static_cast<Part*>(other.part->_Clone()) : nullptr),
         owner(other.owner ? static_cast<Ormid::MoRef*>(other.owner->_Clone()) : nullptr),
         extra(other.extra ? other.extra->_Clone() : nullptr),
         parts(other.parts ? static_cast<Ormid::DataArray<Part>*>(other.parts->_Clone()) : nullptr),
         tags(other.tags ? static_cast<Ormid::Array<std::string>*>(other.tags->_Clone()) : nullptr),
         colors(other.colors ? static_cast<Ormid::Array<Color>*>(other.colors->_Clone()) : nullptr),
         note(other.note),
         error(other.error ? static_cast<Ormid::MethodFault*>(other.error->_Clone()) : nullptr) {}

   Ormid::Type* _GetType() const override;
   Ormid::DataObjectType* _GetDataType() const override;
   Ormid::Any* _Clone() const override { return new Gadget(*this); }
   bool _IsEqual(const Ormid::Any* other, bool pattern) const override {
      using namespace Ormid;
      const Gadget* o = static_cast<const Gadget*>(other);
      return flag == o->flag && Field::MatchOptBool(enabled, o->enabled, pattern) && count == o->count &&
             Field::MatchOptional(size, o->size, pattern) && ratio == o->ratio && name == o->name &&
             Field::MatchOptional(label, o->label, pattern) && password == o->password &&
             when.GetUtcTime() == o->when.GetUtcTime() &&
             Field::MatchOptional(expires, o->expires, pattern) && blob == o->blob && color == o->color &&
             Field::MatchOptional(shade, o->shade, pattern) && kind == o->kind &&
             PropertyPath::Compare(path, o->path) == 0 &&
             AreEqualAnysInt(part.GetPtr(), o->part.GetPtr(), 2, pattern) &&
             AreEqualAnysInt(owner.GetPtr(), o->owner.GetPtr(), 0, pattern) &&
             AreEqualAnysInt(extra.GetPtr(), o->extra.GetPtr(), 2, pattern) &&
             AreEqualAnysInt(parts.GetPtr(), o->parts.GetPtr(), 3, pattern) &&
             AreEqualAnysInt(tags.GetPtr(), o->tags.GetPtr(), 3, pattern) &&
             AreEqualAnysInt(colors.GetPtr(), o->colors.GetPtr(), 3, pattern) &&
             Field::MatchDedup(note, o->note, pattern) &&
             AreEqualAnysInt(error.GetPtr(), o->error.GetPtr(), 2, pattern);
   }
   void _DiffProperties(const Ormid::Any* other, const std::string& prefix,
                        Ormid::PropertyDiffSet& diffs) const override {
      using namespace Ormid;
      const Gadget* o = static_cast<const Gadget*>(other);
      auto add = [&](const char* n) { diffs._changed.push_back(prefix + "." + n); };
      if (flag != o->flag)
         add("flag");
      if (enabled != o->enabled)
         add("enabled");
      if (count != o->count)
         add("count");
      if (Field::DiffersOptional(size, o->size))
         add("size");
      if (!(ratio == o->ratio))
         add("ratio");
      if (name != o->name)
         add("name");
      if (Field::DiffersOptional(label, o->label))
         add("label");
      if (password != o->password)
         add("password");
      if (when.GetUtcTime() != o->when.GetUtcTime())
         add("when");
      if (Field::DiffersOptional(expires, o->expires))
         add("expires");
      if (blob != o->blob)
         add("blob");
      if (color != o->color)
         add("color");
      if (Field::DiffersOptional(shade, o->shade))
         add("shade");
      if (kind != o->kind)
         add("kind");
      if (PropertyPath::Compare(path, o->path) != 0)
         add("path");
      DiffAnyPropertiesInt(part.GetPtr(), o->part.GetPtr(), prefix, ".part", 2, diffs);
      DiffAnyPropertiesInt(owner.GetPtr(), o->owner.GetPtr(), prefix, ".owner", 0, diffs);
      DiffAnyPropertiesInt(extra.GetPtr(), o->extra.GetPtr(), prefix, ".extra", 2, diffs);
      DiffAnyPropertiesInt(parts.GetPtr(), o->parts.GetPtr(), prefix, ".parts", 3, diffs);
      DiffAnyPropertiesInt(tags.GetPtr(), o->tags.GetPtr(), prefix, ".tags", 3, diffs);
      DiffAnyPropertiesInt(colors.GetPtr(), o->colors.GetPtr(), prefix, ".colors", 3, diffs);
      if (!(note == o->note))
         add("note");
      DiffAnyPropertiesInt(error.GetPtr(), o->error.GetPtr(), prefix, ".error", 2, diffs);
   }

   Ormid::DataArray<Part>* GetParts() { return Ormid::GetOrCreateArray(parts); }
   Ormid::Array<std::string>* GetTags() { return Ormid::GetOrCreateArray(tags); }
   Ormid::Array<Color>* GetColors() { return Ormid::GetOrCreateArray(colors); }

   bool flag = false;
   signed char enabled = -1;
   int count = 0;
   Pellum::Optional<long> size;
   double ratio = 0;
   std::string name;
   Pellum::Optional<std::string> label;
   std::string password;
   Pellum::System::DateTime when;
   Pellum::Optional<Pellum::System::DateTime> expires;
   std::vector<unsigned char> blob;
   int color = 0;
   Pellum::Optional<int> shade;
   Ormid::TypeName kind;
   Ormid::PropertyPath path;
   Pellum::Ref<Part> part;
   Pellum::Ref<Ormid::MoRef> owner;
   Pellum::Ref<Ormid::Any> extra;
   Pellum::Ref<Ormid::DataArray<Part>> parts;
   Pellum::Ref<Ormid::Array<std::string>> tags;
   Pellum::Ref<Ormid::Array<Color>> colors;
   Pellum::Deduplicated<std::string> note;
   Pellum::Ref<Ormid::MethodFault> error;
};

// ---------------------------------------------------------------------------------------------------------
// Headers and descriptors.

inline const Ormid::TypeInfo gColorTypeInfo = {Ormid::KindEnum, "ormidtest.Color", "TestColor",
                                               "ormidtest.version.v1"};
inline const Ormid::TypeInfo gPartTypeInfo = {Ormid::KindDataObject, "ormidtest.Part", "TestPart",
                                              "ormidtest.version.v1"};
inline const Ormid::TypeInfo gSubPartTypeInfo = {Ormid::KindDataObject, "ormidtest.SubPart", "TestSubPart",
                                                 "ormidtest.version.v2"};
inline const Ormid::TypeInfo gGadgetTypeInfo = {Ormid::KindDataObject, "ormidtest.Gadget", "TestGadget",
                                                "ormidtest.version.v1"};

inline const char* const kColorNames[] = {"red", "green", "blue", nullptr};
inline const Ormid::EnumTypeInfo kColorInfo = {&gColorTypeInfo, kColorNames};

namespace Accessors {

using namespace Ormid;

inline const PropertyRecord kPartProperties[] = {
    {&gStringTypeInfo, 0, "key", nullptr, "ormidtest.version.v1"},
    {&gIntTypeInfo, PropertyFlags::Optional, "weight", nullptr, "ormidtest.version.v2"},
    {}};

inline void PartGetField(DynamicData* obj, int index, void* out) {
   Part* self = static_cast<Part*>(obj);
   switch (index) {
   case 0:
      Field::GetValue(self->key, out);
      break;
   case 1:
      Field::GetOptional(self->weight, out);
      break;
   default:
      break;
   }
}
inline void* PartGetFieldPtr(DynamicData* obj, int index) {
   Part* self = static_cast<Part*>(obj);
   switch (index) {
   case 0:
      return Field::ValuePtr(self->key);
   case 1:
      return Field::OptionalPtr(self->weight);
   default:
      return nullptr;
   }
}
inline void PartSetField(DynamicData* obj, int index, const void* in) {
   Part* self = static_cast<Part*>(obj);
   switch (index) {
   case 0:
      Field::SetValue(self->key, in);
      break;
   case 1:
      Field::SetOptional(self->weight, in);
      break;
   default:
      break;
   }
}
inline void PartSwapField(DynamicData* obj, int index, void* io) {
   Part* self = static_cast<Part*>(obj);
   switch (index) {
   case 0:
      Field::SwapValue(self->key, io);
      break;
   case 1:
      Field::SwapOptional(self->weight, io);
      break;
   default:
      break;
   }
}
inline bool PartIsSet(const DynamicData* obj, int index) {
   const Part* self = static_cast<const Part*>(obj);
   return index == 1 ? Field::IsSetOptional(self->weight) : true;
}
inline void PartReset(DynamicData* obj, int index) {
   if (index == 1) {
      Field::ResetOptional(static_cast<Part*>(obj)->weight);
   }
}

inline const PropertyRecord kSubPartProperties[] = {
    {&gDoubleTypeInfo, 0, "depth", nullptr, "ormidtest.version.v2"}, {}};
inline void SubPartGetField(DynamicData* obj, int, void* out) {
   Field::GetValue(static_cast<SubPart*>(obj)->depth, out);
}
inline void* SubPartGetFieldPtr(DynamicData* obj, int) {
   return Field::ValuePtr(static_cast<SubPart*>(obj)->depth);
}
inline void SubPartSetField(DynamicData* obj, int, const void* in) {
   Field::SetValue(static_cast<SubPart*>(obj)->depth, in);
}
inline void SubPartSwapField(DynamicData* obj, int, void* io) {
   Field::SwapValue(static_cast<SubPart*>(obj)->depth, io);
}

inline const PropertyRecord kGadgetProperties[] = {
    {&gBoolTypeInfo, 0, "flag", nullptr, "ormidtest.version.v1"},
    {&gBoolTypeInfo, PropertyFlags::Optional, "enabled", nullptr, "ormidtest.version.v1"},
    {&gIntTypeInfo, 0, "count", nullptr, "ormidtest.version.v1"},
    {&gLongTypeInfo, PropertyFlags::Optional, "size", nullptr, "ormidtest.version.v1"},
    {&gDoubleTypeInfo, 0, "ratio", nullptr, "ormidtest.version.v1"},
    {&gStringTypeInfo, 0, "name", nullptr, "ormidtest.version.v1"},
    {&gStringTypeInfo, PropertyFlags::Optional, "label", nullptr, "ormidtest.version.v1"},
    {&gStringTypeInfo, PropertyFlags::Secret, "password", nullptr, "ormidtest.version.v1"},
    {&gDateTimeTypeInfo, 0, "when", nullptr, "ormidtest.version.v1"},
    {&gDateTimeTypeInfo, PropertyFlags::Optional, "expires", nullptr, "ormidtest.version.v1"},
    {&gBinaryTypeInfo, 0, "blob", nullptr, "ormidtest.version.v1"},
    {&gColorTypeInfo, 0, "color", nullptr, "ormidtest.version.v1"},
    {&gColorTypeInfo, PropertyFlags::Optional, "shade", nullptr, "ormidtest.version.v1"},
    {&gTypeNameTypeInfo, 0, "kind", nullptr, "ormidtest.version.v1"},
    {&gPropertyPathTypeInfo, 0, "path", nullptr, "ormidtest.version.v1"},
    {&gPartTypeInfo, PropertyFlags::Optional, "part", nullptr, "ormidtest.version.v1"},
    {&gKoblManagedObjectTypeInfo, 0, "owner", "System.View", "ormidtest.version.v1"},
    {&gAnyTypeInfo, PropertyFlags::Optional, "extra", nullptr, "ormidtest.version.v1"},
    {&gPartTypeInfo, PropertyFlags::Array | PropertyFlags::Optional, "parts", nullptr,
     "ormidtest.version.v1"},
    {&gStringTypeInfo, PropertyFlags::Array | PropertyFlags::Optional, "tags", nullptr,
     "ormidtest.version.featureA"},
    {&gColorTypeInfo, PropertyFlags::Array | PropertyFlags::Optional, "colors", nullptr,
     "ormidtest.version.v2"},
    {&gStringTypeInfo, PropertyFlags::Optional, "note", nullptr, "ormidtest.version.v1"},
    {&gKoblMethodFaultTypeInfo, PropertyFlags::Optional, "error", nullptr, "ormidtest.version.v1"},
    {}};

inline void GadgetGetField(DynamicData* obj, int index, void* out) {
   Gadget* s = static_cast<Gadget*>(obj);
   switch (index) {
   case kFlag:
      Field::GetValue(s->flag, out);
      break;
   case kEnabled:
      Field::GetOptBool(s->enabled, out);
      break;
   case kCount:
      Field::GetValue(s->count, out);
      break;
   case kSize:
      Field::GetOptional(s->size, out);
      break;
   case kRatio:
      Field::GetValue(s->ratio, out);
      break;
   case kName:
      Field::GetValue(s->name, out);
      break;
   case kLabel:
      Field::GetOptional(s->label, out);
      break;
   case kPassword:
      Field::GetValue(s->password, out);
      break;
   case kWhen:
      Field::GetValue(s->when, out);
      break;
   case kExpires:
      Field::GetOptional(s->expires, out);
      break;
   case kBlob:
      Field::GetValue(s->blob, out);
      break;
   case kColor:
      Field::GetValue(s->color, out);
      break;
   case kShade:
      Field::GetOptional(s->shade, out);
      break;
   case kKind:
      Field::GetValue(s->kind, out);
      break;
   case kPath:
      Field::GetValue(s->path, out);
      break;
   case kPart:
      Field::GetRef(s->part, out);
      break;
   case kOwner:
      Field::GetRef(s->owner, out);
      break;
   case kExtra:
      Field::GetRef(s->extra, out);
      break;
   case kParts:
      Field::GetArray(s->GetParts(), out);
      break;
   case kTags:
      Field::GetArray(s->GetTags(), out);
      break;
   case kColors:
      Field::GetArray(s->GetColors(), out);
      break;
   case kNote:
      Field::GetDedup(s->note, out);
      break;
   case kError:
      Field::GetRef(s->error, out);
      break;
   default:
      break;
   }
}
inline void* GadgetGetFieldPtr(DynamicData* obj, int index) {
   Gadget* s = static_cast<Gadget*>(obj);
   switch (index) {
   case kFlag:
      return Field::ValuePtr(s->flag);
   case kEnabled:
      return Field::OptBoolPtr(s->enabled);
   case kCount:
      return Field::ValuePtr(s->count);
   case kSize:
      return Field::OptionalPtr(s->size);
   case kRatio:
      return Field::ValuePtr(s->ratio);
   case kName:
      return Field::ValuePtr(s->name);
   case kLabel:
      return Field::OptionalPtr(s->label);
   case kPassword:
      return Field::ValuePtr(s->password);
   case kWhen:
      return Field::ValuePtr(s->when);
   case kExpires:
      return Field::OptionalPtr(s->expires);
   case kBlob:
      return Field::ValuePtr(s->blob);
   case kColor:
      return Field::ValuePtr(s->color);
   case kShade:
      return Field::OptionalPtr(s->shade);
   case kKind:
      return Field::ValuePtr(s->kind);
   case kPath:
      return Field::ValuePtr(s->path);
   case kPart:
      return Field::RefPtr(s->part);
   case kOwner:
      return Field::RefPtr(s->owner);
   case kExtra:
      return Field::RefPtr(s->extra);
   case kParts:
      return Field::ArrayPtr(s->parts);
   case kTags:
      return Field::ArrayPtr(s->tags);
   case kColors:
      return Field::ArrayPtr(s->colors);
   case kNote:
      return Field::DedupPtr(s->note);
   case kError:
      return Field::RefPtr(s->error);
   default:
      return nullptr;
   }
}
inline void GadgetSetField(DynamicData* obj, int index, const void* in) {
   Gadget* s = static_cast<Gadget*>(obj);
   switch (index) {
   case kFlag:
      Field::SetValue(s->flag, in);
      break;
   case kEnabled:
      Field::SetOptBool(s->enabled, in);
      break;
   case kCount:
      Field::SetValue(s->count, in);
      break;
   case kSize:
      Field::SetOptional(s->size, in);
      break;
   case kRatio:
      Field::SetValue(s->ratio, in);
      break;
   case kName:
      Field::SetValue(s->name, in);
      break;
   case kLabel:
      Field::SetOptional(s->label, in);
      break;
   case kPassword:
      Field::SetValue(s->password, in);
      break;
   case kWhen:
      Field::SetValue(s->when, in);
      break;
   case kExpires:
      Field::SetOptional(s->expires, in);
      break;
   case kBlob:
      Field::SetValue(s->blob, in);
      break;
   case kColor:
      Field::SetValue(s->color, in);
      break;
   case kShade:
      Field::SetOptional(s->shade, in);
      break;
   case kKind:
      Field::SetValue(s->kind, in);
      break;
   case kPath:
      Field::SetValue(s->path, in);
      break;
   case kPart:
      Field::SetRef<Part>(s->part, in);
      break;
   case kOwner:
      Field::SetRef<MoRef>(s->owner, in);
      break;
   case kExtra:
      Field::SetRef<Any>(s->extra, in);
      break;
   case kParts:
      Field::SetRef<DataArray<Part>>(s->parts, in);
      break;
   case kTags:
      Field::SetRef<Array<std::string>>(s->tags, in);
      break;
   case kColors:
      Field::SetRef<Array<Color>>(s->colors, in);
      break;
   case kNote:
      Field::SetDedup(s->note, in);
      break;
   case kError:
      Field::SetRef<MethodFault>(s->error, in);
      break;
   default:
      break;
   }
}
inline void GadgetSwapField(DynamicData* obj, int index, void* io) {
   Gadget* s = static_cast<Gadget*>(obj);
   switch (index) {
   case kFlag:
      Field::SwapValue(s->flag, io);
      break;
   case kEnabled:
      Field::SwapOptBool(s->enabled, io);
      break;
   case kCount:
      Field::SwapValue(s->count, io);
      break;
   case kSize:
      Field::SwapOptional(s->size, io);
      break;
   case kRatio:
      Field::SwapValue(s->ratio, io);
      break;
   case kName:
      Field::SwapValue(s->name, io);
      break;
   case kLabel:
      Field::SwapOptional(s->label, io);
      break;
   case kPassword:
      Field::SwapValue(s->password, io);
      break;
   case kWhen:
      Field::SwapValue(s->when, io);
      break;
   case kExpires:
      Field::SwapOptional(s->expires, io);
      break;
   case kBlob:
      Field::SwapValue(s->blob, io);
      break;
   case kColor:
      Field::SwapValue(s->color, io);
      break;
   case kShade:
      Field::SwapOptional(s->shade, io);
      break;
   case kKind:
      Field::SwapValue(s->kind, io);
      break;
   case kPath:
      Field::SwapValue(s->path, io);
      break;
   case kPart:
      Field::SwapRef<Part>(s->part, io);
      break;
   case kOwner:
      Field::SwapRef<MoRef>(s->owner, io);
      break;
   case kExtra:
      Field::SwapRef<Any>(s->extra, io);
      break;
   case kParts:
      Field::SwapRef<DataArray<Part>>(s->parts, io);
      break;
   case kTags:
      Field::SwapRef<Array<std::string>>(s->tags, io);
      break;
   case kColors:
      Field::SwapRef<Array<Color>>(s->colors, io);
      break;
   case kNote:
      Field::SwapDedup(s->note, io);
      break;
   case kError:
      Field::SwapRef<MethodFault>(s->error, io);
      break;
   default:
      break;
   }
}
inline bool GadgetIsSet(const DynamicData* obj, int index) {
   const Gadget* s = static_cast<const Gadget*>(obj);
   switch (index) {
   case kEnabled:
      return Field::IsSetOptBool(s->enabled);
   case kSize:
      return Field::IsSetOptional(s->size);
   case kLabel:
      return Field::IsSetOptional(s->label);
   case kExpires:
      return Field::IsSetOptional(s->expires);
   case kShade:
      return Field::IsSetOptional(s->shade);
   case kPart:
      return Field::IsSetRef(s->part);
   case kOwner:
      return Field::IsSetRef(s->owner);
   case kExtra:
      return Field::IsSetRef(s->extra);
   case kParts:
      return Field::IsSetArray(s->parts);
   case kTags:
      return Field::IsSetArray(s->tags);
   case kColors:
      return Field::IsSetArray(s->colors);
   case kNote:
      return Field::IsSetDedup(s->note);
   case kError:
      return Field::IsSetRef(s->error);
   default:
      return true;
   }
}
inline void GadgetReset(DynamicData* obj, int index) {
   Gadget* s = static_cast<Gadget*>(obj);
   switch (index) {
   case kEnabled:
      Field::ResetOptBool(s->enabled);
      break;
   case kSize:
      Field::ResetOptional(s->size);
      break;
   case kLabel:
      Field::ResetOptional(s->label);
      break;
   case kExpires:
      Field::ResetOptional(s->expires);
      break;
   case kShade:
      Field::ResetOptional(s->shade);
      break;
   case kPart:
      Field::ResetRef(s->part);
      break;
   case kOwner:
      Field::ResetRef(s->owner);
      break;
   case kExtra:
      Field::ResetRef(s->extra);
      break;
   case kParts:
      Field::ResetRef(s->parts);
      break;
   case kTags:
      Field::ResetRef(s->tags);
      break;
   case kColors:
      Field::ResetRef(s->colors);
      break;
   case kNote:
      Field::ResetDedup(s->note);
      break;
   case kError:
      Field::ResetRef(s->error);
      break;
   default:
      break;
   }
}

} // namespace Accessors

inline const Ormid::DataTypeInfo kPartDescriptor = {
    &gPartTypeInfo,
    &gKoblDynamicDataTypeInfo,
    Accessors::kPartProperties,
    &Accessors::PartGetField,
    &Accessors::PartGetFieldPtr,
    &Accessors::PartSetField,
    &Accessors::PartSwapField,
    &Accessors::PartIsSet,
    &Accessors::PartReset,
    [] { return static_cast<Ormid::DynamicData*>(new Part()); },
    [] { return static_cast<Ormid::DataArrayBase*>(new Ormid::DataArray<Part>()); },
    0};
inline const Ormid::DataTypeInfo kSubPartDescriptor = {
    &gSubPartTypeInfo,
    &gPartTypeInfo,
    Accessors::kSubPartProperties,
    &Accessors::SubPartGetField,
    &Accessors::SubPartGetFieldPtr,
    &Accessors::SubPartSetField,
    &Accessors::SubPartSwapField,
    &Ormid::AlwaysSet,
    nullptr,
    [] { return static_cast<Ormid::DynamicData*>(new SubPart()); },
    [] { return static_cast<Ormid::DataArrayBase*>(new Ormid::DataArray<SubPart>()); },
    0};
inline const Ormid::DataTypeInfo kGadgetDescriptor = {
    &gGadgetTypeInfo,
    &gKoblDynamicDataTypeInfo,
    Accessors::kGadgetProperties,
    &Accessors::GadgetGetField,
    &Accessors::GadgetGetFieldPtr,
    &Accessors::GadgetSetField,
    &Accessors::GadgetSwapField,
    &Accessors::GadgetIsSet,
    &Accessors::GadgetReset,
    [] { return static_cast<Ormid::DynamicData*>(new Gadget()); },
    [] { return static_cast<Ormid::DataArrayBase*>(new Ormid::DataArray<Gadget>()); },
    0};

// ---------------------------------------------------------------------------------------------------------
// Version catalogue "ormidtest": releases v1 < v2 < v3 (v1 extends kobl.version.version0), feature
// versions featureA and featureB over v3, unstable over v3 and both features, disabled over unstable.

inline const Ormid::VersionRecord kTestVersionRecords[] = {
    {"ormidtest.version.disabled", "ormidtest1", "", nullptr, "ormidtest.Task", "ormidtest1",
     Ormid::StageDisabled, 4},
    {"ormidtest.version.unstable", "ormidtest1", "uTEST", "uTEST", "ormidtest.Task", "ormidtest1",
     Ormid::StageUnstable, 4},
    {"ormidtest.version.featureA", "ormidtest1", "fA", nullptr, "ormidtest.Task", "ormidtest1",
     Ormid::StageFeature, 4},
    {"ormidtest.version.featureB", "ormidtest1", "fB", nullptr, "ormidtest.Task", "ormidtest1",
     Ormid::StageFeature, 4},
    {"ormidtest.version.v3", "ormidtest1", "3.0", "3.0", "ormidtest.Task", "ormidtest1", Ormid::StageReleased,
     4},
    {"ormidtest.version.v2", "ormidtest1", "2.0", nullptr, "ormidtest.Task", "ormidtest1",
     Ormid::StageReleased, 4},
    {"ormidtest.version.v1", "ormidtest1", "1.0", nullptr, "ormidtest.Task", "ormidtest1",
     Ormid::StageReleased, 6},
};
inline const Ormid::VersionParent kTestParents[] = {
    {"ormidtest.version.v1", "kobl.version.version0"},
    {"ormidtest.version.v2", "ormidtest.version.v1"},
    {"ormidtest.version.v3", "ormidtest.version.v2"},
    {"ormidtest.version.featureA", "ormidtest.version.v3"},
    {"ormidtest.version.featureB", "ormidtest.version.v3"},
    {"ormidtest.version.unstable", "ormidtest.version.v3"},
    {"ormidtest.version.unstable", "ormidtest.version.featureA"},
    {"ormidtest.version.unstable", "ormidtest.version.featureB"},
    {"ormidtest.version.disabled", "ormidtest.version.unstable"},
};
inline const char* const kTestDependencies[] = {"kobl.query"};
inline const char* const kTestReleases[] = {"3.0", "2.0", "1.0"};
inline const Ormid::ProductRecord kTestProducts[] = {{"Testprod", 3, kTestReleases}};

inline int32_t testNamespaceId = -1;
inline const Ormid::Version* testOfficialVersions[4];
inline const Ormid::Version* testInternalVersions[4];
inline const Ormid::Version* testCurrentVersion;

inline const Ormid::KoblVersions kTestVersions = {"ormidtest",
                                                  &testNamespaceId,
                                                  kTestDependencies,
                                                  kTestProducts,
                                                  kTestVersionRecords,
                                                  kTestParents,
                                                  testOfficialVersions,
                                                  testInternalVersions,
                                                  &testCurrentVersion,
                                                  7,
                                                  4,
                                                  9,
                                                  1,
                                                  1,
                                                  1,
                                                  0,
                                                  0};

// ---------------------------------------------------------------------------------------------------------
// Registration: data types first, then the enumeration.

enum TestSlot { SlotPart, SlotSubPart, SlotGadget, SlotColor, SlotCount };
inline Ormid::Type* testTypes[SlotCount];

inline Ormid::Type* const* TestTypeList(int& count) {
   testTypes[SlotPart] = Ormid::CreateDataObjectType(&kPartDescriptor);
   testTypes[SlotSubPart] = Ormid::CreateDataObjectType(&kSubPartDescriptor);
   testTypes[SlotGadget] = Ormid::CreateDataObjectType(&kGadgetDescriptor);
   testTypes[SlotColor] = Ormid::CreateEnumType<Color>(&kColorInfo);
   count = SlotCount;
   return testTypes;
}

inline const Ormid::TypeInfoLoader testLoader(&kTestVersions, &TestTypeList);

inline Ormid::Type* Part::_GetType() const {
   return testTypes[SlotPart];
}
inline Ormid::DataObjectType* Part::_GetDataType() const {
   return static_cast<Ormid::DataObjectType*>(testTypes[SlotPart]);
}
inline Ormid::Type* SubPart::_GetType() const {
   return testTypes[SlotSubPart];
}
inline Ormid::DataObjectType* SubPart::_GetDataType() const {
   return static_cast<Ormid::DataObjectType*>(testTypes[SlotSubPart]);
}
inline Ormid::Type* Gadget::_GetType() const {
   return testTypes[SlotGadget];
}
inline Ormid::DataObjectType* Gadget::_GetDataType() const {
   return static_cast<Ormid::DataObjectType*>(testTypes[SlotGadget]);
}

} // namespace QTest

template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::Part>() {
   return static_cast<Ormid::DataObjectType*>(QTest::testTypes[QTest::SlotPart]);
}
template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::SubPart>() {
   return static_cast<Ormid::DataObjectType*>(QTest::testTypes[QTest::SlotSubPart]);
}
template <> inline Ormid::DataObjectType* Ormid::GetDoType<QTest::Gadget>() {
   return static_cast<Ormid::DataObjectType*>(QTest::testTypes[QTest::SlotGadget]);
}
template <> inline Ormid::EnumType* Ormid::GetEnumType<QTest::Color>() {
   return static_cast<Ormid::EnumType*>(QTest::testTypes[QTest::SlotColor]);
}
