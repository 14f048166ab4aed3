// Reflection through a type's descriptor: the rules of optional values that the library's per-property
// conformance test cannot see (the value kept across reset, the whole optional exchanged), the checked
// wrappers of DataObjectType. (Every storage kind, a property's kind included, is tested on the generated
// classes of the test namespace and of the library by the conformance test.)

#include <gtest/gtest.h>

#include "test_catalogues.h"

using namespace Ormid;
using Ormidtest::Part;

TEST(Accessors, OptionalFieldsKeepTheirValueWhenReset) {
   DataObjectType* t = GetDoType<Part>();
   Pellum::Ref<Part> p(new Part());
   int weight = 7;
   t->SetField(p.GetPtr(), 1, &weight);
   t->Reset(p.GetPtr(), 1);
   EXPECT_EQ(t->GetFieldPtr(p.GetPtr(), 1), nullptr);
   weight = -1;
   t->GetField(p.GetPtr(), 1, &weight); // the stored value, set or not
   EXPECT_EQ(weight, 7);
   // swapField exchanges value and flag with a whole optional.
   Pellum::Optional<int> io(99);
   t->SwapField(p.GetPtr(), 1, &io);
   EXPECT_EQ(p->weight.GetValue(), 99);
   EXPECT_FALSE(io.IsSet());
   EXPECT_EQ(io.GetStored(), 7);
}

TEST(Accessors, CheckedWrappersRefuseBadCalls) {
   DataObjectType* t = GetDoType<Part>();
   Pellum::Ref<Part> part(new Part());
   Pellum::Ref<KeyAnyValue> other(new KeyAnyValue());
   std::string key = "k";
   EXPECT_THROW(t->GetField(part.GetPtr(), 2, &key), Pellum::Exception);
   EXPECT_THROW(t->GetField(part.GetPtr(), -1, &key), Pellum::Exception);
   EXPECT_THROW(t->IsSet(nullptr, 0), Pellum::Exception);
   EXPECT_THROW(t->GetField(other.GetPtr(), 0, &key), Pellum::Exception); // an object of another type
   EXPECT_THROW(t->Reset(part.GetPtr(), 0), Pellum::Exception);           // a required value
   EXPECT_EQ(key, "k");
   // A type without own properties has no value accessors; a derived object is accepted by its base type,
   // never the reverse.
   Pellum::Ref<Ormidtest::SubPart> sub(new Ormidtest::SubPart());
   t->SetField(sub.GetPtr(), 0, &key);
   EXPECT_EQ(sub->key, "k");
   EXPECT_THROW(GetDoType<RuntimeFault>()->GetFieldPtr(sub.GetPtr(), 0), Pellum::Exception);
   EXPECT_THROW(GetDoType<Ormidtest::SubPart>()->GetFieldPtr(part.GetPtr(), 0), Pellum::Exception);
   EXPECT_TRUE(GetDoType<Ormidtest::SubPart>()->IsSet(sub.GetPtr(), 0)); // the shared always-true isSet
   // The storage kind of every property of the test namespace is checked by its conformance test; a record
   // without a type has none.
   const PropertyRecord none{nullptr, 0, "x", nullptr, "v"};
   EXPECT_THROW(GetFieldKind(none), Pellum::Exception);
}

// The typed layer on binary, the one storage kind the library's schema has no data property of.
TEST(Accessors, TypedBinaryIsAnOptionalOfBytes) {
   using Bytes = std::vector<unsigned char>;
   const Property blob(*GetDoType<Ormidtest::Sample>(), "blob");
   EXPECT_TRUE(blob.Takes<Pellum::Optional<Bytes>>());
   Pellum::Ref<Ormidtest::Sample> s(new Ormidtest::Sample());
   blob.Set(s.GetPtr(), Pellum::Optional<Bytes>(Bytes{0xde, 0xad}));
   EXPECT_EQ(s->blob.GetValue(), (Bytes{0xde, 0xad}));
   EXPECT_THROW(blob.Set(s.GetPtr(), Bytes{1}), Pellum::TypeMismatchException);
   EXPECT_THROW(blob.Get<std::string>(s.GetPtr()), Pellum::TypeMismatchException);
   EXPECT_EQ(blob.Get<Pellum::Optional<Bytes>>(s.GetPtr()).GetValue(), (Bytes{0xde, 0xad}))
       << "a refusal changes nothing";
   blob.Reset(s.GetPtr());
   EXPECT_FALSE(blob.IsSet(s.GetPtr()));
}
