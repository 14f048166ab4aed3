// Generated data-object and fault classes: defaults, copies, reflection through the descriptors,
// equality and difference, faults thrown and caught by type.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ormid/Primitive.h"
#include "quorl/TaskInfo.h"
#include "quorl/TaskReason.h"
#include "quorl/TaskReasonUser.h"
#include "quorl/fault/FileFault.h"
#include "quorl/fault/FileNotFound.h"
#include "quorl/fault/InvalidState.h"
#include "quorl/fault/NotAuthenticated.h"
#include "quorl/host/PatchManager.h"
#include "quorl/vm/BootOptions.h"
#include "quorl/vm/device/VirtualDevice.h"
#include "quorl/vm/device/VirtualDisk.h"

namespace {

using Pellum::Ref;
using Quorl::Vm::BootOptions;

Ormid::DataObjectType* BootType() {
   return Ormid::GetDoType<BootOptions>();
}

TEST(DataObject, BootOptionsDefaults) {
   Ref<BootOptions> b(new BootOptions());
   EXPECT_EQ(b->enterBIOSSetup, -1);
   EXPECT_EQ(b->efiSecureBootEnabled, -1);
   EXPECT_EQ(b->bootRetryEnabled, -1);
   EXPECT_FALSE(b->bootDelay.IsSet());
   EXPECT_FALSE(b->bootRetryDelay.IsSet());
   EXPECT_EQ(b->bootOrder.GetPtr(), nullptr);
   EXPECT_FALSE(b->networkBootProtocol.IsSet());
   EXPECT_TRUE(b->networkBootProtocol.GetStored().empty());
   // The array getter installs one empty array and keeps answering it.
   Ormid::DataArray<BootOptions::BootableDevice>* order = b->GetBootOrder();
   ASSERT_NE(order, nullptr);
   EXPECT_EQ(order->GetCollectionLength(), 0);
   EXPECT_EQ(b->GetBootOrder(), order);
   EXPECT_EQ(b->bootOrder.GetPtr(), order);
}

TEST(DataObject, CopySharesImmutableValuesAndDeepCopiesTheRest) {
   Ref<Quorl::TaskInfo> task(new Quorl::TaskInfo());
   Ref<Ormid::MoRef> ref(new Ormid::MoRef("quorl.Task", "task-1"));
   task->task = ref;
   task->entity = Ref<Ormid::MoRef>(new Ormid::MoRef("quorl.VirtualMachine", "vm-42"));
   task->GetLocked()->Append(ref.GetPtr());
   task->description = Ref<Ormid::LocalizableMessage>(new Ormid::LocalizableMessage("k", "m"));
   task->entityName.Set("vm");
   task->cancelable = true;

   Ref<Quorl::TaskInfo> copy(static_cast<Quorl::TaskInfo*>(task->_Clone()));
   EXPECT_EQ(copy->task.GetPtr(), ref.GetPtr());
   EXPECT_EQ(copy->entity.GetPtr(), task->entity.GetPtr());
   EXPECT_NE(copy->locked.GetPtr(), task->locked.GetPtr());
   EXPECT_EQ(copy->locked->Get(0), ref.GetPtr());
   EXPECT_NE(copy->description.GetPtr(), task->description.GetPtr());
   EXPECT_EQ(copy->description->key, "k");
   EXPECT_EQ(copy->entityName.GetStored(), "vm");
   EXPECT_TRUE(copy->cancelable);
   EXPECT_FALSE(copy->startTime.IsSet());
   EXPECT_TRUE(Ormid::AreEqual(task.GetPtr(), copy.GetPtr()));

   Ref<BootOptions> b(new BootOptions());
   b->enterBIOSSetup = 0;
   BootOptions c(*b);
   EXPECT_EQ(c.enterBIOSSetup, 0);
   EXPECT_EQ(c.bootOrder.GetPtr(), nullptr);
}

TEST(Reflection, OptionalValuesThroughTheDescriptor) {
   Ormid::DataObjectType* type = BootType();
   Ref<Ormid::DynamicData> obj = type->Create();
   long delay = 7;
   EXPECT_FALSE(type->IsSet(obj.GetPtr(), 0));
   EXPECT_EQ(type->GetFieldPtr(obj.GetPtr(), 0), nullptr);
   type->GetField(obj.GetPtr(), 0, &delay);
   EXPECT_EQ(delay, 0); // the stored value of an unset field
   long five = 5;
   type->SetField(obj.GetPtr(), 0, &five);
   EXPECT_TRUE(type->IsSet(obj.GetPtr(), 0));
   EXPECT_EQ(*static_cast<long*>(type->GetFieldPtr(obj.GetPtr(), 0)), 5);
   type->Reset(obj.GetPtr(), 0);
   EXPECT_FALSE(type->IsSet(obj.GetPtr(), 0));
   type->GetField(obj.GetPtr(), 0, &delay);
   EXPECT_EQ(delay, 5); // reset keeps the value

   signed char on = 1;
   type->SetField(obj.GetPtr(), 1, &on);
   EXPECT_EQ(static_cast<BootOptions*>(obj.GetPtr())->enterBIOSSetup, 1);
   type->Reset(obj.GetPtr(), 1);
   EXPECT_EQ(static_cast<BootOptions*>(obj.GetPtr())->enterBIOSSetup, -1);

   std::string protocol = "ipv6";
   type->SetField(obj.GetPtr(), 6, &protocol);
   Pellum::Optional<std::string> swapped;
   type->SwapField(obj.GetPtr(), 6, &swapped);
   EXPECT_EQ(swapped.GetValue(), "ipv6");
   EXPECT_FALSE(type->IsSet(obj.GetPtr(), 6));
}

TEST(Reflection, ArraysAndReferences) {
   Ormid::DataObjectType* type = BootType();
   Ref<BootOptions> b(new BootOptions());
   // An empty array is not set, but getField still yields it.
   b->GetBootOrder();
   EXPECT_FALSE(type->IsSet(b.GetPtr(), 5));
   EXPECT_EQ(type->GetFieldPtr(b.GetPtr(), 5), nullptr);
   Ref<Ormid::Any> out;
   type->GetField(b.GetPtr(), 5, &out);
   EXPECT_EQ(out.GetPtr(), b->bootOrder.GetPtr());

   Ref<Ormid::DataArray<BootOptions::BootableDevice>> order(
       new Ormid::DataArray<BootOptions::BootableDevice>());
   order->Append(new BootOptions::BootableDiskDevice());
   type->SetField(b.GetPtr(), 5, static_cast<Ormid::Any*>(order.GetPtr()));
   EXPECT_TRUE(type->IsSet(b.GetPtr(), 5));
   EXPECT_EQ(b->bootOrder.GetPtr(), order.GetPtr());
   // Another array class is refused and the field keeps its array.
   Ref<Ormid::Array<int>> ints(new Ormid::Array<int>{1, 2});
   EXPECT_THROW(type->SetField(b.GetPtr(), 5, static_cast<Ormid::Any*>(ints.GetPtr())),
                Pellum::TypeMismatchException);
   EXPECT_EQ(b->bootOrder.GetPtr(), order.GetPtr());
   type->Reset(b.GetPtr(), 5);
   EXPECT_EQ(b->bootOrder.GetPtr(), nullptr);

   // A required reference is unset while null; any values are accepted unnarrowed.
   Ormid::DataObjectType* taskType = Ormid::GetDoType<Quorl::TaskInfo>();
   Ref<Quorl::TaskInfo> task(new Quorl::TaskInfo());
   const int taskIndex = taskType->FindOwnProperty("task");
   const int resultIndex = taskType->FindOwnProperty("result");
   EXPECT_FALSE(taskType->IsSet(task.GetPtr(), taskIndex));
   Ref<Ormid::Any> box = Ormid::Box(42);
   taskType->SetField(task.GetPtr(), resultIndex, box.GetPtr());
   EXPECT_EQ(task->result.GetPtr(), box.GetPtr());
   EXPECT_THROW(taskType->SetField(task.GetPtr(), taskIndex, box.GetPtr()), Pellum::TypeMismatchException);
   EXPECT_EQ(task->task.GetPtr(), nullptr);
}

TEST(Equality, PatternAndDifferencePaths) {
   Ref<BootOptions> a(new BootOptions());
   Ref<BootOptions> b(new BootOptions());
   a->bootDelay.Set(5);
   EXPECT_FALSE(a->_IsEqual(b.GetPtr(), false));
   EXPECT_TRUE(a->_IsEqual(b.GetPtr(), true));
   EXPECT_FALSE(b->_IsEqual(a.GetPtr(), true));
   a->enterBIOSSetup = 1;
   EXPECT_TRUE(a->_IsEqual(b.GetPtr(), true));
   a->networkBootProtocol.Set("");
   a->bootRetryEnabled = 0;

   Ormid::PropertyDiffSet diffs;
   a->_DiffProperties(b.GetPtr(), "boot", diffs);
   ASSERT_EQ(diffs.size(), 4u);
   EXPECT_EQ(diffs[0], "boot.bootDelay");
   EXPECT_EQ(diffs[1], "boot.enterBIOSSetup");
   EXPECT_EQ(diffs[2], "boot.bootRetryEnabled");
   EXPECT_EQ(diffs[3], "boot.networkBootProtocol");

   // Derived classes compare the base first; an empty and an unset array are equal.
   Ref<BootOptions::BootableDiskDevice> d1(new BootOptions::BootableDiskDevice());
   Ref<BootOptions::BootableDiskDevice> d2(new BootOptions::BootableDiskDevice());
   d1->deviceKey = 1;
   Ormid::PropertyDiffSet deviceDiffs;
   d1->_DiffProperties(d2.GetPtr(), "", deviceDiffs);
   ASSERT_EQ(deviceDiffs.size(), 1u);
   EXPECT_EQ(deviceDiffs[0], ".deviceKey");
   b->GetBootOrder();
   Ref<BootOptions> c(new BootOptions());
   EXPECT_TRUE(b->_IsEqual(c.GetPtr(), false));
}

TEST(Equality, DeduplicatedStringsCompareByContents) {
   using Result = Quorl::Host::PatchManager::Result;
   Ref<Result> a(new Result());
   Ref<Result> b(new Result());
   Ormid::DataObjectType* type = Ormid::GetDoType<Result>();
   std::string xml = "<result/>";
   type->SetField(a.GetPtr(), 0, &xml);
   type->SetField(b.GetPtr(), 0, &xml);
   EXPECT_TRUE(a->xmlResult.SameEntry(b->xmlResult));
   EXPECT_TRUE(a->_IsEqual(b.GetPtr(), false));
   Ref<Result> copy(static_cast<Result*>(a->_Clone()));
   EXPECT_TRUE(copy->xmlResult.SameEntry(a->xmlResult));
   type->Reset(b.GetPtr(), 0);
   EXPECT_FALSE(a->_IsEqual(b.GetPtr(), false));
   EXPECT_TRUE(a->_IsEqual(b.GetPtr(), true));
}

TEST(Faults, ThrownByTheirOwnTypeAndCaughtByBases) {
   Ref<Quorl::Fault::NotAuthenticated> fault(new Quorl::Fault::NotAuthenticated());
   EXPECT_EQ(fault->GetResponseCode().GetCode(), 401);
   try {
      static_cast<Ormid::MethodFault*>(fault.GetPtr())->Throw();
   } catch (const Quorl::Fault::NoPermission::Exception& e) {
      EXPECT_EQ(e.GetFault(), fault.GetPtr());
      EXPECT_STREQ(e.what(), "Fault cause: quorl.fault.NotAuthenticated\n");
      EXPECT_NE(dynamic_cast<const Quorl::Fault::NotAuthenticated::Exception*>(&e), nullptr);
   }
   EXPECT_THROW(fault->ThrowInternal(), Ormid::Fault::SecurityError::Exception);
   EXPECT_EQ(Ref<Quorl::Fault::NoPermission>(new Quorl::Fault::NoPermission())->GetResponseCode().GetCode(),
             403);
   EXPECT_EQ(Ref<Quorl::Fault::FileNotFound>(new Quorl::Fault::FileNotFound())->GetResponseCode().GetCode(),
             404);
   EXPECT_EQ(Ref<Quorl::Fault::FileFault>(new Quorl::Fault::FileFault())->GetResponseCode().GetCode(), 500);

   Ref<Quorl::Fault::InvalidState> state(new Quorl::Fault::InvalidState());
   std::unique_ptr<Ormid::MethodFault::Exception> created(state->CreateException());
   EXPECT_NE(dynamic_cast<Quorl::Fault::InvalidState::Exception*>(created.get()), nullptr);
   std::unique_ptr<Pellum::Exception> clone(created->Clone());
   EXPECT_NE(dynamic_cast<Quorl::Fault::InvalidState::Exception*>(clone.get()), nullptr);
   EXPECT_THROW(clone->Throw(), Quorl::Fault::QuorlFault::Exception);
}

// --- Nested values, sharing and difference paths on the device, task and patch-result classes ---

using Pellum::System::DateTime;
using Quorl::TaskInfo;
using Quorl::Vm::Device::VirtualDevice;
using Quorl::Vm::Device::VirtualDisk;

std::vector<std::string> Paths(const Ormid::PropertyDiffSet& diffs) {
   return {diffs.begin(), diffs.end()};
}

Ref<Ormid::MoRef> Mo(const char* type, const char* id) {
   return Ref<Ormid::MoRef>(new Ormid::MoRef(type, id));
}

// A task with every kind of field set.
Ref<TaskInfo> FullTask() {
   Ref<TaskInfo> t(new TaskInfo());
   t->key = "task-7";
   t->task = Mo("quorl.Task", "task-7");
   t->description = Ref<Ormid::LocalizableMessage>(new Ormid::LocalizableMessage("copy.key", "copying"));
   t->name.Set(Ormid::MethodName("powerOn"));
   t->descriptionId = "vm.powerOn";
   t->entity = Mo("quorl.VirtualMachine", "vm-1");
   t->entityName.Set("web-1");
   t->GetLocked()->Append(Mo("quorl.VirtualMachine", "vm-1"));
   t->state = static_cast<int>(TaskInfo::State::running);
   t->cancelled = false;
   t->cancelable = true;
   Ref<Quorl::Fault::FileFault> fault(new Quorl::Fault::FileFault());
   fault->file = "web-1.vmx";
   t->error = fault;
   t->result = Ormid::Box(std::string("done"));
   t->progress.Set(40);
   t->GetProgressDetails()->Append(
       Ref<Ormid::KeyAnyValue>(new Ormid::KeyAnyValue("phase", Ormid::Box(2).GetPtr())));
   Ref<Quorl::TaskReasonUser> reason(new Quorl::TaskReasonUser());
   reason->userName = "alice";
   t->reason = reason;
   t->queueTime = DateTime::FromUtcTime(1000);
   t->startTime.Set(DateTime::FromUtcTime(2000));
   t->eventChainId = 9;
   t->activationId.Set("act-1");
   return t;
}

TEST(DataObject, VirtualDeviceCopyClonesNestedObjectsAndSharesReferences) {
   Ref<VirtualDevice> dev(new VirtualDevice());
   dev->key = 4000;
   Ref<Ormid::MoRef> datastore = Mo("quorl.Datastore", "ds-1");
   Ref<VirtualDevice::FileBackingInfo> backing(new VirtualDevice::FileBackingInfo());
   backing->fileName = "[ds1] web/web.vmdk";
   backing->datastore = datastore;
   dev->backing = backing;
   Ref<VirtualDevice::ConnectInfo> connect(new VirtualDevice::ConnectInfo());
   connect->connected = true;
   connect->status.Set("ok");
   dev->connectable = connect;
   dev->unitNumber.Set(0);
   ASSERT_EQ(datastore->GetRefCount(), 2);
   {
      Ref<VirtualDevice> copy(static_cast<VirtualDevice*>(dev->_Clone()));
      EXPECT_EQ(copy->_GetType(), Ormid::GetDoType<VirtualDevice>());
      // A nested data object is copied as an object of its own most-derived class...
      auto* copiedBacking = dynamic_cast<VirtualDevice::FileBackingInfo*>(copy->backing.GetPtr());
      ASSERT_NE(copiedBacking, nullptr);
      EXPECT_NE(copiedBacking, backing.GetPtr());
      EXPECT_EQ(copiedBacking->fileName, "[ds1] web/web.vmdk");
      EXPECT_FALSE(copiedBacking->backingObjectId.IsSet());
      // ...while the managed-object reference inside it is shared, one reference more.
      EXPECT_EQ(copiedBacking->datastore.GetPtr(), datastore.GetPtr());
      EXPECT_EQ(datastore->GetRefCount(), 3);
      EXPECT_EQ(backing->GetRefCount(), 2);
      ASSERT_NE(copy->connectable.GetPtr(), nullptr);
      EXPECT_NE(copy->connectable.GetPtr(), connect.GetPtr());
      EXPECT_TRUE(copy->connectable->connected);
      EXPECT_TRUE(copy->connectable->status.IsSet());
      EXPECT_EQ(copy->connectable->status.GetStored(), "ok");
      // An optional set to zero stays set; unset ones and null references stay so.
      EXPECT_TRUE(copy->unitNumber.IsSet());
      EXPECT_EQ(copy->unitNumber.GetStored(), 0);
      EXPECT_FALSE(copy->controllerKey.IsSet());
      EXPECT_FALSE(copy->numaNode.IsSet());
      EXPECT_EQ(copy->deviceInfo.GetPtr(), nullptr);
      EXPECT_EQ(copy->slotInfo.GetPtr(), nullptr);
      EXPECT_TRUE(Ormid::AreEqual(dev.GetPtr(), copy.GetPtr()));

      // The copy's nested objects are its own: changing one leaves the source alone.
      copy->connectable->connected = false;
      copiedBacking->fileName = "[ds1] other.vmdk";
      EXPECT_TRUE(connect->connected);
      EXPECT_EQ(backing->fileName, "[ds1] web/web.vmdk");
      EXPECT_FALSE(Ormid::AreEqual(dev.GetPtr(), copy.GetPtr()));
      EXPECT_EQ(Paths(Ormid::DiffProperties(dev.GetPtr(), copy.GetPtr(), "device")),
                (std::vector<std::string>{"device.backing.fileName", "device.connectable.connected"}));
   }
   EXPECT_EQ(datastore->GetRefCount(), 2);
}

TEST(DataObject, TaskInfoCopySharesBoxesAndDeepCopiesFaultsReasonsAndArrayElements) {
   Ref<TaskInfo> task = FullTask();
   Ormid::Any* box = task->result.GetPtr();
   Ormid::KeyAnyValue* detail = task->progressDetails->Get(0);
   Ormid::Any* detailBox = detail->value.GetPtr();
   ASSERT_EQ(box->GetRefCount(), 1);
   ASSERT_EQ(detailBox->GetRefCount(), 1);

   Ref<TaskInfo> copy(static_cast<TaskInfo*>(task->_Clone()));
   // Boxed values are immutable, so the copy holds the same box, anywhere in the value.
   EXPECT_EQ(copy->result.GetPtr(), box);
   EXPECT_EQ(box->GetRefCount(), 2);
   ASSERT_NE(copy->progressDetails.GetPtr(), nullptr);
   EXPECT_NE(copy->progressDetails.GetPtr(), task->progressDetails.GetPtr());
   ASSERT_EQ(copy->progressDetails->size(), 1u);
   EXPECT_NE(copy->progressDetails->Get(0), detail);
   EXPECT_EQ(copy->progressDetails->Get(0)->value.GetPtr(), detailBox);
   EXPECT_EQ(detailBox->GetRefCount(), 2);
   // Faults and reasons are data objects: new objects of the same most-derived class.
   EXPECT_NE(copy->error.GetPtr(), task->error.GetPtr());
   auto* fault = dynamic_cast<Quorl::Fault::FileFault*>(copy->error.GetPtr());
   ASSERT_NE(fault, nullptr);
   EXPECT_EQ(fault->file, "web-1.vmx");
   auto* reason = dynamic_cast<Quorl::TaskReasonUser*>(copy->reason.GetPtr());
   ASSERT_NE(reason, nullptr);
   EXPECT_NE(reason, task->reason.GetPtr());
   EXPECT_EQ(reason->userName, "alice");
   // Plain values with their flags.
   EXPECT_EQ(copy->name.GetStored(), "powerOn");
   EXPECT_EQ(copy->state, static_cast<int>(TaskInfo::State::running));
   EXPECT_EQ(copy->queueTime.GetUtcTime(), 1000);
   EXPECT_TRUE(copy->startTime.IsSet());
   EXPECT_FALSE(copy->completeTime.IsSet());
   EXPECT_FALSE(copy->changeTag.IsSet());
   EXPECT_EQ(copy->activationId.GetStored(), "act-1");
   EXPECT_TRUE(task->_IsEqual(copy.GetPtr(), false));
   EXPECT_TRUE(Ormid::DiffProperties(task.GetPtr(), copy.GetPtr()).empty());

   copy.Reset();
   EXPECT_EQ(box->GetRefCount(), 1);
   EXPECT_EQ(detailBox->GetRefCount(), 1);
}

TEST(Equality, TaskInfoPatternLeavesOnlyUnsetAndNullAsWildcards) {
   Ref<TaskInfo> task = FullTask();
   // A pattern holding only the required plain values: every reference null, every optional unset.
   Ref<TaskInfo> pattern(new TaskInfo());
   pattern->key = task->key;
   pattern->descriptionId = task->descriptionId;
   pattern->state = task->state;
   pattern->cancelled = task->cancelled;
   pattern->cancelable = task->cancelable;
   pattern->queueTime = task->queueTime;
   pattern->eventChainId = task->eventChainId;
   EXPECT_TRUE(task->_IsEqual(pattern.GetPtr(), true));
   EXPECT_FALSE(task->_IsEqual(pattern.GetPtr(), false));
   EXPECT_FALSE(pattern->_IsEqual(task.GetPtr(), true));

   // An empty array in the pattern stands for an unset one.
   pattern->GetLocked();
   pattern->GetProgressDetails();
   EXPECT_TRUE(task->_IsEqual(pattern.GetPtr(), true));

   // Set references in the pattern must match by value, the pattern passing into nested objects.
   pattern->entity = Mo("quorl.VirtualMachine", "vm-1");
   pattern->description = Ref<Ormid::LocalizableMessage>(new Ormid::LocalizableMessage());
   pattern->description->key = "copy.key";
   EXPECT_TRUE(task->_IsEqual(pattern.GetPtr(), true));
   pattern->description->key = "other.key";
   EXPECT_FALSE(task->_IsEqual(pattern.GetPtr(), true));
   pattern->description->key = "copy.key";
   pattern->entity = Mo("quorl.VirtualMachine", "vm-2");
   EXPECT_FALSE(task->_IsEqual(pattern.GetPtr(), true));
   pattern->entity.Reset();

   // Required values are never wildcards, whatever their default.
   const int chain = pattern->eventChainId;
   pattern->eventChainId = 0;
   EXPECT_FALSE(task->_IsEqual(pattern.GetPtr(), true));
   pattern->eventChainId = chain;
   pattern->queueTime = DateTime::FromUtcTime(0);
   EXPECT_FALSE(task->_IsEqual(pattern.GetPtr(), true));
   pattern->queueTime = task->queueTime;
   pattern->cancelable = false;
   EXPECT_FALSE(task->_IsEqual(pattern.GetPtr(), true));
   pattern->cancelable = true;

   // A result of another class is a mismatch, not an exception.
   pattern->result = Ormid::Box(7);
   EXPECT_FALSE(task->_IsEqual(pattern.GetPtr(), true));
   pattern->result = Ormid::Box(std::string("done"));
   EXPECT_TRUE(task->_IsEqual(pattern.GetPtr(), true));
}

TEST(Equality, DifferencePathsBaseFirstThenDeclarationOrder) {
   // VirtualDisk: the VirtualDevice fields first, then its own, each group in declaration order.
   Ref<VirtualDisk> a(new VirtualDisk());
   Ref<VirtualDisk> b(new VirtualDisk());
   a->connectable = Ref<VirtualDevice::ConnectInfo>(new VirtualDevice::ConnectInfo());
   b->connectable = Ref<VirtualDevice::ConnectInfo>(new VirtualDevice::ConnectInfo());
   EXPECT_TRUE(Ormid::DiffProperties(a.GetPtr(), b.GetPtr(), "disk").empty());
   b->guestReadOnly = 0;
   b->GetIofilter()->Append("encrypt");
   a->GetIofilter()->Append("cache");
   b->ZindCacheConfigInfo_ = Ref<VirtualDisk::ZindCacheConfigInfo>(new VirtualDisk::ZindCacheConfigInfo());
   b->capacityInKB = 1024;
   b->unitNumber.Set(1);
   b->connectable->startConnected = true;
   b->key = 2000;
   Ormid::PropertyDiffSet diffs;
   a->_DiffProperties(b.GetPtr(), "disk", diffs);
   EXPECT_EQ(Paths(diffs),
             (std::vector<std::string>{"disk.key", "disk.connectable.startConnected", "disk.unitNumber",
                                       "disk.capacityInKB", "disk.ZindCacheConfigInfo", "disk.iofilter",
                                       "disk.guestReadOnly"}));
   EXPECT_FALSE(a->_IsEqual(b.GetPtr(), false));
   // Through the runtime's entry point the prefix is the same; the order does not depend on the side.
   EXPECT_EQ(Paths(Ormid::DiffProperties(b.GetPtr(), a.GetPtr(), "disk")), Paths(diffs));

   // TaskInfo: nested objects, array elements and values of other classes.
   Ref<TaskInfo> x = FullTask();
   Ref<TaskInfo> y = FullTask();
   EXPECT_TRUE(Ormid::DiffProperties(x.GetPtr(), y.GetPtr(), "info").empty());
   y->activationId.Reset();
   y->startTime.Set(DateTime::FromUtcTime(2001));
   static_cast<Quorl::TaskReasonUser*>(y->reason.GetPtr())->userName = "bob";
   y->progressDetails->Get(0)->value = Ormid::Box(3);
   static_cast<Quorl::Fault::FileFault*>(y->error.GetPtr())->file = "web-2.vmx";
   y->state = static_cast<int>(TaskInfo::State::error);
   y->locked->Set(0, Mo("quorl.VirtualMachine", "vm-9").GetPtr());
   y->entityName.Set("");
   y->description->message.Set("moving");
   y->key = "task-8";
   diffs.clear();
   x->_DiffProperties(y.GetPtr(), "info", diffs);
   EXPECT_EQ(Paths(diffs), (std::vector<std::string>{
                               "info.key", "info.description.message", "info.entityName", "info.locked[0]",
                               "info.state", "info.error.file", "info.progressDetails[0].value",
                               "info.reason.userName", "info.startTime", "info.activationId"}));
   // A fault or reason of another class is reported as a whole.
   y->error = Ref<Ormid::MethodFault>(new Quorl::Fault::FileNotFound());
   y->reason = Ref<Quorl::TaskReason>(new Quorl::TaskReason());
   diffs.clear();
   x->_DiffProperties(y.GetPtr(), "", diffs);
   EXPECT_TRUE(diffs.Contains(".error"));
   EXPECT_FALSE(diffs.Contains(".error.file"));
   EXPECT_TRUE(diffs.Contains(".reason"));
   EXPECT_FALSE(diffs.Contains(".reason.userName"));
}

TEST(Equality, NullAndEmptyArraysAreTheSameValue) {
   Ormid::DataObjectType* taskType = Ormid::GetDoType<TaskInfo>();
   const int locked = taskType->FindOwnProperty("locked");
   const int details = taskType->FindOwnProperty("progressDetails");
   Ref<TaskInfo> empty(new TaskInfo());
   Ref<TaskInfo> null(new TaskInfo());
   empty->GetLocked();
   empty->GetProgressDetails();
   ASSERT_NE(empty->locked.GetPtr(), nullptr);
   for (const int index : {locked, details}) {
      EXPECT_FALSE(taskType->IsSet(empty.GetPtr(), index));
      EXPECT_FALSE(taskType->IsSet(null.GetPtr(), index));
      EXPECT_EQ(taskType->GetFieldPtr(empty.GetPtr(), index), nullptr);
   }
   EXPECT_TRUE(empty->_IsEqual(null.GetPtr(), false));
   EXPECT_TRUE(null->_IsEqual(empty.GetPtr(), false));
   EXPECT_TRUE(Ormid::DiffProperties(empty.GetPtr(), null.GetPtr()).empty());
   EXPECT_TRUE(Ormid::DiffProperties(null.GetPtr(), empty.GetPtr()).empty());
   // The copy of an empty array is an empty array, still equal to null.
   Ref<TaskInfo> copy(static_cast<TaskInfo*>(empty->_Clone()));
   ASSERT_NE(copy->locked.GetPtr(), nullptr);
   EXPECT_NE(copy->locked.GetPtr(), empty->locked.GetPtr());
   EXPECT_TRUE(copy->_IsEqual(null.GetPtr(), false));

   // One element makes the property set, unequal to both null and empty, in either direction.
   empty->GetLocked()->Append(Mo("quorl.VirtualMachine", "vm-1"));
   EXPECT_TRUE(taskType->IsSet(empty.GetPtr(), locked));
   EXPECT_FALSE(empty->_IsEqual(null.GetPtr(), false));
   EXPECT_FALSE(null->_IsEqual(empty.GetPtr(), false));
   EXPECT_FALSE(copy->_IsEqual(empty.GetPtr(), false));
   EXPECT_EQ(Paths(Ormid::DiffProperties(null.GetPtr(), empty.GetPtr())),
             (std::vector<std::string>{".locked"}));
   EXPECT_EQ(Paths(Ormid::DiffProperties(copy.GetPtr(), empty.GetPtr())),
             (std::vector<std::string>{".locked"}));

   // The same for an array of plain values.
   Ref<VirtualDisk> d1(new VirtualDisk());
   Ref<VirtualDisk> d2(new VirtualDisk());
   d1->GetIofilter();
   EXPECT_TRUE(d1->_IsEqual(d2.GetPtr(), false));
   EXPECT_TRUE(Ormid::DiffProperties(d2.GetPtr(), d1.GetPtr()).empty());
   d1->GetIofilter()->Append("");
   EXPECT_FALSE(d1->_IsEqual(d2.GetPtr(), false));
   EXPECT_EQ(Paths(Ormid::DiffProperties(d2.GetPtr(), d1.GetPtr())), (std::vector<std::string>{".iofilter"}));
}

TEST(Deduplicated, XmlResultEntriesFollowTheirContents) {
   using Result = Quorl::Host::PatchManager::Result;
   auto& table = Pellum::Deduplicated<std::string>::_dedupTable;
   Ormid::DataObjectType* type = Ormid::GetDoType<Result>();
   const std::string xml = "<patch id=\"values-test\"/>";
   const std::string longer = xml + " ";
   const std::string shorter = xml.substr(0, xml.size() - 1);
   Ref<Result> a(new Result());
   Ref<Result> b(new Result());
   Ref<Result> c(new Result());
   type->SetField(a.GetPtr(), 0, &xml);
   type->SetField(b.GetPtr(), 0, &xml);
   const auto* entry = a->xmlResult.GetEntry();
   ASSERT_NE(entry, nullptr);
   EXPECT_EQ(table.EntryFor(xml), entry);
   EXPECT_EQ(entry->UseCount(), 2);
   // Setting the contents the field already holds keeps its entry.
   type->SetField(a.GetPtr(), 0, &xml);
   EXPECT_EQ(a->xmlResult.GetEntry(), entry);
   EXPECT_EQ(entry->UseCount(), 2);

   // Strings that are prefixes of each other are distinct entries.
   type->SetField(b.GetPtr(), 0, &longer);
   type->SetField(c.GetPtr(), 0, &shorter);
   EXPECT_NE(b->xmlResult.GetEntry(), entry);
   EXPECT_NE(c->xmlResult.GetEntry(), entry);
   std::string out;
   type->GetField(b.GetPtr(), 0, &out);
   EXPECT_EQ(out, longer);
   type->GetField(c.GetPtr(), 0, &out);
   EXPECT_EQ(out, shorter);
   EXPECT_EQ(*static_cast<std::string*>(type->GetFieldPtr(a.GetPtr(), 0)), xml);
   EXPECT_EQ(entry->UseCount(), 1);

   // Different contents differ; set against unset differs; the pattern's null matches.
   EXPECT_FALSE(a->_IsEqual(b.GetPtr(), false));
   EXPECT_EQ(Paths(Ormid::DiffProperties(a.GetPtr(), b.GetPtr(), "patch")),
             (std::vector<std::string>{"patch.xmlResult"}));
   type->Reset(c.GetPtr(), 0);
   EXPECT_FALSE(type->IsSet(c.GetPtr(), 0));
   EXPECT_EQ(type->GetFieldPtr(c.GetPtr(), 0), nullptr);
   EXPECT_FALSE(table.Contains(shorter));
   EXPECT_TRUE(a->_IsEqual(c.GetPtr(), true));
   EXPECT_FALSE(c->_IsEqual(a.GetPtr(), true));
   EXPECT_EQ(Paths(Ormid::DiffProperties(c.GetPtr(), a.GetPtr())), (std::vector<std::string>{".xmlResult"}));

   // A copy shares the entry; the entry goes away with its last holder.
   Ref<Result> copy(static_cast<Result*>(a->_Clone()));
   EXPECT_EQ(copy->xmlResult.GetEntry(), entry);
   a.Reset();
   EXPECT_EQ(table.EntryFor(xml), entry);
   copy.Reset();
   EXPECT_FALSE(table.Contains(xml));
   b.Reset();
   EXPECT_FALSE(table.Contains(longer));
}

} // namespace
