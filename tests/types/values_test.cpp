// Generated data-object and fault classes: defaults, copies, reflection through the descriptors,
// equality and difference, faults thrown and caught by type.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "ormid/Primitive.h"
#include "quorl/TaskInfo.h"
#include "quorl/TaskReason.h"
#include "quorl/fault/FileFault.h"
#include "quorl/fault/FileNotFound.h"
#include "quorl/fault/InvalidState.h"
#include "quorl/fault/NotAuthenticated.h"
#include "quorl/host/PatchManager.h"
#include "quorl/vm/BootOptions.h"

namespace {

using Quorl::Vm::BootOptions;
using Pellum::Ref;

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
   EXPECT_EQ(delay, 0);  // the stored value of an unset field
   long five = 5;
   type->SetField(obj.GetPtr(), 0, &five);
   EXPECT_TRUE(type->IsSet(obj.GetPtr(), 0));
   EXPECT_EQ(*static_cast<long*>(type->GetFieldPtr(obj.GetPtr(), 0)), 5);
   type->Reset(obj.GetPtr(), 0);
   EXPECT_FALSE(type->IsSet(obj.GetPtr(), 0));
   type->GetField(obj.GetPtr(), 0, &delay);
   EXPECT_EQ(delay, 5);  // reset keeps the value

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

   Ref<Ormid::DataArray<BootOptions::BootableDevice>> order(new Ormid::DataArray<BootOptions::BootableDevice>());
   order->Append(new BootOptions::BootableDiskDevice());
   type->SetField(b.GetPtr(), 5, static_cast<Ormid::Any*>(order.GetPtr()));
   EXPECT_TRUE(type->IsSet(b.GetPtr(), 5));
   EXPECT_EQ(b->bootOrder.GetPtr(), order.GetPtr());
   // Another array class is refused and the field keeps its array.
   Ref<Ormid::Array<int>> ints(new Ormid::Array<int>{1, 2});
   EXPECT_THROW(type->SetField(b.GetPtr(), 5, static_cast<Ormid::Any*>(ints.GetPtr())), Pellum::TypeMismatchException);
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
   EXPECT_EQ(Ref<Quorl::Fault::NoPermission>(new Quorl::Fault::NoPermission())->GetResponseCode().GetCode(), 403);
   EXPECT_EQ(Ref<Quorl::Fault::FileNotFound>(new Quorl::Fault::FileNotFound())->GetResponseCode().GetCode(), 404);
   EXPECT_EQ(Ref<Quorl::Fault::FileFault>(new Quorl::Fault::FileFault())->GetResponseCode().GetCode(), 500);

   Ref<Quorl::Fault::InvalidState> state(new Quorl::Fault::InvalidState());
   std::unique_ptr<Ormid::MethodFault::Exception> created(state->CreateException());
   EXPECT_NE(dynamic_cast<Quorl::Fault::InvalidState::Exception*>(created.get()), nullptr);
   std::unique_ptr<Pellum::Exception> clone(created->Clone());
   EXPECT_NE(dynamic_cast<Quorl::Fault::InvalidState::Exception*>(clone.get()), nullptr);
   EXPECT_THROW(clone->Throw(), Quorl::Fault::QuorlFault::Exception);
}

} // namespace
