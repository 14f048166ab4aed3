// Generated stubs under concurrent use: several client threads share one stub and one loopback adapter
// and mix synchronous and asynchronous calls; every call arrives once, every callback reports its own
// result, and faults reach the caller that provoked them.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ormid/Loopback.h"
#include "quorl/HttpNfcLease.h"
#include "quorl/HttpNfcLeaseStub.h"
#include "quorl/fault/Timedout.h"

namespace {

using Pellum::Ref;
using Quorl::HttpNfcLease;

// Counts progress calls; a negative percentage raises the declared fault Timedout.
class Lease : public virtual HttpNfcLease {
public:
   Lease() : _ref(new Ormid::MoRef(Ormid::GetMoType<HttpNfcLease>(), "lease-concurrent")) {}

   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}

   int GetInitializeProgress() override { return 100; }
   int GetTransferProgress() override { return static_cast<int>(_sum.load()); }
   std::string GetMode() override { return "pull"; }
   void GetCapabilities(Ref<HttpNfcLease::Capabilities>& out) override {
      out = new HttpNfcLease::Capabilities();
   }
   void GetInfo(Ref<HttpNfcLease::Info>& out) override { out = nullptr; }
   HttpNfcLease::State GetState() override { return HttpNfcLease::State::ready; }
   void GetError(Ref<Ormid::MethodFault>& out) override { out = nullptr; }
   void GetManifest(Ref<Ormid::DataArray<HttpNfcLease::ManifestEntry>>& out) override { out = nullptr; }
   void SetManifestChecksumType(Ormid::DataArray<Quorl::KeyValue>*) override {}
   void Complete() override {}
   void Abort(Ormid::MethodFault*) override {}
   void Progress(int percent) override {
      if (percent < 0) {
         Ref<Quorl::Fault::Timedout>(new Quorl::Fault::Timedout())->Throw();
      }
      _calls.fetch_add(1);
      _sum.fetch_add(percent);
   }
   void PullFromUrls(Ormid::DataArray<HttpNfcLease::SourceFile>*, Ref<Ormid::MoRef>& task) override {
      task = new Ormid::MoRef("quorl.Task", "pull");
   }
   void ProbeUrls(Ormid::DataArray<HttpNfcLease::SourceFile>* files, const Pellum::Optional<int>& timeout,
                  Ref<Ormid::DataArray<HttpNfcLease::ProbeResult>>& out) override {
      out = new Ormid::DataArray<HttpNfcLease::ProbeResult>();
      const int n = (files ? static_cast<int>(files->GetCollectionLength()) : 0) + (timeout.IsSet() ? 1 : 0);
      for (int i = 0; i < n; ++i) {
         out->Append(new HttpNfcLease::ProbeResult());
      }
   }

   std::atomic<long> _calls{0};
   std::atomic<long> _sum{0};

private:
   Ref<Ormid::MoRef> _ref;
};

TEST(ManagedConcurrency, SharedStubMixesSynchronousAndAsynchronousCalls) {
   Ref<Ormid::LoopbackAdapter> adapter(new Ormid::LoopbackAdapter(4));
   Ref<Lease> lease(new Lease());
   adapter->Register(lease.GetPtr());
   Ref<HttpNfcLease> iface = adapter->GetStub<HttpNfcLease>(lease->_GetRef());
   auto* stub = dynamic_cast<Quorl::HttpNfcLeaseStub*>(iface.GetPtr());
   ASSERT_NE(stub, nullptr);

   constexpr int kThreads = 4;
   constexpr int kRounds = 40;
   std::atomic<int> asyncOk{0};
   std::atomic<int> faultsCaught{0};
   std::atomic<int> wrong{0};
   std::vector<std::thread> threads;
   for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
         for (int i = 0; i < kRounds; ++i) {
            // Asynchronous: the callback sees this call's own result (i % 3 probe results).
            Ref<Ormid::DataArray<HttpNfcLease::SourceFile>> files(
                new Ormid::DataArray<HttpNfcLease::SourceFile>());
            for (int k = 0; k < i % 3; ++k) {
               files->Append(new HttpNfcLease::SourceFile());
            }
            Ref<Pellum::System::ScheduledItem> item;
            const int expected = i % 3;
            stub->ProbeUrls(
                files.GetPtr(), Pellum::Optional<int>(),
                [&, expected](Pellum::System::ScheduledItem*, Pellum::Exception* e, Ormid::Any* r) {
                   auto* arr = dynamic_cast<Ormid::DataArray<HttpNfcLease::ProbeResult>*>(r);
                   if (e == nullptr && arr != nullptr && arr->GetCollectionLength() == expected) {
                      asyncOk.fetch_add(1);
                   } else {
                      wrong.fetch_add(1);
                   }
                },
                item);
            // Synchronous calls in between, one of them failing with the declared fault.
            stub->Progress(t + 1);
            if (stub->GetState() != HttpNfcLease::State::ready) {
               wrong.fetch_add(1);
            }
            if (i % 10 == 0) {
               try {
                  stub->Progress(-1);
                  wrong.fetch_add(1);
               } catch (const Quorl::Fault::Timedout::Exception&) {
                  faultsCaught.fetch_add(1);
               }
            }
            item->Wait();
         }
      });
   }
   for (std::thread& th : threads) {
      th.join();
   }
   EXPECT_EQ(wrong.load(), 0);
   EXPECT_EQ(asyncOk.load(), kThreads * kRounds);
   EXPECT_EQ(faultsCaught.load(), kThreads * (kRounds / 10));
   EXPECT_EQ(lease->_calls.load(), kThreads * kRounds);
   // Progress(t + 1) kRounds times per thread: 40 * (1 + 2 + 3 + 4).
   EXPECT_EQ(lease->_sum.load(), kRounds * (1 + 2 + 3 + 4));
   EXPECT_EQ(stub->GetTransferProgress(), kRounds * (1 + 2 + 3 + 4));
   adapter->Shutdown();
}

} // namespace
