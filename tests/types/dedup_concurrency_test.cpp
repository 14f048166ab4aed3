// The deduplicated xmlResult of quorl.host.PatchManager.Result under several threads: interning the same
// text at once, reading and copying a shared object while others set and drop their own, and the last
// release of an entry racing with new lookups of the same text.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "quorl/host/PatchManager.h"

namespace {

using Result = Quorl::Host::PatchManager::Result;
using Pellum::Ref;

Pellum::Deduplicated<std::string>::DeduplicationTable& Table() {
   return Pellum::Deduplicated<std::string>::_dedupTable;
}

// Starts `threads` threads running body(i) at the same moment and joins them.
template <class F> void RunTogether(int threads, F&& body) {
   std::atomic<int> ready{0};
   std::vector<std::thread> pool;
   for (int i = 0; i < threads; ++i) {
      pool.emplace_back([&, i] {
         ready.fetch_add(1);
         while (ready.load() < threads) {
            std::this_thread::yield();
         }
         body(i);
      });
   }
   for (std::thread& t : pool) {
      t.join();
   }
}

TEST(DeduplicationConcurrency, ThreadsInterningTheSameTextShareOneEntry) {
   Ormid::DataObjectType* type = Ormid::GetDoType<Result>();
   const std::vector<std::string> texts = {"<dedup-share a/>", "<dedup-share b/>", "<dedup-share a/> "};
   constexpr int kThreads = 4;
   constexpr int kPerThread = 60;
   // A shared object that every thread reads and copies while the others intern.
   Ref<Result> shared(new Result());
   type->SetField(shared.GetPtr(), 0, &texts[0]);
   std::vector<std::vector<Ref<Result>>> made(kThreads);
   RunTogether(kThreads, [&](int t) {
      for (int i = 0; i < kPerThread; ++i) {
         Ref<Result> r(new Result());
         const std::string& text = texts[static_cast<std::size_t>(i + t) % texts.size()];
         if (i % 2 == 0) {
            type->SetField(r.GetPtr(), 0, &text);
         } else {
            r->xmlResult.Set(text);
         }
         Ref<Result> copy(static_cast<Result*>(shared->_Clone()));
         if (!copy->xmlResult.SameEntry(shared->xmlResult) || copy->xmlResult.Get() != texts[0] ||
             r->xmlResult.Get() != text || (text == texts[0]) != r->_IsEqual(shared.GetPtr(), false)) {
            ADD_FAILURE() << "thread " << t << " round " << i;
            return;
         }
         made[static_cast<std::size_t>(t)].push_back(r);
      }
   });

   // One entry per distinct text, held by exactly the objects that were set to it.
   for (const std::string& text : texts) {
      const auto* entry = Table().EntryFor(text);
      ASSERT_NE(entry, nullptr) << text;
      long holders = text == texts[0] ? 1 : 0;
      for (const auto& objects : made) {
         for (const Ref<Result>& r : objects) {
            if (r->xmlResult.Get() == text) {
               EXPECT_EQ(r->xmlResult.GetEntry(), entry) << text;
               ++holders;
            }
         }
      }
      EXPECT_EQ(entry->UseCount(), holders) << text;
   }
   made.clear();
   shared.Reset();
   for (const std::string& text : texts) {
      EXPECT_FALSE(Table().Contains(text)) << text;
   }
}

TEST(DeduplicationConcurrency, LastReleaseRacingWithLookupsNeverRevivesAnEntry) {
   Ormid::DataObjectType* type = Ormid::GetDoType<Result>();
   const std::string text = "<dedup-churn/>";
   const std::string other = "<dedup-churn other/>";
   constexpr int kThreads = 3;
   constexpr int kRounds = 2000;
   const uint64_t replacedBefore = Table().GetReplacedDyingCount();
   RunTogether(kThreads, [&](int t) {
      for (int i = 0; i < kRounds; ++i) {
         Ref<Result> r(new Result());
         type->SetField(r.GetPtr(), 0, &text);
         const auto* entry = r->xmlResult.GetEntry();
         // While this thread holds the entry, whatever the others do, the table answers that entry.
         if (entry == nullptr || entry->GetValue() != text ||
             (i % 8 == 0 && Table().EntryFor(text) != entry)) {
            ADD_FAILURE() << "thread " << t << " round " << i;
            return;
         }
         // Moving to another text drops this thread's handle, possibly the entry's last one.
         if ((i + t) % 3 == 0) {
            type->SetField(r.GetPtr(), 0, &other);
         }
      }
   });
   EXPECT_FALSE(Table().Contains(text));
   EXPECT_FALSE(Table().Contains(other));
   // How often a lookup met an entry in its last release (timing-dependent, so only recorded).
   RecordProperty("replaced dying entries",
                  static_cast<int>(Table().GetReplacedDyingCount() - replacedBefore));
}

} // namespace
