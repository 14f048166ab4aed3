// Every generated data object and fault renders through Ormid::ToString once every property, inherited
// ones included, holds a value (nested data objects filled two levels deep): the rendering does not throw,
// shows every property with its value, renders a copy identically, and never shows the text stored in a
// property flagged secret, at any depth.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "ormid/Primitive.h"
#include "ormid/Registry.h"
#include "ormid/ToString.h"
#include "quorl/detail/Prelude.h"
#include "sample_arrays.h"

namespace {

using Ormid::Any;
using Ormid::DataObjectType;
using Ormid::DynamicData;
using Ormid::FieldKind;
using Ormid::PropertyRecord;
using Pellum::Ref;

// Stored in every secret property; must never appear in a rendering.
const std::string kSecret = "s3cr3t-never-rendered";
constexpr int kFilledDepth = 2;

Ormid::TypeRegistry& Registry() {
   return Ormid::TypeRegistry::Get();
}

bool IsSecret(const PropertyRecord& record) {
   return (record.flags & Ormid::PropertyFlags::Secret) != 0;
}

// The text a plain string property of that name is filled with.
std::string PlainText(const PropertyRecord& record) {
   return std::string("plain-") + record.name;
}

const Ormid::EnumType* EnumOf(const PropertyRecord& record) {
   return static_cast<const Ormid::EnumType*>(Registry().FindByHeader(record.type));
}

void Fill(DynamicData* obj, const DataObjectType* type, int depth);

// A new object of the data-object class with that header, filled when not too deep.
Ref<Any> NewObject(const Ormid::TypeInfo* header, int depth) {
   Ormid::Type* t = Registry().FindByHeader(header);
   if (t == nullptr || !t->IsDataObject()) {
      ADD_FAILURE() << "no data-object type " << header->name;
      return nullptr;
   }
   auto* type = static_cast<DataObjectType*>(t);
   Ref<DynamicData> obj = type->Create();
   if (depth < kFilledDepth) {
      Fill(obj.GetPtr(), type, depth + 1);
   }
   return Ref<Any>(obj.GetPtr());
}

// A one-element array for an array property.
Ref<Any> SampleArray(const PropertyRecord& record, int depth) {
   if ((record.flags & Ormid::PropertyFlags::Link) != 0 || IsSecret(record)) {
      return SampleArrays::ArrayOf(IsSecret(record) ? kSecret : std::string("key-1"));
   }
   const Ormid::TypeInfo* h = record.type;
   if (h->kind != Ormid::KindDataObject && h->kind != Ormid::KindFault) {
      return SampleArrays::NonDataArray(h);
   }
   auto* item = static_cast<DataObjectType*>(Registry().FindByHeader(h));
   Ref<Ormid::DataArrayBase> a = item->CreateArray();
   Ref<Any> element = NewObject(h, depth);
   a->AppendAny(element.GetPtr());
   return Ref<Any>(a.GetPtr());
}

template <class T> void Set(const DataObjectType* owner, DynamicData* obj, int index, const T& value) {
   owner->SetField(obj, index, &value);
}

void SetSample(const DataObjectType* owner, DynamicData* obj, int index, const PropertyRecord& record,
               int depth) {
   const bool optional = (record.flags & Ormid::PropertyFlags::Optional) != 0;
   const FieldKind kind = Ormid::GetFieldKind(record);
   if (IsSecret(record) && kind == FieldKind::String) {
      return Set(owner, obj, index, kSecret);
   }
   switch (kind) {
   case FieldKind::Bool:
      return optional ? Set(owner, obj, index, static_cast<signed char>(1)) : Set(owner, obj, index, true);
   case FieldKind::Byte:
      return Set(owner, obj, index, static_cast<signed char>(7));
   case FieldKind::Short:
      return Set(owner, obj, index, static_cast<short>(7));
   case FieldKind::Int:
      return Set(owner, obj, index, 7);
   case FieldKind::Long:
      return Set(owner, obj, index, 7L);
   case FieldKind::Float:
      return Set(owner, obj, index, 1.5f);
   case FieldKind::Double:
      return Set(owner, obj, index, 2.5);
   case FieldKind::Enum:
      return Set(owner, obj, index, EnumOf(record)->GetValueCount() - 1);
   case FieldKind::String:
      return Set(owner, obj, index, PlainText(record));
   case FieldKind::Binary:
      return Set(owner, obj, index, std::vector<unsigned char>{0xab, 0xcd});
   case FieldKind::DateTime:
      return Set(owner, obj, index, Pellum::System::DateTime::FromUtcTime(86400000000));
   case FieldKind::Uri:
      return Set(owner, obj, index, Ormid::Uri("http://example.invalid/"));
   case FieldKind::TypeName:
      return Set(owner, obj, index, Ormid::TypeName("quorl.TaskInfo"));
   case FieldKind::MethodName:
      return Set(owner, obj, index, Ormid::MethodName("powerOn"));
   case FieldKind::PropertyPath:
      return Set(owner, obj, index, Ormid::PropertyPath("config.name"));
   case FieldKind::Reference: {
      Ref<Any> value = record.type->kind == Ormid::KindManaged
                           ? Ref<Any>(new Ormid::MoRef(record.type->name, "obj-1"))
                           : NewObject(record.type, depth);
      return owner->SetField(obj, index, value.GetPtr());
   }
   case FieldKind::Any: {
      Ref<Any> value = IsSecret(record) ? Ormid::Box(kSecret) : Ormid::Box(42);
      return owner->SetField(obj, index, value.GetPtr());
   }
   case FieldKind::Array: {
      Ref<Any> value = SampleArray(record, depth);
      return owner->SetField(obj, index, value.GetPtr());
   }
   }
}

void Fill(DynamicData* obj, const DataObjectType* type, int depth) {
   type->ForEachProperty([&](const DataObjectType* owner, int index, const PropertyRecord& record) {
      SetSample(owner, obj, index, record, depth);
   });
}

// What the rendering of the top-level object must show for one of its properties.
std::string ExpectedLine(const PropertyRecord& record) {
   std::string line = std::string("\n   ") + record.name + " = ";
   if (IsSecret(record)) {
      return line + Ormid::kSecretMask;
   }
   if ((record.flags & Ormid::PropertyFlags::Array) != 0) {
      return line;
   }
   switch (Ormid::GetFieldKind(record)) {
   case FieldKind::String:
      return line + '"' + PlainText(record) + '"';
   case FieldKind::Enum: {
      const Ormid::EnumType* e = EnumOf(record);
      return line + e->GetTag(e->GetValueCount() - 1);
   }
   case FieldKind::Int:
      return line + "7";
   case FieldKind::Bool:
      return line + "true";
   default:
      return line;
   }
}

TEST(ToString, EveryClassRendersEveryPropertyAndMasksSecrets) {
   int classes = 0;
   int secrets = 0;
   for (Ormid::Type* t : Registry().GetTypes()) {
      if (!t->IsDataObject() || std::string_view(t->GetName()).substr(0, 6) != "quorl.") {
         continue;
      }
      auto* type = static_cast<DataObjectType*>(t);
      SCOPED_TRACE(type->GetName());
      ++classes;
      Ref<DynamicData> obj = type->Create();
      Fill(obj.GetPtr(), type, 0);
      std::string text;
      ASSERT_NO_THROW(text = obj->ToString());
      EXPECT_EQ(text.rfind(std::string("(") + type->GetName() + ") {", 0), 0u) << text.substr(0, 80);
      EXPECT_EQ(text.find(kSecret), std::string::npos) << text;
      type->ForEachProperty([&](const DataObjectType*, int, const PropertyRecord& record) {
         secrets += IsSecret(record) ? 1 : 0;
         const std::string line = ExpectedLine(record);
         EXPECT_NE(text.find(line), std::string::npos) << "missing \"" << line.substr(1) << "\" in\n" << text;
      });
      // A copy holds the same values, so it renders the same.
      Ref<Any> copy(obj->_Clone());
      EXPECT_EQ(copy->ToString(), text);
   }
   EXPECT_GT(classes, 0);
   EXPECT_GT(secrets, 0);
   RecordProperty("classes", classes);
   RecordProperty("secret properties", secrets);
}

} // namespace
