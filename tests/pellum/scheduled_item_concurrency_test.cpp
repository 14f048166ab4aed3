// ScheduledItem: waiting for an asynchronous call that another thread completes.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "pellum/Ref.h"
#include "pellum/System/ScheduledItem.h"

using Pellum::System::ScheduledItem;
using namespace std::chrono_literals;

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
