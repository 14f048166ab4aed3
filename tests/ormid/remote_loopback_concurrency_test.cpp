// Many asynchronous and synchronous calls through one loopback adapter from several threads.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "remote_lease_types.h"

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
void StartCalls(RTest::Lease& stub, int thread, Tally& tally, std::vector<Ref<ScheduledItem>>& items) {
   for (int i = 0; i < kCallsPerThread; ++i) {
      Ref<ScheduledItem> item;
      if (i % 3 == 0) {
         RTestImpl::Start(
             stub, gRTestLeaseMethodObjects[0], {Ormid::Box(-1)},
             [&tally](ScheduledItem*, Pellum::Exception* error, Ormid::Any* result) {
                bool typed = dynamic_cast<Ormid::Fault::InvalidArgument::Exception*>(error) != nullptr;
                (typed && result == nullptr ? tally.faults : tally.wrong)++;
             },
             item);
      } else if (i % 3 == 1) {
         RTestImpl::Start(
             stub, gRTestLeaseMethodObjects[2], {Ormid::Box(false)},
             [&tally](ScheduledItem*, Pellum::Exception* error, Ormid::Any* result) {
                bool ok =
                    error == nullptr && Ormid::Unbox<std::string>(result).rfind("lease lease-1 for ", 0) == 0;
                (ok ? tally.results : tally.wrong)++;
             },
             item);
      } else {
         RTestImpl::Start(
             stub, gRTestLeaseMethodObjects[0], {Ormid::Box((thread * 7 + i) % 101)},
             [&tally](ScheduledItem*, Pellum::Exception* error, Ormid::Any* result) {
                (error == nullptr && result == nullptr ? tally.results : tally.wrong)++;
             },
             item);
      }
      items.push_back(std::move(item));
   }
}

TEST(RemoteLoopbackConcurrency, AsynchronousCallsFromTwoThreadsAllComplete) {
   Ref<Ormid::LoopbackAdapter> adapter(new Ormid::LoopbackAdapter(3));
   Ref<RTestImpl::LeaseImpl> lease(new RTestImpl::LeaseImpl("lease-1"));
   adapter->Register(lease.GetPtr());
   Tally tally;
   std::vector<Ref<ScheduledItem>> items[2];
   std::vector<std::thread> callers;
   for (int t = 0; t < 2; ++t) {
      callers.emplace_back([&, t] {
         // Each thread has its own stub and context; the adapter and the target are shared.
         Ref<Ormid::RequestContext> context(new Ormid::RequestContext());
         context->Set("user", Ormid::Box("caller-" + std::to_string(t)).GetPtr());
         Ref<RTest::Lease> stub = adapter->GetStub<RTest::Lease>(lease->_GetRef(), context.GetPtr());
         StartCalls(*stub, t, tally, items[t]);
         // Synchronous calls in between, from the same threads.
         for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(stub->Describe(false), "lease lease-1 for caller-" + std::to_string(t));
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
   EXPECT_EQ(lease->Calls(), 2 * kCallsPerThread + 2 * 20);
   EXPECT_LE(adapter->GetThreadCount(), 3u);
}

TEST(RemoteLoopbackConcurrency, RegistrationAndContextsChangeWhileCallsRun) {
   Ref<Ormid::LoopbackAdapter> adapter(new Ormid::LoopbackAdapter(2));
   Ref<RTestImpl::LeaseImpl> lease(new RTestImpl::LeaseImpl("lease-1"));
   adapter->Register(lease.GetPtr());
   Ref<RTest::Lease> stub = adapter->GetStub<RTest::Lease>(lease->_GetRef());
   auto& impl = dynamic_cast<Ormid::StubImpl&>(*stub);
   std::atomic<bool> stop{false};

   // One thread swaps the stub's context and serves and withdraws a second object.
   std::thread changer([&] {
      Ref<RTestImpl::LeaseImpl> other(new RTestImpl::LeaseImpl("lease-2"));
      for (int i = 0; !stop.load(); ++i) {
         Ref<Ormid::RequestContext> context(new Ormid::RequestContext());
         context->Set("user", Ormid::Box("user-" + std::to_string(i % 5)).GetPtr());
         impl._SetRequestContext(context.GetPtr());
         adapter->Register(other.GetPtr());
         EXPECT_TRUE(adapter->Unregister(other->_GetRef()));
         std::this_thread::yield();
      }
   });
   int answered = 0;
   std::vector<Ref<ScheduledItem>> items;
   std::atomic<int> completed{0};
   for (int i = 0; i < 100; ++i) {
      std::string text = stub->Describe(false);
      EXPECT_EQ(text.rfind("lease lease-1 for ", 0), 0u) << text;
      ++answered;
      Ref<ScheduledItem> item;
      RTestImpl::Start(
          *stub, gRTestLeaseMethodObjects[4], {},
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
