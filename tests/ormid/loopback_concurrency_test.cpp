// Many asynchronous and synchronous calls through the runtime's loopback adapter from several threads,
// with generated stubs and recorders (Recorders.h): shared stubs, adapters and targets, request contexts
// swapped and objects served and withdrawn while calls run.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

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

// Starts kCallsPerThread asynchronous calls: every third one raises the declared fault.
void StartCalls(Lease& iface, int thread, Tally& tally, std::vector<Ref<ScheduledItem>>& items) {
   auto& stub = dynamic_cast<Ormidtest::LeaseStub&>(iface);
   for (int i = 0; i < kCallsPerThread; ++i) {
      Ref<ScheduledItem> item;
      if (i % 3 == 0) {
         stub.Progress(
             -1,
             [&tally](ScheduledItem*, Pellum::Exception* error, Ormid::Any* result) {
                bool typed = dynamic_cast<Ormidtest::Fault::Expired::Exception*>(error) != nullptr;
                (typed && result == nullptr ? tally.faults : tally.wrong)++;
             },
             item);
      } else if (i % 3 == 1) {
         stub.Complete(
             nullptr,
             [&tally](ScheduledItem*, Pellum::Exception* error, Ormid::Any* result) {
                bool ok =
                    error == nullptr && Ormid::Unbox<std::string>(result).rfind("lease lease-1 for ", 0) == 0;
                (ok ? tally.results : tally.wrong)++;
             },
             item);
      } else {
         stub.Progress((thread * 7 + i) % 101,
                       [&tally](ScheduledItem*, Pellum::Exception* error, Ormid::Any* result) {
                          (error == nullptr && result == nullptr ? tally.results : tally.wrong)++;
                       },
                       item);
      }
      items.push_back(std::move(item));
   }
}

TEST(LoopbackConcurrency, AsynchronousCallsFromTwoThreadsAllComplete) {
   Ref<Ormid::LoopbackAdapter> adapter(new Ormid::LoopbackAdapter(3));
   Served::ServedLease served("lease-1");
   Ref<Served::LeaseRecorder> lease = served.impl;
   adapter->Register(lease.GetPtr());
   Tally tally;
   std::vector<Ref<ScheduledItem>> items[2];
   std::vector<std::thread> callers;
   for (int t = 0; t < 2; ++t) {
      callers.emplace_back([&, t] {
         // Each thread has its own stub and context; the adapter and the target are shared.
         Ref<Ormid::RequestContext> context(new Ormid::RequestContext());
         context->Set("user", Ormid::Box("caller-" + std::to_string(t)).GetPtr());
         Ref<Lease> stub = adapter->GetStub<Lease>(lease->_GetRef(), context.GetPtr());
         StartCalls(*stub, t, tally, items[t]);
         // Synchronous calls in between, from the same threads.
         for (int i = 0; i < 20; ++i) {
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
   Served::ServedLease served("lease-1");
   Ref<Served::LeaseRecorder> lease = served.impl;
   adapter->Register(lease.GetPtr());
   Ref<Lease> stub = adapter->GetStub<Lease>(lease->_GetRef());
   auto& impl = dynamic_cast<Ormid::StubImpl&>(*stub);
   std::atomic<bool> stop{false};

   // One thread swaps the stub's context and serves and withdraws a second object.
   std::thread changer([&] {
      Served::ServedLease other("lease-2");
      for (int i = 0; !stop.load(); ++i) {
         Ref<Ormid::RequestContext> context(new Ormid::RequestContext());
         context->Set("user", Ormid::Box("user-" + std::to_string(i % 5)).GetPtr());
         impl._SetRequestContext(context.GetPtr());
         adapter->Register(other.impl.GetPtr());
         EXPECT_TRUE(adapter->Unregister(other.impl->_GetRef()));
         std::this_thread::yield();
      }
   });
   int answered = 0;
   std::vector<Ref<ScheduledItem>> items;
   std::atomic<int> completed{0};
   for (int i = 0; i < 100; ++i) {
      std::string text = stub->Complete(nullptr).GetValue();
      EXPECT_EQ(text.rfind("lease lease-1 for ", 0), 0u) << text;
      ++answered;
      Ref<ScheduledItem> item;
      dynamic_cast<Ormidtest::LeaseStub&>(*stub).GetState(
          [&completed](ScheduledItem*, Pellum::Exception* error, Ormid::Any*) {
             if (error == nullptr) {
                ++completed;
             }
          },
          item);
      items.push_back(std::move(item));
   }
   stop = true;
   changer.join();
   for (const Ref<ScheduledItem>& item : items) {
      ASSERT_TRUE(item->WaitFor(kWait));
   }
   EXPECT_EQ(answered, 100);
   EXPECT_EQ(completed.load(), 100);
   EXPECT_EQ(adapter->GetObjectCount(), 1u);
}

} // namespace
