// The deduplication table under concurrent use, including the race between the last release of an
// entry and a lookup of the same string.
#include <gtest/gtest.h>

#include <barrier>
#include <chrono>
#include <thread>

#include "pellum/Deduplicated.h"

using Dedup = Pellum::Deduplicated<std::string>;
using Table = Dedup::DeduplicationTable;

// Forces the interleaving: the releasing thread's deleter is parked on the table's mutex (held here)
// after the shared count reached zero, and the lookup runs in between.
TEST(DeduplicatedRace, LookupReplacesAnEntryWhoseLastHandleIsBeingReleased) {
   Table& table = Dedup::_dedupTable;
   const std::string text = "race: dying entry";
   Dedup dying(text);
   const Dedup::Wrapper* old = dying.GetEntry();
   const uint64_t replacedBefore = table.GetReplacedDyingCount();

   table.GetMutex().Lock();
   std::thread releaser([&dying] { dying.Reset(); });
   // The old wrapper cannot be freed while we hold the mutex, so reading its count is safe.
   const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
   while (old->UseCount() != 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
   }
   ASSERT_EQ(old->UseCount(), 0) << "the releasing thread did not reach the deleter";

   Table::Handle fresh = table.FindOrAddLocked(text);
   table.GetMutex().Unlock();
   releaser.join();

   ASSERT_NE(fresh, nullptr);
   EXPECT_NE(fresh.get(), old);
   EXPECT_EQ(fresh->UseCount(), 1);
   EXPECT_EQ(table.GetReplacedDyingCount(), replacedBefore + 1);
   // The late deleter removed only its own wrapper: the new entry is the one the set holds.
   EXPECT_EQ(table.EntryFor(text), fresh.get());
   EXPECT_EQ(table.EntryFor(text)->GetValue(), text);
   fresh.reset();
   EXPECT_FALSE(table.Contains(text));
}

// The same race left to the scheduler: in each round one thread drops the only handle while the other
// sets a field to the same string. A third thread keeps taking the table's mutex, so that the deleter
// often has to wait for it and the setter finds a dying entry. Whatever the interleaving, exactly one
// live entry remains.
TEST(DeduplicatedRace, ConcurrentReleaseAndSetKeepOneLiveEntry) {
   Table& table = Dedup::_dedupTable;
   const std::string text = "race: hammered";
   constexpr int kRounds = 3000;
   std::barrier sync(2);
   Dedup survivor;
   std::vector<std::string> problems;
   std::atomic<bool> stop{false};

   std::thread contender([&] {
      while (!stop.load(std::memory_order_relaxed)) {
         (void)table.Contains(text);
      }
   });
   std::thread releaser([&] {
      for (int round = 0; round < kRounds; ++round) {
         Dedup held(text);
         sync.arrive_and_wait(); // phase 1: `held` is the only handle
         held.Reset();           // phase 2: races with the setter
         sync.arrive_and_wait();
         sync.arrive_and_wait(); // phase 3: the setter checks
      }
   });
   for (int round = 0; round < kRounds; ++round) {
      sync.arrive_and_wait();
      survivor.Set(text);
      sync.arrive_and_wait();
      const Dedup::Wrapper* entry = table.EntryFor(text);
      if (entry != survivor.GetEntry() || survivor.GetEntry()->UseCount() != 1 || survivor.Get() != text) {
         problems.push_back("round " + std::to_string(round) + ": the set does not hold the live entry");
      }
      if (round + 1 < kRounds) {
         survivor.Reset();
      }
      sync.arrive_and_wait();
   }
   releaser.join();
   stop = true;
   contender.join();

   EXPECT_TRUE(problems.empty()) << problems.front();
   EXPECT_EQ(table.EntryFor(text), survivor.GetEntry());
   EXPECT_EQ(survivor.GetEntry()->UseCount(), 1);
   RecordProperty("replacedDyingEntries", std::to_string(table.GetReplacedDyingCount()));
   survivor.Reset();
   EXPECT_FALSE(table.Contains(text));
}

// Several threads set, copy and drop handles over a few strings at once, and copy one shared handle.
TEST(DeduplicatedRace, ManyThreadsLeaveNoEntriesBehind) {
   Table& table = Dedup::_dedupTable;
   const std::string texts[] = {"stress: a", "stress: b", "stress: c"};
   constexpr int kThreads = 4;
   constexpr int kOperations = 4000;
   std::optional<Dedup> shared(std::in_place, texts[0]);
   std::vector<std::thread> threads;
   std::vector<int> mismatches(kThreads, 0);
   for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
         Dedup mine;
         Dedup copy;
         for (int i = 0; i < kOperations; ++i) {
            const std::string& text = texts[(i + t) % 3];
            mine.Set(text);
            if (mine.Get() != text || (text == texts[0]) != (mine == *shared)) {
               ++mismatches[t];
            }
            if (i % 3 == 0) {
               copy = mine;
            } else if (i % 5 == 0) {
               copy = *shared;
            }
         }
      });
   }
   for (std::thread& thread : threads) {
      thread.join();
   }
   for (int t = 0; t < kThreads; ++t) {
      EXPECT_EQ(mismatches[t], 0) << "thread " << t;
   }
   EXPECT_EQ(shared->GetEntry()->UseCount(), 1);
   shared.reset();
   for (const std::string& text : texts) {
      EXPECT_FALSE(table.Contains(text)) << text;
   }
}
