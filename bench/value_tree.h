// The value tree the benchmarks work on (values_bench, wire_bench). One Ormid::DataArray<kobl.DynamicData>
// holding
//   [0]      a running reconfiguration task (quorl.TaskInfo, every common field set);
//   [1]      the virtual-machine configuration it applies (quorl.vm.ConfigSpec): boot options with a boot
//            order of three devices, and twenty device changes, each a VirtualDeviceSpec holding a device
//            with backing and connection info: twelve VirtualDisk (flat backing file), six VirtualE1000
//            (network backing, MAC address), two VirtualCdrom (ISO backing file);
//   [2..11]  ten finished tasks of the same machine (quorl.TaskInfo).
// 192 values in all (data objects, arrays, references and boxed values).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "ormid/BaseTypes.h"
#include "ormid/MoRef.h"
#include "ormid/Primitive.h"
#include "quorl/TaskInfo.h"
#include "quorl/TaskReasonSystem.h"
#include "quorl/TaskReasonUser.h"
#include "quorl/vm/BootOptions.h"
#include "quorl/vm/ConfigSpec.h"
#include "quorl/vm/device/VirtualCdrom.h"
#include "quorl/vm/device/VirtualDevice.h"
#include "quorl/vm/device/VirtualDeviceSpec.h"
#include "quorl/vm/device/VirtualDisk.h"
#include "quorl/vm/device/VirtualE1000.h"
#include "quorl/vm/device/VirtualEthernetCard.h"

namespace QuorlBench {

using Ormid::Any;
using Ormid::DynamicData;
using Ormid::MoRef;
using Pellum::Ref;
using Pellum::System::DateTime;
using Quorl::TaskInfo;
using Quorl::Vm::BootOptions;
using Quorl::Vm::ConfigSpec;
namespace Dev = Quorl::Vm::Device;

using Tree = Ormid::DataArray<DynamicData>;

constexpr int64_t kBaseTime = 1'733'400'000'000'000; // microseconds since the epoch
constexpr int kDevices = 20;
constexpr int kRecentTasks = 10;

inline Ref<MoRef> NewMoRef(const char* type, const std::string& id) {
   return Ref<MoRef>(new MoRef(type, id));
}

inline Ref<Dev::VirtualDevice::ConnectInfo> NewConnectInfo(bool startConnected) {
   Ref<Dev::VirtualDevice::ConnectInfo> c(new Dev::VirtualDevice::ConnectInfo());
   c->startConnected = startConnected;
   c->allowGuestControl = !startConnected;
   c->connected = startConnected;
   c->status.Set(Dev::VirtualDevice::ConnectInfo::STATUS_OK);
   return c;
}

inline Ref<Dev::VirtualDevice> NewDisk(int i, const Ref<MoRef>& datastore) {
   Ref<Dev::VirtualDisk::FlatVer2BackingInfo> backing(new Dev::VirtualDisk::FlatVer2BackingInfo());
   backing->fileName = "[ds-main] web-frontend-01/disk-" + std::to_string(i) + ".img";
   backing->datastore = datastore;
   backing->diskMode = "persistent";
   backing->thinProvisioned = 1;
   backing->eagerlyScrub = 0;
   backing->uuid.Set("3f2a9c1e-8f2a-41c7-9b5e-0e4f3a7c11" + std::to_string(10 + i));
   backing->contentId.Set("a1b2c3d4e5f60718293a4b5c6d7e8f" + std::to_string(10 + i));
   backing->sharing.Set(Dev::VirtualDisk::SHARING_SHARINGNONE);

   Ref<Dev::VirtualDisk> disk(new Dev::VirtualDisk());
   disk->key = 2000 + i;
   disk->controllerKey.Set(1000 + i / 15);
   disk->unitNumber.Set(i % 15 < 7 ? i % 15 : i % 15 + 1);
   disk->capacityInKB = (16L + i) * 1024 * 1024;
   disk->capacityInBytes.Set(disk->capacityInKB * 1024);
   disk->backing = backing;
   disk->connectable = NewConnectInfo(true);
   disk->diskObjectId.Set("42-" + std::to_string(2000 + i));
   return disk;
}

inline Ref<Dev::VirtualDevice> NewNic(int i) {
   Ref<Dev::VirtualE1000> nic(new Dev::VirtualE1000());
   nic->key = 4000 + i;
   nic->controllerKey.Set(100);
   nic->unitNumber.Set(7 + i);
   nic->backing =
       Ref<Dev::VirtualEthernetCard::NetworkBackingInfo>(new Dev::VirtualEthernetCard::NetworkBackingInfo());
   nic->connectable = NewConnectInfo(true);
   nic->addressType.Set("assigned");
   char mac[18];
   std::snprintf(mac, sizeof mac, "02:00:00:9a:4c:%02x", i);
   nic->macAddress.Set(mac);
   nic->wakeOnLanEnabled = 1;
   nic->uptCompatibilityEnabled = 0;
   return nic;
}

inline Ref<Dev::VirtualDevice> NewCdrom(int i, const Ref<MoRef>& datastore) {
   Ref<Dev::VirtualCdrom::IsoBackingInfo> backing(new Dev::VirtualCdrom::IsoBackingInfo());
   backing->fileName = "[ds-main] iso/installer-" + std::to_string(i) + ".iso";
   backing->datastore = datastore;
   Ref<Dev::VirtualCdrom> cdrom(new Dev::VirtualCdrom());
   cdrom->key = 3000 + i;
   cdrom->controllerKey.Set(200);
   cdrom->unitNumber.Set(i);
   cdrom->backing = backing;
   cdrom->connectable = NewConnectInfo(false);
   return cdrom;
}

inline Ref<ConfigSpec> NewConfigSpec() {
   Ref<MoRef> datastore = NewMoRef("quorl.Datastore", "datastore-11");
   Ref<ConfigSpec> config(new ConfigSpec());
   config->name.Set("web-frontend-01");
   config->guestId.Set("linux64");
   config->annotation.Set("Front-end web server, production pool");
   config->numCPUs.Set(4);
   config->numCoresPerSocket.Set(2);
   config->memoryMB.Set(8192);
   config->memoryHotAddEnabled = 1;
   config->firmware.Set("efi");

   Ref<BootOptions> boot(new BootOptions());
   boot->bootDelay.Set(2000);
   boot->enterBIOSSetup = 0;
   boot->efiSecureBootEnabled = 1;
   boot->bootRetryEnabled = 1;
   boot->bootRetryDelay.Set(10000);
   boot->networkBootProtocol.Set(BootOptions::NETWORKBOOTPROTOCOLTYPE_IPV4);
   Ref<BootOptions::BootableDiskDevice> disk(new BootOptions::BootableDiskDevice());
   disk->deviceKey = 2000;
   Ref<BootOptions::BootableEthernetDevice> nic(new BootOptions::BootableEthernetDevice());
   nic->deviceKey = 4000;
   boot->GetBootOrder()->Append(disk.GetPtr());
   boot->GetBootOrder()->Append(nic.GetPtr());
   boot->GetBootOrder()->Append(new BootOptions::BootableCdromDevice());
   config->bootOptions = boot;

   auto* changes = config->GetDeviceChange();
   changes->Reserve(kDevices);
   for (int i = 0; i < kDevices; ++i) {
      Ref<Dev::VirtualDeviceSpec> change(new Dev::VirtualDeviceSpec());
      change->operation.Set(static_cast<int>(Dev::VirtualDeviceSpec::Operation::add));
      if (i < 12) {
         change->fileOperation.Set(static_cast<int>(Dev::VirtualDeviceSpec::FileOperation::create));
         change->device = NewDisk(i, datastore);
      } else if (i < 18) {
         change->device = NewNic(i - 12);
      } else {
         change->device = NewCdrom(i - 18, datastore);
      }
      changes->Append(change);
   }
   return config;
}

inline Ref<TaskInfo> NewTask(int id, bool running) {
   const std::string key = "task-" + std::to_string(id);
   Ref<MoRef> vm = NewMoRef("quorl.VirtualMachine", "vm-42");
   Ref<TaskInfo> t(new TaskInfo());
   t->key = key;
   t->task = NewMoRef("quorl.Task", key);
   t->description = Ref<Ormid::LocalizableMessage>(
       new Ormid::LocalizableMessage("com.quorl.task.vm.reconfigure", "Reconfigure virtual machine"));
   t->name.Set(Ormid::MethodName("quorl.VirtualMachine.reconfigure"));
   t->descriptionId = "VirtualMachine.reconfigure";
   t->entity = vm;
   t->entityName.Set("web-frontend-01");
   t->GetLocked()->Append(vm);
   t->cancelable = running;
   t->queueTime = DateTime::FromUtcTime(kBaseTime + id * 1'000'000L);
   t->startTime.Set(DateTime::FromUtcTime(kBaseTime + id * 1'000'000L + 20'000));
   t->eventChainId = 90000 + id;
   if (running) {
      Ref<Quorl::TaskReasonUser> reason(new Quorl::TaskReasonUser());
      reason->userName = "ops\\operator";
      t->reason = reason;
      t->state = static_cast<int>(TaskInfo::State::running);
      t->progress.Set(40);
      t->GetProgressDetails()->Append(new Ormid::KeyAnyValue("phase", Ormid::Box("copying disks").GetPtr()));
      t->changeTag.Set("reconfigure-2024-12");
   } else {
      t->reason = Ref<Quorl::TaskReasonSystem>(new Quorl::TaskReasonSystem());
      t->state = static_cast<int>(TaskInfo::State::success);
      t->completeTime.Set(DateTime::FromUtcTime(kBaseTime + id * 1'000'000L + 850'000));
      t->result = Ormid::Box(id);
   }
   return t;
}

inline Ref<Tree> BuildTree() {
   Ref<Tree> tree(new Tree());
   tree->Reserve(2 + kRecentTasks);
   tree->Append(NewTask(1100, true).GetPtr());
   tree->Append(NewConfigSpec().GetPtr());
   for (int i = 0; i < kRecentTasks; ++i) {
      tree->Append(NewTask(1000 + i, false).GetPtr());
   }
   return tree;
}

// Number of values (data objects, arrays, references and boxed values) reachable from `v`, walked through
// the descriptors.
inline int CountValues(Any* v) {
   if (v == nullptr) {
      return 0;
   }
   int n = 1;
   if (auto* array = dynamic_cast<Ormid::DataArrayBase*>(v)) {
      for (std::size_t i = 0; i < array->size(); ++i) {
         n += CountValues(array->GetAny(i));
      }
   } else if (auto* obj = dynamic_cast<DynamicData*>(v)) {
      obj->_GetDataType()->ForEachProperty(
          [&](const Ormid::DataObjectType* owner, int index, const Ormid::PropertyRecord& record) {
             if (Ormid::IsReferenceKind(Ormid::GetFieldKind(record))) {
                n += CountValues(static_cast<Any*>(owner->GetFieldPtr(obj, index)));
             }
          });
   }
   return n;
}

inline TaskInfo* TaskAt(Tree* tree, std::size_t i) {
   return static_cast<TaskInfo*>(tree->Get(i));
}

inline ConfigSpec* SpecOf(Tree* tree) {
   return static_cast<ConfigSpec*>(tree->Get(1));
}

// The tree has the shape described at the top: its elements, the boot order, and twenty devices that
// each carry a backing and connection info.
inline bool HasExpectedShape(Tree* tree) {
   if (tree->size() != 2 + kRecentTasks || SpecOf(tree)->bootOptions->bootOrder->size() != 3 ||
       SpecOf(tree)->deviceChange->size() != kDevices) {
      return false;
   }
   for (Dev::VirtualDeviceSpec* change : *SpecOf(tree)->deviceChange) {
      if (!change->device || !change->device->backing || !change->device->connectable) {
         return false;
      }
   }
   return true;
}

} // namespace QuorlBench
