// The string deduplication table, single-threaded: sharing, removal, ordering, handle semantics.
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

TEST(Deduplicated, EqualContentsShareOneEntryUntilTheLastHandleGoes) {
   const std::size_t before = Table().size();
   {
      Dedup first;
      EXPECT_TRUE(first.IsNull());
      first.Set("<patch-result id='1'/>");
      Dedup second(std::string("<patch-result id='1'/>"));
      EXPECT_TRUE(first.SameEntry(second));
      EXPECT_EQ(&first.Get(), &second.Get());
      EXPECT_EQ(first.GetEntry()->UseCount(), 2);
      EXPECT_EQ(Table().size(), before + 1);
      EXPECT_EQ(Table().EntryFor("<patch-result id='1'/>"), first.GetEntry());

      first.Reset();
      EXPECT_TRUE(Table().Contains("<patch-result id='1'/>"));
   }
   EXPECT_FALSE(Table().Contains("<patch-result id='1'/>"));
   EXPECT_EQ(Table().size(), before);
}

TEST(Deduplicated, SettingTheHeldContentsKeepsTheEntry) {
   Dedup field("same");
   const Dedup::Wrapper* entry = field.GetEntry();
   field.Set(std::string("same"));
   EXPECT_EQ(field.GetEntry(), entry);
   EXPECT_EQ(entry->UseCount(), 1);

   // Moving to other contents releases the old entry.
   field = "different";
   EXPECT_FALSE(Table().Contains("same"));
   EXPECT_EQ(field.Get(), "different");
}

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

   Dedup moved = std::move(other);
   EXPECT_TRUE(other.IsNull());
   EXPECT_EQ(a.GetEntry()->UseCount(), 2);

   Dedup nullA;
   Dedup nullB;
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
