// Equality and difference of nested values: null and empty arrays, the pattern flag, different dynamic
// types, NaN, per-element array paths. (Equality agreeing with the difference on every class, faults of the
// runtime included, and the order of the paths: tests/types.)

#include <gtest/gtest.h>

#include "test_catalogues.h"

using namespace Ormid;
using Ormidtest::Part;

namespace {

Part* MakePart(const char* key, int weight = -1) {
   Part* p = new Part();
   p->key = key;
   if (weight >= 0) {
      p->weight = weight;
   }
   return p;
}

// An array of parts given as (key, weight); a negative weight is unset.
DataArray<Part>* Parts(std::initializer_list<std::pair<const char*, int>> parts) {
   auto* array = new DataArray<Part>();
   for (const auto& [key, weight] : parts) {
      array->Append(Pellum::Ref<Part>(MakePart(key, weight)));
   }
   return array;
}

// The paths of a difference, separated by spaces.
std::string Paths(const PropertyDiffSet& d) {
   std::string out;
   for (const std::string& path : d) {
      out += (out.empty() ? "" : " ") + path;
   }
   return out;
}

} // namespace

// Each row compares a property value `a` with `b` as its own value and as a pattern, and lists the paths of
// the difference, which is empty exactly when the values are equal.
TEST(Equality, EqualityPatternAndDifferenceAgree) {
   std::vector<Pellum::Ref<Any>> held;
   auto keep = [&held](auto value) -> Any* { // a new value or a Ref
      held.emplace_back(value);
      return held.back().GetPtr();
   };
   Any* part = keep(MakePart("a"));
   auto* sub = new Ormidtest::SubPart();
   sub->key = "a";
   keep(sub);
   auto* nan = new Ormidtest::SubPart();
   nan->depth = std::numeric_limits<double>::quiet_NaN();
   keep(nan);
   Any* empty = keep(new DataArray<Part>());
   Any* emptyInts = keep(new Array<int>());
   Any* owner = keep(new MoRef("ormidtest.Thing", "1"));
   Any* threeParts = keep(Parts({{"p0", 1}, {"p1", 1}, {"p2", 1}}));
   const char* none = "";
   const char* whole = "x.p";

   const struct {
      const char* what;
      const Any* a;
      const Any* b;
      bool equal;
      bool matches; // as a pattern
      const char* paths;
   } rows[] = {
       {"both null", nullptr, nullptr, true, true, none},
       {"the same object", part, part, true, true, none},
       // The pattern's unset property matches anything, never the reverse.
       {"a value against null", part, nullptr, false, true, whole},
       {"null against a value", nullptr, part, false, false, whole},
       // An unset array equals an empty one, either way round; as a pattern, an empty array stands for an
       // unset property.
       {"null against an empty array", nullptr, empty, true, true, none},
       {"an empty array against null", empty, nullptr, true, true, none},
       {"empty ints against null", emptyInts, nullptr, true, true, none},
       {"parts against no parts", keep(new DataArray<Part>{MakePart("a")}), empty, false, true, whole},
       {"no parts against parts", empty, keep(new DataArray<Part>{MakePart("a")}), false, false, whole},
       // Different dynamic types differ, without an exception, whatever their contents.
       {"a part against a subpart", part, sub, false, false, whole},
       {"a subpart against a part", sub, part, false, false, whole},
       {"boxed int against boxed long", keep(Box(1)), keep(Box(1L)), false, false, whole},
       {"empty arrays of other classes", emptyInts, keep(new Array<std::string>()), false, true, whole},
       // References compare by value, not by address; plain arrays and boxes report their own path.
       {"an equal reference", owner, keep(new MoRef("ormidtest.Thing", "1")), true, true, none},
       {"another reference", owner, keep(new MoRef("ormidtest.Thing", "2")), false, false, whole},
       {"other boxed strings", keep(Box(std::string("same"))), keep(Box(std::string("other"))), false, false,
        whole},
       {"other string arrays", keep(new Array<std::string>{"x"}), keep(new Array<std::string>{"y"}), false,
        false, whole},
       // NaN matches nothing, not even its own copy.
       {"NaN against its copy", nan, keep(nan->_Clone()), false, false, "x.p.depth"},
       // Data arrays: per-element paths; the pattern flag passes through to the elements.
       {"equal part arrays", threeParts, keep(Parts({{"p0", 1}, {"p1", 1}, {"p2", 1}})), true, true, none},
       {"changed elements", threeParts, keep(Parts({{"p0", 1}, {"p1", 2}, {"other", 1}})), false, false,
        "x.p[1].weight x.p[2].key"},
       {"an element with an unset weight", threeParts, keep(Parts({{"p0", 1}, {"p1", -1}, {"p2", 1}})), false,
        true, "x.p[1].weight"},
       {"another length", threeParts, keep(Parts({{"p1", 1}, {"p2", 1}})), false, false, whole},
       {"another order", keep(Parts({{"1", -1}, {"2", -1}})), keep(Parts({{"2", -1}, {"1", -1}})), false,
        false, "x.p[0].key x.p[1].key"},
   };
   for (const auto& row : rows) {
      SCOPED_TRACE(row.what);
      EXPECT_EQ(AreEqualAnysInt(row.a, row.b, 0, false), row.equal);
      EXPECT_EQ(AreEqualAnysInt(row.a, row.b, 0, true), row.matches);
      PropertyDiffSet diffs;
      DiffAnyPropertiesInt(row.a, row.b, "x", ".p", 0, diffs);
      EXPECT_EQ(Paths(diffs), row.paths);
   }
   EXPECT_FALSE(nan->_IsEqual(nan, true));
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
