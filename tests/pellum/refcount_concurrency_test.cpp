// Reference counts shared between threads, and scheduled items that another thread completes.
#include <gtest/gtest.h>

#include <barrier>
#include <chrono>
#include <thread>

#include "pellum/Object.h"
#include "pellum/Ref.h"
#include "pellum/System/ScheduledItem.h"

using Pellum::System::ScheduledItem;
using namespace std::chrono_literals;

namespace {

struct Tracked : Pellum::ObjectImpl {
   explicit Tracked(std::atomic<int>* destroyed) : destroyed(destroyed) {}
   ~Tracked() override {
      // Written by whichever thread releases last; read by the test after joining.
      value = -1;
      destroyed->fetch_add(1);
   }
   std::atomic<int>* destroyed;
   int value = 7;
};

} // namespace

TEST(RefCountConcurrency, ConcurrentIncRefAndDecRefEndInOneDestruction) {
   constexpr int kThreads = 4;
   constexpr int kIterations = 20000;
   std::atomic<int> destroyed{0};
   std::atomic<int> lowCounts{0};
   Pellum::Ref<Tracked> shared(new Tracked(&destroyed));
   std::barrier start(kThreads + 1);
   std::barrier finish(kThreads);

   std::vector<std::thread> threads;
   for (int t = 0; t < kThreads; ++t) {
      // Each thread owns one reference, taken here on the main thread.
      threads.emplace_back([&, mine = shared]() mutable {
         start.arrive_and_wait();
         for (int i = 0; i < kIterations; ++i) {
            Pellum::Ref<Tracked> copy(mine);
            copy->IncRef();
            if (copy->GetRefCount() < 2 || copy->value != 7) {
               lowCounts.fetch_add(1);
            }
            copy->DecRef();
         }
         // All threads drop their last reference at the same moment.
         finish.arrive_and_wait();
         mine = nullptr;
      });
   }
   shared = nullptr; // the threads now hold the only references
   start.arrive_and_wait();
   for (std::thread& thread : threads) {
      thread.join();
   }
   EXPECT_EQ(destroyed.load(), 1);
   EXPECT_EQ(lowCounts.load(), 0);
}

TEST(RefCountConcurrency, RefsPassedBetweenThreadsKeepTheObjectAlive) {
   std::atomic<int> destroyed{0};
   constexpr int kObjects = 2000;
   std::vector<Pellum::Ref<Tracked>> handedOver(kObjects);
   std::atomic<int> ready{0};
   std::thread producer([&] {
      for (int i = 0; i < kObjects; ++i) {
         Pellum::Ref<Tracked> object(new Tracked(&destroyed));
         handedOver[i] = object; // a second reference, then the producer's own goes
         ready.store(i + 1, std::memory_order_release);
      }
   });
   int sum = 0;
   for (int i = 0; i < kObjects; ++i) {
      while (ready.load(std::memory_order_acquire) <= i) {
         std::this_thread::yield();
      }
      Pellum::Ref<Tracked> taken = std::move(handedOver[i]);
      sum += taken->value;
   }
   producer.join();
   EXPECT_EQ(sum, 7 * kObjects);
   EXPECT_EQ(destroyed.load(), kObjects);
}

TEST(ScheduledItem, WaitersWakeWhenAnotherThreadCompletes) {
   Pellum::Ref<ScheduledItem> item(new ScheduledItem("quorl.VirtualMachine.powerOn on vm-42"));
   EXPECT_FALSE(item->IsDone());
   EXPECT_EQ(item->ToString(), "ScheduledItem(quorl.VirtualMachine.powerOn on vm-42, pending)");
   EXPECT_FALSE(item->WaitFor(10ms));

   std::atomic<int> woken{0};
   std::vector<std::thread> waiters;
   for (int i = 0; i < 3; ++i) {
      waiters.emplace_back([item, &woken] {
         item->Wait();
         woken.fetch_add(1);
      });
   }
   std::atomic<bool> resultWritten{false};
   std::thread worker([item, &resultWritten] {
      std::this_thread::sleep_for(5ms);
      resultWritten.store(true, std::memory_order_relaxed);
      item->Complete();
   });
   EXPECT_TRUE(item->WaitFor(30s));
   // Completion happens after everything the completing thread did before it.
   EXPECT_TRUE(resultWritten.load(std::memory_order_relaxed));
   worker.join();
   for (std::thread& waiter : waiters) {
      waiter.join();
   }
   EXPECT_EQ(woken.load(), 3);
   EXPECT_TRUE(item->IsDone());
   EXPECT_EQ(item->ToString(), "ScheduledItem(quorl.VirtualMachine.powerOn on vm-42, done)");
}

TEST(ScheduledItem, OnlyTheFirstCompletionCounts) {
   Pellum::Ref<ScheduledItem> item(new ScheduledItem());
   std::atomic<int> winners{0};
   std::vector<std::thread> completers;
   for (int i = 0; i < 4; ++i) {
      completers.emplace_back([item, &winners] {
         if (item->Complete()) {
            winners.fetch_add(1);
         }
      });
   }
   for (std::thread& completer : completers) {
      completer.join();
   }
   EXPECT_EQ(winners.load(), 1);
   EXPECT_FALSE(item->Complete());
   item->Wait(); // returns at once
   EXPECT_TRUE(item->WaitFor(0ms));
   EXPECT_EQ(item->ToString(), "ScheduledItem(done)");
}
