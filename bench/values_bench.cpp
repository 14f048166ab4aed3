// Value-tree operations of libquorl-types on a realistic tree (value_tree.h describes it).
// Each benchmark checks in its setup that what it times gives the expected answer (equal / not equal, the
// three expected difference paths, the value read back through the descriptor) and skips with an error
// otherwise.
#include <benchmark/benchmark.h>

#include <string>

#include "ormid/Property.h"
#include "value_tree.h"

namespace {

using Ormid::Any;
using Ormid::DynamicData;
using Pellum::Ref;
using Quorl::TaskInfo;
using Quorl::Vm::ConfigSpec;
using QuorlBench::BuildTree;
using QuorlBench::CountValues;
using QuorlBench::HasExpectedShape;
using QuorlBench::kRecentTasks;
using QuorlBench::NewTask;
using QuorlBench::SpecOf;
using QuorlBench::TaskAt;
using QuorlBench::Tree;
namespace Dev = Quorl::Vm::Device;

// Building the tree and releasing it.
void BM_BuildTree(benchmark::State& state) {
   Ref<Tree> sample = BuildTree();
   if (!HasExpectedShape(sample.GetPtr())) {
      state.SkipWithError("the tree does not have the expected shape");
      return;
   }
   for (auto _ : state) {
      Ref<Tree> tree = BuildTree();
      benchmark::DoNotOptimize(tree.GetPtr());
   }
   state.counters["values"] = CountValues(sample.GetPtr());
}
BENCHMARK(BM_BuildTree);

// A deep copy (_Clone) of the tree and its release.
void BM_CloneTree(benchmark::State& state) {
   Ref<Tree> tree = BuildTree();
   Ref<Any> probe(tree->_Clone());
   if (probe.GetPtr() == tree.GetPtr() || !Ormid::AreEqual(tree.GetPtr(), probe.GetPtr()) ||
       SpecOf(static_cast<Tree*>(probe.GetPtr()))->bootOptions.GetPtr() == SpecOf(tree.GetPtr())->bootOptions.GetPtr()) {
      state.SkipWithError("the clone is not a distinct deep copy equal to the tree");
      return;
   }
   for (auto _ : state) {
      Ref<Any> copy(tree->_Clone());
      benchmark::DoNotOptimize(copy.GetPtr());
   }
   state.counters["values"] = CountValues(tree.GetPtr());
}
BENCHMARK(BM_CloneTree);

// Two trees built separately (no shared values, so no comparison is settled by identity).
void BM_EqualTrees(benchmark::State& state) {
   Ref<Tree> a = BuildTree();
   Ref<Tree> b = BuildTree();
   if (!Ormid::AreEqual(a.GetPtr(), b.GetPtr())) {
      state.SkipWithError("two trees built alike compare unequal");
      return;
   }
   for (auto _ : state) {
      benchmark::DoNotOptimize(Ormid::AreEqual(a.GetPtr(), b.GetPtr()));
   }
}
BENCHMARK(BM_EqualTrees);

// The trees differ in one leaf of the last element, so the comparison walks the whole tree first.
void BM_UnequalTreesOneLeaf(benchmark::State& state) {
   Ref<Tree> a = BuildTree();
   Ref<Tree> b = BuildTree();
   TaskAt(b.GetPtr(), 1 + kRecentTasks)->eventChainId += 1;
   if (Ormid::AreEqual(a.GetPtr(), b.GetPtr())) {
      state.SkipWithError("trees that differ in one leaf compare equal");
      return;
   }
   const Ormid::PropertyDiffSet diffs = Ormid::DiffProperties(a.GetPtr(), b.GetPtr());
   if (diffs.size() != 1) {
      state.SkipWithError(("expected one difference, got:\n" + diffs.ToString()).c_str());
      return;
   }
   for (auto _ : state) {
      benchmark::DoNotOptimize(Ormid::AreEqual(a.GetPtr(), b.GetPtr()));
   }
}
BENCHMARK(BM_UnequalTreesOneLeaf);

void BM_DiffThreeLeaves(benchmark::State& state) {
   Ref<Tree> a = BuildTree();
   Ref<Tree> b = BuildTree();
   TaskAt(b.GetPtr(), 0)->progress.Set(41);
   auto* backing = static_cast<Dev::VirtualDevice::FileBackingInfo*>(
       SpecOf(b.GetPtr())->deviceChange->Get(7)->device->backing.GetPtr());
   backing->fileName = "[ds-spare] web-frontend-01/disk-7.img";
   TaskAt(b.GetPtr(), 6)->entityName.Set("web-frontend-02");
   const Ormid::PropertyDiffSet diffs = Ormid::DiffProperties(a.GetPtr(), b.GetPtr());
   const char* expected[] = {"[0].progress", "[1].deviceChange[7].device.backing.fileName", "[6].entityName"};
   bool ok = diffs.size() == 3;
   for (const char* path : expected) {
      ok = ok && diffs.Contains(path);
   }
   if (!ok) {
      state.SkipWithError(("expected three differences, got:\n" + diffs.ToString()).c_str());
      return;
   }
   for (auto _ : state) {
      Ormid::PropertyDiffSet d = Ormid::DiffProperties(a.GetPtr(), b.GetPtr());
      benchmark::DoNotOptimize(d.size());
   }
   state.counters["diffs"] = static_cast<double>(diffs.size());
}
BENCHMARK(BM_DiffThreeLeaves);

// Reflection through the descriptor of quorl.TaskInfo, by own-property index (looked up once).
struct Reflected {
   Ormid::DataObjectType* type = Ormid::GetDoType<TaskInfo>();
   Ref<TaskInfo> task = NewTask(1100, true);
   int index = -1;

   explicit Reflected(const char* property) : index(type->FindOwnProperty(property)) {}
};

void BM_ReflectGetInt(benchmark::State& state) {
   Reflected r("eventChainId");
   int out = 0;
   if (r.index < 0 || (r.type->GetField(r.task.GetPtr(), r.index, &out), out) != r.task->eventChainId) {
      state.SkipWithError("eventChainId does not read back through the descriptor");
      return;
   }
   for (auto _ : state) {
      r.type->GetField(r.task.GetPtr(), r.index, &out);
      benchmark::DoNotOptimize(out);
   }
}
BENCHMARK(BM_ReflectGetInt);

void BM_ReflectSetInt(benchmark::State& state) {
   Reflected r("eventChainId");
   int in = 123456;
   if (r.index < 0 || (r.type->SetField(r.task.GetPtr(), r.index, &in), r.task->eventChainId) != in) {
      state.SkipWithError("eventChainId is not set through the descriptor");
      return;
   }
   for (auto _ : state) {
      ++in;
      r.type->SetField(r.task.GetPtr(), r.index, &in);
      benchmark::ClobberMemory();
   }
   if (r.task->eventChainId != in) {
      state.SkipWithError("the last value set is not in the field");
   }
}
BENCHMARK(BM_ReflectSetInt);

// The same int set and read back through the typed handle (Ormid::Property), against the raw accessors.
void BM_ReflectSetGetInt(benchmark::State& state, bool typed) {
   Reflected r("eventChainId");
   const Ormid::Property property(*r.type, r.index);
   int value = 0;
   for (auto _ : state) {
      ++value;
      int out = 0;
      if (typed) {
         property.Set(r.task.GetPtr(), value);
         out = property.Get<int>(r.task.GetPtr());
      } else {
         r.type->SetField(r.task.GetPtr(), r.index, &value);
         r.type->GetField(r.task.GetPtr(), r.index, &out);
      }
      benchmark::DoNotOptimize(out);
   }
   if (r.task->eventChainId != value) {
      state.SkipWithError("the last value set is not in the field");
   }
}
BENCHMARK_CAPTURE(BM_ReflectSetGetInt, raw, false);
BENCHMARK_CAPTURE(BM_ReflectSetGetInt, typed, true);

// A string property: `key` holds "task-1100" (short enough for the string's inline buffer),
// `descriptionId` "VirtualMachine.reconfigure" (26 characters: a reading copy allocates).
void BM_ReflectGetString(benchmark::State& state, const char* property) {
   Reflected r(property);
   std::string out;
   if (r.index < 0) {
      state.SkipWithError("no such property");
      return;
   }
   r.type->GetField(r.task.GetPtr(), r.index, &out);
   if (out.empty() || out != *static_cast<std::string*>(r.type->GetFieldPtr(r.task.GetPtr(), r.index))) {
      state.SkipWithError("the string does not read back through the descriptor");
      return;
   }
   for (auto _ : state) {
      std::string value;
      r.type->GetField(r.task.GetPtr(), r.index, &value);
      benchmark::DoNotOptimize(value.data());
   }
   state.counters["chars"] = static_cast<double>(out.size());
}
BENCHMARK_CAPTURE(BM_ReflectGetString, key, "key");
BENCHMARK_CAPTURE(BM_ReflectGetString, descriptionId, "descriptionId");

void BM_ReflectSetString(benchmark::State& state, const char* property) {
   Reflected r(property);
   if (r.index < 0) {
      state.SkipWithError("no such property");
      return;
   }
   const std::string values[2] = {*static_cast<std::string*>(r.type->GetFieldPtr(r.task.GetPtr(), r.index)) + "-a",
                                  *static_cast<std::string*>(r.type->GetFieldPtr(r.task.GetPtr(), r.index)) + "-b"};
   r.type->SetField(r.task.GetPtr(), r.index, &values[1]);
   std::string out;
   r.type->GetField(r.task.GetPtr(), r.index, &out);
   if (out != values[1]) {
      state.SkipWithError("the string is not set through the descriptor");
      return;
   }
   std::size_t i = 0;
   for (auto _ : state) {
      r.type->SetField(r.task.GetPtr(), r.index, &values[i & 1]);
      ++i;
      benchmark::ClobberMemory();
   }
   state.counters["chars"] = static_cast<double>(values[0].size());
}
BENCHMARK_CAPTURE(BM_ReflectSetString, key, "key");
BENCHMARK_CAPTURE(BM_ReflectSetString, descriptionId, "descriptionId");

// A new default object through the descriptor's factory (and its release), against the constructor.
template <class T> void BM_CreateByDescriptor(benchmark::State& state) {
   Ormid::DataObjectType* type = Ormid::GetDoType<T>();
   Ref<DynamicData> probe = type->Create();
   if (probe.GetPtr() == nullptr || probe->_GetType() != type || dynamic_cast<T*>(probe.GetPtr()) == nullptr) {
      state.SkipWithError("the descriptor does not create an object of its class");
      return;
   }
   for (auto _ : state) {
      Ref<DynamicData> obj = type->Create();
      benchmark::DoNotOptimize(obj.GetPtr());
   }
   state.counters["bytes"] = sizeof(T);
}
BENCHMARK_TEMPLATE(BM_CreateByDescriptor, TaskInfo);
BENCHMARK_TEMPLATE(BM_CreateByDescriptor, ConfigSpec);

template <class T> void BM_CreateDirect(benchmark::State& state) {
   for (auto _ : state) {
      Ref<T> obj(new T());
      benchmark::DoNotOptimize(obj.GetPtr());
   }
   state.counters["bytes"] = sizeof(T);
}
BENCHMARK_TEMPLATE(BM_CreateDirect, TaskInfo);
BENCHMARK_TEMPLATE(BM_CreateDirect, ConfigSpec);

} // namespace

BENCHMARK_MAIN();
