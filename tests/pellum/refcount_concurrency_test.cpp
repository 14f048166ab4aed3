// Reference counts shared between threads.
#include <gtest/gtest.h>

#include <barrier>
#include <thread>

#include "pellum/Object.h"
#include "pellum/Ref.h"

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
