// Reflection through a type's descriptor: the accessor rules of every storage kind, narrowing, reference
// counts, and the checked wrappers of DataObjectType.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ormid_test_types.h"

using namespace Ormid;
using QTest::Gadget;
using QTest::Part;

namespace {

DataObjectType* GadgetType() {
   return GetDoType<Gadget>();
}

Pellum::Ref<Gadget> NewGadget() {
   Pellum::Ref<DynamicData> obj = GadgetType()->Create();
   Gadget* g = dynamic_cast<Gadget*>(obj.GetPtr());
   EXPECT_NE(g, nullptr);
   return Pellum::Ref<Gadget>(g);
}

} // namespace

TEST(Accessors, FactoriesAndDefaults) {
   Pellum::Ref<Gadget> g = NewGadget();
   EXPECT_EQ(g->GetRefCount(), 1);
   EXPECT_EQ(g->enabled, -1);
   EXPECT_FALSE(g->size.IsSet());
   EXPECT_EQ(g->parts, nullptr);
   Pellum::Ref<DataArrayBase> array = GadgetType()->CreateArray();
   EXPECT_EQ(array->GetRefCount(), 1);
   EXPECT_EQ(array->_GetItemType(), GadgetType());
   EXPECT_EQ(array->_GetType(), GadgetType()->GetArrayType());
   EXPECT_EQ(array->GetCollectionLength(), 0);
   EXPECT_EQ(GadgetType()->GetOwnPropertyCount(), QTest::kGadgetPropertyCount);
}

TEST(Accessors, PlainAndOptionalValues) {
   DataObjectType* t = GadgetType();
   Pellum::Ref<Gadget> g = NewGadget();

   // Required int: copy in and out, address of the field, always set.
   int count = 42;
   t->SetField(g.GetPtr(), QTest::kCount, &count);
   int out = 0;
   t->GetField(g.GetPtr(), QTest::kCount, &out);
   EXPECT_EQ(out, 42);
   EXPECT_EQ(t->GetFieldPtr(g.GetPtr(), QTest::kCount), &g->count);
   EXPECT_TRUE(t->IsSet(g.GetPtr(), QTest::kCount));

   // Optional long: getField copies the stored value even when unset; getFieldPtr is null then.
   long size = -1;
   t->GetField(g.GetPtr(), QTest::kSize, &size);
   EXPECT_EQ(size, 0);
   EXPECT_EQ(t->GetFieldPtr(g.GetPtr(), QTest::kSize), nullptr);
   EXPECT_FALSE(t->IsSet(g.GetPtr(), QTest::kSize));
   size = 7;
   t->SetField(g.GetPtr(), QTest::kSize, &size);
   EXPECT_TRUE(t->IsSet(g.GetPtr(), QTest::kSize));
   EXPECT_EQ(t->GetFieldPtr(g.GetPtr(), QTest::kSize), &g->size.GetStored());
   t->Reset(g.GetPtr(), QTest::kSize);
   EXPECT_FALSE(g->size.IsSet());
   t->GetField(g.GetPtr(), QTest::kSize, &size);
   EXPECT_EQ(size, 7); // reset keeps the value
   // swapField exchanges value and flag with a whole optional.
   Pellum::Optional<long> io(99);
   t->SwapField(g.GetPtr(), QTest::kSize, &io);
   EXPECT_TRUE(g->size.IsSet());
   EXPECT_EQ(g->size.GetValue(), 99);
   EXPECT_FALSE(io.IsSet());
   EXPECT_EQ(io.GetStored(), 7);

   // Optional boolean: one signed byte, -1 unset.
   signed char b = 5;
   t->GetField(g.GetPtr(), QTest::kEnabled, &b);
   EXPECT_EQ(b, -1);
   EXPECT_EQ(t->GetFieldPtr(g.GetPtr(), QTest::kEnabled), nullptr);
   b = 0;
   t->SetField(g.GetPtr(), QTest::kEnabled, &b);
   EXPECT_TRUE(t->IsSet(g.GetPtr(), QTest::kEnabled));
   EXPECT_EQ(t->GetFieldPtr(g.GetPtr(), QTest::kEnabled), &g->enabled);
   t->Reset(g.GetPtr(), QTest::kEnabled);
   EXPECT_EQ(g->enabled, -1);

   // Optional string: reset keeps the text; a later set stores the new one.
   std::string text = "first";
   t->SetField(g.GetPtr(), QTest::kLabel, &text);
   t->Reset(g.GetPtr(), QTest::kLabel);
   EXPECT_EQ(t->GetFieldPtr(g.GetPtr(), QTest::kLabel), nullptr);
   std::string read;
   t->GetField(g.GetPtr(), QTest::kLabel, &read);
   EXPECT_EQ(read, "first");
   text = "second";
   t->SetField(g.GetPtr(), QTest::kLabel, &text);
   EXPECT_EQ(g->label.GetValue(), "second");

   // Date-time and binary copy whole values.
   Pellum::System::DateTime when = Pellum::System::DateTime::FromUtcTime(1234567, 60);
   t->SetField(g.GetPtr(), QTest::kExpires, &when);
   EXPECT_TRUE(g->expires.IsSet());
   EXPECT_EQ(g->expires.GetValue().GetOffsetMinutes(), 60);
   std::vector<unsigned char> blob{1, 2, 3};
   t->SwapField(g.GetPtr(), QTest::kBlob, &blob);
   EXPECT_EQ(g->blob, (std::vector<unsigned char>{1, 2, 3}));
   EXPECT_TRUE(blob.empty());

   // Deduplicated string: interned, exchanged as handles.
   std::string note = "shared note";
   t->SetField(g.GetPtr(), QTest::kNote, &note);
   Pellum::Ref<Gadget> h = NewGadget();
   t->SetField(h.GetPtr(), QTest::kNote, &note);
   EXPECT_TRUE(g->note.SameEntry(h->note));
   EXPECT_EQ(*static_cast<std::string*>(t->GetFieldPtr(g.GetPtr(), QTest::kNote)), "shared note");
   t->Reset(g.GetPtr(), QTest::kNote);
   EXPECT_EQ(t->GetFieldPtr(g.GetPtr(), QTest::kNote), nullptr);
}

TEST(Accessors, ReferencesNarrowAndCount) {
   DataObjectType* t = GadgetType();
   Pellum::Ref<Gadget> g = NewGadget();
   Pellum::Ref<Part> part(new Part());
   EXPECT_FALSE(t->IsSet(g.GetPtr(), QTest::kPart));

   t->SetField(g.GetPtr(), QTest::kPart, static_cast<Any*>(part.GetPtr()));
   EXPECT_EQ(g->part, part);
   EXPECT_EQ(part->GetRefCount(), 2);
   EXPECT_EQ(t->GetFieldPtr(g.GetPtr(), QTest::kPart), static_cast<void*>(static_cast<Any*>(part.GetPtr())));
   // Storing what the field already holds is safe.
   t->SetField(g.GetPtr(), QTest::kPart, static_cast<Any*>(part.GetPtr()));
   EXPECT_EQ(part->GetRefCount(), 2);

   // getField: the slot takes a new reference and drops the one it held.
   Pellum::Ref<Any> previous(new Part());
   Pellum::Ref<Any> slot = previous;
   t->GetField(g.GetPtr(), QTest::kPart, &slot);
   EXPECT_EQ(slot.GetPtr(), part.GetPtr());
   EXPECT_EQ(part->GetRefCount(), 3);
   EXPECT_EQ(previous->GetRefCount(), 1);
   slot.Reset();

   // A value of another class is refused with a type mismatch; the field is unchanged.
   Pellum::Ref<Any> notAPart(new KeyAnyValue());
   try {
      t->SetField(g.GetPtr(), QTest::kPart, notAPart.GetPtr());
      ADD_FAILURE();
   } catch (const Pellum::TypeMismatchException& e) {
      EXPECT_EQ(e.GetExpected(), typeid(Part));
      EXPECT_EQ(e.GetActual(), typeid(KeyAnyValue));
   }
   EXPECT_EQ(g->part, part);
   // An any-typed property takes every value.
   t->SetField(g.GetPtr(), QTest::kExtra, notAPart.GetPtr());
   EXPECT_EQ(g->extra, notAPart);

   // swapField exchanges the pointers; no count changes.
   Pellum::Ref<Any> other(new Part());
   const int32_t before = other->GetRefCount();
   t->SwapField(g.GetPtr(), QTest::kPart, &other);
   EXPECT_EQ(other.GetPtr(), static_cast<Any*>(part.GetPtr()));
   EXPECT_EQ(part->GetRefCount(), 2);
   EXPECT_EQ(g->part->GetRefCount(), before);
   // A swap with a value of another class is refused before anything moves.
   Pellum::Ref<Any> wrong(new KeyAnyValue());
   EXPECT_THROW(t->SwapField(g.GetPtr(), QTest::kPart, &wrong), Pellum::TypeMismatchException);

   // Null stores null and releases the old object; a required reference answers isSet false while null.
   Pellum::Ref<MoRef> owner(new MoRef("ormidtest.Thing", "t-1"));
   t->SetField(g.GetPtr(), QTest::kOwner, static_cast<Any*>(owner.GetPtr()));
   EXPECT_TRUE(t->IsSet(g.GetPtr(), QTest::kOwner));
   t->SetField(g.GetPtr(), QTest::kOwner, nullptr);
   EXPECT_FALSE(t->IsSet(g.GetPtr(), QTest::kOwner));
   EXPECT_EQ(owner->GetRefCount(), 1);
}

TEST(Accessors, ArraysInstallEmptyArraysAndCountOnlyItems) {
   DataObjectType* t = GadgetType();
   Pellum::Ref<Gadget> g = NewGadget();

   // getField goes through the array getter: the field now holds an empty array.
   Pellum::Ref<Any> slot;
   t->GetField(g.GetPtr(), QTest::kParts, &slot);
   ASSERT_NE(slot, nullptr);
   EXPECT_EQ(slot.GetPtr(), static_cast<Any*>(g->parts.GetPtr()));
   EXPECT_EQ(g->GetParts(), g->parts.GetPtr()); // the getter answers the same array again
   EXPECT_FALSE(t->IsSet(g.GetPtr(), QTest::kParts));
   EXPECT_EQ(t->GetFieldPtr(g.GetPtr(), QTest::kParts), nullptr);
   g->GetParts()->Append(Pellum::Ref<Part>(new Part()));
   EXPECT_TRUE(t->IsSet(g.GetPtr(), QTest::kParts));
   EXPECT_NE(t->GetFieldPtr(g.GetPtr(), QTest::kParts), nullptr);

   // Narrowing to the exact array class: an array of another element class is refused.
   Pellum::Ref<Any> keys(new DataArray<KeyAnyValue>());
   DataArray<Part>* kept = g->parts.GetPtr();
   EXPECT_THROW(t->SetField(g.GetPtr(), QTest::kParts, keys.GetPtr()), Pellum::TypeMismatchException);
   EXPECT_EQ(g->parts.GetPtr(), kept);
   Pellum::Ref<Any> ints(new Array<int>{1});
   EXPECT_THROW(t->SetField(g.GetPtr(), QTest::kTags, ints.GetPtr()), Pellum::TypeMismatchException);
   Pellum::Ref<Any> strings(new Array<std::string>{"a", "b"});
   t->SetField(g.GetPtr(), QTest::kTags, strings.GetPtr());
   EXPECT_EQ(g->tags->size(), 2u);

   t->Reset(g.GetPtr(), QTest::kParts);
   EXPECT_EQ(g->parts, nullptr);
}

TEST(Accessors, CheckedWrappersRefuseBadCalls) {
   DataObjectType* t = GadgetType();
   Pellum::Ref<Gadget> g = NewGadget();
   int value = 0;
   try {
      t->GetField(g.GetPtr(), QTest::kGadgetPropertyCount, &value);
      ADD_FAILURE();
   } catch (const Pellum::Exception& e) {
      EXPECT_STREQ(e.what(),
                   "getField: data type ormidtest.Gadget has 23 own properties, no property index 23");
   }
   EXPECT_THROW(t->IsSet(nullptr, QTest::kCount), Pellum::Exception);
   // An object of another type.
   Pellum::Ref<Part> part(new Part());
   try {
      t->GetField(part.GetPtr(), QTest::kCount, &value);
      ADD_FAILURE();
   } catch (const Pellum::Exception& e) {
      EXPECT_STREQ(e.what(),
                   "getField of property count (index 2) of data type ormidtest.Gadget on an object of "
                   "type ormidtest.Part");
   }
   // A required plain property cannot be reset.
   EXPECT_THROW(t->Reset(g.GetPtr(), QTest::kCount), Pellum::Exception);
   // A type without own properties has no value accessors; a derived object is accepted by its base type.
   Pellum::Ref<QTest::SubPart> sub(new QTest::SubPart());
   std::string key = "k";
   GetDoType<Part>()->SetField(sub.GetPtr(), 0, &key);
   EXPECT_EQ(sub->key, "k");
   EXPECT_THROW(GetDoType<RuntimeFault>()->GetFieldPtr(sub.GetPtr(), 0), Pellum::Exception);
   EXPECT_TRUE(GetDoType<QTest::SubPart>()->IsSet(sub.GetPtr(), 0)); // the shared always-true isSet
   EXPECT_TRUE(GetDoType<Part>()->IsInstance(sub.GetPtr()));
   EXPECT_FALSE(GetDoType<QTest::SubPart>()->IsInstance(part.GetPtr()));
}

TEST(Accessors, FieldKinds) {
   const PropertyRecord* p = QTest::Accessors::kGadgetProperties;
   EXPECT_EQ(GetFieldKind(p[QTest::kEnabled]), FieldKind::Bool);
   EXPECT_EQ(GetFieldKind(p[QTest::kColor]), FieldKind::Enum);
   EXPECT_EQ(GetFieldKind(p[QTest::kKind]), FieldKind::TypeName);
   EXPECT_EQ(GetFieldKind(p[QTest::kPart]), FieldKind::Reference);
   EXPECT_EQ(GetFieldKind(p[QTest::kOwner]), FieldKind::Reference);
   EXPECT_EQ(GetFieldKind(p[QTest::kExtra]), FieldKind::Any);
   EXPECT_EQ(GetFieldKind(p[QTest::kColors]), FieldKind::Array);
   const PropertyRecord link{&QTest::gPartTypeInfo, PropertyFlags::Link | PropertyFlags::Optional, "partKey",
                             nullptr, "v"};
   EXPECT_EQ(GetFieldKind(link), FieldKind::String);
   const PropertyRecord none{nullptr, 0, "x", nullptr, "v"};
   EXPECT_THROW(GetFieldKind(none), Pellum::Exception);
}
