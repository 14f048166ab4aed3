// Reflection through a type's descriptor: the rules of the storage kinds that the library's per-property
// conformance test cannot see (values kept across reset, reference counts, refusals that leave the field
// alone), and the checked wrappers of DataObjectType.

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

} // namespace

TEST(Accessors, OptionalFieldsKeepTheirValueWhenReset) {
   DataObjectType* t = GadgetType();
   Pellum::Ref<Gadget> g(new Gadget());

   // Optional long: getField copies the stored value even when unset; getFieldPtr is null then.
   long size = -1;
   t->GetField(g.GetPtr(), QTest::kSize, &size);
   EXPECT_EQ(size, 0);
   size = 7;
   t->SetField(g.GetPtr(), QTest::kSize, &size);
   EXPECT_EQ(t->GetFieldPtr(g.GetPtr(), QTest::kSize), &g->size.GetStored());
   t->Reset(g.GetPtr(), QTest::kSize);
   EXPECT_EQ(t->GetFieldPtr(g.GetPtr(), QTest::kSize), nullptr);
   t->GetField(g.GetPtr(), QTest::kSize, &size);
   EXPECT_EQ(size, 7);
   // swapField exchanges value and flag with a whole optional.
   Pellum::Optional<long> io(99);
   t->SwapField(g.GetPtr(), QTest::kSize, &io);
   EXPECT_EQ(g->size.GetValue(), 99);
   EXPECT_FALSE(io.IsSet());
   EXPECT_EQ(io.GetStored(), 7);

   // Optional boolean: one signed byte, -1 unset; false is a value.
   signed char b = 5;
   t->GetField(g.GetPtr(), QTest::kEnabled, &b);
   EXPECT_EQ(b, -1);
   b = 0;
   t->SetField(g.GetPtr(), QTest::kEnabled, &b);
   EXPECT_EQ(t->GetFieldPtr(g.GetPtr(), QTest::kEnabled), &g->enabled);
   t->Reset(g.GetPtr(), QTest::kEnabled);
   EXPECT_EQ(g->enabled, -1);

   // Deduplicated string: two objects set to the same text share one entry.
   std::string note = "shared note";
   Pellum::Ref<Gadget> h(new Gadget());
   t->SetField(g.GetPtr(), QTest::kNote, &note);
   t->SetField(h.GetPtr(), QTest::kNote, &note);
   EXPECT_TRUE(g->note.SameEntry(h->note));
   t->Reset(g.GetPtr(), QTest::kNote);
   EXPECT_EQ(t->GetFieldPtr(g.GetPtr(), QTest::kNote), nullptr);
}

TEST(Accessors, ReferencesNarrowAndCount) {
   DataObjectType* t = GadgetType();
   Pellum::Ref<Gadget> g(new Gadget());
   Pellum::Ref<Part> part(new Part());

   t->SetField(g.GetPtr(), QTest::kPart, static_cast<Any*>(part.GetPtr()));
   EXPECT_EQ(part->GetRefCount(), 2);
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

   // A value of another class is refused with a type mismatch naming both classes; the field is unchanged.
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

   // swapField exchanges the pointers without changing a count; a slot of another class is refused before
   // anything moves.
   Pellum::Ref<Any> other(new Part());
   t->SwapField(g.GetPtr(), QTest::kPart, &other);
   EXPECT_EQ(other.GetPtr(), static_cast<Any*>(part.GetPtr()));
   EXPECT_EQ(part->GetRefCount(), 2);
   EXPECT_EQ(g->part->GetRefCount(), 1);
   Pellum::Ref<Any> wrong(new KeyAnyValue());
   Part* kept = g->part.GetPtr();
   EXPECT_THROW(t->SwapField(g.GetPtr(), QTest::kPart, &wrong), Pellum::TypeMismatchException);
   EXPECT_EQ(g->part.GetPtr(), kept);
   EXPECT_EQ(wrong->GetRefCount(), 1);

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
   Pellum::Ref<Gadget> g(new Gadget());

   // getField goes through the array getter: the field now holds an empty array, which is not set.
   Pellum::Ref<Any> slot;
   t->GetField(g.GetPtr(), QTest::kParts, &slot);
   ASSERT_NE(slot, nullptr);
   EXPECT_EQ(slot.GetPtr(), static_cast<Any*>(g->parts.GetPtr()));
   EXPECT_EQ(g->GetParts(), g->parts.GetPtr());
   EXPECT_FALSE(t->IsSet(g.GetPtr(), QTest::kParts));
   EXPECT_EQ(t->GetFieldPtr(g.GetPtr(), QTest::kParts), nullptr);
   g->GetParts()->Append(Pellum::Ref<Part>(new Part()));
   EXPECT_TRUE(t->IsSet(g.GetPtr(), QTest::kParts));

   // Narrowing to the exact array class.
   Pellum::Ref<Any> keys(new DataArray<KeyAnyValue>());
   DataArray<Part>* kept = g->parts.GetPtr();
   EXPECT_THROW(t->SetField(g.GetPtr(), QTest::kParts, keys.GetPtr()), Pellum::TypeMismatchException);
   EXPECT_EQ(g->parts.GetPtr(), kept);
   Pellum::Ref<Any> ints(new Array<int>{1});
   EXPECT_THROW(t->SetField(g.GetPtr(), QTest::kTags, ints.GetPtr()), Pellum::TypeMismatchException);
   EXPECT_THROW(t->SetField(g.GetPtr(), QTest::kColors, ints.GetPtr()), Pellum::TypeMismatchException);
}

TEST(Accessors, CheckedWrappersRefuseBadCalls) {
   DataObjectType* t = GadgetType();
   Pellum::Ref<Gadget> g(new Gadget());
   Pellum::Ref<Part> part(new Part());
   int value = 0;
   EXPECT_THROW(t->GetField(g.GetPtr(), QTest::kGadgetPropertyCount, &value), Pellum::Exception);
   EXPECT_THROW(t->GetField(g.GetPtr(), -1, &value), Pellum::Exception);
   EXPECT_THROW(t->IsSet(nullptr, QTest::kCount), Pellum::Exception);
   EXPECT_THROW(t->GetField(part.GetPtr(), QTest::kCount, &value), Pellum::Exception); // another type
   EXPECT_THROW(t->Reset(g.GetPtr(), QTest::kCount), Pellum::Exception);               // a required value
   EXPECT_EQ(value, 0);
   // A type without own properties has no value accessors; a derived object is accepted by its base type,
   // never the reverse.
   Pellum::Ref<QTest::SubPart> sub(new QTest::SubPart());
   std::string key = "k";
   GetDoType<Part>()->SetField(sub.GetPtr(), 0, &key);
   EXPECT_EQ(sub->key, "k");
   EXPECT_THROW(GetDoType<RuntimeFault>()->GetFieldPtr(sub.GetPtr(), 0), Pellum::Exception);
   EXPECT_THROW(GetDoType<QTest::SubPart>()->GetFieldPtr(part.GetPtr(), 0), Pellum::Exception);
}

TEST(Accessors, FieldKinds) {
   const PropertyRecord* p = QTest::Accessors::kGadgetProperties;
   const std::pair<const PropertyRecord*, FieldKind> rows[] = {
       {&p[QTest::kEnabled], FieldKind::Bool},    {&p[QTest::kColor], FieldKind::Enum},
       {&p[QTest::kBlob], FieldKind::Binary},     {&p[QTest::kPart], FieldKind::Reference},
       {&p[QTest::kOwner], FieldKind::Reference}, {&p[QTest::kExtra], FieldKind::Any},
       {&p[QTest::kColors], FieldKind::Array},    {&p[QTest::kNote], FieldKind::String},
   };
   for (const auto& [record, kind] : rows) {
      SCOPED_TRACE(record->name);
      EXPECT_EQ(GetFieldKind(*record), kind);
   }
   // A link holds the key of its target, a string.
   const PropertyRecord link{&QTest::gPartTypeInfo, PropertyFlags::Link | PropertyFlags::Optional, "partKey",
                             nullptr, "v"};
   EXPECT_EQ(GetFieldKind(link), FieldKind::String);
   const PropertyRecord none{nullptr, 0, "x", nullptr, "v"};
   EXPECT_THROW(GetFieldKind(none), Pellum::Exception);
}
