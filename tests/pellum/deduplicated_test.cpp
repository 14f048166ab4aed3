// The string deduplication table, single-threaded: keys, ordering, handle semantics. (Equal contents sharing
// one entry, setting the held contents keeping it, the entry going with its last holder: tests/types, on the
// deduplicated fields of the generated classes.)
#include <gtest/gtest.h>

#include "pellum/Deduplicated.h"
#include "pellum/Exception.h"

using Dedup = Pellum::Deduplicated<std::string>;

namespace {

Dedup::DeduplicationTable& Table() {
   return Dedup::_dedupTable;
}

// Constructed before the table (which is built on first use), so destroyed after the table's
// exit-time destructor has run.
Dedup gOutlivesTheTable;

} // namespace

TEST(Deduplicated, EntriesAreKeyedByEveryByte) {
   Dedup plain("a");
   Dedup withNul(std::string_view("a\0b", 3));
   Dedup longer("ab");
   Dedup high("\xff");
   EXPECT_FALSE(plain.SameEntry(withNul));
   EXPECT_EQ(withNul.Get().size(), 3u);
   EXPECT_EQ(Table().EntryFor(std::string_view("a\0b", 3)), withNul.GetEntry());
   EXPECT_EQ(Table().EntryFor("a"), plain.GetEntry());

   using Less = Dedup::DeduplicationTable::Less;
   EXPECT_LT(Less::Compare("a", "ab"), 0);   // a prefix sorts first
   EXPECT_GT(Less::Compare("\xff", "a"), 0); // bytes compare unsigned
   EXPECT_LT(Less::Compare(std::string_view("a\0b", 3), "ab"), 0);
   EXPECT_EQ(Less::Compare("", ""), 0);
}

TEST(Deduplicated, HandlesCopySwapAndCompareByContents) {
   Dedup a("value");
   Dedup copy = a;
   EXPECT_TRUE(copy.SameEntry(a));
   EXPECT_EQ(a.GetEntry()->UseCount(), 2);

   Dedup other("other");
   swap(copy, other);
   EXPECT_EQ(copy.Get(), "other");
   EXPECT_EQ(other.Get(), "value");
   EXPECT_TRUE(other == a);
   EXPECT_FALSE(copy == a);
   copy = "different"; // other contents release the old entry
   EXPECT_FALSE(Table().Contains("other"));

   Dedup moved = std::move(other);
   EXPECT_TRUE(other.IsNull());
   EXPECT_EQ(a.GetEntry()->UseCount(), 2);

   Dedup nullA;
   Dedup nullB;
   EXPECT_TRUE(nullA.IsNull());
   EXPECT_TRUE(nullA == nullB);
   EXPECT_FALSE(nullA == a);
   EXPECT_EQ(nullA.GetPtr(), nullptr);
   EXPECT_THROW(nullA.Get(), Pellum::Exception);

   Dedup empty("");
   EXPECT_FALSE(empty.IsNull());
   EXPECT_TRUE(Table().Contains(""));
}

TEST(Deduplicated, HandleReleasedAfterTheTableIsDestroyedAtExit) {
   // The handle is released during exit, after the table's destructor freed the set; the release must
   // free only its own entry (AddressSanitizer reports any use of the freed set).
   gOutlivesTheTable.Set("released at exit");
   EXPECT_TRUE(Table().IsConstructed());
   EXPECT_EQ(Table().EntryFor("released at exit"), gOutlivesTheTable.GetEntry());
}
