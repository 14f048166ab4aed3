// Generated data-object classes beyond what the per-property conformance test checks: refusals of the
// reflection accessors, nested objects copied as their most-derived class, the order of difference paths,
// and equality agreeing with difference on every class.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "example_value.h"
#include "ormid/Property.h"
#include "ormid/Registry.h"
#include "quorl/TaskInfo.h"
#include "quorl/TaskReasonUser.h"
#include "quorl/fault/AdminDisabled.h"
#include "quorl/vm/BootOptions.h"
#include "quorl/vm/device/VirtualDevice.h"
#include "quorl/vm/device/VirtualDisk.h"

namespace {

using Pellum::Ref;
using Quorl::Vm::Device::VirtualDevice;
using Quorl::Vm::Device::VirtualDisk;

std::vector<std::string> Paths(const Ormid::PropertyDiffSet& diffs) {
   return {diffs.begin(), diffs.end()};
}

Ormid::DataObjectType& DataType(const char* name) {
   auto* type = dynamic_cast<Ormid::DataObjectType*>(Ormid::TypeRegistry::Get().FindByName(name));
   if (type == nullptr) {
      throw std::runtime_error(std::string(name) + " is not a registered data type");
   }
   return *type;
}

// Actions on a property: typed (Ormid::Property) or, for bytes no typed value can carry, raw.
using Action = std::function<void(const Ormid::Property&, Ormid::DynamicData*)>;
template <class T> Action Set(T value) {
   return [value](const Ormid::Property& p, Ormid::DynamicData* o) { p.Set(o, value); };
}
template <class T> Action Swap(T value) {
   return [value](const Ormid::Property& p, Ormid::DynamicData* o) {
      T io = value;
      p.Swap(o, io);
   };
}
Action RawByte(signed char byte, bool swap) {
   return [byte, swap](const Ormid::Property& p, Ormid::DynamicData* o) {
      signed char io = byte;
      swap ? p.GetOwner().SwapField(o, p.GetIndex(), &io) : p.GetOwner().SetField(o, p.GetIndex(), &io);
   };
}
const Action kReset = [](const Ormid::Property& p, Ormid::DynamicData* o) { p.Reset(o); };
Action CopyFrom(Ref<Ormid::DynamicData> from) { // the whole object; the property only names the row
   return [from](const Ormid::Property&, Ormid::DynamicData* o) { o->CopyFrom(*from); };
}
Ref<Ormid::Any> MoRef(const char* type, const char* id) {
   return Ref<Ormid::Any>(new Ormid::MoRef(type, id));
}

TEST(Reflection, FieldsRefuseWhatTheyCannotHoldAndNothingChanges) {
   using Devices = Ormid::DataArray<Quorl::Vm::BootOptions::BootableDevice>;
   Ref<Quorl::Fault::AdminDisabled> cycle(new Quorl::Fault::AdminDisabled());
   cycle->faultCause = cycle;
   // Each row acts on an example of the type (every property set): a refused action names the reason and
   // leaves the object equal to a copy taken before; an accepted one changes it.
   const struct {
      const char* type;
      const char* property;
      Action act;
      const char* refusal; // part of the message; null when accepted
   } rows[] = {
       {"quorl.vm.BootOptions", "enterBIOSSetup", RawByte(-2, false), "byte -2"},
       {"quorl.vm.BootOptions", "enterBIOSSetup", RawByte(7, true), "byte 7"},
       {"quorl.vm.BootOptions", "enterBIOSSetup", RawByte(0, false), nullptr},
       {"quorl.TaskInfo", "cancelled", RawByte(7, false), "byte 7"},
       {"quorl.TaskInfo", "cancelled", Set(false), nullptr},
       {"quorl.TaskInfo", "state", Set(99), "ordinal 99"},
       {"quorl.TaskInfo", "state", Swap(-1), "ordinal -1"},
       {"quorl.TaskInfo", "state", Set(3), nullptr},
       {"quorl.vm.device.VirtualDeviceSpec", "operation", Swap(Pellum::Optional<int>(3)), "ordinal 3"},
       {"quorl.vm.device.VirtualDeviceSpec", "operation", kReset, nullptr},
       // A managed-object reference of a registered type must be of the property's type or derive from it.
       {"quorl.TaskInfo", "task", Set(MoRef("quorl.Datastore", "d-1")),
        "quorl.Datastore:d-1 where quorl.Task"},
       {"quorl.TaskInfo", "entity", Swap(MoRef("quorl.Task", "t-1")), "where quorl.ManagedEntity"},
       {"quorl.TaskInfo", "entity", Set(MoRef("quorl.VirtualMachine", "vm-1")), nullptr},
       {"quorl.TaskInfo", "task", Set(MoRef("quorl.Later", "x-1")), nullptr},
       {"quorl.fault.MisfeaturedHostsBlockingQUAM", "badHardwareHosts",
        Set(Ref<Ormid::Any>(new Ormid::DataArray<Ormid::MoRef>{new Ormid::MoRef("quorl.HostSystem", "host-1"),
                                                               new Ormid::MoRef("quorl.Folder", "group-1")})),
        "quorl.Folder:group-1 where quorl.HostSystem"},
       // A deduplicated string is an optional string to the typed layer, never its handle.
       {"quorl.host.PatchManager.Result", "xmlResult", Swap(Pellum::Deduplicated<std::string>()),
        "type mismatch"},
       {"quorl.host.PatchManager.Result", "xmlResult", Swap(Pellum::Optional<std::string>("<x/>")), nullptr},
       // Reset is there for every reference, on classes with and without optional properties alike.
       {"quorl.TaskReasonAlarm", "alarm", kReset, nullptr},
       {"quorl.TaskInfo", "task", kReset, nullptr},
       {"quorl.TaskInfo", "key", kReset, "cannot be unset"},
       // CopyFrom refuses another class and a source in a cycle.
       {"quorl.vm.device.VirtualDevice", "key", CopyFrom(Ref<VirtualDisk>(new VirtualDisk())),
        "cannot copy a value of type quorl.vm.device.VirtualDisk into an object of type "
        "quorl.vm.device.VirtualDevice"},
       {"quorl.vm.device.VirtualDisk", "key", CopyFrom(Ref<VirtualDevice>(new VirtualDevice())),
        "of type quorl.vm.device.VirtualDevice into"},
       {"quorl.fault.AdminDisabled", "faultCause", CopyFrom(cycle),
        "cannot copy a value of type quorl.fault.AdminDisabled that holds itself"},
       // Typed references may name the field's class or a class derived from it.
       {"quorl.TaskInfo", "reason", Set(Ref<Quorl::TaskReason>(new Quorl::TaskReasonUser())), nullptr},
       {"quorl.vm.BootOptions", "bootOrder",
        Swap(Ref<Devices>(new Devices{new Quorl::Vm::BootOptions::BootableDevice(),
                                      new Quorl::Vm::BootOptions::BootableDevice()})),
        nullptr},
   };
   for (const auto& row : rows) {
      const Ormid::Property property(DataType(row.type), row.property);
      Ref<Ormid::DynamicData> value = quorl_types::BuildExampleValue(
          DataType(row.type), {.depth = 1, .optionals = true, .complete = true, .edgeValues = false});
      Ref<Ormid::Any> before(value->_Clone());
      const std::string what = std::string(row.type) + "." + row.property;
      try {
         row.act(property, value.GetPtr());
         EXPECT_EQ(row.refusal, nullptr) << what << ": accepted";
         EXPECT_FALSE(Ormid::AreEqual(before.GetPtr(), value.GetPtr())) << what << ": unchanged";
      } catch (const Pellum::Exception& e) {
         EXPECT_NE(std::string(e.what()).find(row.refusal ? row.refusal : "(accepted)"), std::string::npos)
             << what << ": " << e.what();
         EXPECT_TRUE(Ormid::AreEqual(before.GetPtr(), value.GetPtr())) << what << ": changed";
      }
   }
   // A property is found on a derived class too; an object of an unrelated class is refused.
   const Ormid::Property key(DataType("quorl.vm.device.VirtualDevice"), "key");
   EXPECT_EQ(key.Get<int>(Ref<VirtualDisk>(new VirtualDisk()).GetPtr()), 0);
   EXPECT_THROW(key.Get<int>(Ref<Quorl::TaskInfo>(new Quorl::TaskInfo()).GetPtr()), Pellum::Exception);
   EXPECT_THROW(Ormid::Property(DataType("quorl.TaskInfo"), "nosuch"), Pellum::Exception);
   cycle->faultCause.Reset();
}

TEST(DataObject, CopiesCloneNestedObjectsAsTheirOwnClassAndShareReferences) {
   Ref<VirtualDevice> dev(new VirtualDevice());
   Ref<Ormid::MoRef> datastore(new Ormid::MoRef("quorl.Datastore", "ds-1"));
   Ref<VirtualDevice::FileBackingInfo> backing(new VirtualDevice::FileBackingInfo());
   backing->fileName = "[ds1] web/web.vmdk";
   backing->datastore = datastore;
   dev->backing = backing; // held through its base class BackingInfo
   Ref<VirtualDevice::BackingInfo> old(new VirtualDevice::BackingInfo());
   // The copy constructor, and CopyFrom into an object that holds values of its own.
   for (bool into : {false, true}) {
      Ref<VirtualDevice> copy(into ? new VirtualDevice() : static_cast<VirtualDevice*>(dev->_Clone()));
      if (into) {
         copy->backing = old;
         copy->unitNumber.Set(3);
         copy->CopyFrom(*dev);
         EXPECT_EQ(old->GetRefCount(), 1) << "the value the field held is released";
         EXPECT_FALSE(copy->unitNumber.IsSet());
      }
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
      copy->CopyFrom(*copy);
      EXPECT_EQ(copiedBacking->GetRefCount(), 1) << "copying an object into itself changes nothing";
   }
   EXPECT_EQ(datastore->GetRefCount(), 2);
}

// Copies property `index` of `owner` from `from` into `to` through the accessors: getFieldPtr answers the
// stored value (the Ormid::Any* of a reference) in the form setField takes, or null when it is unset.
void CopyProperty(const Ormid::DataObjectType& owner, int index, const Ormid::PropertyRecord& record,
                  Ormid::DynamicData* from, Ormid::DynamicData* to) {
   if (const void* value = owner.GetFieldPtr(from, index)) {
      owner.SetField(to, index, value);
   } else if ((record.flags & Ormid::PropertyFlags::Optional) != 0 ||
              Ormid::IsReferenceKind(Ormid::GetFieldKind(record))) {
      owner.Reset(to, index);
   }
}

TEST(Equality, AgreesWithTheDifferenceOnRandomPairsOfEveryClass) {
   // Pairs of values of every data object and fault: mixes of three examples (plain values, edge values,
   // required properties only), property by property. Equal exactly when no path differs, either way round;
   // the paths the same either way round, base class properties first, each class's in declaration order.
   // Each second value is also copied into a new object (CopyFrom) and its set properties listed.
   std::mt19937 random(20261206);
   const quorl_types::ExampleOptions variants[] = {
       {.depth = 1, .optionals = true, .complete = true, .edgeValues = false},
       {.depth = 1, .optionals = true, .complete = true, .edgeValues = true},
       {.depth = 0, .optionals = false, .complete = true, .edgeValues = false},
   };
   int classes = 0, equalPairs = 0, unequalPairs = 0;
   for (Ormid::Type* t : Ormid::TypeRegistry::Get().GetTypes()) {
      if (!t->IsDataObject() || HasFailure()) {
         continue;
      }
      ++classes;
      SCOPED_TRACE(t->GetName());
      const auto& type = *static_cast<Ormid::DataObjectType*>(t);
      std::vector<Ref<Ormid::DynamicData>> examples;
      for (const auto& options : variants) {
         examples.push_back(quorl_types::BuildExampleValue(type, options));
      }
      std::map<std::string, std::size_t> order; // of the properties, base classes first
      type.ForEachProperty([&](auto*, int, const auto& record) { order.emplace(record.name, order.size()); });
      auto pick = [&] { return examples[random() % examples.size()].GetPtr(); };
      for (int pair = 0; pair < 4; ++pair) {
         Ref<Ormid::DynamicData> a(static_cast<Ormid::DynamicData*>(pick()->_Clone()));
         Ref<Ormid::DynamicData> b(
             static_cast<Ormid::DynamicData*>((random() % 2 ? a.GetPtr() : pick())->_Clone()));
         type.ForEachProperty(
             [&](const Ormid::DataObjectType* owner, int index, const Ormid::PropertyRecord& record) {
                if (random() % 4 == 0) {
                   CopyProperty(*owner, index, record, pick(), b.GetPtr());
                }
             });
         // A copy into an existing object equals its source and has the same properties set, listed in one
         // pass as by each property's checked isSet.
         Ref<Ormid::DynamicData> into = type.Create();
         into->CopyFrom(*b);
         EXPECT_TRUE(Ormid::AreEqual(into.GetPtr(), b.GetPtr())) << b->ToString();
         std::vector<const Ormid::PropertyRecord*> set, setOneByOne;
         type.ForEachSetProperty(into.GetPtr(),
                                 [&](auto*, int, const auto& record) { set.push_back(&record); });
         type.ForEachProperty([&](const Ormid::DataObjectType* owner, int index, const auto& record) {
            if (owner->IsSet(b.GetPtr(), index)) {
               setOneByOne.push_back(&record);
            }
         });
         EXPECT_EQ(set, setOneByOne) << b->ToString();
         const bool equal = Ormid::AreEqual(a.GetPtr(), b.GetPtr());
         const Ormid::PropertyDiffSet diffs = Ormid::DiffProperties(a.GetPtr(), b.GetPtr());
         (equal ? equalPairs : unequalPairs)++;
         EXPECT_EQ(equal, diffs.empty()) << diffs.ToString() << "\n"
                                         << a->ToString() << "\n"
                                         << b->ToString();
         EXPECT_EQ(Ormid::AreEqual(b.GetPtr(), a.GetPtr()), equal);
         EXPECT_EQ(Paths(Ormid::DiffProperties(b.GetPtr(), a.GetPtr())), Paths(diffs));
         std::size_t last = 0;
         for (const std::string& path : diffs) {
            const std::size_t at = order.at(path.substr(1, path.find_first_of(".[", 1) - 1));
            EXPECT_LE(last, at) << diffs.ToString();
            last = at;
         }
      }
   }
   EXPECT_GT(classes, 2000);
   EXPECT_GT(equalPairs, classes / 4);
   EXPECT_GT(unequalPairs, classes);
}

} // namespace
