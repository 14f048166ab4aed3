// Every own property of every registered data object and fault, through its descriptor alone: set a
// sample value of the property's kind, read it back (getField, getFieldPtr, isSet), exchange it
// (swapField), clear it when optional (reset), check that a value of the wrong class is refused without
// changing the object, and that clone, equality, difference and the rendering see the value (masked when
// the property is secret). Built twice: over the library's namespace, and over the test namespace of
// tests/schemas (every storage kind, in a program that builds in seconds).
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "example_value.h"
#include "ormid/Array.h"
#include "ormid/Primitive.h"
#include "ormid/Registry.h"
#include "ormid/ToString.h"
#include "quorl/detail/ManagedPrelude.h"

#ifndef CONFORMANCE_NAMESPACE
#define CONFORMANCE_NAMESPACE "quorl."
#endif

namespace {

using Ormid::Any;
using Ormid::DataObjectType;
using Ormid::DynamicData;
using Ormid::FieldKind;
using Ormid::PropertyRecord;
using Pellum::Ref;

struct Probe {
   const DataObjectType* type;
   int index;
   const PropertyRecord& record;
   Ref<DynamicData> obj;

   bool Optional() const { return (record.flags & Ormid::PropertyFlags::Optional) != 0; }
   std::string Where() const { return std::string(type->GetName()) + "." + record.name; }

   // Clone, equality and difference see the value that was just stored; as a pattern, a new object
   // matches it only where the property is optional or a reference (unset and null are wildcards, a
   // required value never is).
   void ExpectSeenByCopies(bool differsFromDefault) const {
      Ref<Any> copy(obj->_Clone());
      EXPECT_TRUE(Ormid::AreEqual(obj.GetPtr(), copy.GetPtr())) << Where();
      // The rendering shows the property, masked when secret, and the copy renders the same.
      const std::string text = obj->ToString();
      const std::string line = std::string("\n   ") + record.name + " = ";
      const bool secret = (record.flags & Ormid::PropertyFlags::Secret) != 0;
      EXPECT_NE(text.find(secret ? line + Ormid::kSecretMask : line), std::string::npos) << Where() << text;
      EXPECT_EQ(copy->ToString(), text) << Where();
      Ref<DynamicData> fresh = type->Create();
      if (!differsFromDefault) {
         return;
      }
      EXPECT_FALSE(Ormid::AreEqual(fresh.GetPtr(), obj.GetPtr())) << Where();
      const bool wildcard = Optional() || Ormid::IsReferenceKind(Ormid::GetFieldKind(record));
      EXPECT_EQ(Ormid::AreEqual(obj.GetPtr(), fresh.GetPtr(), true), wildcard) << Where();
      EXPECT_FALSE(Ormid::AreEqual(fresh.GetPtr(), obj.GetPtr(), true)) << Where();
      Ormid::PropertyDiffSet diffs = Ormid::DiffProperties(fresh.GetPtr(), obj.GetPtr());
      EXPECT_TRUE(diffs.Contains(std::string(".") + record.name)) << Where() << ": " << diffs.ToString();
   }
};

// Plain and string-valued fields: `value` differs from the default-constructed one.
template <class T> void CheckValue(const Probe& p, const T& value, bool differsFromDefault = true) {
   DynamicData* obj = p.obj.GetPtr();
   p.type->SetField(obj, p.index, &value);
   EXPECT_TRUE(p.type->IsSet(obj, p.index)) << p.Where();
   ASSERT_NE(p.type->GetFieldPtr(obj, p.index), nullptr) << p.Where();
   EXPECT_TRUE(*static_cast<const T*>(p.type->GetFieldPtr(obj, p.index)) == value) << p.Where();
   T out{};
   p.type->GetField(obj, p.index, &out);
   EXPECT_TRUE(out == value) << p.Where();
   p.ExpectSeenByCopies(differsFromDefault);
   if (p.Optional()) {
      Pellum::Optional<T> slot;
      p.type->SwapField(obj, p.index, &slot);
      EXPECT_TRUE(slot.IsSet() && slot.GetStored() == value) << p.Where();
      EXPECT_FALSE(p.type->IsSet(obj, p.index)) << p.Where();
      p.type->SwapField(obj, p.index, &slot);
      EXPECT_TRUE(p.type->IsSet(obj, p.index)) << p.Where();
      p.type->Reset(obj, p.index);
      EXPECT_FALSE(p.type->IsSet(obj, p.index)) << p.Where();
      EXPECT_EQ(p.type->GetFieldPtr(obj, p.index), nullptr) << p.Where();
   } else {
      T slot{};
      p.type->SwapField(obj, p.index, &slot);
      EXPECT_TRUE(slot == value) << p.Where();
      p.type->SwapField(obj, p.index, &slot);
      p.type->GetField(obj, p.index, &out);
      EXPECT_TRUE(out == value) << p.Where();
   }
}

void CheckOptionalBool(const Probe& p) {
   DynamicData* obj = p.obj.GetPtr();
   EXPECT_FALSE(p.type->IsSet(obj, p.index)) << p.Where();
   signed char on = 1;
   p.type->SetField(obj, p.index, &on);
   signed char out = -1;
   p.type->GetField(obj, p.index, &out);
   EXPECT_EQ(out, 1) << p.Where();
   p.ExpectSeenByCopies(true);
   signed char slot = -1;
   p.type->SwapField(obj, p.index, &slot);
   EXPECT_EQ(slot, 1) << p.Where();
   EXPECT_FALSE(p.type->IsSet(obj, p.index)) << p.Where();
   p.type->SetField(obj, p.index, &on);
   p.type->Reset(obj, p.index);
   EXPECT_EQ(p.type->GetFieldPtr(obj, p.index), nullptr) << p.Where();
}

void CheckDeduplicated(const Probe& p) {
   DynamicData* obj = p.obj.GetPtr();
   const std::string text = "<conformance/>";
   p.type->SetField(obj, p.index, &text);
   ASSERT_NE(p.type->GetFieldPtr(obj, p.index), nullptr) << p.Where();
   std::string out;
   p.type->GetField(obj, p.index, &out);
   EXPECT_EQ(out, text) << p.Where();
   p.ExpectSeenByCopies(true);
   Pellum::Deduplicated<std::string> slot;
   p.type->SwapField(obj, p.index, &slot);
   EXPECT_EQ(slot.Get(), text);
   EXPECT_FALSE(p.type->IsSet(obj, p.index));
   p.type->SwapField(obj, p.index, &slot);
   p.type->Reset(obj, p.index);
   EXPECT_FALSE(p.type->IsSet(obj, p.index));
}

// A value of the class that a reference, any-value or array property holds (an array of one element).
Ref<Any> SampleOf(const PropertyRecord& record) {
   return quorl_types::BuildExampleArgument(
       record, {.depth = 0, .optionals = false, .complete = false, .edgeValues = false});
}

void CheckReference(const Probe& p, const Ref<Any>& value, bool narrowed) {
   DynamicData* obj = p.obj.GetPtr();
   ASSERT_NE(value.GetPtr(), nullptr) << p.Where() << ": no sample value";
   EXPECT_FALSE(p.type->IsSet(obj, p.index)) << p.Where();
   Ref<Any> out;
   if (Ormid::GetFieldKind(p.record) == FieldKind::Array) {
      // getField installs an empty array, which is neither set nor different from a null one.
      p.type->GetField(obj, p.index, &out);
      ASSERT_NE(out.GetPtr(), nullptr) << p.Where();
      EXPECT_FALSE(p.type->IsSet(obj, p.index)) << p.Where();
      Ref<DynamicData> fresh = p.type->Create();
      EXPECT_TRUE(Ormid::AreEqual(obj, fresh.GetPtr()) && Ormid::AreEqual(fresh.GetPtr(), obj)) << p.Where();
      EXPECT_TRUE(Ormid::DiffProperties(obj, fresh.GetPtr()).empty()) << p.Where();
   }
   p.type->SetField(obj, p.index, value.GetPtr());
   EXPECT_TRUE(p.type->IsSet(obj, p.index)) << p.Where();
   EXPECT_EQ(p.type->GetFieldPtr(obj, p.index), static_cast<void*>(value.GetPtr())) << p.Where();
   p.type->GetField(obj, p.index, &out);
   EXPECT_EQ(out.GetPtr(), value.GetPtr()) << p.Where();
   p.ExpectSeenByCopies(true);
   // A copy shares the immutable values (references, boxes) and holds copies of everything else.
   Ref<Any> copy(obj->_Clone());
   Ref<Any> copied;
   p.type->GetField(static_cast<DynamicData*>(copy.GetPtr()), p.index, &copied);
   const Ref<Any> cloned(value->_Clone());
   EXPECT_EQ(copied.GetPtr() == value.GetPtr(), cloned.GetPtr() == value.GetPtr()) << p.Where();
   if (narrowed) {
      // A value of another class is refused and the field keeps its value.
      Ref<Any> wrong(new Ormid::Array<std::string>{"wrong"});
      if (dynamic_cast<Ormid::Array<std::string>*>(value.GetPtr()) != nullptr) {
         wrong = new Ormid::Array<int>{1};
      }
      EXPECT_THROW(p.type->SetField(obj, p.index, wrong.GetPtr()), Pellum::TypeMismatchException)
          << p.Where();
      EXPECT_EQ(p.type->GetFieldPtr(obj, p.index), static_cast<void*>(value.GetPtr())) << p.Where();
   }
   Ref<Any> slot;
   p.type->SwapField(obj, p.index, &slot);
   EXPECT_EQ(slot.GetPtr(), value.GetPtr()) << p.Where();
   EXPECT_FALSE(p.type->IsSet(obj, p.index)) << p.Where();
   p.type->SwapField(obj, p.index, &slot);
   EXPECT_EQ(slot.GetPtr(), nullptr) << p.Where();
   p.type->SetField(obj, p.index, nullptr);
   EXPECT_FALSE(p.type->IsSet(obj, p.index)) << p.Where();
}

void CheckProperty(const DataObjectType* type, int index) {
   const PropertyRecord& record = type->GetOwnProperty(index);
   Probe p{type, index, record, type->Create()};
   const bool optional = p.Optional();
   if ((record.flags & Ormid::PropertyFlags::Deduplicated) != 0) {
      CheckDeduplicated(p);
      return;
   }
   switch (Ormid::GetFieldKind(record)) {
   case FieldKind::Bool:
      if (optional) {
         CheckOptionalBool(p);
      } else {
         CheckValue(p, true);
      }
      return;
   case FieldKind::Byte:
      return CheckValue(p, static_cast<signed char>(5));
   case FieldKind::Short:
      return CheckValue(p, static_cast<short>(5));
   case FieldKind::Int:
      return CheckValue(p, 5);
   case FieldKind::Long:
      return CheckValue(p, 5L);
   case FieldKind::Float:
      return CheckValue(p, 1.5f);
   case FieldKind::Double:
      return CheckValue(p, 2.5);
   case FieldKind::Enum: {
      auto* e = static_cast<Ormid::EnumType*>(Ormid::TypeRegistry::Get().FindByHeader(record.type));
      ASSERT_NE(e, nullptr) << p.Where();
      const int ordinal = e->GetValueCount() > 1 ? 1 : 0;
      CheckValue(p, ordinal, ordinal != 0 || optional);
      p.type->SetField(p.obj.GetPtr(), index, &ordinal);
      EXPECT_NE(p.obj->ToString().find(std::string(" = ") + e->GetTag(ordinal)), std::string::npos)
          << p.Where();
      return;
   }
   case FieldKind::String:
      return CheckValue(p, std::string("sample"));
   case FieldKind::Binary:
      return CheckValue(p, std::vector<unsigned char>{1, 2, 3});
   case FieldKind::DateTime:
      return CheckValue(p, Pellum::System::DateTime::FromUtcTime(123456));
   case FieldKind::Uri:
      return CheckValue(p, Ormid::Uri("http://example"));
   case FieldKind::TypeName:
      return CheckValue(p, Ormid::TypeName("quorl.TaskInfo"));
   case FieldKind::MethodName:
      return CheckValue(p, Ormid::MethodName("powerOn"));
   case FieldKind::PropertyPath:
      return CheckValue(p, Ormid::PropertyPath("config.name"));
   case FieldKind::Reference:
   case FieldKind::Array:
      return CheckReference(p, SampleOf(record), true);
   case FieldKind::Any:
      return CheckReference(p, SampleOf(record), false);
   }
}

TEST(Conformance, EveryPropertyOfEveryClassThroughItsDescriptor) {
   int classes = 0;
   int properties = 0;
   for (Ormid::Type* t : Ormid::TypeRegistry::Get().GetTypes()) {
      if (!t->IsDataObject() || !std::string_view(t->GetName()).starts_with(CONFORMANCE_NAMESPACE)) {
         continue;
      }
      auto* type = static_cast<DataObjectType*>(t);
      ++classes;
      for (int i = 0; i < type->GetOwnPropertyCount(); ++i) {
         SCOPED_TRACE(std::string(type->GetName()) + "." + type->GetOwnProperty(i).name);
         CheckProperty(type, i);
         ++properties;
      }
      // A new object is of its class and clones into an equal object.
      Ref<DynamicData> obj = type->Create();
      EXPECT_EQ(obj->_GetType(), type);
      Ref<Any> copy(obj->_Clone());
      EXPECT_EQ(copy->_GetType(), type);
      EXPECT_TRUE(Ormid::AreEqual(obj.GetPtr(), copy.GetPtr())) << type->GetName();
      EXPECT_EQ(type->CreateArray()->_GetItemType(), type);
   }
   EXPECT_GT(classes, 0);
   EXPECT_GT(properties, 0);
   RecordProperty("classes", classes);
   RecordProperty("properties", properties);
}

} // namespace
