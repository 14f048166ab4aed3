// Concurrent use of the runtime's shared structures (run under ThreadSanitizer in CI): array-type
// creation, registry and catalogue reads during a registration, the lock-free array getter, reference counts
// of shared references across concurrent array clones; and many asynchronous and synchronous calls through
// the loopback adapter from several threads: shared stubs, adapters and targets, request contexts swapped
// and objects served and withdrawn while calls run.

#include <gtest/gtest.h>

#include <thread>

#include "served_lease.h"
#include "test_catalogues.h"

using namespace Ormid;
using Pellum::Ref;
using Pellum::System::ScheduledItem;

namespace {

constexpr int kThreads = 4;

template <class F> void RunTogether(F&& f) {
   std::atomic<int> ready{0};
   std::vector<std::thread> threads;
   for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&, i] {
         ready.fetch_add(1);
         while (ready.load() < kThreads) {
         }
         f(i);
      });
   }
   for (std::thread& t : threads) {
      t.join();
   }
}

constexpr int kCallsPerThread = 150;
constexpr std::chrono::seconds kWait(60);

struct Tally {
   std::atomic<int> results{0}, faults{0}, wrong{0};
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

} // namespace

TEST(RegistryConcurrency, ArrayTypeIsCreatedOnce) {
   // A fresh type, so that no array type exists yet.
   static const TypeInfo header{KindEnum, "ormidtest.concurrent.Shade", "ConcurrentShade", "v"};
   static const char* const names[] = {"light", "dark", nullptr};
   static const EnumTypeInfo info{&header, names};
   EnumType* type = CreateEnumType<Ormidtest::Color>(&info);
   ArrayType* seen[kThreads] = {};
   RunTogether([&](int i) { seen[i] = type->GetArrayType(); });
   for (ArrayType* t : seen) {
      EXPECT_EQ(t, seen[0]);
   }
   EXPECT_EQ(type->GetArrayType(), seen[0]);
   EXPECT_STREQ(seen[0]->GetName(), "ormidtest.concurrent.Shade[]");
   delete type; // never registered
}

TEST(RegistryConcurrency, ReadsDuringRegistration) {
   constexpr int kTypes = 50;
   static std::string names[2 * kTypes]; // name, WSDL name
   static TypeInfo headers[kTypes];
   static DataTypeInfo descriptors[kTypes];
   static Type* slots[kTypes];
   static int next = 0;
   for (int i = 0; i < kTypes; ++i) {
      names[2 * i] = "ormidtest.concurrent.T" + std::to_string(i);
      names[2 * i + 1] = "ConcurrentT" + std::to_string(i);
      headers[i] = TypeInfo{KindDataObject, names[2 * i].c_str(), names[2 * i + 1].c_str(), "v"};
      descriptors[i] = QTest::EmptyDescriptor(&headers[i], &::gOrmidtestPartTypeInfo);
   }
   std::atomic<bool> done{false};
   RunTogether([&](int i) {
      if (i == 0) {
         // One thread registers packages of one type each.
         for (next = 0; next < kTypes; ++next) {
            TypeInfoLoader loader(nullptr, [](int& count) -> Type* const* {
               slots[next] = CreateDataObjectType(&descriptors[next]);
               count = 1;
               return &slots[next];
            });
         }
         done.store(true);
         return;
      }
      // The others look types up, resolve bases and query versions meanwhile.
      while (!done.load()) {
         for (int k = 0; k < kTypes; k += 7) {
            if (Type* t = TypeRegistry::Get().FindByName(names[2 * k])) {
               EXPECT_EQ(static_cast<DataObjectType*>(t)->GetBase(), GetDoType<Ormidtest::Part>());
               EXPECT_EQ(TypeRegistry::Get().FindByWsdlName(names[2 * k + 1]), t);
            }
         }
         EXPECT_EQ(TypeRegistry::Get().FindByHeader(&::gOrmidtestSubPartTypeInfo),
                   GetDoType<Ormidtest::SubPart>());
         EXPECT_TRUE(VersionCatalogue::Get().IsPartOf("ormidtest.version.v1", "ormidtest.version.unstable"));
         EXPECT_GE(TypeRegistry::Get().GetTypes().size(), 4u);
      }
   });
   for (int k = 0; k < kTypes; ++k) {
      EXPECT_EQ(TypeRegistry::Get().FindByName(names[2 * k]), slots[k]);
   }
}

// The array getter of every generated class is Ormid::GetOrCreateArray on its field.
TEST(RegistryConcurrency, ArrayGetterInstallsOneArray) {
   for (int round = 0; round < 20; ++round) {
      Pellum::Ref<DataArray<Ormidtest::Part>> field;
      DataArray<Ormidtest::Part>* seen[kThreads] = {};
      RunTogether([&](int i) { seen[i] = GetOrCreateArray(field); });
      for (DataArray<Ormidtest::Part>* a : seen) {
         ASSERT_EQ(a, seen[0]);
      }
      EXPECT_EQ(field->GetRefCount(), 1); // the losers' arrays were destroyed, none leaked
   }
}

TEST(RegistryConcurrency, SharedReferencesAcrossArrayClones) {
   Pellum::Ref<MoRef> shared(new MoRef("ormidtest.Thing", "shared"));
   Pellum::Ref<DataArray<MoRef>> refs(new DataArray<MoRef>());
   for (int i = 0; i < 8; ++i) {
      refs->Append(shared.GetPtr());
   }
   EXPECT_EQ(shared->GetRefCount(), 9);
   RunTogether([&](int) {
      for (int k = 0; k < 200; ++k) {
         Pellum::Ref<Any> clone(refs->_Clone());
         EXPECT_TRUE(refs->_IsEqual(clone.GetPtr(), false));
      }
   });
   EXPECT_EQ(shared->GetRefCount(), 9);
   refs.Reset();
   EXPECT_EQ(shared->GetRefCount(), 1);
}

TEST(LoopbackConcurrency, AsynchronousCallsFromSeveralThreadsAllComplete) {
   Ref<Ormid::LoopbackAdapter> adapter(new Ormid::LoopbackAdapter(3));
   Ref<Served::LeaseRecorder> lease = Served::ServedLease("lease-1");
   adapter->Register(lease.GetPtr());
   Tally tally;
   std::vector<Ref<ScheduledItem>> items[kThreads];
   RunTogether([&](int t) {
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
   for (auto& list : items) {
      ASSERT_EQ(list.size(), static_cast<std::size_t>(kCallsPerThread));
      for (const Ref<ScheduledItem>& item : list) {
         ASSERT_TRUE(item->WaitFor(kWait)) << item->GetDescription();
      }
   }
   EXPECT_EQ(tally.wrong.load(), 0);
   EXPECT_EQ(tally.faults.load(), kThreads * kCallsPerThread / 3);
   EXPECT_EQ(tally.results.load(), kThreads * kCallsPerThread - kThreads * kCallsPerThread / 3);
   EXPECT_EQ(lease->CallCount(), static_cast<std::size_t>(kThreads * (kCallsPerThread + 20)));
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
