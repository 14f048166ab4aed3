// Value-tree operations of libquorl-types on a realistic tree (value_tree.h describes it).
// Each benchmark checks in its setup that what it times gives the expected answer (equal / not equal, the
// three expected difference paths, the value read back through the descriptor) and skips with an error
// otherwise.
#include <benchmark/benchmark.h>

#include <string>
#include <typeinfo>

#include "ormid/Property.h"
#include "support/alloc_counter.h"
#include "value_tree.h"

namespace {

using Ormid::Any;
using Ormid::DynamicData;
using Ormid::MoRef;
using Pellum::Ref;
using Quorl::TaskInfo;
using Quorl::Vm::BootOptions;
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
       SpecOf(static_cast<Tree*>(probe.GetPtr()))->bootOptions.GetPtr() ==
           SpecOf(tree.GetPtr())->bootOptions.GetPtr()) {
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

// The same comparison written by hand for this tree: every field the tree sets, in the order the classes
// declare them, each class recognised by its exact C++ class (what a program that knows its values would
// write). BM_EqualTrees against this one is the cost of comparing by the generated code and the runtime.
namespace ByHand {

template <class T> bool Same(const Ref<T>& a, const Ref<T>& b, bool (*eq)(const T&, const T&)) {
   return a.GetPtr() == b.GetPtr() || (a && b && typeid(*a) == typeid(*b) && eq(*a, *b));
}
bool SameMoRef(const MoRef& a, const MoRef& b) {
   return a == b;
}
template <class T>
bool SameArray(const Ref<Ormid::DataArray<T>>& a, const Ref<Ormid::DataArray<T>>& b,
               bool (*eq)(const T&, const T&)) {
   const std::size_t na = a ? a->size() : 0;
   if (na != (b ? b->size() : 0)) {
      return false;
   }
   for (std::size_t i = 0; i < na; ++i) {
      T* x = (*a)[i];
      T* y = (*b)[i];
      if (x != y && (typeid(*x) != typeid(*y) || !eq(*x, *y))) {
         return false;
      }
   }
   return true;
}
bool SameConnect(const Dev::VirtualDevice::ConnectInfo& a, const Dev::VirtualDevice::ConnectInfo& b) {
   return a.startConnected == b.startConnected && a.allowGuestControl == b.allowGuestControl &&
          a.connected == b.connected && a.status == b.status;
}
bool SameBacking(const Dev::VirtualDevice::BackingInfo& a, const Dev::VirtualDevice::BackingInfo& b) {
   if (auto* x = dynamic_cast<const Dev::VirtualDisk::FlatVer2BackingInfo*>(&a)) {
      auto& y = static_cast<const Dev::VirtualDisk::FlatVer2BackingInfo&>(b);
      return x->fileName == y.fileName && Same(x->datastore, y.datastore, SameMoRef) &&
             x->diskMode == y.diskMode && x->thinProvisioned == y.thinProvisioned &&
             x->eagerlyScrub == y.eagerlyScrub && x->uuid == y.uuid && x->contentId == y.contentId &&
             x->sharing == y.sharing;
   }
   if (auto* x = dynamic_cast<const Dev::VirtualCdrom::IsoBackingInfo*>(&a)) {
      auto& y = static_cast<const Dev::VirtualCdrom::IsoBackingInfo&>(b);
      return x->fileName == y.fileName && Same(x->datastore, y.datastore, SameMoRef);
   }
   return true; // the network backing sets nothing
}
bool SameDevice(const Dev::VirtualDevice& a, const Dev::VirtualDevice& b) {
   if (a.key != b.key || !Same(a.backing, b.backing, SameBacking) ||
       !Same(a.connectable, b.connectable, SameConnect) || a.controllerKey != b.controllerKey ||
       a.unitNumber != b.unitNumber) {
      return false;
   }
   if (auto* x = dynamic_cast<const Dev::VirtualDisk*>(&a)) {
      auto& y = static_cast<const Dev::VirtualDisk&>(b);
      return x->capacityInKB == y.capacityInKB && x->capacityInBytes == y.capacityInBytes &&
             x->diskObjectId == y.diskObjectId;
   }
   if (auto* x = dynamic_cast<const Dev::VirtualE1000*>(&a)) {
      auto& y = static_cast<const Dev::VirtualE1000&>(b);
      return x->addressType == y.addressType && x->macAddress == y.macAddress &&
             x->wakeOnLanEnabled == y.wakeOnLanEnabled &&
             x->uptCompatibilityEnabled == y.uptCompatibilityEnabled;
   }
   return true;
}
bool SameChange(const Dev::VirtualDeviceSpec& a, const Dev::VirtualDeviceSpec& b) {
   return a.operation == b.operation && a.fileOperation == b.fileOperation &&
          Same(a.device, b.device, SameDevice);
}
bool SameBootDevice(const BootOptions::BootableDevice& a, const BootOptions::BootableDevice& b) {
   if (auto* x = dynamic_cast<const BootOptions::BootableDiskDevice*>(&a)) {
      return x->deviceKey == static_cast<const BootOptions::BootableDiskDevice&>(b).deviceKey;
   }
   if (auto* x = dynamic_cast<const BootOptions::BootableEthernetDevice*>(&a)) {
      return x->deviceKey == static_cast<const BootOptions::BootableEthernetDevice&>(b).deviceKey;
   }
   return true;
}
bool SameBoot(const BootOptions& a, const BootOptions& b) {
   return a.bootDelay == b.bootDelay && a.enterBIOSSetup == b.enterBIOSSetup &&
          a.efiSecureBootEnabled == b.efiSecureBootEnabled && a.bootRetryEnabled == b.bootRetryEnabled &&
          a.bootRetryDelay == b.bootRetryDelay && SameArray(a.bootOrder, b.bootOrder, SameBootDevice) &&
          a.networkBootProtocol == b.networkBootProtocol;
}
bool SameConfig(const ConfigSpec& a, const ConfigSpec& b) {
   return a.name == b.name && a.guestId == b.guestId && a.annotation == b.annotation &&
          a.numCPUs == b.numCPUs && a.numCoresPerSocket == b.numCoresPerSocket && a.memoryMB == b.memoryMB &&
          a.memoryHotAddEnabled == b.memoryHotAddEnabled && a.firmware == b.firmware &&
          Same(a.bootOptions, b.bootOptions, SameBoot) &&
          SameArray(a.deviceChange, b.deviceChange, SameChange);
}
bool SameMessage(const Ormid::LocalizableMessage& a, const Ormid::LocalizableMessage& b) {
   return a.key == b.key && a.message == b.message;
}
bool SameBoxed(const Any& a, const Any& b) {
   if (auto* x = dynamic_cast<const Ormid::Primitive<int>*>(&a)) {
      return x->GetValue() == static_cast<const Ormid::Primitive<int>&>(b).GetValue();
   }
   auto* x = dynamic_cast<const Ormid::Primitive<std::string>*>(&a);
   return x != nullptr && x->GetValue() == static_cast<const Ormid::Primitive<std::string>&>(b).GetValue();
}
bool SameDetail(const Ormid::KeyAnyValue& a, const Ormid::KeyAnyValue& b) {
   return a.key == b.key && Same(a.value, b.value, SameBoxed);
}
bool SameReason(const Quorl::TaskReason& a, const Quorl::TaskReason& b) {
   auto* x = dynamic_cast<const Quorl::TaskReasonUser*>(&a);
   return x == nullptr || x->userName == static_cast<const Quorl::TaskReasonUser&>(b).userName;
}
bool SameTask(const TaskInfo& a, const TaskInfo& b) {
   return a.key == b.key && Same(a.task, b.task, SameMoRef) &&
          Same(a.description, b.description, SameMessage) && a.name == b.name &&
          a.descriptionId == b.descriptionId && Same(a.entity, b.entity, SameMoRef) &&
          a.entityName == b.entityName && SameArray(a.locked, b.locked, SameMoRef) && a.state == b.state &&
          a.cancelable == b.cancelable && Same(a.result, b.result, SameBoxed) && a.progress == b.progress &&
          SameArray(a.progressDetails, b.progressDetails, SameDetail) &&
          Same(a.reason, b.reason, SameReason) && a.queueTime.GetUtcTime() == b.queueTime.GetUtcTime() &&
          a.startTime == b.startTime && a.completeTime == b.completeTime &&
          a.eventChainId == b.eventChainId && a.changeTag == b.changeTag;
}
bool SameElement(const DynamicData& a, const DynamicData& b) {
   if (auto* x = dynamic_cast<const TaskInfo*>(&a)) {
      return SameTask(*x, static_cast<const TaskInfo&>(b));
   }
   return SameConfig(static_cast<const ConfigSpec&>(a), static_cast<const ConfigSpec&>(b));
}
bool SameTree(const Ref<Tree>& a, const Ref<Tree>& b) {
   return SameArray(a, b, SameElement);
}

} // namespace ByHand

void BM_EqualTreesByHand(benchmark::State& state) {
   Ref<Tree> a = BuildTree();
   Ref<Tree> b = BuildTree();
   Ref<Tree> c = BuildTree();
   TaskAt(c.GetPtr(), 1 + kRecentTasks)->eventChainId += 1;
   auto* backing = static_cast<Dev::VirtualDisk::FlatVer2BackingInfo*>(
       SpecOf(b.GetPtr())->deviceChange->Get(7)->device->backing.GetPtr());
   if (!ByHand::SameTree(a, b) || ByHand::SameTree(a, c)) {
      state.SkipWithError("the hand-written comparison does not tell equal and unequal trees apart");
      return;
   }
   backing->uuid.Set("changed");
   const bool sees = !ByHand::SameTree(a, b);
   backing->uuid = static_cast<Dev::VirtualDisk::FlatVer2BackingInfo*>(
                       SpecOf(a.GetPtr())->deviceChange->Get(7)->device->backing.GetPtr())
                       ->uuid;
   if (!sees) {
      state.SkipWithError("the hand-written comparison misses a deep leaf");
      return;
   }
   for (auto _ : state) {
      benchmark::DoNotOptimize(ByHand::SameTree(a, b));
   }
}
BENCHMARK(BM_EqualTreesByHand);

// The difference of two equal trees: a walk that finds nothing, and allocates nothing.
void BM_DiffEqualTrees(benchmark::State& state) {
   Ref<Tree> a = BuildTree();
   Ref<Tree> b = BuildTree();
   long before = QuorlBench::Allocations();
   const bool none = Ormid::DiffProperties(a.GetPtr(), b.GetPtr()).empty();
   const long allocations = QuorlBench::Allocations() - before;
   if (!none || allocations != 0) {
      state.SkipWithError(("equal trees: " + std::to_string(allocations) +
                           " allocations, differences found: " + (none ? "no" : "yes"))
                              .c_str());
      return;
   }
   for (auto _ : state) {
      Ormid::PropertyDiffSet d = Ormid::DiffProperties(a.GetPtr(), b.GetPtr());
      benchmark::DoNotOptimize(d.size());
   }
}
BENCHMARK(BM_DiffEqualTrees);

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

// 100,000 appends of one reference to a new data array: the array must grow geometrically (a few dozen
// allocations in all), not by one slot per append (100,000 allocations and quadratic copying).
void BM_AppendReferences(benchmark::State& state) {
   const int count = static_cast<int>(state.range(0));
   Ref<TaskInfo> task = NewTask(1, false);
   long allocations = 0;
   for (auto _ : state) {
      const long before = QuorlBench::Allocations();
      Ref<Ormid::DataArray<TaskInfo>> array(new Ormid::DataArray<TaskInfo>());
      for (int i = 0; i < count; ++i) {
         array->Append(task.GetPtr());
      }
      allocations = QuorlBench::Allocations() - before;
      benchmark::DoNotOptimize(array.GetPtr());
   }
   if (allocations > 64) {
      state.SkipWithError(("appends allocate " + std::to_string(allocations) + " times").c_str());
   }
   state.counters["allocations"] = static_cast<double>(allocations);
}
BENCHMARK(BM_AppendReferences)->Arg(100'000)->Unit(benchmark::kMillisecond);

// Copying the configuration into an existing object (CopyFrom: a deep copy, then an exchange of fields),
// against the copy constructor (_Clone).
void BM_CopyFrom(benchmark::State& state) {
   Ref<ConfigSpec> source = QuorlBench::NewConfigSpec();
   Ref<ConfigSpec> target(new ConfigSpec());
   target->CopyFrom(*source);
   if (!Ormid::AreEqual(source.GetPtr(), target.GetPtr()) ||
       target->bootOptions.GetPtr() == source->bootOptions.GetPtr()) {
      state.SkipWithError("CopyFrom did not make a distinct deep copy");
      return;
   }
   for (auto _ : state) {
      target->CopyFrom(*source);
   }
}
BENCHMARK(BM_CopyFrom);

void BM_CloneConfig(benchmark::State& state) {
   Ref<ConfigSpec> source = QuorlBench::NewConfigSpec();
   for (auto _ : state) {
      Ref<Any> copy(source->_Clone());
      benchmark::DoNotOptimize(copy.GetPtr());
   }
}
BENCHMARK(BM_CloneConfig);

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
   const std::string values[2] = {
       *static_cast<std::string*>(r.type->GetFieldPtr(r.task.GetPtr(), r.index)) + "-a",
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

// Which properties of a task are set: one pass over the object (ForEachSetProperty) against the checked
// IsSet of each property.
void BM_SetProperties(benchmark::State& state) {
   const bool onePass = state.range(0) != 0;
   Ormid::DataObjectType* type = Ormid::GetDoType<TaskInfo>();
   Ref<TaskInfo> task = NewTask(1100, true);
   auto byProperty = [&] {
      int n = 0;
      type->ForEachProperty([&](const Ormid::DataObjectType* owner, int index, const Ormid::PropertyRecord&) {
         n += owner->IsSet(task.GetPtr(), index) ? 1 : 0;
      });
      return n;
   };
   auto inOnePass = [&] { return type->ForEachSetProperty(task.GetPtr(), [](auto&&...) {}); };
   const int expected = byProperty();
   if (expected == 0 || inOnePass() != expected) {
      state.SkipWithError("the two ways do not count the same set properties");
      return;
   }
   for (auto _ : state) {
      benchmark::DoNotOptimize(onePass ? inOnePass() : byProperty());
   }
   state.counters["set"] = expected;
   state.counters["properties"] = type->GetPropertyCount();
}
BENCHMARK(BM_SetProperties)->ArgName("onePass")->Arg(0)->Arg(1);

// A new default object through the descriptor's factory (and its release), against the constructor.
template <class T> void BM_CreateByDescriptor(benchmark::State& state) {
   Ormid::DataObjectType* type = Ormid::GetDoType<T>();
   Ref<DynamicData> probe = type->Create();
   if (probe.GetPtr() == nullptr || probe->_GetType() != type ||
       dynamic_cast<T*>(probe.GetPtr()) == nullptr) {
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
