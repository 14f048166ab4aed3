// Array getters racing on one object, and the deduplicated string under concurrent set and release.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "quorl/host/PatchManager.h"
#include "quorl/vm/BootOptions.h"

namespace {

TEST(ArrayGetterConcurrency, TwoThreadsGetTheSameArray) {
   for (int round = 0; round < 200; ++round) {
      Pellum::Ref<Quorl::Vm::BootOptions> b(new Quorl::Vm::BootOptions());
      std::atomic<bool> go{false};
      Ormid::DataArray<Quorl::Vm::BootOptions::BootableDevice>* seen[2] = {nullptr, nullptr};
      auto run = [&](int i) {
         while (!go.load()) {
         }
         seen[i] = b->GetBootOrder();
      };
      std::thread t0(run, 0);
      std::thread t1(run, 1);
      go.store(true);
      t0.join();
      t1.join();
      ASSERT_NE(seen[0], nullptr);
      ASSERT_EQ(seen[0], seen[1]);
      ASSERT_EQ(b->bootOrder.GetPtr(), seen[0]);
   }
}

TEST(DeduplicationConcurrency, ReleaseRacingWithSetLeavesOneEntry) {
   using Result = Quorl::Host::PatchManager::Result;
   Ormid::DataObjectType* type = Ormid::GetDoType<Result>();
   const std::string text = "<dedup-race/>";
   for (int round = 0; round < 200; ++round) {
      Pellum::Ref<Result> a(new Result());
      type->SetField(a.GetPtr(), 0, &text);
      Pellum::Ref<Result> b(new Result());
      std::thread releaser([&] { a.Reset(); });
      std::thread setter([&] { type->SetField(b.GetPtr(), 0, &text); });
      releaser.join();
      setter.join();
      ASSERT_EQ(b->xmlResult.Get(), text);
      ASSERT_EQ(Pellum::Deduplicated<std::string>::_dedupTable.EntryFor(text), b->xmlResult.GetEntry());
   }
   EXPECT_FALSE(Pellum::Deduplicated<std::string>::_dedupTable.Contains(text));
}

} // namespace
