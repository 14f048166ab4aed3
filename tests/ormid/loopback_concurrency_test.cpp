// Many asynchronous and synchronous calls through the loopback adapter from several threads: shared stubs,
// adapters and targets, request contexts swapped and objects served and withdrawn while calls run.

#include <gtest/gtest.h>

#include "served_lease.h"

using Ormidtest::Lease;
using Pellum::Ref;
using Pellum::System::ScheduledItem;

namespace {

constexpr int kCallsPerThread = 150;
constexpr std::chrono::seconds kWait(60);

struct Tally {
   std::atomic<int> results{0};
   std::atomic<int> faults{0};
   std::atomic<int> wrong{0};
};

// Starts kCallsPerThread asynchronous calls: every third one raises the declared fault, every third one
// answers a text.
void StartCalls(Ormidtest::LeaseStub& stub, int thread, Tally& tally,
                std::vector<Ref<ScheduledItem>>& items) {
   for (int i = 0; i < kCallsPerThread; ++i) {
      const int kind = i % 3;
      auto done = [&tally, kind](ScheduledItem*, Pellum::Exception* error, Ormid::Any* result) {
         const bool ok =
             kind == 0
                 ? dynamic_cast<Ormidtest::Fault::Expired::Exception*>(error) != nullptr && result == nullptr
             : kind == 1
                 ? error == nullptr && Ormid::Unbox<std::string>(result).rfind("lease lease-1 for ", 0) == 0
                 : error == nullptr && result == nullptr;
         (!ok ? tally.wrong : kind == 0 ? tally.faults : tally.results)++;
      };
      Ref<ScheduledItem> item;
      if (kind == 1) {
         stub.Complete(nullptr, done, item);
      } else {
         stub.Progress(kind == 0 ? -1 : (thread * 7 + i) % 101, done, item);
      }
      items.push_back(std::move(item));
   }
}

TEST(LoopbackConcurrency, AsynchronousCallsFromTwoThreadsAllComplete) {
   Ref<Ormid::LoopbackAdapter> adapter(new Ormid::LoopbackAdapter(3));
   Ref<Served::LeaseRecorder> lease = Served::ServedLease("lease-1");
   adapter->Register(lease.GetPtr());
   Tally tally;
   std::vector<Ref<ScheduledItem>> items[2];
   std::vector<std::thread> callers;
   for (int t = 0; t < 2; ++t) {
      callers.emplace_back([&, t] {
         // Each thread has its own stub and context; the adapter and the target are shared.
         Ref<Ormid::RequestContext> context(new Ormid::RequestContext());
         context->Set("user", Ormid::Box("caller-" + std::to_string(t)).GetPtr());
         Ref<Ormidtest::LeaseStub> stub =
             adapter->GetStub<Ormidtest::LeaseStub>(lease->_GetRef(), context.GetPtr());
         StartCalls(*stub, t, tally, items[t]);
         for (int i = 0; i < 20; ++i) { // synchronous calls in between, from the same threads
            EXPECT_EQ(stub->Complete(nullptr).GetValue(), "lease lease-1 for caller-" + std::to_string(t));
         }
      });
   }
   for (std::thread& caller : callers) {
      caller.join();
   }
   for (auto& list : items) {
      ASSERT_EQ(list.size(), static_cast<std::size_t>(kCallsPerThread));
      for (const Ref<ScheduledItem>& item : list) {
         ASSERT_TRUE(item->WaitFor(kWait)) << item->GetDescription();
      }
   }
   EXPECT_EQ(tally.wrong.load(), 0);
   EXPECT_EQ(tally.faults.load(), 2 * kCallsPerThread / 3);
   EXPECT_EQ(tally.results.load(), 2 * kCallsPerThread - 2 * kCallsPerThread / 3);
   EXPECT_EQ(lease->CallCount(), static_cast<std::size_t>(2 * kCallsPerThread + 2 * 20));
   EXPECT_LE(adapter->GetThreadCount(), 3u);
}

TEST(LoopbackConcurrency, RegistrationAndContextsChangeWhileCallsRun) {
   Ref<Ormid::LoopbackAdapter> adapter(new Ormid::LoopbackAdapter(2));
   Ref<Served::LeaseRecorder> lease = Served::ServedLease("lease-1");
   adapter->Register(lease.GetPtr());
   Ref<Ormidtest::LeaseStub> stub = adapter->GetStub<Ormidtest::LeaseStub>(lease->_GetRef());
   std::atomic<bool> stop{false};
   // One thread swaps the stub's context and serves and withdraws a second object.
   std::thread changer([&] {
      Ref<Served::LeaseRecorder> other = Served::ServedLease("lease-2");
      for (int i = 0; !stop.load(); ++i) {
         Ref<Ormid::RequestContext> context(new Ormid::RequestContext());
         context->Set("user", Ormid::Box("user-" + std::to_string(i % 5)).GetPtr());
         dynamic_cast<Ormid::StubImpl&>(*stub)._SetRequestContext(context.GetPtr());
         adapter->Register(other.GetPtr());
         EXPECT_TRUE(adapter->Unregister(other->_GetRef()));
         std::this_thread::yield();
      }
   });
   std::vector<Ref<ScheduledItem>> items(100);
   std::atomic<int> completed{0};
   for (Ref<ScheduledItem>& item : items) {
      std::string text = stub->Complete(nullptr).GetValue();
      EXPECT_EQ(text.rfind("lease lease-1 for ", 0), 0u) << text;
      stub->GetState([&completed](ScheduledItem*, Pellum::Exception* error,
                                  Ormid::Any*) { completed += error == nullptr ? 1 : 0; },
                     item);
   }
   stop = true;
   changer.join();
   for (const Ref<ScheduledItem>& item : items) {
      ASSERT_TRUE(item->WaitFor(kWait));
   }
   EXPECT_EQ(completed.load(), 100);
   EXPECT_EQ(lease->CallCount(), 200u);
   EXPECT_EQ(adapter->GetObjectCount(), 1u);
}

} // namespace
