// Generated data-object classes beyond what the per-property conformance test checks: nested objects
// copied as their most-derived class, the order of difference paths, and deduplicated strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorl/host/PatchManager.h"
#include "quorl/vm/device/VirtualDevice.h"
#include "quorl/vm/device/VirtualDisk.h"

namespace {

using Pellum::Ref;
using Quorl::Vm::Device::VirtualDevice;
using Quorl::Vm::Device::VirtualDisk;

std::vector<std::string> Paths(const Ormid::PropertyDiffSet& diffs) {
   return {diffs.begin(), diffs.end()};
}

TEST(DataObject, CopyClonesNestedObjectsAsTheirOwnClassAndSharesReferences) {
   Ref<VirtualDevice> dev(new VirtualDevice());
   Ref<Ormid::MoRef> datastore(new Ormid::MoRef("quorl.Datastore", "ds-1"));
   Ref<VirtualDevice::FileBackingInfo> backing(new VirtualDevice::FileBackingInfo());
   backing->fileName = "[ds1] web/web.vmdk";
   backing->datastore = datastore;
   dev->backing = backing; // held through its base class BackingInfo
   {
      Ref<VirtualDevice> copy(static_cast<VirtualDevice*>(dev->_Clone()));
      auto* copiedBacking = dynamic_cast<VirtualDevice::FileBackingInfo*>(copy->backing.GetPtr());
      ASSERT_NE(copiedBacking, nullptr) << "the nested object lost its class";
      EXPECT_NE(copiedBacking, backing.GetPtr());
      EXPECT_EQ(copiedBacking->fileName, "[ds1] web/web.vmdk");
      // The managed-object reference inside it is shared, one reference more.
      EXPECT_EQ(copiedBacking->datastore.GetPtr(), datastore.GetPtr());
      EXPECT_EQ(datastore->GetRefCount(), 3);
      // The copy's nested objects are its own.
      copiedBacking->fileName = "[ds1] other.vmdk";
      EXPECT_EQ(backing->fileName, "[ds1] web/web.vmdk");
      EXPECT_EQ(Paths(Ormid::DiffProperties(dev.GetPtr(), copy.GetPtr(), "device")),
                (std::vector<std::string>{"device.backing.fileName"}));
   }
   EXPECT_EQ(datastore->GetRefCount(), 2);
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
   // Through the runtime's entry point the prefix is the same; the order does not depend on the side.
   EXPECT_EQ(Paths(Ormid::DiffProperties(b.GetPtr(), a.GetPtr(), "disk")), Paths(diffs));
}

TEST(Deduplicated, XmlResultEntriesFollowTheirContents) {
   using Result = Quorl::Host::PatchManager::Result;
   auto& table = Pellum::Deduplicated<std::string>::_dedupTable;
   Ormid::DataObjectType* type = Ormid::GetDoType<Result>();
   const std::string xml = "<patch id=\"values-test\"/>";
   Ref<Result> a(new Result());
   Ref<Result> b(new Result());
   type->SetField(a.GetPtr(), 0, &xml);
   type->SetField(b.GetPtr(), 0, &xml);
   const auto* entry = a->xmlResult.GetEntry();
   ASSERT_NE(entry, nullptr);
   EXPECT_EQ(entry->UseCount(), 2);
   // Setting the contents the field already holds keeps its entry.
   type->SetField(a.GetPtr(), 0, &xml);
   EXPECT_EQ(a->xmlResult.GetEntry(), entry);
   EXPECT_EQ(entry->UseCount(), 2);
   // The pattern's unset text matches, not the reverse.
   type->Reset(b.GetPtr(), 0);
   EXPECT_TRUE(a->_IsEqual(b.GetPtr(), true));
   EXPECT_FALSE(b->_IsEqual(a.GetPtr(), true));

   // A copy shares the entry; the entry goes away with its last holder.
   Ref<Result> copy(static_cast<Result*>(a->_Clone()));
   EXPECT_EQ(copy->xmlResult.GetEntry(), entry);
   a.Reset();
   EXPECT_EQ(table.EntryFor(xml), entry);
   copy.Reset();
   EXPECT_FALSE(table.Contains(xml));
}

} // namespace
