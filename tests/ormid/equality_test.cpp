// Equality and difference of nested values: null and empty arrays, the pattern flag, different dynamic
// types, NaN, per-element array paths, and the generic reflective difference of faults.

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "ormid_test_types.h"

using namespace Ormid;
using QTest::Part;

namespace {

Pellum::Ref<Part> MakePart(const char* key, int weight = -1) {
   Pellum::Ref<Part> p(new Part());
   p->key = key;
   if (weight >= 0) {
      p->weight = weight;
   }
   return p;
}

std::vector<std::string> Paths(const PropertyDiffSet& d) {
   return std::vector<std::string>(d.begin(), d.end());
}

} // namespace

TEST(Equality, NullsEmptyArraysAndPattern) {
   Pellum::Ref<Part> a = MakePart("a");
   Pellum::Ref<Any> empty(new DataArray<Part>());
   Pellum::Ref<Any> emptyInts(new Array<int>());

   EXPECT_TRUE(AreEqualAnysInt(nullptr, nullptr, 0, false));
   EXPECT_TRUE(AreEqualAnysInt(a.GetPtr(), a.GetPtr(), 0, false));
   EXPECT_FALSE(AreEqualAnysInt(a.GetPtr(), nullptr, 2, false));
   EXPECT_FALSE(AreEqualAnysInt(nullptr, a.GetPtr(), 2, false));
   // The pattern's unset property matches anything, never the reverse.
   EXPECT_TRUE(AreEqualAnysInt(a.GetPtr(), nullptr, 2, true));
   EXPECT_FALSE(AreEqualAnysInt(nullptr, a.GetPtr(), 2, true));
   // An unset array equals an empty one, either way round, and yields no difference.
   EXPECT_TRUE(AreEqualAnysInt(nullptr, empty.GetPtr(), 3, false));
   EXPECT_TRUE(AreEqualAnysInt(empty.GetPtr(), nullptr, 3, false));
   EXPECT_TRUE(AreEqualAnysInt(emptyInts.GetPtr(), nullptr, 3, false));
   // ... also as a pattern: an empty array there stands for an unset property.
   Pellum::Ref<Any> someParts(new DataArray<Part>{a.GetPtr()});
   EXPECT_TRUE(AreEqualAnysInt(someParts.GetPtr(), empty.GetPtr(), 3, true));
   EXPECT_FALSE(AreEqualAnysInt(someParts.GetPtr(), empty.GetPtr(), 3, false));
   EXPECT_FALSE(AreEqualAnysInt(empty.GetPtr(), someParts.GetPtr(), 3, true));
   PropertyDiffSet diffs;
   DiffAnyPropertiesInt(nullptr, empty.GetPtr(), "x", ".parts", 3, diffs);
   DiffAnyPropertiesInt(emptyInts.GetPtr(), nullptr, "x", ".tags", 3, diffs);
   EXPECT_TRUE(diffs.empty());
   DiffAnyPropertiesInt(a.GetPtr(), nullptr, "x", ".part", 2, diffs);
   EXPECT_EQ(Paths(diffs), (std::vector<std::string>{"x.part"}));
}

TEST(Equality, DifferentDynamicTypesDifferWithoutException) {
   Pellum::Ref<Part> part = MakePart("k");
   Pellum::Ref<QTest::SubPart> sub(new QTest::SubPart());
   sub->key = "k";
   Pellum::Ref<Any> boxInt = Box(1);
   Pellum::Ref<Any> boxLong = Box(1L);
   EXPECT_FALSE(AreEqualAnysInt(part.GetPtr(), sub.GetPtr(), 0, false));
   EXPECT_FALSE(AreEqualAnysInt(sub.GetPtr(), part.GetPtr(), 0, true));
   EXPECT_FALSE(AreEqualAnysInt(boxInt.GetPtr(), boxLong.GetPtr(), 0, false));
   PropertyDiffSet diffs;
   DiffAnyPropertiesInt(boxInt.GetPtr(), boxLong.GetPtr(), "", ".extra", 2, diffs);
   DiffAnyPropertiesInt(part.GetPtr(), sub.GetPtr(), "", ".part", 2, diffs);
   // Two empty arrays of different classes too.
   Pellum::Ref<Any> noInts(new Array<int>());
   Pellum::Ref<Any> noStrings(new Array<std::string>());
   EXPECT_FALSE(AreEqualAnysInt(noInts.GetPtr(), noStrings.GetPtr(), 3, false));
   DiffAnyPropertiesInt(noInts.GetPtr(), noStrings.GetPtr(), "", ".tags", 3, diffs);
   EXPECT_EQ(Paths(diffs), (std::vector<std::string>{".extra", ".part", ".tags"}));
}

// (The pattern rules of every property kind are checked for every generated class by the library's
// conformance test.)
TEST(Equality, NaNMatchesNothingNotEvenItself) {
   Pellum::Ref<QTest::SubPart> a(new QTest::SubPart());
   a->depth = std::numeric_limits<double>::quiet_NaN();
   Pellum::Ref<Any> copy(a->_Clone());
   EXPECT_FALSE(a->_IsEqual(copy.GetPtr(), false));
   EXPECT_FALSE(a->_IsEqual(a.GetPtr(), true));
   EXPECT_EQ(Paths(DiffProperties(a.GetPtr(), copy.GetPtr(), "p")), (std::vector<std::string>{"p.depth"}));
}

TEST(Equality, DataArraysPerElementPaths) {
   Pellum::Ref<DataArray<Part>> a(new DataArray<Part>());
   Pellum::Ref<DataArray<Part>> b(new DataArray<Part>());
   for (const char* k : {"p0", "p1", "p2"}) {
      a->Append(MakePart(k, 1));
      b->Append(MakePart(k, 1));
   }
   EXPECT_TRUE(AreEqualAnysInt(a.GetPtr(), b.GetPtr(), 3, false));
   b->Get(1)->weight = 2;
   b->Get(2)->key = "other";
   PropertyDiffSet diffs;
   DiffAnyPropertiesInt(a.GetPtr(), b.GetPtr(), "spec", ".parts", 3, diffs);
   EXPECT_EQ(Paths(diffs), (std::vector<std::string>{"spec.parts[1].weight", "spec.parts[2].key"}));

   // The pattern flag passes through to the elements: the pattern's unset weight matches.
   b->Get(1)->weight.Reset();
   b->Get(2)->key = "p2";
   EXPECT_TRUE(AreEqualAnysInt(a.GetPtr(), b.GetPtr(), 3, true));
   EXPECT_FALSE(AreEqualAnysInt(a.GetPtr(), b.GetPtr(), 3, false));

   // Different lengths: the array's own path.
   b->RemoveAt(0);
   diffs.clear();
   DiffAnyPropertiesInt(a.GetPtr(), b.GetPtr(), "spec", ".parts", 3, diffs);
   EXPECT_EQ(Paths(diffs), (std::vector<std::string>{"spec.parts"}));
   // Order matters.
   Pellum::Ref<Part> p1 = MakePart("1");
   Pellum::Ref<Part> p2 = MakePart("2");
   Pellum::Ref<DataArray<Part>> x(new DataArray<Part>{p1.GetPtr(), p2.GetPtr()});
   Pellum::Ref<DataArray<Part>> y(new DataArray<Part>{p2.GetPtr(), p1.GetPtr()});
   EXPECT_FALSE(AreEqualAnysInt(x.GetPtr(), y.GetPtr(), 1, false));
}

TEST(Equality, PlainArraysReferencesAndBoxesReportTheirPath) {
   Pellum::Ref<Any> tags[] = {Pellum::Ref<Any>(new Array<std::string>{"x"}),
                              Pellum::Ref<Any>(new Array<std::string>{"y"})};
   Pellum::Ref<Any> boxes[] = {Box(std::string("same")), Box(std::string("other"))};
   Pellum::Ref<Any> owners[] = {Pellum::Ref<Any>(new MoRef("ormidtest.Thing", "1")),
                                Pellum::Ref<Any>(new MoRef("ormidtest.Thing", "2"))};
   PropertyDiffSet diffs;
   DiffAnyPropertiesInt(owners[0].GetPtr(), owners[1].GetPtr(), "", ".owner", 0, diffs);
   DiffAnyPropertiesInt(boxes[0].GetPtr(), boxes[1].GetPtr(), "", ".extra", 2, diffs);
   DiffAnyPropertiesInt(tags[0].GetPtr(), tags[1].GetPtr(), "", ".tags", 3, diffs);
   EXPECT_EQ(Paths(diffs), (std::vector<std::string>{".owner", ".extra", ".tags"}));
   // Equal references by value, not by address.
   MoRef same("ormidtest.Thing", "1");
   EXPECT_TRUE(AreEqualAnysInt(owners[0].GetPtr(), &same, 0, false));
}

TEST(Equality, FaultsUseTheReflectiveDifference) {
   Pellum::Ref<Fault::InvalidArgument> a(new Fault::InvalidArgument("spec.name"));
   Pellum::Ref<Fault::InvalidArgument> b(new Fault::InvalidArgument("spec.size"));
   a->GetFaultMessage()->Append(Pellum::Ref<LocalizableMessage>(new LocalizableMessage("msg.key", "text")));
   b->GetFaultMessage()->Append(
       Pellum::Ref<LocalizableMessage>(new LocalizableMessage("msg.key", "other text")));
   b->faultCause = new Fault::SystemError("disk");
   EXPECT_FALSE(AreEqual(a.GetPtr(), b.GetPtr()));
   PropertyDiffSet diffs = DiffProperties(a.GetPtr(), b.GetPtr(), "fault");
   // Inherited properties first, array elements by index.
   EXPECT_EQ(Paths(diffs), (std::vector<std::string>{"fault.faultCause", "fault.faultMessage[0].message",
                                                     "fault.invalidProperty"}));
   b->faultCause.Reset();
   b->invalidProperty = "spec.name";
   b->faultMessage->Get(0)->message = "text";
   EXPECT_TRUE(AreEqual(a.GetPtr(), b.GetPtr()));
   EXPECT_TRUE(DiffProperties(a.GetPtr(), b.GetPtr()).empty());
}

TEST(Equality, PropertyPathOrdering) {
   EXPECT_EQ(PropertyPath::Compare(PropertyPath("a.b"), PropertyPath("a.b")), 0);
   EXPECT_LT(PropertyPath::Compare("a", "a.b"), 0);
   EXPECT_GT(PropertyPath::Compare("a.c", "a.b.z"), 0);
   // Component-wise: "a" < "a-c" although '.' sorts after '-' bytewise.
   EXPECT_LT(PropertyPath::Compare("a.b", "a-c"), 0);
   EXPECT_GT(std::string("a.b").compare("a-c"), 0);
   EXPECT_TRUE(PropertyPath("config.hardware.device").StartsWithPath("config.hardware"));
   EXPECT_FALSE(PropertyPath("config.hardwareX").StartsWithPath("config.hardware"));
   EXPECT_TRUE(PropertyPath("device[4000].key").StartsWithPath("device[4000]"));
}
