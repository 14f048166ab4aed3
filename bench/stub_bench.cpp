// One call through a generated client stub and the loopback adapter (arguments boxed, method looked up
// in the method-object table, dispatched through the type's dispatcher onto the implementation, result
// boxed and unboxed) against the same call made directly on the implementation through its interface.
// The allocation counter (support/alloc_counter.cpp) counts operator new calls per iteration.
#include <benchmark/benchmark.h>

#include <string>

#include "ormid/Loopback.h"
#include "quorl/HttpNfcLease.h"
#include "quorl/HttpNfcLeaseStub.h"
#include "support/alloc_counter.h"

namespace {

using Pellum::Ref;
using Quorl::HttpNfcLease;

class Lease : public virtual HttpNfcLease {
public:
   Lease() : _ref(new Ormid::MoRef(Ormid::GetMoType<HttpNfcLease>(), "lease-bench")) {}

   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}

   int GetInitializeProgress() override { return 100; }
   int GetTransferProgress() override { return _percent; }
   std::string GetMode() override { return "pull"; }
   void GetCapabilities(Ref<HttpNfcLease::Capabilities>& out) override { out = _capabilities; }
   void GetInfo(Ref<HttpNfcLease::Info>& out) override { out = nullptr; }
   HttpNfcLease::State GetState() override { return HttpNfcLease::State::ready; }
   void GetError(Ref<Ormid::MethodFault>& out) override { out = nullptr; }
   void GetManifest(Ref<Ormid::DataArray<HttpNfcLease::ManifestEntry>>& out) override { out = nullptr; }
   void SetManifestChecksumType(Ormid::DataArray<Quorl::KeyValue>*) override {}
   void Complete() override {}
   void Abort(Ormid::MethodFault*) override {}
   void Progress(int percent) override { _percent = percent; }
   void PullFromUrls(Ormid::DataArray<HttpNfcLease::SourceFile>*, Ref<Ormid::MoRef>& task) override {
      task = _task;
   }
   void ProbeUrls(Ormid::DataArray<HttpNfcLease::SourceFile>*, const Pellum::Optional<int>&,
                  Ref<Ormid::DataArray<HttpNfcLease::ProbeResult>>& out) override {
      out = nullptr;
   }

private:
   Ref<Ormid::MoRef> _ref;
   Ref<Ormid::MoRef> _task{new Ormid::MoRef("quorl.Task", "task-1")};
   Ref<HttpNfcLease::Capabilities> _capabilities{new HttpNfcLease::Capabilities()};
   int _percent = 0;
};

struct Setup {
   Setup() : adapter(new Ormid::LoopbackAdapter(1)), lease(new Lease()) {
      adapter->Register(lease.GetPtr());
      stub = adapter->GetStub<HttpNfcLease>(lease->_GetRef());
   }
   Ref<Ormid::LoopbackAdapter> adapter;
   Ref<Lease> lease;
   Ref<HttpNfcLease> stub;
};

Setup& Shared() {
   static Setup setup;
   return setup;
}

// Runs `call` per iteration through `target`; reports allocations per call.
template <class Call> void Run(benchmark::State& state, HttpNfcLease* target, Call call) {
   const long before = QuorlBench::Allocations();
   for (auto _ : state) {
      call(target);
   }
   state.counters["allocs/call"] = benchmark::Counter(
       static_cast<double>(QuorlBench::Allocations() - before) / static_cast<double>(state.iterations()));
}

HttpNfcLease* Target(bool stub) {
   return stub ? Shared().stub.GetPtr() : static_cast<HttpNfcLease*>(Shared().lease.GetPtr());
}

// Progress(int): one boxed int argument, no result.
void BM_Progress(benchmark::State& state) {
   int percent = 0;
   Run(state, Target(state.range(0) != 0), [&](HttpNfcLease* t) { t->Progress(++percent % 100); });
   if (Shared().lease->GetTransferProgress() != percent % 100) {
      state.SkipWithError("the last progress did not arrive");
   }
}

// GetTransferProgress(): no argument, a boxed int result unboxed.
void BM_GetTransferProgress(benchmark::State& state) {
   Run(state, Target(state.range(0) != 0),
       [](HttpNfcLease* t) { benchmark::DoNotOptimize(t->GetTransferProgress()); });
}

// GetMode(): a string result (boxed, unboxed by copy).
void BM_GetMode(benchmark::State& state) {
   Run(state, Target(state.range(0) != 0), [](HttpNfcLease* t) { benchmark::DoNotOptimize(t->GetMode()); });
}

// GetCapabilities(out): a data-object result, narrowed on the way back.
void BM_GetCapabilities(benchmark::State& state) {
   Run(state, Target(state.range(0) != 0), [](HttpNfcLease* t) {
      Ref<HttpNfcLease::Capabilities> out;
      t->GetCapabilities(out);
      benchmark::DoNotOptimize(out.GetPtr());
   });
}

// PullFromUrls(files, task): a task method with an array argument.
void BM_PullFromUrls(benchmark::State& state) {
   Ref<Ormid::DataArray<HttpNfcLease::SourceFile>> files(new Ormid::DataArray<HttpNfcLease::SourceFile>());
   files->Append(new HttpNfcLease::SourceFile());
   Run(state, Target(state.range(0) != 0), [&](HttpNfcLease* t) {
      Ref<Ormid::MoRef> task;
      t->PullFromUrls(files.GetPtr(), task);
      benchmark::DoNotOptimize(task.GetPtr());
   });
}

// Argument 1: through the stub and the loopback adapter; 0: direct virtual call on the implementation.
BENCHMARK(BM_Progress)->ArgName("stub")->Arg(0)->Arg(1);
BENCHMARK(BM_GetTransferProgress)->ArgName("stub")->Arg(0)->Arg(1);
BENCHMARK(BM_GetMode)->ArgName("stub")->Arg(0)->Arg(1);
BENCHMARK(BM_GetCapabilities)->ArgName("stub")->Arg(0)->Arg(1);
BENCHMARK(BM_PullFromUrls)->ArgName("stub")->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
